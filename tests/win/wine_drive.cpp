#include "wine_drive.h"

#include <atomic>
#include <stdexcept>

#include "win_test.h"

namespace tq::test {

namespace {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD CloseProcess(PROCESS_INFORMATION& pi, DWORD wait_ms) {
    DWORD code = STILL_ACTIVE;
    if (pi.hProcess) {  // without it, hThread is not a handle of ours either
        WaitForSingleObject(pi.hProcess, wait_ms);
        if (!GetExitCodeProcess(pi.hProcess, &code)) code = STILL_ACTIVE;
        CloseHandle(pi.hProcess);
        if (pi.hThread) CloseHandle(pi.hThread);
    }
    pi = PROCESS_INFORMATION{};
    return code;
}

bool RunUnix(const std::wstring& program, const std::wstring& args) {
    std::wstring cmd = program + L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::string unix_path(program.begin(), program.end());
    if (!CreateProcessW(WinPath(unix_path.c_str()).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &si, &pi))
        return false;
    CloseProcess(pi, 10000);
    return true;
}

WineDrive::WineDrive() {
    wchar_t prefix[1024] = {};
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024))
        throw std::runtime_error("no prefix");
    static std::atomic<int> counter{0};
    const std::wstring id = std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount());
    unix_dir_ = L"/tmp/tq-drive-" + id;
    const std::wstring z = WinPath(std::string(unix_dir_.begin(), unix_dir_.end()).c_str()) + L"\\";
    const std::wstring marker = L".tq-drive-" + id;
    if (!CreateDirectoryW(z.c_str(), nullptr)) throw std::runtime_error("no scratch folder");
    CloseHandle(
        CreateFileW((z + marker).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    for (wchar_t c : std::wstring(L"TUVWXYPQRSMNO")) {
        if (Exists(std::wstring(1, c) + L":\\")) continue;
        // ln refuses a letter another process took first; it may still run when we look.
        link_ =
            std::wstring(prefix) + L"/dosdevices/" + static_cast<wchar_t>(c - L'A' + L'a') + L":";
        RunUnix(L"/bin/ln", L"-s \"" + unix_dir_ + L"\" \"" + link_ + L"\"");
        letter_ = c;
        for (int i = 0; i < 300 && !Exists(root() + marker); ++i) Sleep(10);
        if (Exists(root() + marker) && DeleteFileW((root() + marker).c_str())) return;
    }
    RunUnix(L"/bin/rm", L"-rf \"" + unix_dir_ + L"\"");
    throw std::runtime_error("no free drive letter in the Wine prefix");
}

WineDrive::~WineDrive() {  // the link only while it still points at our folder
    RunUnix(L"/bin/sh", L"-c \"if [ \\\"$(readlink '" + link_ + L"')\\\" = '" + unix_dir_ +
                            L"' ]; then rm -f '" + link_ + L"'; fi; rm -rf '" + unix_dir_ + L"'\"");
}

}  // namespace tq::test

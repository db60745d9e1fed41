#include "wine_drive.h"

#include <atomic>
#include <stdexcept>

#include "win_test.h"

namespace tq::test {

bool RunUnix(const std::wstring& program, const std::wstring& args) {
    std::wstring cmd = program + L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(WinPath(std::string(program.begin(), program.end()).c_str()).c_str(),
                        cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess) {  // Wine gives none (and no thread handle) for a Unix program
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    }
    return true;
}

WineDrive::WineDrive() {
    wchar_t prefix[1024] = {};
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024)) throw std::runtime_error("prefix");
    static std::atomic<int> counter{0};
    const std::wstring id = std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount());
    unix_dir_ = L"/tmp/tq-drive-" + id;
    const std::wstring marker = L".tq-drive-" + id,
                       z = WinPath(std::string(unix_dir_.begin(), unix_dir_.end()).c_str());
    if (!CreateDirectoryW(z.c_str(), nullptr)) throw std::runtime_error("no scratch folder");
    CloseHandle(CreateFileW((z + L"\\" + marker).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                            nullptr));
    const auto missing = [](const std::wstring& path) {
        return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    };
    for (wchar_t c : std::wstring(L"TUVWXYPQRSMNO")) {
        letter_ = c;
        if (!missing(root())) continue;
        // ln refuses a letter another process took first; it may still run when we look.
        link_ = prefix + (L"/dosdevices/" + std::wstring(1, static_cast<wchar_t>(c | 0x20)) + L":");
        RunUnix(L"/bin/ln", L"-s \"" + unix_dir_ + L"\" \"" + link_ + L"\"");
        for (int i = 0; i < 300 && missing(root() + marker); ++i) Sleep(10);
        if (DeleteFileW((root() + marker).c_str())) return;
    }
    RunUnix(L"/bin/rm", L"-rf \"" + unix_dir_ + L"\"");
    throw std::runtime_error("no free drive letter in the Wine prefix");
}

WineDrive::~WineDrive() {  // the link only while it still points at our folder
    RunUnix(L"/bin/sh", L"-c \"if [ \\\"$(readlink '" + link_ + L"')\\\" = '" + unix_dir_ +
                            L"' ]; then rm -f '" + link_ + L"'; fi; rm -rf '" + unix_dir_ + L"'\"");
}

}  // namespace tq::test

#include "wine_drive.h"

#include <atomic>
#include <stdexcept>
#include <string>

namespace tq::test {

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t buf[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring ZPath(const std::wstring& unix_path) {
    std::wstring z = L"Z:" + unix_path;
    for (auto& c : z)
        if (c == L'/') c = L'\\';
    return z;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD CloseProcess(PROCESS_INFORMATION& pi, DWORD wait_ms) {
    DWORD code = STILL_ACTIVE;
    // No process handle means Wine started a Unix program, and then hThread is whatever was in
    // the structure or worse (seen: the handle of the caller's stdout): it is not ours to close.
    if (pi.hProcess) {
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
    if (!CreateProcessW(ZPath(program).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi))
        return false;
    // Wine 8 starts a Unix program without a process or thread handle: hProcess comes back
    // NULL and hThread is garbage; CloseProcess closes neither then.
    CloseProcess(pi, 10000);
    return true;
}

WineDrive::WineDrive() {
    std::wstring prefix = Env(L"WINEPREFIX");
    if (prefix.empty()) prefix = Env(L"HOME") + L"/.wine";
    if (prefix == L"/.wine") throw std::runtime_error("WINEPREFIX is not set: not under Wine?");

    static std::atomic<int> counter{0};
    unix_dir_ = L"/tmp/tq-drive-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount());
    z_path_ = ZPath(unix_dir_) + L"\\";
    if (!CreateDirectoryW(z_path_.c_str(), nullptr))
        throw std::runtime_error("cannot create the scratch folder under Z:\\tmp");
    const std::wstring marker = L".tq-drive-" + std::to_wstring(GetCurrentProcessId());
    HANDLE h =
        CreateFileW((z_path_ + marker).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);

    for (wchar_t c : std::wstring(L"TUVWXYPQRSMNO")) {
        const std::wstring root = std::wstring(1, c) + L":\\";
        if (Exists(root)) continue;
        const std::wstring link =
            prefix + L"/dosdevices/" + static_cast<wchar_t>(c - L'A' + L'a') + L":";
        if (!RunUnix(L"/bin/ln", L"-s \"" + unix_dir_ + L"\" \"" + link + L"\"")) break;
        // ln may still be running when its process handle signals: wait for the marker.
        for (int i = 0; i < 300 && !Exists(root + marker); ++i) Sleep(10);
        if (Exists(root + marker)) {
            letter_ = c;
            link_ = link;
            DeleteFileW((root + marker).c_str());
            return;
        }
    }
    RemoveDirectoryW(z_path_.c_str());  // still holds the marker: removed by rm below
    RunUnix(L"/bin/rm", L"-rf \"" + unix_dir_ + L"\"");
    throw std::runtime_error("no free drive letter could be mapped in the Wine prefix");
}

WineDrive::~WineDrive() {
    // Remove the link only while it still points at our folder, then the folder itself.
    RunUnix(L"/bin/sh", L"-c \"if [ \\\"$(readlink '" + link_ + L"')\\\" = '" + unix_dir_ +
                            L"' ]; then rm -f '" + link_ + L"'; fi; rm -rf '" + unix_dir_ + L"'\"");
}

}  // namespace tq::test

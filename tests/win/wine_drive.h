// A drive letter of the Wine prefix mapped to a fresh, empty scratch folder, for tests whose
// subject works from a drive root (such as "T:\Rudadod\Controller\").
//
// Wine keeps its drive letters as symbolic links in $WINEPREFIX/dosdevices.  The constructor
// makes a new folder under the Unix /tmp (through Wine's Z: drive), then links the first free
// letter among T..Y, P..S, M..O to it by running /bin/ln (Wine starts Unix programs from
// CreateProcess); `ln -s` refuses a letter another process took first, and the mapping counts
// only once a marker file of ours is seen through the new letter, so tests running side by side
// never share a letter.  The destructor removes the link (only if it is still ours) and the
// folder with everything in it.  Wine only: on Windows there is no such prefix.
#pragma once

#include <windows.h>

#include <string>

namespace tq::test {

class WineDrive {
  public:
    // Throws std::runtime_error when no letter could be mapped.
    WineDrive();
    ~WineDrive();
    WineDrive(const WineDrive&) = delete;
    WineDrive& operator=(const WineDrive&) = delete;

    wchar_t letter() const { return letter_; }
    // "T:\"
    std::wstring root() const { return std::wstring(1, letter_) + L":\\"; }
    // The same folder through Wine's Z: drive ("Z:\tmp\tq-drive-...\").
    const std::wstring& z_path() const { return z_path_; }

  private:
    std::wstring unix_dir_;  // "/tmp/tq-drive-<pid>-<n>"
    std::wstring z_path_;
    std::wstring link_;  // "$WINEPREFIX/dosdevices/t:"
    wchar_t letter_ = 0;
};

// Waits up to `wait_ms` for a process started with CreateProcess, then closes the handles it
// holds and clears `pi`.  Returns its exit code, STILL_ACTIVE when it has none (still running,
// or no process handle).  Without a process handle (Wine's answer for a Unix program) it closes
// nothing: hThread is then not a handle of ours.
DWORD CloseProcess(PROCESS_INFORMATION& pi, DWORD wait_ms);

// Runs a Unix program (absolute path) with arguments under /bin/sh -c quoting rules of Wine's
// command line; waits for it.  Returns false when it could not be started.
bool RunUnix(const std::wstring& program, const std::wstring& args);

}  // namespace tq::test

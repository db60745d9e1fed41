// A free drive letter of the Wine prefix linked to a fresh scratch folder under /tmp, for code
// that works from a drive root; a marker seen through the letter proves the link is ours.
#pragma once

#include <windows.h>

#include <string>

namespace tq::test {

class WineDrive {
  public:
    WineDrive();  // throws std::runtime_error when no letter could be mapped
    ~WineDrive();
    WineDrive(const WineDrive&) = delete;
    WineDrive& operator=(const WineDrive&) = delete;
    std::wstring root() const { return std::wstring(1, letter_) + L":\\"; }

  private:
    std::wstring unix_dir_, link_;
    wchar_t letter_ = 0;
};

// Runs a Unix program (absolute path) and waits for it; false when it could not start.
bool RunUnix(const std::wstring& program, const std::wstring& args);

}  // namespace tq::test

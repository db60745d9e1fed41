// Owned Win32 handles: one template, a deleter per kind.
#pragma once

#include <windows.h>

#include <utility>

namespace tq::com {

template <class H, auto Close, H Invalid = H{}>
class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(H h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Invalid)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        reset(std::exchange(o.h_, Invalid));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    void reset(H h = Invalid) noexcept {
        if (h_ != Invalid) Close(h_);
        h_ = h;
    }
    H release() noexcept { return std::exchange(h_, Invalid); }
    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Invalid; }

  private:
    H h_ = Invalid;
};

using UniqueHkey = UniqueHandle<HKEY, &RegCloseKey>;
using UniqueMenu = UniqueHandle<HMENU, &DestroyMenu>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;
using UniqueLibrary = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;

}  // namespace tq::com

#include "mdl_menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tq/com/error_info.h"
#include "tq/com/module.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/error.h"
#include "shortcut_keys.h"

namespace tq::ctl {

using com::ComPtr;

namespace {

// One subclassed host window.
struct HostState {
    WNDPROC previous = nullptr;  // the window's procedure before WindowProc
    // The live controls shown on the window, weak, in the order of their last Show: the last
    // one receives the commands.  ForgetControl takes a dying control out.
    std::vector<CommandReceiver*> controls;
    com::ModuleLock keep_loaded;

    CommandReceiver* Receiver() const { return controls.empty() ? nullptr : controls.back(); }
    // Takes `control` out; true when it was there.
    bool Remove(CommandReceiver* control) {
        auto it = std::find(controls.begin(), controls.end(), control);
        if (it == controls.end()) return false;
        controls.erase(it);
        return true;
    }
};

// All subclassed windows of the process.  Each window is only touched from its own thread, but
// controls on several threads share the map, so it has a lock; nothing is called with it held.
SRWLOCK g_lock = SRWLOCK_INIT;
thread_local CommandReceiver* g_ctl_menu = nullptr;  // gctlMenu, one per thread
std::map<HWND, std::shared_ptr<HostState>>* g_hosts = nullptr;

class Locked {
  public:
    Locked() { AcquireSRWLockExclusive(&g_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&g_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

std::map<HWND, std::shared_ptr<HostState>>& Hosts() {
    if (!g_hosts) g_hosts = new std::map<HWND, std::shared_ptr<HostState>>();
    return *g_hosts;
}

std::shared_ptr<HostState> Find(HWND hwnd) {
    Locked lock;
    auto it = Hosts().find(hwnd);
    return it == Hosts().end() ? nullptr : it->second;
}

WNDPROC CurrentProc(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

// Puts the previous procedure back if WindowProc is still the window's procedure, and drops the
// window's state.  When someone subclassed after us nothing changes (false), unless the window is
// being destroyed (`dying`): then only the state goes.
bool RestoreIfSafe(HWND hwnd, const std::shared_ptr<HostState>& st, bool dying) {
    const bool ours = IsWindow(hwnd) && CurrentProc(hwnd) == &WindowProc;
    if (!ours && IsWindow(hwnd) && !dying) return false;
    if (ours) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(st->previous));
    Locked lock;
    auto it = Hosts().find(hwnd);
    if (it != Hosts().end() && it->second == st) Hosts().erase(it);
    return true;
}

void Report(const wchar_t* what, const std::wstring& text) {
    std::wstring line = L"tqMenuCtl: WindowProc: ";
    line += what;
    if (!text.empty()) line += L": " + text;
    line += L"\n";
    OutputDebugStringW(line.c_str());
}

std::wstring TextOf(HRESULT hr) {
    std::wstring text = L"HRESULT 0x";
    wchar_t buf[16];
    wsprintfW(buf, L"%08lX", static_cast<unsigned long>(hr));
    text += buf;
    IErrorInfo* ei = nullptr;
    if (GetErrorInfo(0, &ei) == S_OK && ei) {
        BSTR desc = nullptr;
        if (SUCCEEDED(ei->GetDescription(&desc)) && desc) text += std::wstring(L" ") + desc;
        SysFreeString(desc);
        ei->Release();
    }
    return text;
}

// The WM_COMMAND part of WindowProc: find the entry and raise MenuClick.
void Dispatch(const std::shared_ptr<HostState>& st, WPARAM wparam) {
    CommandReceiver* control = nullptr;
    ComPtr<IDispatch> keep;  // a counted reference for the length of the call
    {
        Locked lock;
        control = st->Receiver();
        if (control) keep = control->Automation();
    }
    if (!control) return;  // the controls died; their form lives on
    // Only an identifier of the control's current bar names an entry: an entry left off the bar
    // keeps its old HndMenu, and a command meant for someone else must not reach it.
    const LONG id = LoWord(static_cast<LONG_PTR>(wparam));
    if (!control->OwnsCommand(id)) return;
    ComPtr<::MenuTree> tree = control->Tree();
    com::Variant key = com::Variant::FromLong(id);
    VARIANT_BOOL f1 = VARIANT_TRUE, f2 = VARIANT_FALSE, f3 = VARIANT_TRUE;
    ComPtr<::MenuItem> item;
    com::Check(tree->ItemPorHnd(key, &f1, &f2, &f3, item.put()));
    tree = nullptr;
    if (!item) return;
    const HRESULT hr = control->DispararEvento(L"MenuClick", item.get());
    if (FAILED(hr)) Report(L"MenuClick", TextOf(hr));
}

}  // namespace

void InstallWindowProc(HWND host, CommandReceiver* control) {
    if (!host || !IsWindow(host))
        throw tq::Error(static_cast<int32_t>(E_INVALIDARG),
                        u"A janela do formulário do tqMenu não existe");
    {
        Locked lock;
        auto it = Hosts().find(host);
        if (it != Hosts().end()) {
            // Already ours: never chain WindowProc to itself; `control` becomes the receiver.
            HostState& st = *it->second;
            st.Remove(control);
            st.controls.push_back(control);
            return;
        }
    }
    auto st = std::make_shared<HostState>();
    st->controls.push_back(control);
    {
        Locked lock;
        Hosts()[host] = st;
    }
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    if (previous == 0 && GetLastError() != 0) {
        const DWORD err = GetLastError();
        Locked lock;
        Hosts().erase(host);
        throw tq::Error(static_cast<int32_t>(HRESULT_FROM_WIN32(err)),
                        u"Não foi possível instalar o WindowProc no formulário do tqMenu");
    }
    st->previous = reinterpret_cast<WNDPROC>(previous);
}

void SetShownControl(CommandReceiver* control) noexcept {
    g_ctl_menu = control;
}

CommandReceiver* ShownControl() noexcept {
    return g_ctl_menu;
}

void ForgetControl(CommandReceiver* control) noexcept {
    if (g_ctl_menu == control) g_ctl_menu = nullptr;
    std::vector<std::pair<HWND, std::shared_ptr<HostState>>> orphans;
    {
        Locked lock;
        if (!g_hosts) return;
        for (auto& [hwnd, st] : *g_hosts) {
            // The window keeps WindowProc while another control shown on it lives.
            if (st->Remove(control) && st->controls.empty()) orphans.emplace_back(hwnd, st);
        }
    }
    for (auto& [hwnd, st] : orphans) {
        // Only on the window's own thread: another thread's window is restored at its
        // WM_NCDESTROY.
        if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId() || !IsWindow(hwnd))
            RestoreIfSafe(hwnd, st, false);
    }
}

bool HasWindowProc(HWND host) noexcept {
    return Find(host) != nullptr;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    const std::shared_ptr<HostState> st = Find(hwnd);
    if (!st || !st->previous) return DefWindowProcA(hwnd, msg, wparam, lparam);
    // The form's own procedure first, always; its result is what Windows gets.
    const LRESULT result = CallWindowProcA(st->previous, hwnd, msg, wparam, lparam);
    try {
        if (msg == WM_NCDESTROY) {
            RemoveFormShortcuts(hwnd, nullptr);
            RestoreIfSafe(hwnd, st, true);
        } else if (msg == WM_COMMAND) {
            Dispatch(st, wparam);
        }
    } catch (const tq::Error& e) {
        Report(L"MenuClick", std::wstring(com::AsWide(e.message())));
    } catch (const com::ComFailure& f) {
        SetErrorInfo(0, f.info());
        Report(L"MenuClick", TextOf(f.hr()));
    } catch (const std::exception& e) {
        Report(L"MenuClick", com::FromAnsi(e.what()));
    } catch (...) {
        Report(L"MenuClick", L"erro inesperado");
    }
    return result;
}

}  // namespace tq::ctl

// Shared helpers of the Windows tests and benchmarks (run under Wine): trees through the
// registry, streams, error texts, a real top-level form, keyboard input, Win32 menus read back and
// a container's property bag (ctl_test.h adds the control's hosts).  Nothing here asserts: a
// helper that cannot do its job answers null, a failed HRESULT or an empty value, and the caller
// checks it.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "tqBiblioteca.h"
#include "tq/com/com_ptr.h"
#include "tq/com/object.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

namespace tq::test {

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

// A Unix path as Wine's Z: drive shows it.
std::wstring WinPath(const char* unix_path);

// An export of a loaded module, as a typed function pointer.
template <class F>
F ProcOf(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// ---- trees, through the registry as a client makes them ----
ComPtr<MenuTree> NewTree();
// Adds an entry and returns it (null when Add failed).
ComPtr<MenuItem> AddEntry(MenuTree* level, const std::wstring& caption, const std::wstring& nome);
ComPtr<MenuItem> ItemAt(MenuTree* level, const VARIANT& index);
inline ComPtr<MenuItem> ItemAt(MenuTree* level, LONG position) {
    return ItemAt(level, Variant::FromLong(position));
}
ComPtr<MenuTree> SubOf(MenuItem* item);
short CountOf(MenuTree* level);
LONG HndOf(MenuItem* item);
std::wstring NomeOf(MenuItem* item);  // "Nothing" for a null entry
ComPtr<IUnknown> IdentityOf(IUnknown* p);
// Description of the thread's error object (and clears it); "" when there is none.
std::wstring TakeErrorText();

// ---- streams ----
std::string StreamBytes(IStream* stream);  // from its start
ComPtr<IStream> StreamOf(const std::string& bytes);
// What `object` saves through IPersistStreamInit.
std::string SavedBytes(IUnknown* object);

// ---- Win32 menus ----
struct MenuEntry {
    std::string text;  // ANSI, as GetMenuItemInfoA gives it; "" for a separator
    UINT id = 0, type = 0, state = 0;
    HMENU sub = nullptr;
};
std::vector<MenuEntry> ReadMenu(HMENU menu);

// ---- a real top-level form ----
class Form {
  public:
    explicit Form(const wchar_t* title = L"Formulário de teste");
    ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    HWND hwnd() const { return hwnd_; }
    // What reached the form's own window procedure: WM_COMMAND ids and WM_KEYDOWN keys.
    std::vector<UINT> commands, keys;
    // What that procedure answers to WM_COMMAND and to kAppMessage.
    static constexpr UINT kAppMessage = WM_APP + 1;
    static constexpr LRESULT kCommandResult = 77, kAppResult = 12345;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
};

// Pumps the thread's messages for about `ms` milliseconds, or until `done` says so.
void Pump(DWORD ms, const std::function<bool()>& done = nullptr);
// Presses `vks` as a user does: one after another (each down then up), or together as a chord
// (down in order, up in reverse).
void Tap(std::initializer_list<WORD> vks, bool chord = false);

// A container's property bag: objects saved into bytes (OleSaveToStream) and made anew on Read,
// as a form file keeps them; Read of a missing name answers E_INVALIDARG; requested types are
// converted with VariantChangeType.  Every Read is recorded.
class TestBag final : public tq::com::ComObject<TestBag, IPropertyBag> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    std::map<std::wstring, Variant> values;
    std::map<std::wstring, std::string> objects;
    std::vector<std::wstring> reads;
    IFACEMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    IFACEMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;
};

}  // namespace tq::test

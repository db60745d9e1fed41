// Helpers of the Windows tests and benchmarks; none asserts: a failure answers null or empty.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
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

std::wstring WinPath(const char* unix_path);

template <class F>
F ProcOf(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

ComPtr<MenuTree> NewTree();  // through the ProgID
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
std::wstring TakeErrorText();  // the thread's error object's description, cleared

std::string StreamBytes(IStream* stream);  // from its start
ComPtr<IStream> StreamOf(const std::string& bytes);
std::string SavedBytes(IUnknown* object);  // through IPersistStreamInit

struct MenuEntry {
    std::string text;  // ANSI, as GetMenuItemInfoA gives it; "" for a separator
    UINT id = 0, type = 0, state = 0;
    HMENU sub = nullptr;
};
std::vector<MenuEntry> ReadMenu(HMENU menu);

class Form {
  public:
    explicit Form(const wchar_t* title = L"Formulário de teste");
    ~Form() { DestroyWindow(hwnd_); }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    HWND hwnd() const { return hwnd_; }
    std::vector<UINT> commands, keys;  // WM_COMMAND ids and WM_KEYDOWN keys that reached it
    static constexpr UINT kAppMessage = WM_APP + 1;
    static constexpr LRESULT kCommandResult = 77, kAppResult = 12345;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
};

void Pump(DWORD ms, const std::function<bool()>& done = nullptr);
// Presses `vks` one after another, or as a chord (down in order, up in reverse).
void Tap(std::initializer_list<WORD> vks, bool chord = false);

// A form file's property bag: objects kept as OleSaveToStream bytes, types converted on Read.
class TestBag final : public tq::com::ComObject<TestBag, IPropertyBag> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    std::map<std::wstring, Variant> values;
    std::map<std::wstring, std::string> objects;
    std::vector<std::wstring> reads;  // every name read
    IFACEMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    IFACEMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;
};

}  // namespace tq::test

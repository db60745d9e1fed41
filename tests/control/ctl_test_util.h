// Helpers of the tqMenu control tests (run under Wine on real windows): a form window, a
// scriptable container site with or without an extender and ambient properties, an event sink,
// a property bag, and readers of a real Win32 menu.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "tqMenuCtl.h"
#include "tq/com/com_ptr.h"
#include "tq/com/object.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"

namespace ctltest {

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::com::Variant;

// OLE initialised (single-threaded apartment) around each test.
class ComTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// An export of a loaded module, as a typed function pointer.
template <class F>
F ProcOf(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// ---- trees and the control ----
ComPtr<MenuTree> NewTree();
// Adds an entry (Caption and Nome) and returns it.
ComPtr<MenuItem> AddEntry(MenuTree* level, const std::wstring& caption, const std::wstring& nome);
ComPtr<MenuItem> ItemAt(MenuTree* level, short position);
ComPtr<MenuTree> SubOf(MenuItem* item);
LONG HndOf(MenuItem* item);
ComPtr<_tqMenu> NewControl();  // through the ProgID, as a client does it
void SetExibir(_tqMenu* ctl, bool value);
void SetAtalhos(_tqMenu* ctl, bool value);
void SetTree(_tqMenu* ctl, MenuTree* tree);
// Description of the thread's error object (and clears it); "" when there is none.
std::wstring TakeErrorText();

// ---- Win32 menus ----
struct MenuEntry {
    std::string text;
    UINT id = 0;
    UINT type = 0;
    UINT state = 0;
    HMENU sub = nullptr;
};
// Every entry of `menu` through GetMenuItemInfoA.
std::vector<MenuEntry> ReadMenu(HMENU menu);

// ---- a real top-level form ----
class Form {
  public:
    explicit Form(const wchar_t* title = L"Formulário de teste");
    ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    HWND hwnd() const { return hwnd_; }
    // WM_COMMAND identifiers that reached the form's own window procedure.
    std::vector<UINT> commands;
    // Virtual keys of the WM_KEYDOWNs that reached the form's own window procedure.
    std::vector<UINT> keys;
    // What the form's own procedure answers to WM_COMMAND and to kAppMessage.
    static constexpr UINT kAppMessage = WM_APP + 1;
    static constexpr LRESULT kCommandResult = 77;
    static constexpr LRESULT kAppResult = 12345;
    int app_calls = 0;
    // Called from the form's own procedure for each WM_COMMAND (after recording it).
    std::function<void(UINT)> on_command;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
};

// Pumps the thread's messages for about `ms` milliseconds, or until `done` says so.
void Pump(DWORD ms, const std::function<bool()>& done = nullptr);

// Taps keys as a user does (each key down then up), through SendInput.
void Tap(std::initializer_list<WORD> vks);

// ---- Wine's ATL control host (atl100.dll) ----
// atl100.dll, loaded and initialised (AtlAxWinInit) once per process; null when unavailable.
HMODULE AtlModule();
// Creates tqMenuCtl.tqMenu in a new child window of `form`, loaded from `stream` (InitNew when
// null), as AtlAxCreateControlEx does for a form loaded from its file.  Returns the host window.
HWND HostInAtl(HWND form, IStream* stream, ComPtr<IUnknown>* control, int x = 10, int y = 10);
// A control saved into a stream with `tree`, `exibir` and `atalhos`, ready for HostInAtl.
ComPtr<IStream> SavedControl(MenuTree* tree, bool exibir, bool atalhos = false);

// ---- late-bound objects of a container (extender, parent form) ----
// An IDispatch with named properties; every put is recorded.
class PropertyObject final : public tq::com::ComObject<PropertyObject, IDispatch> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    std::map<std::wstring, Variant> values;
    std::vector<std::pair<std::wstring, Variant>> puts;

    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override;
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) override;

  private:
    std::vector<std::wstring> names_;
};

// ---- a container site written for the tests ----
// IOleClientSite + IOleInPlaceSite (window: `window`) + IOleControlSite (extender: `extender`,
// E_NOTIMPL when null) + IDispatch for ambient properties (`ambient`; members not there answer
// DISP_E_MEMBERNOTFOUND; the whole IDispatch is missing with `no_ambient_dispatch`).
class TestSite final : public tq::com::ComObject<TestSite, IOleClientSite, IOleInPlaceSite,
                                                 IOleControlSite, IDispatch> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    HWND window = nullptr;
    ComPtr<PropertyObject> extender;
    std::map<DISPID, Variant> ambient;
    bool no_ambient_dispatch = false;
    int layout_requests = 0;
    std::vector<RECT> pos_rect_changes;
    RECT pos{10, 10, 110, 60};  // what the container gives the control

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (no_ambient_dispatch && IsEqualIID(iid, IID_IDispatch)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(iid, out);
    }

    // IOleClientSite
    IFACEMETHODIMP SaveObject() override { return S_OK; }
    IFACEMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
    IFACEMETHODIMP GetContainer(IOleContainer** out) override;
    IFACEMETHODIMP ShowObject() override { return S_OK; }
    IFACEMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    IFACEMETHODIMP RequestNewObjectLayout() override;
    // IOleWindow / IOleInPlaceSite
    IFACEMETHODIMP GetWindow(HWND* out) override;
    IFACEMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    IFACEMETHODIMP CanInPlaceActivate() override { return S_OK; }
    IFACEMETHODIMP OnInPlaceActivate() override { return S_OK; }
    IFACEMETHODIMP OnUIActivate() override { return S_OK; }
    IFACEMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                    LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    IFACEMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    IFACEMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    IFACEMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    IFACEMETHODIMP DiscardUndoState() override { return S_OK; }
    IFACEMETHODIMP DeactivateAndUndo() override { return S_OK; }
    IFACEMETHODIMP OnPosRectChange(LPCRECT rect) override;
    // IOleControlSite
    IFACEMETHODIMP OnControlInfoChanged() override { return S_OK; }
    IFACEMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    IFACEMETHODIMP GetExtendedControl(IDispatch** out) override;
    IFACEMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    IFACEMETHODIMP OnFocus(BOOL) override { return S_OK; }
    IFACEMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
    // IDispatch: ambient properties
    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override;
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                          EXCEPINFO*, UINT*) override;
};

// An extender as a form designer gives it: Name, Visible, and Parent (an object with hwnd).
ComPtr<PropertyObject> MakeExtender(const std::wstring& name, HWND form);

// ---- events ----
// Sink of __tqMenu (MenuClick records the Nome of each entry) and of IPropertyNotifySink.
class EventSink final : public tq::com::ComObject<EventSink, IDispatch, IPropertyNotifySink> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    std::vector<std::wstring> clicks;    // Nome of each MenuClick's entry
    std::vector<std::wstring> captions;  // Caption of each MenuClick's entry
    std::vector<VARTYPE> arg_types;      // the type of each MenuClick's argument
    std::vector<DISPID> changed;         // OnChanged DISPIDs
    std::function<void()> on_click;      // runs inside the MenuClick handler
    HRESULT click_result = S_OK;         // what the MenuClick handler answers

    IFACEMETHODIMP GetTypeInfoCount(UINT* n) override;
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                          EXCEPINFO*, UINT*) override;
    IFACEMETHODIMP OnChanged(DISPID id) override;
    IFACEMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};
// Connects `sink` to the connection point `iid` of `control`; returns the cookie.
DWORD Connect(IUnknown* control, REFIID iid, IUnknown* sink);

// ---- a classic form designer ----
// One control placed on `form` the way a classic form designer hosts it.  The site answers
// UserMode through its ambient IDispatch and gives an extender (Name `name`, Visible, and a
// Parent whose hwnd is the form).  The form is loaded as such a designer loads it: GetMiscStatus
// first, the site set before loading when the control asks for that, events frozen
// (IOleControl::FreezeEvents) while the control reads its saved properties and thawed after, a
// MenuClick sink connected, and then, unless it runs the form (`user_mode`) and the control says
// it is invisible at run time, the control activated in place.
class DesignerControl {
  public:
    DesignerControl(HWND form, MenuTree* tree, bool exibir, bool user_mode,
                    const std::wstring& name = L"tqMenu1", bool atalhos = false);
    ~DesignerControl();  // the form closes the control and lets it go
    DesignerControl(const DesignerControl&) = delete;
    DesignerControl& operator=(const DesignerControl&) = delete;
    HRESULT Verb(LONG verb);
    ComPtr<MenuTree> Tree();  // the control's own tree, as loaded

    HWND form;
    ComPtr<TestSite> site;
    ComPtr<_tqMenu> ctl;
    ComPtr<IOleObject> ole;
    ComPtr<EventSink> sink;
    DWORD misc = 0;
    bool activated = false;  // false when the designer skipped the activation
};

// ---- a container's property bag ----
// Stores what it is given, objects saved into bytes (OleSaveToStream) and made anew on Read, as a
// form file keeps them; Read of a missing name answers E_INVALIDARG; requested types are
// converted with VariantChangeType, as a container's bag does.  Every Read is recorded.
class TestBag final : public tq::com::ComObject<TestBag, IPropertyBag> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    std::map<std::wstring, Variant> values;
    std::map<std::wstring, std::string> objects;
    std::vector<std::wstring> reads;
    IFACEMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    IFACEMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;
};

// The bytes of a stream from its start; a new stream holding bytes.
std::string StreamBytes(IStream* stream);
ComPtr<IStream> StreamOf(const std::string& bytes);

}  // namespace ctltest

// The control's hosts for the Windows tests: Wine's ATL host, a container site, a classic designer.
#pragma once

#include "tqMenuCtl.h"
#include "win_test.h"

namespace tq::test {

ComPtr<_tqMenu> NewControl();
ComPtr<MenuTree> TreeOf(_tqMenu* ctl);
HRESULT SetTree(_tqMenu* ctl, MenuTree* tree);
HRESULT SetExibir(_tqMenu* ctl, bool value);
HRESULT SetAtalhos(_tqMenu* ctl, bool value);
ComPtr<IStream> SavedControl(MenuTree* tree, bool exibir, bool atalhos = false);

HMODULE AtlModule();  // Wine's atl100.dll, initialised once
// tqMenuCtl.tqMenu in a new child window of `form`, loaded from `stream` by AtlAxCreateControlEx.
HWND HostInAtl(HWND form, IStream* stream, ComPtr<IUnknown>* control);

// A client, in-place and control site in `window`, with ambient properties (by DISPID) and an
// extender (by name; none when empty) that is the site itself and its own Parent.
// It also takes the control's events: MenuClick and IPropertyNotifySink's changes.
class TestSite final : public tq::com::ComObject<TestSite, IOleClientSite, IOleInPlaceSite,
                                                 IOleControlSite, IDispatch, IPropertyNotifySink> {
  public:
    static std::span<const tq::com::QiEntry> Interfaces();
    HWND window = nullptr;
    std::map<DISPID, Variant> ambient;
    std::map<std::wstring, Variant> extender;
    int puts = 0;                                           // extender properties put
    void SetExtender(const std::wstring& name, HWND form);  // Name, Visible, Parent, Parent.hwnd
    RECT pos{10, 10, 110, 60};                              // what the container gives the control
    std::vector<std::wstring> clicks;  // Nome of each MenuClick's entry (by reference)
    std::vector<DISPID> changed;       // OnChanged DISPIDs
    std::function<void()> on_click;    // runs inside the MenuClick handler
    bool WaitClicks(size_t n);

    IFACEMETHODIMP SaveObject() override { return S_OK; }
    IFACEMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    IFACEMETHODIMP ShowObject() override { return S_OK; }
    IFACEMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    IFACEMETHODIMP RequestNewObjectLayout() override { return S_OK; }
    IFACEMETHODIMP GetWindow(HWND* out) override { return *out = window, S_OK; }
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
    IFACEMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    IFACEMETHODIMP OnControlInfoChanged() override { return S_OK; }
    IFACEMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
    IFACEMETHODIMP GetExtendedControl(IDispatch** out) override;
    IFACEMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    IFACEMETHODIMP OnFocus(BOOL) override { return S_OK; }
    IFACEMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
    IFACEMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    IFACEMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) override;
    IFACEMETHODIMP OnChanged(DISPID id) override { return changed.push_back(id), S_OK; }
    IFACEMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }
};
DWORD Connect(IUnknown* control, REFIID iid, IUnknown* sink);

// A control hosted as a classic form designer does (misc status first, the site before the load,
// as the control asks, events frozen while loading, in-place activated); `hr`: the first failure.
class DesignerControl {
  public:
    DesignerControl(HWND form, MenuTree* tree, bool user_mode,
                    const std::wstring& name = L"tqMenu1", bool atalhos = false);
    ~DesignerControl();
    DesignerControl(const DesignerControl&) = delete;
    DesignerControl& operator=(const DesignerControl&) = delete;
    HRESULT Verb(LONG verb) { return ole->DoVerb(verb, nullptr, site.get(), 0, form, &site->pos); }

    HWND form;
    HRESULT hr = S_OK;
    ComPtr<TestSite> site = TestSite::Make();
    ComPtr<_tqMenu> ctl = NewControl();
    ComPtr<IOleObject> ole;
};

}  // namespace tq::test

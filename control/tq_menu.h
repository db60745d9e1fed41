// tqMenu, the ActiveX control: holds a MenuTree and the ExibirMenu and AtalhosAtivos flags,
// persists them in the form, and gives the form that holds it a Win32 menu bar built from the tree
// (menu_bar.h).
//
// Interfaces a container uses: IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
// IOleControl, IViewObject2, IPersistStreamInit (and IPersistStream), IPersistPropertyBag,
// IProvideClassInfo2, IConnectionPointContainer (__tqMenu events, IPropertyNotifySink),
// ISpecifyPropertyPages and ISupportErrorInfo; _tqMenu, dual, for the program.
//
// Size: always 510 x 510 twips, that is 900 x 900 HIMETRIC or 34 x 34 pixels at 96 DPI.  Given
// another size the control keeps its own and asks the container to lay it out again.
//
// Threads: apartment threaded; every call comes on the thread of the form.
#pragma once

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <span>
#include <string>

#include "connection_point.h"
#include "container_link.h"
#include "control_window.h"
#include "mdl_menu.h"
#include "menu_bar.h"
#include "tqMenuCtl.h"
#include "tq/com/dispatch.h"
#include "tq/com/object.h"

namespace tq::ctl {

// OLEMISC bits of the control, as registered under MiscStatus and answered by GetMiscStatus.
// Not OLEMISC_INVISIBLEATRUNTIME: the control hides itself when it is shown at run time, and a
// container that honours that bit would never show it, so no bar and no MenuClick.
inline constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT;
// 510 twips.
inline constexpr LONG kSizeHimetric = 900;
// DISPIDs of the persisted properties (tqMenuCtl.idl).
inline constexpr DISPID kDispidMenuTree = 1;
inline constexpr DISPID kDispidExibirMenu = 2;
inline constexpr DISPID kDispidAtalhosAtivos = 7;
// DISPID of __tqMenu::MenuClick.
inline constexpr DISPID kDispidMenuClick = 1;

class TqMenu final
    : public com::ComObject<TqMenu, com::DispatchImpl<_tqMenu, &IID__tqMenu>, IOleObject,
                            IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl, IViewObject2,
                            IPersistStreamInit, IPersistPropertyBag, IProvideClassInfo2,
                            IConnectionPointContainer, ISpecifyPropertyPages, ISupportErrorInfo>,
      private MenuOwner,
      private CommandReceiver {
  public:
    TqMenu();
    ~TqMenu();
    static std::span<const com::QiEntry> Interfaces();
    static HRESULT Create(REFIID iid, void** out);

    // _tqMenu
    IFACEMETHODIMP get_MenuTree(::MenuTree** value) override;
    IFACEMETHODIMP putref_MenuTree(::MenuTree** newMenuTree) override;
    IFACEMETHODIMP get_ExibirMenu(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_ExibirMenu(VARIANT_BOOL* newExibirMenu) override;
    IFACEMETHODIMP ReExibirMenu(VARIANT* result) override;
    IFACEMETHODIMP ReloadDefault() override;
    IFACEMETHODIMP DefineMenu(::MenuTree** gmtMenu, LONG* lngHndPai, VARIANT* result) override;
    IFACEMETHODIMP GerarScript(VARIANT* result) override;
    IFACEMETHODIMP get_AtalhosAtivos(VARIANT_BOOL* value) override;
    IFACEMETHODIMP put_AtalhosAtivos(VARIANT_BOOL* newAtalhosAtivos) override;

    // IOleObject
    IFACEMETHODIMP SetClientSite(IOleClientSite* site) override;
    IFACEMETHODIMP GetClientSite(IOleClientSite** out) override;
    IFACEMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    IFACEMETHODIMP Close(DWORD save_option) override;
    IFACEMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override;
    IFACEMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    IFACEMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    IFACEMETHODIMP GetClipboardData(DWORD reserved, IDataObject** out) override;
    IFACEMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* active_site, LONG index,
                          HWND parent, LPCRECT pos) override;
    IFACEMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
    IFACEMETHODIMP Update() override;
    IFACEMETHODIMP IsUpToDate() override;
    IFACEMETHODIMP GetUserClassID(CLSID* clsid) override;
    IFACEMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override;
    IFACEMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    IFACEMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    IFACEMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    IFACEMETHODIMP Unadvise(DWORD cookie) override;
    IFACEMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
    IFACEMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    IFACEMETHODIMP SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow (for IOleInPlaceObject and IOleInPlaceActiveObject)
    IFACEMETHODIMP GetWindow(HWND* out) override;
    IFACEMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceObject
    IFACEMETHODIMP InPlaceDeactivate() override;
    IFACEMETHODIMP UIDeactivate() override;
    IFACEMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    IFACEMETHODIMP ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    IFACEMETHODIMP TranslateAccelerator(LPMSG msg) override;
    IFACEMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    IFACEMETHODIMP OnDocWindowActivate(BOOL activate) override;
    IFACEMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    IFACEMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    IFACEMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    IFACEMETHODIMP OnMnemonic(MSG* msg) override;
    IFACEMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    IFACEMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    IFACEMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target,
                        HDC target_dc, HDC dc, LPCRECTL bounds, LPCRECTL wbounds,
                        BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR cont_arg) override;
    IFACEMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target,
                               HDC target_dc, LOGPALETTE** colors) override;
    IFACEMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* cookie) override;
    IFACEMETHODIMP Unfreeze(DWORD cookie) override;
    IFACEMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    IFACEMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    IFACEMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                             LPSIZEL size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    IFACEMETHODIMP GetClassID(CLSID* clsid) override;
    IFACEMETHODIMP IsDirty() override;
    IFACEMETHODIMP Load(LPSTREAM stream) override;
    IFACEMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override;
    IFACEMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    IFACEMETHODIMP InitNew() override;
    IFACEMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    IFACEMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

    // IProvideClassInfo2
    IFACEMETHODIMP GetClassInfo(ITypeInfo** out) override;
    IFACEMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer
    IFACEMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    IFACEMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // ISpecifyPropertyPages
    IFACEMETHODIMP GetPages(CAUUID* pages) override;

    // ISupportErrorInfo
    IFACEMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // For code of this library (the window procedure, the property page): raises the control
    // event `name` ("MenuClick", with `item`); any other name does nothing.  A sink's failure
    // does not keep the event from the other sinks; the first failure is returned.
    HRESULT DispararEvento(std::wstring_view name, IDispatch* item) override;
    // The MenuTree getter as code of this library uses it (throws).
    com::ComPtr<::MenuTree> Tree() override;
    // Whether the command identifier `id` belongs to an entry of the current bar: the window
    // procedure raises MenuClick for nothing else.
    bool OwnsCommand(LONG id) const override { return bar_.UsesId(id); }
    IDispatch* Automation() override { return static_cast<_tqMenu*>(this); }

  private:
    // MenuOwner
    HWND HostWindow() override { return link_.HostWindow(); }
    std::wstring ControlName() override { return link_.ControlName(); }

    // UserControl_Show: the container shows the control.  Runs once per transition to visible
    // (ShowOnce): the first activation verb, or the first after OLEIVERB_HIDE or in-place
    // deactivation; further verbs on a shown control do not run it again.
    void Show();
    HRESULT ShowOnce();
    HWND DialogOwner() noexcept;
    // The persisted values as a load reads them, installed together by Commit: a load that
    // fails anywhere leaves the control as it was.
    struct StoredState {
        com::ComPtr<::MenuTree> tree;
        VARIANT_BOOL exibir_menu = VARIANT_TRUE;
        VARIANT_BOOL atalhos_ativos = VARIANT_FALSE;
    };
    StoredState ReadProperties(IPropertyBag* bag, IErrorLog* log);
    void Commit(StoredState state) noexcept;
    void WriteProperties(IPropertyBag* bag);
    void PropertyChanged(DISPID id);
    // Rebuilds the bar (ReExibirMenu) and, once shown at run time on a form that has
    // WindowProc, hands the form the shortcuts of the new bar (none with AtalhosAtivos False).
    void RebuildBar();
    // Gives `host` the bar's shortcuts, or takes this control's away from it.
    void PublishShortcuts(HWND host);
    HRESULT InPlaceActivate(IOleClientSite* site, LPCRECT pos);
    // Asks the container for the control's own size when `pos` is another one.
    void AskForOwnSize(const RECT& pos);

    // Persisted state and the bar.
    com::ComPtr<::MenuTree> tree_;  // may be empty until first read
    VARIANT_BOOL exibir_menu_ = VARIANT_FALSE;
    VARIANT_BOOL atalhos_ativos_ = VARIANT_FALSE;
    MenuBar bar_{*this};
    bool dirty_ = false;

    // Container.
    ContainerLink link_;
    com::ComPtr<IOleInPlaceSite> inplace_site_;
    ControlWindow window_;
    bool hidden_ = false;       // hidden at run time: stays hidden across activations
    bool shown_ = false;        // Show ran, and no hide or deactivation came since
    bool run_time_ = false;     // the last Show was at run time (UserMode True)
    bool asking_size_ = false;  // inside a size request to the container
    com::ComPtr<IOleAdviseHolder> advise_holder_;
    com::ComPtr<IAdviseSink> view_sink_;
    DWORD view_aspects_ = 0;
    DWORD view_flags_ = 0;
    LONG events_frozen_ = 0;

    ConnectionPoint events_;
    ConnectionPoint notify_;
};

}  // namespace tq::ctl

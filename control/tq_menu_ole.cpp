// tqMenu as an embedded OLE object: client site, verbs, in-place activation, size, drawing.
#include <algorithm>

#include "shortcut_keys.h"
#include "tq_menu.h"
#include "tq/com/error_info.h"

namespace tq::ctl {

using com::ComPtr;

namespace {

// The control's size in pixels of the screen (34 x 34 at 96 DPI).
SIZE OwnSizeInPixels() {
    HDC screen = GetDC(nullptr);
    const int dpi_x = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpi_y = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return {MulDiv(kSizeHimetric, dpi_x, 2540), MulDiv(kSizeHimetric, dpi_y, 2540)};
}

bool HasOwnSize(const RECT& r, SIZE own) {
    return r.right - r.left == own.cx && r.bottom - r.top == own.cy;
}

}  // namespace

// ---- IOleObject ----

HRESULT TqMenu::SetClientSite(IOleClientSite* site) {
    if (site != link_.Site()) shown_ = false;  // another container shows the control anew
    link_.SetSite(site);
    return S_OK;
}

HRESULT TqMenu::GetClientSite(IOleClientSite** out) {
    if (!out) return E_POINTER;
    *out = link_.Site();
    if (*out) (*out)->AddRef();
    return S_OK;
}

HRESULT TqMenu::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT TqMenu::Close(DWORD save_option) {
    InPlaceDeactivate();
    RemoveOwnerShortcuts(this);  // a closed control's keys fire no more
    if (dirty_ && link_.Site() &&
        (save_option == OLECLOSE_SAVEIFDIRTY || save_option == OLECLOSE_PROMPTSAVE))
        link_.Site()->SaveObject();
    if (advise_holder_) advise_holder_->SendOnClose();
    return S_OK;
}

HRESULT TqMenu::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT TqMenu::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TqMenu::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT TqMenu::GetClipboardData(DWORD, IDataObject** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TqMenu::DoVerb(LONG verb, LPMSG, IOleClientSite* active_site, LONG, HWND, LPCRECT pos) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE: {
            // The control has no user interface to activate: UI activation is in-place
            // activation.  Each of these verbs shows the control; UserControl_Show runs when it
            // was not shown yet.
            const HRESULT hr = InPlaceActivate(active_site ? active_site : link_.Site(), pos);
            if (FAILED(hr)) return hr;
            return ShowOnce();
        }
        case OLEIVERB_HIDE:
            shown_ = false;
            if (window_) ShowWindow(window_.get(), SW_HIDE);
            return S_OK;
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;
        case OLEIVERB_OPEN:
        case OLEIVERB_PROPERTIES:
            return E_NOTIMPL;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT TqMenu::ShowOnce() {
    if (shown_) return S_OK;
    // Marked first: a container that activates the control again from inside Show (when the
    // extender hides it, say) does not run Show a second time.
    shown_ = true;
    const HRESULT hr = com::Guard(IID_IOleObject, L"tqMenuCtl.tqMenu", [&] {
        Show();
        return S_OK;
    });
    if (FAILED(hr)) shown_ = false;  // not shown: the next activation tries again
    return hr;
}

HRESULT TqMenu::EnumVerbs(IEnumOLEVERB** out) {
    return OleRegEnumVerbs(CLSID_tqMenu, out);
}
HRESULT TqMenu::Update() {
    return S_OK;
}
HRESULT TqMenu::IsUpToDate() {
    return S_OK;
}

HRESULT TqMenu::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_tqMenu;
    return S_OK;
}

HRESULT TqMenu::GetUserType(DWORD form, LPOLESTR* out) {
    return OleRegGetUserType(CLSID_tqMenu, form, out);
}

HRESULT TqMenu::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    // The size stays 900 x 900 HIMETRIC; the container learns it when it lays the control out
    // again and asks GetExtent.
    if ((size->cx != kSizeHimetric || size->cy != kSizeHimetric) && !asking_size_ && link_.Site()) {
        asking_size_ = true;
        link_.Site()->RequestNewObjectLayout();
        asking_size_ = false;
    }
    return S_OK;
}

HRESULT TqMenu::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    size->cx = kSizeHimetric;
    size->cy = kSizeHimetric;
    return S_OK;
}

HRESULT TqMenu::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!advise_holder_) {
        const HRESULT hr = CreateOleAdviseHolder(advise_holder_.put());
        if (FAILED(hr)) return hr;
    }
    return advise_holder_->Advise(sink, cookie);
}

HRESULT TqMenu::Unadvise(DWORD cookie) {
    if (!advise_holder_) return OLE_E_NOCONNECTION;
    return advise_holder_->Unadvise(cookie);
}

HRESULT TqMenu::EnumAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!advise_holder_) return S_OK;  // no connections: a null enumerator, as documented
    return advise_holder_->EnumAdvise(out);
}

HRESULT TqMenu::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT TqMenu::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// ---- in-place activation ----

HRESULT TqMenu::InPlaceActivate(IOleClientSite* site, LPCRECT pos) {
    if (window_) {
        if (pos) SetObjectRects(pos, pos);
        return S_OK;
    }
    if (!site) return E_UNEXPECTED;
    ComPtr<IOleInPlaceSite> inplace;
    HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, inplace.put_void());
    if (FAILED(hr)) return hr;
    if (inplace->CanInPlaceActivate() != S_OK) return E_FAIL;
    hr = inplace->OnInPlaceActivate();
    if (FAILED(hr)) return hr;

    HWND parent = nullptr;
    hr = inplace->GetWindow(&parent);
    RECT where{0, 0, 0, 0}, clip{0, 0, 0, 0};
    OLEINPLACEFRAMEINFO frame_info{};
    frame_info.cb = sizeof(frame_info);
    if (SUCCEEDED(hr)) {
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> doc;
        hr = inplace->GetWindowContext(frame.put(), doc.put(), &where, &clip, &frame_info);
    }
    if (SUCCEEDED(hr)) {
        if (pos) where = *pos;
        const SIZE own = OwnSizeInPixels();
        const RECT mine{where.left, where.top, where.left + own.cx, where.top + own.cy};
        hr = window_.Create(parent, mine);
        if (SUCCEEDED(hr)) {
            inplace_site_ = inplace;
            AskForOwnSize(where);
            if (!hidden_) ShowWindow(window_.get(), SW_SHOWNA);
        }
    }
    if (FAILED(hr)) inplace->OnInPlaceDeactivate();
    return hr;
}

void TqMenu::AskForOwnSize(const RECT& pos) {
    const SIZE own = OwnSizeInPixels();
    if (HasOwnSize(pos, own) || asking_size_ || !inplace_site_) return;
    asking_size_ = true;
    RECT mine{pos.left, pos.top, pos.left + own.cx, pos.top + own.cy};
    // A container that cannot move its site keeps its rectangle; the window is ours anyway.
    if (FAILED(inplace_site_->OnPosRectChange(&mine)) && link_.Site())
        link_.Site()->RequestNewObjectLayout();
    asking_size_ = false;
}

HRESULT TqMenu::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = window_.get();
    return window_ ? S_OK : E_FAIL;
}

HRESULT TqMenu::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT TqMenu::InPlaceDeactivate() {
    shown_ = false;  // the next activation shows the control again
    if (!inplace_site_) return S_OK;
    window_.Destroy();
    ComPtr<IOleInPlaceSite> site = std::move(inplace_site_);
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT TqMenu::UIDeactivate() {
    return S_OK;
}

HRESULT TqMenu::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    if (window_) {
        const SIZE own = OwnSizeInPixels();
        SetWindowPos(window_.get(), nullptr, pos->left, pos->top, own.cx, own.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    AskForOwnSize(*pos);
    return S_OK;
}

HRESULT TqMenu::ReactivateAndUndo() {
    return E_NOTIMPL;
}

// ---- IOleInPlaceActiveObject: nothing of the frame's user interface is ours ----

HRESULT TqMenu::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}
HRESULT TqMenu::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
HRESULT TqMenu::OnDocWindowActivate(BOOL) {
    return S_OK;
}
HRESULT TqMenu::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
HRESULT TqMenu::EnableModeless(BOOL) {
    return S_OK;
}

// ---- IOleControl ----

HRESULT TqMenu::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT TqMenu::OnMnemonic(MSG*) {
    return S_OK;
}
HRESULT TqMenu::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT TqMenu::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++events_frozen_;
    else if (events_frozen_ > 0)
        --events_frozen_;
    return S_OK;
}

// ---- IViewObject2: the toolbox picture, for containers that draw their controls ----

HRESULT TqMenu::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                     LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    return DrawToolboxPicture(dc, r);
}

HRESULT TqMenu::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return S_FALSE;
}

HRESULT TqMenu::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}
HRESULT TqMenu::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT TqMenu::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    view_sink_ = sink;
    view_aspects_ = aspects;
    view_flags_ = flags;
    return S_OK;
}

HRESULT TqMenu::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = view_aspects_;
    if (flags) *flags = view_flags_;
    if (sink) {
        *sink = view_sink_.get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

HRESULT TqMenu::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace tq::ctl

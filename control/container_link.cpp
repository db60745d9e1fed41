#include "container_link.h"

#include <olectl.h>

#include "tq/com/error_info.h"
#include "tq/com/late_bind.h"
#include "tq/com/variant.h"
#include "tq/error.h"

namespace tq::ctl {

using com::Check;
using com::ComPtr;
using com::Variant;

namespace {

constexpr wchar_t kDefaultName[] = L"tqMenu";

// An object held in a Variant as IDispatch (VT_DISPATCH, or VT_UNKNOWN that answers it).
ComPtr<IDispatch> AsDispatch(const VARIANT& v) {
    ComPtr<IDispatch> d;
    if (V_VT(&v) == VT_DISPATCH) {
        d = V_DISPATCH(&v);
    } else if (V_VT(&v) == VT_UNKNOWN && V_UNKNOWN(&v)) {
        V_UNKNOWN(&v)->QueryInterface(IID_IDispatch, d.put_void());
    }
    return d;
}

}  // namespace

ComPtr<IDispatch> ContainerLink::Extender() const {
    if (!site_) return {};
    ComPtr<IOleControlSite> control_site;
    if (FAILED(site_.As(IID_IOleControlSite, &control_site))) return {};
    ComPtr<IDispatch> ext;
    if (FAILED(control_site->GetExtendedControl(ext.put()))) return {};
    return ext;
}

bool ContainerLink::Ambient(DISPID id, VARIANT* value) const {
    if (!site_) return false;
    ComPtr<IDispatch> ambient;
    if (FAILED(site_.As(IID_IDispatch, &ambient)) || !ambient) return false;
    DISPPARAMS none{};
    return SUCCEEDED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     value, nullptr, nullptr));
}

HWND ContainerLink::HostWindow() {
    if (ComPtr<IDispatch> ext = Extender()) {
        Variant parent;
        Check(com::GetProperty(ext.get(), L"Parent", &parent));
        ComPtr<IDispatch> form = AsDispatch(parent);
        if (!form)
            throw tq::Error(tq::hr::kObjectRequired,
                            u"O contêiner não deu o objeto pai (\"Parent\") do tqMenu");
        Variant hwnd;
        Check(com::GetProperty(form.get(), L"hwnd", &hwnd));
        Check(VariantChangeType(&hwnd, &hwnd, 0, VT_I4),
              L"O \"hwnd\" do objeto pai do tqMenu não é um número");
        return static_cast<HWND>(LongToHandle(V_I4(&hwnd)));
    }
    if (!site_)
        throw tq::Error(static_cast<int32_t>(E_UNEXPECTED),
                        u"O tqMenu não está num formulário: nenhum contêiner lhe deu um site");
    ComPtr<IOleInPlaceSite> inplace;
    Check(site_.As(IID_IOleInPlaceSite, &inplace),
          L"O contêiner do tqMenu não tem site in-place nem objeto estendido: não há janela de "
          L"formulário");
    HWND site_window = nullptr;
    Check(inplace->GetWindow(&site_window));
    if (!site_window)
        throw tq::Error(static_cast<int32_t>(E_UNEXPECTED),
                        u"O contêiner do tqMenu não informou a sua janela");
    HWND root = GetAncestor(site_window, GA_ROOT);
    return root ? root : site_window;
}

HWND ContainerLink::HostWindowIfAny() {
    return site_ ? HostWindow() : nullptr;
}

std::wstring ContainerLink::ControlName() {
    if (ComPtr<IDispatch> ext = Extender()) {
        Variant name;
        Check(com::GetProperty(ext.get(), L"Name", &name));
        Check(VariantChangeType(&name, &name, 0, VT_BSTR), L"O \"Name\" do tqMenu não é um texto");
        return std::wstring(V_BSTR(&name) ? V_BSTR(&name) : L"", SysStringLen(V_BSTR(&name)));
    }
    Variant display;
    if (Ambient(DISPID_AMBIENT_DISPLAYNAME, &display) &&
        SUCCEEDED(VariantChangeType(&display, &display, 0, VT_BSTR)) &&
        SysStringLen(V_BSTR(&display)) > 0)
        return std::wstring(V_BSTR(&display), SysStringLen(V_BSTR(&display)));
    return kDefaultName;
}

bool ContainerLink::UserMode() {
    Variant mode;
    if (!Ambient(DISPID_AMBIENT_USERMODE, &mode)) return true;
    if (FAILED(VariantChangeType(&mode, &mode, 0, VT_BOOL))) return true;
    return V_BOOL(&mode) != VARIANT_FALSE;
}

bool ContainerLink::HideThroughExtender() {
    ComPtr<IDispatch> ext = Extender();
    if (!ext) return false;
    Check(com::PutProperty(ext.get(), L"Visible", Variant::FromBool(false)));
    return true;
}

}  // namespace tq::ctl

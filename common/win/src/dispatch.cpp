// ByRefArguments: by-reference Variants from script engines handed to typed pointer parameters.
#include "tq/com/dispatch.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace tq::com {

namespace {

// The type a pointer parameter points to, as a VARTYPE; VT_EMPTY when it is not one the
// adaptation handles (a Variant*, a structure, an array...).
VARTYPE PointeeType(ITypeInfo* ti, const TYPEDESC& param) {
    if (param.vt != VT_PTR || !param.lptdesc) return VT_EMPTY;
    const TYPEDESC& to = *param.lptdesc;
    switch (to.vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BOOL:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return to.vt;
        case VT_PTR: {
            // An interface pointer: MenuTree** and the like travel as IDispatch.
            if (!to.lptdesc || to.lptdesc->vt != VT_USERDEFINED) return VT_EMPTY;
            ITypeInfo* ref = nullptr;
            if (FAILED(ti->GetRefTypeInfo(to.lptdesc->hreftype, &ref))) return VT_EMPTY;
            TYPEATTR* attr = nullptr;
            VARTYPE vt = VT_EMPTY;
            if (SUCCEEDED(ref->GetTypeAttr(&attr))) {
                if (attr->typekind == TKIND_DISPATCH ||
                    (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL)))
                    vt = VT_DISPATCH;
                else if (attr->typekind == TKIND_INTERFACE)
                    vt = VT_UNKNOWN;
                ref->ReleaseTypeAttr(attr);
            }
            ref->Release();
            return vt;
        }
        default:
            return VT_EMPTY;
    }
}

// The description of member `id` as called with `flags` (for the caller to release); null when
// there is none.
FUNCDESC* FindFunc(ITypeInfo* ti, DISPID id, WORD flags) {
    TYPEATTR* attr = nullptr;
    if (FAILED(ti->GetTypeAttr(&attr))) return nullptr;
    const UINT funcs = attr->cFuncs;
    ti->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(ti->GetFuncDesc(i, &fd))) return nullptr;
        if (fd->memid == id && (fd->invkind & flags)) return fd;
        ti->ReleaseFuncDesc(fd);
    }
    return nullptr;
}

// The parameter (left to right) that argument j stands for; `count` for none.  Positional
// arguments come last to first; named ones name their parameter, and a property put's value is
// the last parameter.
UINT ParameterOf(const DISPPARAMS& params, UINT j, UINT count) {
    if (j >= params.cNamedArgs) return params.cArgs - 1 - j;
    const DISPID name = params.rgdispidNamedArgs[j];
    if (name == DISPID_PROPERTYPUT && count > 0) return count - 1;
    return name >= 0 ? static_cast<UINT>(name) : count;
}

}  // namespace

struct ByRefArguments::State {
    // One converted argument: the caller's Variant, the value handed to the callee, and what it
    // held before the call (the text of a string, the bits of anything else).
    struct Slot {
        VARIANT* caller;
        VARIANT value;
        VARIANT before;
        std::wstring before_text;
    };
    std::vector<VARIANT> args;
    std::vector<Slot> slots;
    DISPPARAMS params{};

    ~State() {
        for (Slot& s : slots) VariantClear(&s.value);
    }
};

ByRefArguments::ByRefArguments() noexcept = default;
ByRefArguments::~ByRefArguments() = default;

HRESULT ByRefArguments::Prepare(ITypeInfo* ti, DISPID id, WORD flags, DISPPARAMS* params,
                                UINT* arg_err) {
    if (!params || !params->rgvarg) return S_OK;
    bool any = false;
    for (UINT j = 0; j < params->cArgs; ++j)
        any = any || V_VT(&params->rgvarg[j]) == (VT_BYREF | VT_VARIANT);
    if (!any) return S_OK;

    // Without a description the type library's Invoke will say what is wrong.
    FUNCDESC* fd = FindFunc(ti, id, flags);
    if (!fd) return S_OK;

    HRESULT hr = S_OK;
    try {
        auto state = std::make_unique<State>();
        state->args.assign(params->rgvarg, params->rgvarg + params->cArgs);
        state->slots.reserve(params->cArgs);
        const UINT count = static_cast<UINT>(fd->cParams);
        for (UINT j = 0; j < params->cArgs && SUCCEEDED(hr); ++j) {
            VARIANT& arg = state->args[j];
            if (V_VT(&arg) != (VT_BYREF | VT_VARIANT) || !V_VARIANTREF(&arg)) continue;
            const UINT p = ParameterOf(*params, j, count);
            if (p >= count) continue;
            const VARTYPE vt = PointeeType(ti, fd->lprgelemdescParam[p].tdesc);
            if (vt == VT_EMPTY) continue;
            VARIANT* caller = V_VARIANTREF(&arg);
            if (V_VT(caller) == (VT_BYREF | vt)) {
                arg = *caller;  // already a reference of the right type
                continue;
            }
            State::Slot& s = state->slots.emplace_back();
            s.caller = caller;
            std::memset(&s.value, 0, sizeof s.value);
            if (FAILED(VariantChangeType(&s.value, caller, 0, vt))) {
                state->slots.pop_back();
                if (arg_err) *arg_err = j;
                hr = DISP_E_TYPEMISMATCH;
                break;
            }
            s.before = s.value;
            if (vt == VT_BSTR && V_BSTR(&s.value))
                s.before_text.assign(V_BSTR(&s.value), SysStringLen(V_BSTR(&s.value)));
            V_VT(&arg) = VT_BYREF | vt;
            V_BYREF(&arg) = &V_UI1(&s.value);  // the value's storage, whatever its type
        }
        if (SUCCEEDED(hr)) {
            state->params = *params;
            state->params.rgvarg = state->args.data();
            state_ = std::move(state);
        }
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    ti->ReleaseFuncDesc(fd);
    return hr;
}

DISPPARAMS* ByRefArguments::Params(DISPPARAMS* original) noexcept {
    return state_ ? &state_->params : original;
}

void ByRefArguments::CopyBack() noexcept {
    if (!state_) return;
    for (State::Slot& s : state_->slots) {
        bool changed;
        if (V_VT(&s.value) == VT_BSTR) {
            const BSTR now = V_BSTR(&s.value);
            changed =
                std::wstring_view(now ? now : L"", now ? SysStringLen(now) : 0) != s.before_text;
        } else {
            changed = std::memcmp(&V_UI1(&s.value), &V_UI1(&s.before), sizeof(LONGLONG)) != 0;
        }
        if (!changed) continue;
        VariantClear(s.caller);
        *s.caller = s.value;  // the caller's Variant takes the value over
        V_VT(&s.value) = VT_EMPTY;
    }
    state_.reset();
}

}  // namespace tq::com

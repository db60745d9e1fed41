// IEnumVARIANT over the entries of one level, handed out by MenuTree._NewEnum (For Each).
#include "tqbib_private.h"

namespace tq::bib::com {

std::span<const QiEntry> ItemEnumObject::Interfaces() {
    static const QiEntry table[] = {TQ_QI(ItemEnumObject, IEnumVARIANT)};
    return table;
}

ItemEnumObject::ItemEnumObject(std::shared_ptr<tq::bib::MenuTree> level, size_t next)
    : level_(std::move(level)), next_(next) {}

HRESULT ItemEnumObject::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (count == 0) return S_OK;
    if (!items) return E_POINTER;
    // Only one element may be asked for without a count to report back.
    if (!fetched && count != 1) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < level_->Count(); ++n, ++next_) {
        ::MenuItem* item = nullptr;
        const HRESULT hr = MenuItemObject::Wrap(level_->At(next_ + 1), &item);
        if (FAILED(hr)) {
            for (ULONG i = 0; i < n; ++i) VariantClear(&items[i]);
            return hr;
        }
        VariantInit(&items[n]);
        V_VT(&items[n]) = VT_DISPATCH;
        V_DISPATCH(&items[n]) = item;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT ItemEnumObject::Skip(ULONG count) {
    const size_t left = level_->Count() > next_ ? level_->Count() - next_ : 0;
    if (count > left) {
        next_ = level_->Count();
        return S_FALSE;
    }
    next_ += count;
    return S_OK;
}

HRESULT ItemEnumObject::Reset() {
    next_ = 0;
    return S_OK;
}

HRESULT ItemEnumObject::Clone(IEnumVARIANT** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto copy = Make(level_, next_);
    if (!copy) return E_OUTOFMEMORY;
    *out = copy.Detach();
    return S_OK;
}

}  // namespace tq::bib::com

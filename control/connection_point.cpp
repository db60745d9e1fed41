#include "connection_point.h"

#include <olectl.h>

#include <algorithm>
#include <span>
#include <type_traits>

#include "tq/com/object.h"

namespace tq::ctl {

using com::ComPtr;

namespace {

// IEnumConnections / IEnumConnectionPoints over a copied list.  `Item` is the element type the
// enumerator hands out; Copy() gives the caller its own reference.
template <class IEnum, class Item, const IID* piid>
class Enumerator final : public com::ComObject<Enumerator<IEnum, Item, piid>, IEnum> {
  public:
    using Element = std::conditional_t<std::is_same_v<Item, CONNECTDATA>, CONNECTDATA,
                                       ComPtr<IConnectionPoint>>;
    Enumerator(std::vector<Element> items, size_t pos) : items_(std::move(items)), pos_(pos) {}

    static std::span<const com::QiEntry> Interfaces() {
        static const com::QiEntry table[] = {com::QiEntry{piid, &com::CastTo<Enumerator, IEnum>}};
        return table;
    }

    IFACEMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_) out[n] = Copy(items_[pos_]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    IFACEMETHODIMP Skip(ULONG count) override {
        const size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    IFACEMETHODIMP Reset() override {
        pos_ = 0;
        return S_OK;
    }
    IFACEMETHODIMP Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        return Enumerator::NewInstance(*piid, reinterpret_cast<void**>(out), items_, pos_);
    }

    ~Enumerator() {
        if constexpr (std::is_same_v<Item, CONNECTDATA>)
            for (CONNECTDATA& cd : items_) cd.pUnk->Release();
    }

  private:
    static CONNECTDATA Copy(const CONNECTDATA& cd) {
        cd.pUnk->AddRef();
        return cd;
    }
    static IConnectionPoint* Copy(const ComPtr<IConnectionPoint>& p) {
        p->AddRef();
        return p.get();
    }

    std::vector<Element> items_;
    size_t pos_;
};

using ConnectionsEnum = Enumerator<IEnumConnections, CONNECTDATA, &IID_IEnumConnections>;
using PointsEnum = Enumerator<IEnumConnectionPoints, IConnectionPoint*, &IID_IEnumConnectionPoints>;

}  // namespace

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = container_;
    container_->AddRef();
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // The sink must really speak the outgoing interface.
    ComPtr<IUnknown> typed;
    if (FAILED(sink->QueryInterface(iid_, typed.put_void())) || !typed)
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.push_back({next_cookie_, std::move(typed)});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = next_cookie_++;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    ComPtr<IUnknown> dying = std::move(it->sink);  // released after the list is consistent
    sinks_.erase(it);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<CONNECTDATA> items;
        items.reserve(sinks_.size());
        for (const Sink& s : sinks_) {
            s.sink->AddRef();
            items.push_back({s.sink.get(), s.cookie});
        }
        return ConnectionsEnum::NewInstance(IID_IEnumConnections, reinterpret_cast<void**>(out),
                                            std::move(items), size_t{0});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Snapshot() const {
    std::vector<ComPtr<IUnknown>> out;
    out.reserve(sinks_.size());
    for (const Sink& s : sinks_) out.push_back(s.sink);
    return out;
}

HRESULT NewConnectionPointEnum(std::vector<ComPtr<IConnectionPoint>> points,
                               IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return PointsEnum::NewInstance(IID_IEnumConnectionPoints, reinterpret_cast<void**>(out),
                                   std::move(points), size_t{0});
}

}  // namespace tq::ctl

// A connection point of the control (events of __tqMenu, property change notifications).
//
// It lives inside the control and shares its reference count: AddRef/Release go to the owner,
// so a client holding the connection point keeps the whole control alive and nothing outlives
// it.  Sinks are held in the order they connected; a call fires to a snapshot of them, so a sink
// that disconnects (or connects another) while it is being called does no harm.
#pragma once

#include <ocidl.h>

#include <vector>

#include "tq/com/com_ptr.h"

namespace tq::ctl {

class ConnectionPoint final : public IConnectionPoint {
  public:
    // `owner` is the control's identity; `container` its IConnectionPointContainer.  Neither is
    // counted: the connection point dies with the control.
    ConnectionPoint(IUnknown* owner, IConnectionPointContainer* container, REFIID iid) noexcept
        : owner_(owner), container_(container), iid_(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    virtual ~ConnectionPoint() = default;

    IFACEMETHODIMP QueryInterface(REFIID iid, void** out) override;
    IFACEMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    IFACEMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    IFACEMETHODIMP GetConnectionInterface(IID* iid) override;
    IFACEMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    IFACEMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    IFACEMETHODIMP Unadvise(DWORD cookie) override;
    IFACEMETHODIMP EnumConnections(IEnumConnections** out) override;

    const IID& Iid() const { return iid_; }
    bool Empty() const { return sinks_.empty(); }
    // The connected sinks, as they are now (each counted).
    std::vector<com::ComPtr<IUnknown>> Snapshot() const;
    // Drops every sink (the control is going away).
    void Clear() { sinks_.clear(); }

  private:
    struct Sink {
        DWORD cookie;
        com::ComPtr<IUnknown> sink;
    };
    IUnknown* owner_;
    IConnectionPointContainer* container_;
    IID iid_;
    std::vector<Sink> sinks_;
    DWORD next_cookie_ = 1;
};

// The enumerator of IConnectionPointContainer::EnumConnectionPoints over `points`.
HRESULT NewConnectionPointEnum(std::vector<com::ComPtr<IConnectionPoint>> points,
                               IEnumConnectionPoints** out);

}  // namespace tq::ctl

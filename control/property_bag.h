// The control's properties in a stream.  A stream holds the same named values a container's
// property bag would, so IPersistStreamInit and IPersistPropertyBag share one reader and one
// writer: the stream side fills a MemoryBag and writes it out, or reads it back and hands it on.
//
// The stream layout is tq/ctl/property_stream.h's; only MenuTree objects are read back.
#pragma once

#include <ocidl.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tq/com/object.h"
#include "tq/ctl/property_stream.h"
#include "tq/com/variant.h"

namespace tq::ctl {

class MemoryBag final : public com::ComObject<MemoryBag, IPropertyBag> {
  public:
    static std::span<const com::QiEntry> Interfaces();

    // A missing name fails with E_INVALIDARG, as a container's bag does.  A requested type
    // (V_VT(value) on entry) other than VT_EMPTY is converted to; failing that, the conversion's
    // error (DISP_E_TYPEMISMATCH) is the answer.
    IFACEMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    IFACEMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

    const std::vector<std::pair<std::wstring, com::Variant>>& Values() const { return values_; }

    // Throw on failure (tq::Error or com::ComFailure).
    void SaveTo(IStream* stream) const;
    void LoadFrom(IStream* stream);

  private:
    std::vector<std::pair<std::wstring, com::Variant>> values_;
};

}  // namespace tq::ctl

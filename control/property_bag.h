// The control's properties in a stream.  A stream holds the same named values a container's
// property bag would, so IPersistStreamInit and IPersistPropertyBag share one reader and one
// writer: the stream side fills a MemoryBag and writes it out, or reads it back and hands it on.
//
// Stream layout (little-endian):
//   "tqMC"  u16 version (1)  u16 count
//   count x { u16 name length, UTF-16 name, u16 VARTYPE, value }
//   value:  VT_BOOL  i16  |  VT_I4  i32  |  VT_BSTR  u32 length + UTF-16
//           VT_UNKNOWN  the object as OleSaveToStream writes it (class id, then its own data),
//                       or a null class id for an empty reference
#pragma once

#include <ocidl.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tq/com/object.h"
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

    static constexpr char kMagic[4] = {'t', 'q', 'M', 'C'};
    static constexpr unsigned short kVersion = 1;

  private:
    std::vector<std::pair<std::wstring, com::Variant>> values_;
};

}  // namespace tq::ctl

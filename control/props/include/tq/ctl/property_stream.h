// The control's properties in a stream, as plain bytes: the layout that IPersistStreamInit
// writes and reads (control/property_bag.h holds the COM side).  Parsing and writing live here,
// away from COM, so that every platform can test and fuzz them.
//
// Layout (little-endian):
//   "tqMC"  u16 version (1)  u16 count
//   count x { u16 name length, UTF-16 name, u16 VARTYPE, value }
//   value:  VT_BOOL (11)     i16
//           VT_I4 (3)        i32
//           VT_BSTR (8)      u32 length + UTF-16, at most kMaxTextLength code units
//           VT_UNKNOWN (13)  the object as OleSaveToStream writes it: its class id (16 bytes, the
//                            GUID in memory order), then its own data; a null class id alone for
//                            an empty reference
//
// Objects: the reader accepts one class only, named by its caller (the control's MenuTree), and
// refuses any other class id as soon as it has read it, before anything of the object is read
// or made.  The data of the accepted class is self-delimiting: a u32 byte count n (at most
// tq::bib::kMaxBytes), then n bytes, which the reader hands over whole, count included, for the
// object to load.
//
// The reader takes from its source exactly the bytes of the properties, so a container's stream
// may go on after them.  Memory grows only with the bytes actually read: a length that claims
// more than the source holds fails as truncated without a large allocation.
//
// Errors: tq::Error with hr::kInvalidData (not the control's data, unknown type, beyond a limit),
// hr::kOldFormat (another version), hr::kStreamRead (truncated) or hr::kTypeMismatch (an object
// of another class).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "tq/ustring.h"

namespace tq::ctl {

inline constexpr char kPropsMagic[4] = {'t', 'q', 'M', 'C'};
inline constexpr uint16_t kPropsVersion = 1;
inline constexpr uint32_t kMaxTextLength = uint32_t{1} << 24;

// VARTYPEs of the stored values (the same numbers as in oaidl.h).
inline constexpr uint16_t kVtI4 = 3;
inline constexpr uint16_t kVtBstr = 8;
inline constexpr uint16_t kVtBool = 11;
inline constexpr uint16_t kVtUnknown = 13;

// A class id as WriteClassStm stores it.
using ClassId = std::array<uint8_t, 16>;

struct StoredBool {
    int16_t value;  // as stored: -1 True, 0 False, anything else read as True
    bool operator==(const StoredBool&) const = default;
};
struct NullObject {
    bool operator==(const NullObject&) const = default;
};
struct StoredObject {
    ClassId clsid;
    std::vector<uint8_t> data;  // what the object's IPersistStream::Save wrote
    bool operator==(const StoredObject&) const = default;
};
using StoredValue = std::variant<StoredBool, int32_t, String, NullObject, StoredObject>;

struct StoredProperty {
    String name;
    StoredValue value;
    bool operator==(const StoredProperty&) const = default;
};

// Where the reader gets its bytes.
class ByteSource {
  public:
    // Copies up to `size` bytes into `out` and returns how many; fewer than asked only at the
    // end of the data.  Throws on a read error.
    virtual size_t Read(uint8_t* out, size_t size) = 0;

  protected:
    ~ByteSource() = default;
};

// Where the writer puts its bytes.  Throws when they do not all fit.
class ByteSink {
  public:
    virtual void Write(const uint8_t* data, size_t size) = 0;

  protected:
    ~ByteSink() = default;
};

// Bytes in memory as a source; Consumed() says how far the reader got.
class SpanSource final : public ByteSource {
  public:
    explicit SpanSource(std::span<const uint8_t> data) : data_(data) {}
    size_t Read(uint8_t* out, size_t size) override;
    size_t Consumed() const { return pos_; }

  private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

class VectorSink final : public ByteSink {
  public:
    void Write(const uint8_t* data, size_t size) override;
    std::vector<uint8_t> bytes;
};

// The properties at the source's current position.  Objects other than `accepted_class` (or the
// null class id) are refused.
std::vector<StoredProperty> ReadStoredProperties(ByteSource& in, const ClassId& accepted_class);

// Writes `props` in the layout above.  Refuses (tq::Error, nothing useful written) what
// ReadStoredProperties would refuse: too many values, a name or text too long, an object of
// another class or whose data is not a byte count followed by that many bytes.
void WriteStoredProperties(ByteSink& out, std::span<const StoredProperty> props,
                           const ClassId& accepted_class);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", for messages.
String ClassIdText(const ClassId& clsid);

}  // namespace tq::ctl

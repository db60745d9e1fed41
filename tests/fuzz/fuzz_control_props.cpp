// libFuzzer target for the control's stream layout (tq/ctl/property_stream.h): any input either
// reads or fails with one of the reader's own errors, never crashes, leaks or hangs; the reader
// never takes more bytes than there are; and whatever reads writes back to exactly the bytes it
// was read from.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tq/ctl/property_stream.h"
#include "tq/error.h"

namespace {
// The class the reader accepts in the seeds: tqBiblioteca's MenuTreeClass as WriteClassStm
// stores it.
constexpr tq::ctl::ClassId kAccepted = {0xC6, 0xA7, 0xC4, 0x73, 0x56, 0x5B, 0x14, 0x46,
                                        0x9C, 0xA1, 0x87, 0xB2, 0x8B, 0xBA, 0x3A, 0x7F};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tq::ctl;
    SpanSource source(std::span<const uint8_t>(data, size));
    std::vector<StoredProperty> props;
    try {
        props = ReadStoredProperties(source, kAccepted);
    } catch (const tq::Error& e) {
        const int32_t hr = e.hresult();
        if (hr != tq::hr::kInvalidData && hr != tq::hr::kOldFormat && hr != tq::hr::kStreamRead &&
            hr != tq::hr::kTypeMismatch)
            std::abort();
        if (source.Consumed() > size || e.message().empty()) std::abort();
        return 0;
    }
    if (source.Consumed() > size) std::abort();
    VectorSink sink;
    WriteStoredProperties(sink, props, kAccepted);
    if (sink.bytes != std::vector<uint8_t>(data, data + source.Consumed())) std::abort();
    return 0;
}

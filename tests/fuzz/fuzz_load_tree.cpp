// libFuzzer target for LoadTree: any input either loads or fails with tq::Error, never crashes,
// leaks or hangs; and whatever loads saves to a canonical form that loads back to the same bytes.
// The Base64 text form rides along: it must round-trip the input exactly.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tq/bib/persist.h"
#include "tq/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tq::bib;
    const std::span<const uint8_t> input(data, size);

    if (DecodeBase64(EncodeBase64(input)) != std::vector<uint8_t>(data, data + size)) std::abort();

    std::shared_ptr<MenuTree> tree;
    try {
        tree = LoadTree(input);
    } catch (const tq::Error& e) {
        if (e.hresult() != tq::hr::kInvalidData && e.hresult() != tq::hr::kOldFormat) std::abort();
        return 0;
    }
    const std::vector<uint8_t> saved = SaveTree(*tree);
    const auto again = LoadTree(saved);
    if (again->TotalCount() != tree->TotalCount()) std::abort();
    if (SaveTree(*again) != saved) std::abort();
    return 0;
}

// Persistence of a MenuTree: a compact, versioned, self-describing binary format, and a Base64
// text form of it for property bags.
//
// Format (all integers little-endian):
//
//   header   "tqMT"                magic, 4 bytes
//            u16 version           format of the writer (1)
//            u16 min_reader        oldest reader version that understands it (1)
//            u32 entries           total number of entries at every depth
//   body     a stream of records, each starting with a one-byte tag
//   end      tag 0x03, the last byte of the data
//
// The top three bits of a tag give its kind, and so how to skip it without knowing it:
//
//   kind 0  0x00-0x1F  structure, no payload: 0x01 begin entry, 0x02 end entry, 0x03 end of data
//   kind 1  0x20-0x3F  boolean: one byte, 0 or 1
//   kind 2  0x40-0x5F  u32: four bytes
//   kind 3  0x60-0x7F  string: u32 length in UTF-16 code units, then the UTF-16LE code units
//   kind 4  0x80-0x9F  bytes: u32 length, then the bytes
//   kinds 5-7          reserved: refused
//
// "Begin entry" appends an entry to the current level and makes its SubMenu the current level;
// "end entry" returns to the level of the entry it closes.  Fields between them belong to the
// innermost open entry (those read after its children are still its own).  Version 1 fields:
//
//   0x60 Caption   0x61 TextoMenu   0x62 Descricao   0x63 Nome   0x64 TeclaExtenso
//   0x20 MenuConsulta   0x21 Visivel   0x22 VisivelDefault   0x23 Habilitado
//   0x24 HabilitadoDefault
//
// A field that is absent has the value of a new entry (MenuItem defaults), and TextoMenu is
// written exactly when it was put, so "put to Caption's value" and "never put" stay distinct.
// A known field twice in one entry is refused.  HndMenu is run-time state and never written.
//
// Compatibility: a reader skips fields of a known kind that it does not know, including fields
// outside any entry (room for properties of the tree itself).  A writer adding fields keeps
// min_reader; only an incompatible change raises it, and older readers then refuse the data with
// kOldFormat instead of misreading it.
//
// Limits: at most kMaxDepth nested levels (an entry of the root level is at depth 1),
// kMaxLevelEntries entries in one level (what COM clients can count), kMaxEntries entries in all
// and kMaxBytes of data.  SaveTree refuses a tree beyond them so that it never writes what
// LoadTree would refuse.
//
// Memory: every length and count read is checked against the bytes that remain before anything
// is allocated for it, and a load may take at most kLoadMemoryFactor times its input plus
// kLoadMemoryBase.  An entry costs far more in memory (its MenuItem with five strings and its
// slot: LoadCostOfEntry; a leaf gets no SubMenu level) than the two bytes that can encode it, so
// the loader charges each entry, level and string that needs its own allocation as it goes,
// against kLoadMemoryFactor times the bytes read so far (counted as SaveTree writes them: fields
// a writer may leave out or that this version skips add nothing) plus kLoadMemoryBase, and
// refuses the data once that is spent.  SaveTree keeps the same account in the same order over
// its own output, so what saves loads and what loads saves.  Only a tree of tens of thousands of
// nearly empty entries comes near the limit.
//
// Errors: tq::Error with hr::kInvalidData (not a menu, corrupt, truncated, beyond a limit),
// hr::kOldFormat (written for a newer reader) or hr::kOutOfMemory.  LoadTree builds a new tree and
// never touches an existing one: load, then MenuTree::SwapContents to replace a tree's contents
// only on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "tq/bib/menu_tree.h"
#include "tq/ustring.h"

namespace tq::bib {

inline constexpr uint16_t kFormatVersion = 1;
inline constexpr size_t kMaxDepth = 256;
inline constexpr size_t kMaxEntries = 1'000'000;
inline constexpr size_t kMaxBytes = size_t{256} << 20;
inline constexpr size_t kMaxLevelEntries = 32767;
inline constexpr size_t kLoadMemoryFactor = 20;
inline constexpr size_t kLoadMemoryBase = size_t{16} << 20;

// What LoadTree charges against its memory budget for one entry, for the level an entry with
// children gets, and for a string of `length` code units (nothing when it fits in the string
// object itself).  Upper bounds of what the heap really gives: each allocation is counted with
// its allocator's bookkeeping.
size_t LoadCostOfEntry();
size_t LoadCostOfLevel();
size_t LoadCostOfString(size_t length);

// Every entry of `tree` and below, with all properties but HndMenu.
std::vector<uint8_t> SaveTree(const MenuTree& tree);

// A new root level holding what `data` describes.
std::shared_ptr<MenuTree> LoadTree(std::span<const uint8_t> data);

// RFC 4648 Base64 with padding.  DecodeBase64 accepts exactly what EncodeBase64 produces: the
// standard alphabet, padding only at the end, unused bits zero, no white space; anything else
// throws tq::Error(hr::kInvalidData).
String EncodeBase64(std::span<const uint8_t> data);
std::vector<uint8_t> DecodeBase64(StringView text);

}  // namespace tq::bib

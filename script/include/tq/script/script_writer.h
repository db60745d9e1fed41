// The script writer: walks a menu depth-first in pre-order and hands one line per entry to a
// sink.  The menu is read through MenuLevel, so the same walk serves the COM MenuTree of the
// control and plain in-memory trees in tests.
//
// The walk keeps its own stack instead of recursing, so a deeply nested menu cannot overflow the
// thread's stack.  Each level's Count is read once, before its first entry, and an entry's
// child level is entered after the entry's own line was written.  Any exception from the source
// or the sink ends the walk and propagates unchanged.
#pragma once

#include <cstddef>
#include <memory>

#include "tq/ustring.h"

namespace tq::script {

// One level of a menu, as the writer reads it.
class MenuLevel {
  public:
    struct Entry {
        String caption;
        String nome;
        // The entry's child level; null when the source already knows it is a leaf.
        std::unique_ptr<MenuLevel> sub;
    };

    virtual ~MenuLevel() = default;
    // Entries of this level.
    virtual size_t Count() = 0;
    // Reads the entry at 0-based position i < Count() into `out`.  The writer hands the same
    // Entry in again and again, so assigning the strings reuses their buffers.
    virtual void At(size_t i, Entry& out) = 0;
};

// Receives the lines, without line ends, in file order.
class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void WriteLine(StringView line) = 0;
};

// Writes every entry of `top` and of all levels below it.  Returns the number of lines written.
size_t WriteScript(MenuLevel& top, LineSink& sink);

}  // namespace tq::script

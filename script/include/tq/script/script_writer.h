// The script writer: walks a menu depth-first in pre-order and hands one line per entry to a
// sink.  The menu is read through bib::IMenuLevel, so the same walk serves the COM MenuTree of
// the control and in-memory trees in tests.
//
// The walk keeps its own stack instead of recursing, so a deeply nested menu cannot overflow the
// thread's stack.  Each level's Count is read once, before its first entry; an entry's Caption
// and Nome are read, its line written, and only then its child level entered.  Any exception
// from the source or the sink ends the walk and propagates unchanged.
#pragma once

#include <cstddef>

#include "tq/bib/menu_level.h"
#include "tq/ustring.h"

namespace tq::script {

// Receives the lines, without line ends, in file order.
class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void WriteLine(StringView line) = 0;
};

// Writes every entry of `top` and of all levels below it.  Returns the number of lines written.
size_t WriteScript(bib::IMenuLevel& top, LineSink& sink);

}  // namespace tq::script

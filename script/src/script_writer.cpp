#include "tq/script/script_writer.h"

#include <vector>

#include "tq/script/script_format.h"

namespace tq::script {

size_t WriteScript(MenuLevel& top, LineSink& sink) {
    struct Frame {
        std::unique_ptr<MenuLevel> owned;  // null for the caller's top level
        MenuLevel* level;
        size_t count;
        size_t next;
        String parent_key;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{nullptr, &top, top.Count(), 0, String(kTopParentKey)});

    size_t written = 0;
    String line;
    MenuLevel::Entry e;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.count) {
            stack.pop_back();
            continue;
        }
        e.sub.reset();
        f.level->At(f.next++, e);
        const size_t depth = stack.size() - 1;
        line.clear();
        AppendLine(line, depth, e.caption, e.nome, f.parent_key);
        sink.WriteLine(line);
        ++written;
        if (e.sub) {
            const size_t count = e.sub->Count();
            if (count > 0) {
                MenuLevel* sub = e.sub.get();
                // `f` may dangle after the push: everything it was needed for is done.
                stack.push_back(Frame{std::move(e.sub), sub, count, 0, e.nome});
            }
        }
    }
    return written;
}

}  // namespace tq::script

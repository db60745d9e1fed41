#include "tq/script/script_writer.h"

#include <memory>
#include <vector>

#include "tq/script/script_format.h"

namespace tq::script {

size_t WriteScript(bib::IMenuLevel& top, LineSink& sink) {
    struct Frame {
        std::unique_ptr<bib::IMenuLevel> owned;  // null for the caller's top level
        bib::IMenuLevel* level;
        int32_t count;
        int32_t next;  // 1-based position of the next entry
        String parent_key;
    };
    std::vector<Frame> stack;
    stack.push_back(Frame{nullptr, &top, top.Count(), 1, String(kTopParentKey)});

    size_t written = 0;
    String line;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next > f.count) {
            stack.pop_back();
            continue;
        }
        const std::unique_ptr<bib::IMenuEntry> entry = f.level->Item(f.next++);
        String nome = entry->Nome();
        line.clear();
        AppendLine(line, stack.size() - 1, entry->Caption(), nome, f.parent_key);
        sink.WriteLine(line);
        ++written;
        std::unique_ptr<bib::IMenuLevel> sub = entry->SubMenu();
        const int32_t count = sub->Count();
        if (count > 0) {
            bib::IMenuLevel* level = sub.get();
            // `f` may dangle after the push: everything it was needed for is done.
            stack.push_back(Frame{std::move(sub), level, count, 1, std::move(nome)});
        }
    }
    return written;
}

}  // namespace tq::script

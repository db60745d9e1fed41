// libFuzzer target for the script rules: the target folder of any library path, the file name of
// any answer and whether it is taken, and the writer over any small menu, each checked against its
// invariants or a plain reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "menu_fixture.h"
#include "tq/error.h"
#include "tq/script/script_format.h"
#include "tq/script/script_writer.h"

namespace {

using tq::String;
using tq::StringView;

void Require(bool ok) {
    if (!ok) std::abort();
}

// The answer with ".Ini" taken out by repeated find, left to right, then ".Ini".
String ReferenceFileName(StringView answer) {
    const StringView ext = u".Ini";
    String out;
    size_t from = 0;
    for (size_t at; (at = answer.find(ext, from)) != StringView::npos; from = at + ext.size())
        out += answer.substr(from, at - from);
    out += answer.substr(from);
    return out + String(ext);
}

void CheckFolder(StringView path) {
    String folder;
    try {
        folder = tq::script::TargetFolder(path);
    } catch (const tq::Error& e) {
        Require(e.hresult() == tq::hr::kInvalidArg);
        return;
    }
    const StringView tail = tq::script::kScriptFolder;
    Require(folder.size() > tail.size() &&
            StringView(folder).substr(folder.size() - tail.size()) == tail);
    const StringView root = StringView(folder).substr(0, folder.size() - tail.size());
    if (root.size() == 3) {  // "X:\", the drive of the path
        Require(root[1] == u':' && root[2] == u'\\' &&
                path.find(root.substr(0, 2)) != StringView::npos);
    } else {  // "\\server\share\", both names taken from the path
        Require(root.size() >= 6 && root.substr(0, 2) == u"\\\\" && root.back() == u'\\');
        Require(root.substr(2, root.size() - 3).find(u"\\\\") == StringView::npos);
    }
}

// A name the rules take stays in the folder as an ordinary file: no separator, no "..", no
// character Windows refuses, no trailing dot or space, no device name, room in MAX_PATH; a name
// they refuse has a message.
void CheckName(StringView folder, StringView answer) {
    const tq::script::NameProblem problem = tq::script::CheckScriptName(folder, answer);
    const String text = tq::script::NameProblemText(problem, answer);
    if (problem != tq::script::NameProblem::kNone) {
        Require(!text.empty());
        return;
    }
    Require(text.empty());
    const String file = tq::script::ScriptFileName(answer);
    const StringView stem = StringView(file).substr(0, file.size() - 4);
    Require(folder.size() + file.size() < 260);
    Require(stem.find(u"..") == StringView::npos);
    for (char16_t c : stem)
        Require(c >= 32 && StringView(u"\\/<>:\"|?*").find(c) == StringView::npos);
    Require(stem.empty() || (stem.back() != u'.' && stem.back() != u' '));
    String base;
    for (char16_t c : StringView(file).substr(0, file.find(u'.')))
        base += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    while (!base.empty() && base.back() == u' ') base.pop_back();
    for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL"}) Require(base != device);
    Require(!(base.size() == 4 && (base.rfind(u"COM", 0) == 0 || base.rfind(u"LPT", 0) == 0) &&
              base[3] >= u'1' && base[3] <= u'9'));
}

using tq::script::testing::Node;
using tq::script::testing::NodeLevel;

void Reference(const std::vector<Node>& level, const String& indent, const String& parent,
               String& out) {
    for (const Node& n : level) {
        out += indent + tq::script::StripAmpersands(n.caption) + u"*" + n.nome + u"^" + parent +
               u"\r\n";
        Reference(n.children, indent + u"   ", n.nome, out);
    }
}

// Menu from the input: each 16-bit unit is a character, except that 0xFFF0..0xFFF3 steer the
// building (next field, new sibling, go down, go up).
std::vector<Node> BuildMenu(StringView s) {
    std::vector<Node> top(1);
    std::vector<std::vector<Node>*> path{&top};
    bool in_nome = false;
    for (char16_t c : s) {
        std::vector<Node>& level = *path.back();
        switch (c) {
            case 0xFFF0:
                in_nome = !in_nome;
                break;
            case 0xFFF1:
                level.emplace_back();
                in_nome = false;
                break;
            case 0xFFF2:
                if (path.size() < 20) {
                    level.back().children.emplace_back();
                    path.push_back(&level.back().children);
                    in_nome = false;
                }
                break;
            case 0xFFF3:
                if (path.size() > 1) path.pop_back();
                break;
            default:
                (in_nome ? level.back().nome : level.back().caption) += c;
        }
    }
    return top;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    String s(size / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    CheckFolder(s);
    const String name = tq::script::ScriptFileName(s);
    Require(name == ReferenceFileName(s));
    CheckName(u"C:\\Rudadod\\Controller\\", s);

    const std::vector<Node> menu = BuildMenu(s);
    NodeLevel top(menu);
    struct Sink final : tq::script::LineSink {
        String text;
        size_t lines = 0;
        void WriteLine(StringView line) override {
            text += line;
            text += u"\r\n";
            ++lines;
        }
    } sink;
    const size_t written = tq::script::WriteScript(top, sink);
    String expected;
    Reference(menu, u"", u"A", expected);
    Require(sink.text == expected && written == sink.lines);
    return 0;
}

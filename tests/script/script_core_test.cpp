// The portable rules of the script export: line text, file name, target folder, and the
// depth-first writer.
#include <gtest/gtest.h>

#include <pthread.h>

#include <random>
#include <stdexcept>

#include "menu_fixture.h"
#include "tq/error.h"
#include "tq/script/script_format.h"
#include "tq/script/script_writer.h"

namespace tq::script {
namespace {

using testing::Node;
using testing::NodeLevel;

class StringSink final : public LineSink {
  public:
    void WriteLine(StringView line) override {
        text += line;
        text += u"\r\n";
        ++lines;
    }
    String text;
    size_t lines = 0;
};

String Write(const std::vector<Node>& menu) {
    NodeLevel top(menu);
    StringSink sink;
    WriteScript(top, sink);
    return sink.text;
}

TEST(ScriptLine, AmpersandsAreRemovedAndNothingElseChanges) {
    EXPECT_EQ(StripAmpersands(u"A&&B"), u"AB");
    EXPECT_EQ(StripAmpersands(u"&Arquivo"), u"Arquivo");
    EXPECT_EQ(StripAmpersands(u"Sai&r&"), u"Sair");
    EXPECT_EQ(StripAmpersands(u"&&&"), u"");
    EXPECT_EQ(StripAmpersands(u" a*b^c -ç "), u" a*b^c -ç ");

    String line;
    AppendLine(line, 2, u"&Cor*es^", u"N*O^ME", u"PA^I");
    EXPECT_EQ(line, u"      Cor*es^*N*O^ME^PA^I") << "six spaces at the third level, no escaping";
    line = u"keep";
    AppendLine(line, 0, u"-", u"SEP", u"A");
    EXPECT_EQ(line, u"keep-*SEP^A") << "appends, and a separator is written like any entry";
}

TEST(ScriptFileName, EveryIniIsRemovedCaseSensitivelyThenIniAppended) {
    EXPECT_EQ(ScriptFileName(u"PavoScript"), u"PavoScript.Ini");
    EXPECT_EQ(ScriptFileName(u"menu.Ini"), u"menu.Ini");
    EXPECT_EQ(ScriptFileName(u"menu.ini"), u"menu.ini.Ini");
    EXPECT_EQ(ScriptFileName(u"menu.INI"), u"menu.INI.Ini");
    EXPECT_EQ(ScriptFileName(u"x.Ini.Ini"), u"x.Ini");
    EXPECT_EQ(ScriptFileName(u"a.Inib.Inic"), u"abc.Ini");
    EXPECT_EQ(ScriptFileName(u".Ini"), u".Ini");
    EXPECT_EQ(ScriptFileName(u"   "), u"   .Ini") << "spaces are a name";
    EXPECT_EQ(ScriptFileName(u"ação"), u"ação.Ini");
    // One left-to-right pass, as a text Replace: what a removal joins up stays.
    EXPECT_EQ(ScriptFileName(u"x..IniIni"), u"x.Ini.Ini");
    EXPECT_EQ(ScriptFileName(u".In.Inii"), u".Ini.Ini");
}

TEST(ScriptName, ANameMustNameAnOrdinaryFileInsideTheFolder) {
    const String folder = u"C:\\Rudadod\\Controller\\";  // 22 characters
    using P = NameProblem;
    const struct {
        String answer;
        P problem;
    } cases[] = {
        {u"PavoScript", P::kNone},
        {u"menu.Ini", P::kNone},
        {u"a.b c-ção", P::kNone},
        {u"Console", P::kNone},
        {u"COM10", P::kNone},
        {u"LPT0.txt", P::kNone},
        {u"..\\..\\escaped", P::kFolder},
        {u"sub/menu", P::kFolder},
        {u"C:\\outro", P::kFolder},
        {u"..", P::kFolder},
        {u"a..b", P::kFolder},
        {u"a..Ini.", P::kFolder},  // what the removal of ".Ini" joins up counts
        {u"<>|?*\"", P::kInvalidCharacter},
        {u"a:b", P::kInvalidCharacter},
        {u"tab\tname", P::kInvalidCharacter},
        {String(1, u'\x1F'), P::kInvalidCharacter},
        {u"menu.", P::kTrailingDotOrSpace},
        {u"menu ", P::kTrailingDotOrSpace},
        {u"   ", P::kTrailingDotOrSpace},
        {u"NUL", P::kReservedName},
        {u"nul", P::kReservedName},
        {u"NUL.txt", P::kReservedName},
        {u"Con.Ini", P::kReservedName},
        {u"prn.x.y", P::kReservedName},
        {u"aux .txt", P::kReservedName},
        {u"COM1", P::kReservedName},
        {u"com9", P::kReservedName},
        {u"LPT5.log", P::kReservedName},
        {u"COM\u00B9", P::kReservedName},
        {u"N.IniUL", P::kReservedName},  // "NUL" once ".Ini" is taken out
        {String(233, u'x'), P::kNone},   // 22 + 233 + 4 = 259 characters: fits
        {String(234, u'x'), P::kTooLong},
        {String(300, u'x'), P::kTooLong},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckScriptName(folder, c.answer), c.problem) << ToUtf8(c.answer);
        EXPECT_EQ(NameProblemText(c.problem, c.answer).empty(), c.problem == P::kNone);
    }
    EXPECT_EQ(NameProblemText(P::kReservedName, u"nul .txt"),
              u"'nul' É um Nome Reservado do Sistema");
    // The limit is the whole path's: a longer folder leaves less room for the name.
    EXPECT_EQ(CheckScriptName(u"\\\\servidor\\publico\\Rudadod\\Controller\\", String(233, u'x')),
              P::kTooLong);
}

TEST(ScriptFolder, DriveRootOfTheFolderHoldingTheLibrary) {
    EXPECT_EQ(TargetFolder(u"C:\\Arquivos de Programas\\tq\\tqMenuCtl.ocx"),
              u"C:\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"T:\\lib\\tqMenuCtl.ocx"), u"T:\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"d:\\tqMenuCtl.ocx"), u"d:\\Rudadod\\Controller\\")
        << "a library in the root itself";
    EXPECT_EQ(TargetFolder(u"E:/tq/tqMenuCtl.ocx"), u"E:\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"\\\\?\\F:\\tq\\tqMenuCtl.ocx"), u"F:\\Rudadod\\Controller\\");
}

TEST(ScriptFolder, UncPathsUseTheShareRoot) {
    EXPECT_EQ(TargetFolder(u"\\\\servidor\\publico\\tq\\bin\\tqMenuCtl.ocx"),
              u"\\\\servidor\\publico\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"\\\\servidor\\publico\\tqMenuCtl.ocx"),
              u"\\\\servidor\\publico\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"//srv/share/x/tqMenuCtl.ocx"),
              u"\\\\srv\\share\\Rudadod\\Controller\\");
    EXPECT_EQ(TargetFolder(u"\\\\?\\UNC\\servidor\\publico\\tq\\tqMenuCtl.ocx"),
              u"\\\\servidor\\publico\\Rudadod\\Controller\\");
}

TEST(ScriptFolder, PathsWithoutARootAreRefused) {
    for (const char16_t* bad :
         {u"", u"tqMenuCtl.ocx", u"lib\\tqMenuCtl.ocx", u"C:tqMenuCtl.ocx", u"C:\\", u"C:",
          u"\\tqMenuCtl.ocx", u"\\\\servidor", u"\\\\servidor\\", u"\\\\servidor\\publico",
          u"\\\\servidor\\publico\\", u"\\\\\\publico\\x.ocx", u"\\\\servidor\\\\x.ocx",
          u"\\\\.\\C:\\x.ocx", u"\\\\?\\UNC\\servidor", u"1:\\x.ocx"}) {
        try {
            const String got = TargetFolder(bad);
            ADD_FAILURE() << "accepted \"" << ToUtf8(bad) << "\" as " << ToUtf8(got);
        } catch (const Error& e) {
            EXPECT_EQ(e.hresult(), hr::kInvalidArg);
            EXPECT_NE(e.message().find(bad), String::npos) << "the message names the path";
        }
    }
}

TEST(ScriptWriter, TwoMenuExampleGivesItsFiveLines) {
    EXPECT_EQ(ToUtf8(Write(testing::TwoMenuExample())), testing::kTwoMenuScript);
}

TEST(ScriptWriter, PreOrderWithIndentPerLevelAndParentKeys) {
    const std::vector<Node> menu = {
        Node{u"Um",
             u"UM",
             {Node{u"Dois",
                   u"DOIS",
                   {Node{u"Tr&ês", u"TRES", {Node{u"Quatro", u"QUATRO", {}}}},
                    Node{u"Três b", u"TRESB", {}}}},
              Node{u"Dois b", u"DOISB", {}}}},
        Node{u"Cinco", u"CINCO", {}},
    };
    EXPECT_EQ(Write(menu),
              u"Um*UM^A\r\n"
              u"   Dois*DOIS^UM\r\n"
              u"      Três*TRES^DOIS\r\n"
              u"         Quatro*QUATRO^TRES\r\n"
              u"      Três b*TRESB^DOIS\r\n"
              u"   Dois b*DOISB^UM\r\n"
              u"Cinco*CINCO^A\r\n");
}

TEST(ScriptWriter, ReadsEachCountOnceAndOpensAChildAfterItsParentsLine) {
    testing::ReadLog log;
    const std::vector<Node> menu = testing::TwoMenuExample();
    NodeLevel top(menu, &log);
    struct LoggingSink final : LineSink {
        testing::ReadLog* log;
        void WriteLine(StringView line) override { log->events.push_back("line " + ToUtf8(line)); }
    } sink;
    sink.log = &log;
    EXPECT_EQ(WriteScript(top, sink), 5u);
    const std::vector<std::string> expected = {
        "count top",   "at top 0",   "line Arquivo*ARQ^A",
        "count ARQ",   "at ARQ 0",   "line    Novo*NOVO^ARQ",
        "count NOVO",  "at ARQ 1",   "line    Sair*SAIR^ARQ",
        "count SAIR",  "at top 1",   "line Ajuda*AJUDA^A",
        "count AJUDA", "at AJUDA 0", "line    Sobre*SOBRE^AJUDA",
        "count SOBRE",
    };
    EXPECT_EQ(log.events, expected);
}

TEST(ScriptWriter, EmptyMenuWritesNothing) {
    EXPECT_EQ(Write({}), u"");
}

TEST(ScriptWriter, ErrorsFromSourceOrSinkStopTheWalk) {
    const std::vector<Node> five(5, Node{u"x", u"X", {}});
    NodeLevel failing(five, nullptr, 3);
    StringSink sink;
    EXPECT_THROW(WriteScript(failing, sink), Error);
    EXPECT_EQ(sink.lines, 2u);

    struct Refusing final : LineSink {
        size_t seen = 0;
        void WriteLine(StringView) override {
            if (++seen == 3) throw std::runtime_error("disco cheio");
        }
    } refusing;
    const std::vector<Node> menu = testing::TwoMenuExample();
    NodeLevel top(menu);
    EXPECT_THROW(WriteScript(top, refusing), std::runtime_error);
    EXPECT_EQ(refusing.seen, 3u);
}

TEST(ScriptWriter, DeepNestingIsWalkedWithoutRecursion) {
    // A chain of 5,000 levels walked on a thread with a 256 KB stack: a walk that recursed per
    // level would need far more (the lines grow with the depth, so the output is quadratic).
    constexpr size_t kDepth = 5000;
    std::vector<Node> chain;
    for (size_t d = kDepth; d-- > 0;) {
        std::vector<Node> above;
        above.push_back(Node{u"n", u"N" + FromUtf8(std::to_string(d)), std::move(chain)});
        chain = std::move(above);
    }
    struct Checker final : LineSink {
        size_t lines = 0;
        bool ok = true;
        void WriteLine(StringView line) override {
            const String expected = String(lines * 3, u' ') + u"n*N" +
                                    FromUtf8(std::to_string(lines)) + u"^" +
                                    (lines ? u"N" + FromUtf8(std::to_string(lines - 1)) : u"A");
            ok = ok && line == expected;
            ++lines;
        }
    };
    struct Run {
        Checker checker;
        NodeLevel* chain = nullptr;
        size_t written = 0;
        static void* Body(void* p) {
            auto* r = static_cast<Run*>(p);
            r->written = WriteScript(*r->chain, r->checker);
            return nullptr;
        }
    } run;
    NodeLevel top(chain);
    run.chain = &top;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, &Run::Body, &run), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(run.written, kDepth);
    EXPECT_EQ(run.checker.lines, kDepth);
    EXPECT_TRUE(run.checker.ok);
}

// Random menus against a straightforward recursive writer of the same format.
void Reference(const std::vector<Node>& level, const String& indent, const String& parent,
               String& out) {
    for (const Node& n : level) {
        out += indent + StripAmpersands(n.caption) + u"*" + n.nome + u"^" + parent + u"\r\n";
        if (!n.children.empty()) Reference(n.children, indent + u"   ", n.nome, out);
    }
}

std::vector<Node> RandomLevel(std::mt19937& rng, int depth, size_t& budget) {
    static constexpr char16_t kAlphabet[] = u"aZ &*^-ção 9.";
    std::uniform_int_distribution<int> width(0, depth == 0 ? 6 : 4);
    std::uniform_int_distribution<int> len(0, 6);
    std::uniform_int_distribution<size_t> pick(0, std::size(kAlphabet) - 2);
    std::vector<Node> level;
    for (int i = width(rng); i > 0 && budget > 0; --i, --budget) {
        Node n;
        for (int k = len(rng); k > 0; --k) n.caption += kAlphabet[pick(rng)];
        for (int k = len(rng); k > 0; --k) n.nome += kAlphabet[pick(rng)];
        if (depth < 5) n.children = RandomLevel(rng, depth + 1, budget);
        level.push_back(std::move(n));
    }
    return level;
}

size_t CountNodes(const std::vector<Node>& level) {
    size_t n = level.size();
    for (const Node& c : level) n += CountNodes(c.children);
    return n;
}

TEST(ScriptWriter, RandomMenusMatchTheRecursiveDefinition) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        size_t budget = 200;
        const std::vector<Node> menu = RandomLevel(rng, 0, budget);
        String expected;
        Reference(menu, u"", u"A", expected);
        NodeLevel top(menu);
        StringSink sink;
        const size_t written = WriteScript(top, sink);
        ASSERT_EQ(sink.text, expected) << "seed " << seed;
        ASSERT_EQ(written, CountNodes(menu)) << "seed " << seed;
    }
}

}  // namespace
}  // namespace tq::script

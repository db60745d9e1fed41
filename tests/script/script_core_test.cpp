// The portable rules of the script export: line text, file name, name checks, target folder,
// and the depth-first writer.
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

struct StringSink final : LineSink {
    void WriteLine(StringView line) override {
        if (++lines == fail_at) throw std::runtime_error("disco cheio");
        text += String(line) + u"\r\n";
    }
    String text;
    size_t lines = 0, fail_at = 0;
};

TEST(ScriptLine, AmpersandsAreRemovedAndNothingElseIsEscaped) {
    EXPECT_EQ(StripAmpersands(u"A&&B&"), u"AB");
    EXPECT_EQ(StripAmpersands(u" a*b^c -ç "), u" a*b^c -ç ");
    String line = u"keep";
    AppendLine(line, 2, u"&Cor*es^", u"N*O^ME", u"PA^I");
    EXPECT_EQ(line, u"keep      Cor*es^*N*O^ME^PA^I") << "appends; six spaces at the third level";
}

TEST(ScriptFileName, EveryIniIsRemovedCaseSensitivelyInOnePassThenIniAppended) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"PavoScript", u"PavoScript.Ini"},
        {u"menu.Ini", u"menu.Ini"},
        {u"menu.ini", u"menu.ini.Ini"},
        {u"x.Ini.Ini", u"x.Ini"},
        {u"a.Inib.Inic", u"abc.Ini"},
        {u".Ini", u".Ini"},
        {u"   ", u"   .Ini"},
        {u"x..IniIni", u"x.Ini.Ini"},
        {u".In.Inii", u".Ini.Ini"},
    };
    for (const auto& [answer, file] : cases)
        EXPECT_EQ(ScriptFileName(answer), file) << ToUtf8(answer);
}

TEST(ScriptName, ANameMustNameAnOrdinaryFileInsideTheFolder) {
    const String folder = u"C:\\Rudadod\\Controller\\";  // 22 characters
    using P = NameProblem;
    // "a..Ini." and "N.IniUL": what the removal of ".Ini" joins up counts.  233 characters fit:
    // 22 + 233 + 4 = 259.
    const std::pair<P, std::vector<String>> cases[] = {
        {P::kNone,
         {u"PavoScript", u"a.b c-ção", u"Console", u"COM10", u"LPT0.txt", u"COMa",
          String(233, u'x')}},
        {P::kFolder, {u"..\\..\\escaped", u"sub/menu", u"a..Ini."}},
        {P::kInvalidCharacter, {u"<", u"a*b", u"a:b", u"tab\tname", String(1, u'\x1F')}},
        {P::kTrailingDotOrSpace, {u"menu.", u"menu "}},
        {P::kReservedName,
         {u"nul", u"Con.Ini", u"prn.x.y", u"aux .txt", u"COM1", u"com9", u"LPT5.log", u"COM\u00B9",
          u"LPT\u00B3", u"N.IniUL"}},
        {P::kTooLong, {String(234, u'x')}},
    };
    for (const auto& [problem, answers] : cases) {
        for (const String& answer : answers) {
            EXPECT_EQ(CheckScriptName(folder, answer), problem) << ToUtf8(answer);
            EXPECT_EQ(NameProblemText(problem, answer).empty(), problem == P::kNone);
        }
    }
    // The limit is the whole path's: a longer folder leaves less room for the name.
    EXPECT_EQ(CheckScriptName(folder + u"x", String(233, u'x')), P::kTooLong);
    const std::pair<P, const char16_t*> texts[] = {
        {P::kFolder, u"O Script Fica Nesta Pasta: o Nome Não Pode Conter \\, / ou .."},
        {P::kInvalidCharacter,
         u"O Nome do Script Não Pode Conter < > : \" | ? * nem Caracteres de Controle"},
        {P::kTrailingDotOrSpace, u"O Nome do Script Não Pode Terminar com Ponto ou Espaço"},
        {P::kReservedName, u"'nul' É um Nome Reservado do Sistema"},
        {P::kTooLong, u"O Nome do Script É Longo Demais para Esta Pasta"},
    };
    for (const auto& [problem, text] : texts)
        EXPECT_EQ(NameProblemText(problem, u"nul .txt"), text);
}

TEST(ScriptFolder, TheDriveRootOrTheShareRootOfTheLibrarysPath) {
    const String drive_c = u"C:\\Rudadod\\Controller\\";
    const String share = u"\\\\servidor\\publico\\Rudadod\\Controller\\";
    const std::pair<String, std::vector<const char16_t*>> cases[] = {
        {drive_c,
         {u"C:\\Arquivos de Programas\\tq\\tqMenuCtl.ocx", u"C:\\x", u"\\\\?\\C:\\tq\\x.ocx"}},
        {u"Z:\\Rudadod\\Controller\\", {u"Z:/tq/tqMenuCtl.ocx", u"Z:\\x"}},
        {u"A:\\Rudadod\\Controller\\", {u"A:\\x"}},
        {u"a:\\Rudadod\\Controller\\", {u"a:\\x"}},
        {u"z:\\Rudadod\\Controller\\", {u"z:\\x"}},
        {share,
         {u"\\\\servidor\\publico\\tq\\bin\\tqMenuCtl.ocx", u"\\\\servidor\\publico\\x",
          u"//servidor/publico/x/tqMenuCtl.ocx", u"\\\\?\\UNC\\servidor\\publico\\tq\\x.ocx",
          u"\\\\?\\unc\\servidor\\publico\\x.ocx", u"//?/uNc/servidor/publico/x.ocx"}},
        {u"\\\\s\\publico\\Rudadod\\Controller\\", {u"\\\\s\\publico\\x.ocx"}},
        // Refused: no root, a device path, or a UNC path without a server or a share.
        {u"",
         {u"tqMenuCtl.ocx",
          u"C:tqMenuCtl.ocx",
          u"C:\\",
          u"1:\\x.ocx",
          u"@:\\x.ocx",
          u"[:\\x.ocx",
          u"`:\\x.ocx",
          u"{:\\x.ocx",
          u"\\tqMenuCtl.ocx",
          u"x\\?\\C:\\x.ocx",
          u"x\\servidor\\publico\\x.ocx",
          u"\\\\servidor\\publico\\",
          u"\\\\servidor\\\\x.ocx",
          u"\\\\servidor\\\\publico\\x.ocx",
          u"\\\\\\publico\\x.ocx",
          u"\\\\.\\C:\\x.ocx",
          u"\\\\?\\",
          u"\\\\?\\UNC\\servidor",
          u"\\\\?\\UNCX\\servidor\\publico\\x.ocx",
          u"\\\\?\\UNC\\?\\publico\\x.ocx",
          u"\\\\?\\UNC\\.\\publico\\x.ocx",
          u""}},
    };
    for (const auto& [folder, paths] : cases) {
        for (const char16_t* path : paths) {
            SCOPED_TRACE(ToUtf8(path));
            try {
                EXPECT_EQ(TargetFolder(path), folder);
            } catch (const Error& e) {
                EXPECT_EQ(folder, u"") << "refused";
                EXPECT_EQ(e.hresult(), hr::kInvalidArg);
                EXPECT_NE(e.message().find(u"\"" + String(path) + u"\""), String::npos);
            }
        }
    }
}

TEST(ScriptWriter, ReadsEachCountOnceAndWritesAChildAfterItsParentsLine) {
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

TEST(ScriptWriter, ErrorsOfTheSourceOrTheSinkStopTheWalk) {
    std::vector<Node> five(5, Node{u"B", u"NB", {}});
    five[0] = Node{u"A", u"NA", {}};
    NodeLevel flat(five, nullptr, 3);  // reading the third entry fails
    StringSink sink;
    EXPECT_THROW(WriteScript(flat, sink), Error);
    EXPECT_EQ(sink.text, u"A*NA^A\r\nB*NB^A\r\n");

    const std::vector<Node> menu = testing::TwoMenuExample();
    NodeLevel top(menu);
    StringSink refusing;
    refusing.fail_at = 3;
    EXPECT_THROW(WriteScript(top, refusing), std::runtime_error);
    EXPECT_EQ(refusing.lines, 3u) << "nothing written after the failure";
}

TEST(ScriptWriter, AChainOf5000LevelsIsWalkedOnA256KbStack) {
    // A walk that recursed per level would need far more stack.
    constexpr size_t kDepth = 5000;
    std::vector<Node> chain;
    for (size_t d = kDepth; d-- > 0;) {
        std::vector<Node> above;
        above.push_back(Node{u"n", u"N" + FromUtf8(std::to_string(d)), std::move(chain)});
        chain = std::move(above);
    }
    struct LastLine final : LineSink {
        void WriteLine(StringView line) override { last = line; }
        String last;
    };
    struct Run {
        LastLine sink;
        NodeLevel* chain = nullptr;
        size_t written = 0;
        static void* Body(void* p) {
            auto* r = static_cast<Run*>(p);
            r->written = WriteScript(*r->chain, r->sink);
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
    EXPECT_EQ(run.sink.last, String(3 * (kDepth - 1), u' ') + u"n*N4999^N4998");
}

// Random menus against a straightforward recursive writer of the same format.
void Reference(const std::vector<Node>& level, size_t depth, const String& parent, String& out) {
    for (const Node& n : level) {
        AppendLine(out, depth, n.caption, n.nome, parent);
        out += u"\r\n";
        Reference(n.children, depth + 1, n.nome, out);
    }
}

std::vector<Node> RandomLevel(std::mt19937& rng, int depth, size_t& budget) {
    static constexpr char16_t kAlphabet[] = u"aZ &*^-ção 9.";
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n)(rng); };
    std::vector<Node> level;
    for (size_t i = pick(depth == 0 ? 6 : 4); i > 0 && budget > 0; --i, --budget) {
        Node n;
        for (size_t k = pick(6); k > 0; --k) n.caption += kAlphabet[pick(std::size(kAlphabet) - 2)];
        for (size_t k = pick(6); k > 0; --k) n.nome += kAlphabet[pick(std::size(kAlphabet) - 2)];
        if (depth < 5) n.children = RandomLevel(rng, depth + 1, budget);
        level.push_back(std::move(n));
    }
    return level;
}

TEST(ScriptWriter, RandomMenusMatchTheRecursiveDefinition) {
    StringSink example;
    const std::vector<Node> reference = testing::TwoMenuExample();
    NodeLevel two(reference);
    WriteScript(two, example);
    EXPECT_EQ(ToUtf8(example.text), testing::kTwoMenuScript);
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        size_t budget = 200;
        const std::vector<Node> menu = RandomLevel(rng, 0, budget);
        String expected;
        Reference(menu, 0, kTopParentKey, expected);
        NodeLevel top(menu);
        StringSink sink;
        ASSERT_EQ(WriteScript(top, sink), sink.lines) << "seed " << seed;
        ASSERT_EQ(sink.text, expected) << "seed " << seed;
    }
}

}  // namespace
}  // namespace tq::script

// The portable rules of the script export: file name, name checks, target folder, the writer.
#include <gtest/gtest.h>
#include <pthread.h>

#include "menu_fixture.h"
#include "tq/error.h"
#include "tq/script/script_format.h"
#include "tq/script/script_writer.h"

namespace tq::script {
namespace {

TEST(ScriptFileName, EveryIniIsRemovedCaseSensitivelyInOnePassThenIniAppended) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"PavoScript", u"PavoScript.Ini"},
        {u"menu.Ini", u"menu.Ini"},
        {u"menu.ini", u"menu.ini.Ini"},
        {u"a.Inib.Inic", u"abc.Ini"},
        {u"   ", u"   .Ini"},
        {u"x..IniIni", u"x.Ini.Ini"},
        {u".In.Inii", u".Ini.Ini"},
    };
    for (const auto& [answer, file] : cases)
        EXPECT_EQ(ScriptFileName(answer), file) << ToUtf8(answer);
    EXPECT_EQ(StripAmpersands(u"A&&B& a*b^c -ç "), u"AB a*b^c -ç ");
}

TEST(ScriptName, ANameMustNameAnOrdinaryFileInsideTheFolderAndEachProblemHasItsText) {
    const String folder = u"C:\\Rudadod\\Controller\\";  // 22 characters: 233 + 4 more fit in 259
    using P = NameProblem;
    // "a..Ini." and "N.IniUL": what the removal of ".Ini" joins up counts.
    const std::tuple<P, std::vector<String>, const char16_t*> cases[] = {
        {P::kNone,
         {u"PavoScript", u"a.b c-ção", u"a=b", u"Console", u"COM10", u"LPT0.txt", u"COMa",
          String(233, u'x')},
         u""},
        {P::kFolder,
         {u"..\\..\\escaped", u"sub/menu", u"a..Ini."},
         u"O Script Fica Nesta Pasta: o Nome Não Pode Conter \\, / ou .."},
        {P::kInvalidCharacter,
         {u"<", u"a*b", u"a:b", u"tab\tname", String(1, u'\x1F')},
         u"O Nome do Script Não Pode Conter < > : \" | ? * nem Caracteres de Controle"},
        {P::kTrailingDotOrSpace,
         {u"menu.", u"menu "},
         u"O Nome do Script Não Pode Terminar com Ponto ou Espaço"},
        {P::kReservedName,
         {u"nul .txt", u"Con.Ini", u"prn.x.y", u"aux .txt", u"COM1", u"com9", u"LPT5.log",
          u"COM\u00B9", u"LPT\u00B3", u"N.IniUL"},
         u"'nul' É um Nome Reservado do Sistema"},
        {P::kTooLong, {String(234, u'x')}, u"O Nome do Script É Longo Demais para Esta Pasta"},
    };
    for (const auto& [problem, answers, text] : cases) {
        for (const String& answer : answers)
            EXPECT_EQ(CheckScriptName(folder, answer), problem) << ToUtf8(answer);
        EXPECT_EQ(NameProblemText(problem, answers.front()), text);
    }
    EXPECT_EQ(CheckScriptName(folder + u"x", String(233, u'x')), P::kTooLong) << "the whole path";
}

TEST(ScriptFolder, TheDriveRootOrTheShareRootOfTheLibrarysPath) {
    const String share = u"\\\\servidor\\publico\\Rudadod\\Controller\\";
    const std::pair<String, std::vector<const char16_t*>> cases[] = {
        {u"C:\\Rudadod\\Controller\\",
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
        {u"", {u"tqMenuCtl.ocx", u"C:tqMenuCtl.ocx", u"C:\\", u"1:\\x.ocx", u"@:\\x.ocx"}},
        {u"",
         {u"[:\\x.ocx", u"`:\\x.ocx", u"{:\\x.ocx", u"\\tqMenuCtl.ocx", u"x\\?\\C:\\x.ocx", u""}},
        {u"",
         {u"x\\servidor\\publico\\x.ocx", u"\\\\servidor\\publico\\", u"\\\\servidor\\\\x.ocx"}},
        {u"",
         {u"\\\\servidor\\\\publico\\x.ocx", u"\\\\\\publico\\x.ocx", u"\\\\.\\C:\\x.ocx",
          u"\\\\?\\"}},
        {u"", {u"\\\\?\\UNC\\servidor", u"\\\\?\\UNCX\\servidor\\publico\\x.ocx"}},
        {u"", {u"\\\\?\\UNC\\?\\publico\\x.ocx", u"\\\\?\\UNC\\.\\publico\\x.ocx"}},
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

TEST(ScriptWriter, WritesTheReferenceExampleDepthFirst) {
    testing::NodeLevel top(testing::TwoMenuExample());
    struct Sink final : LineSink {
        void WriteLine(StringView line) override { text += ToUtf8(line) + "\r\n"; }
        std::string text;
    } sink;
    EXPECT_EQ(WriteScript(top, sink), 5u);
    EXPECT_EQ(sink.text, testing::kTwoMenuScript);
}

// A tree built by code has no depth limit: a walk that recursed per level would need far more.
TEST(ScriptWriter, AChainOf5000LevelsIsWalkedOnA256KbStack) {
    std::vector<testing::Node> chain;
    for (int d = 5000; d-- > 0;) {
        std::vector<testing::Node> above(1, {u"n", u"N" + FromUtf8(std::to_string(d)), {}});
        above[0].children = std::move(chain);
        chain = std::move(above);
    }
    struct Run final : LineSink {
        void WriteLine(StringView line) override { last = line; }
        static void* Body(void* p) {
            auto* r = static_cast<Run*>(p);
            r->written = WriteScript(*r->top, *r);
            return nullptr;
        }
        String last;
        testing::NodeLevel* top;
        size_t written = 0;
    } run;
    testing::NodeLevel top(chain);
    run.top = &top;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, &Run::Body, &run), 0);
    pthread_join(thread, nullptr);
    EXPECT_EQ(run.written, 5000u);
    EXPECT_EQ(run.last, String(3 * 4999, u' ') + u"n*N4999^N4998");
}

}  // namespace
}  // namespace tq::script

// GerarScript under Wine: the real input box and message boxes, the FileSystemObject, and a
// scratch drive letter so the script lands in "<X>:\Rudadod\Controller\".
#include <filesystem>
#include <fstream>

#include "com_test.h"
#include "dialog_driver.h"
#include "menu_fixture.h"
#include "tq/script/gerar_script.h"
#include "tq/script/script_file.h"
#include "win_test.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

using script::testing::Node;
namespace fs = std::filesystem;

constexpr wchar_t kAsk[] = L"Informe o Nome do Script SEM a Extensão", kAlerta[] = L"Alerta!";

ptrdiff_t FilesIn(const std::wstring& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

class GerarScriptTest : public ComTest {
  protected:
    void SetUp() override {
        ComTest::SetUp();
        for (const wchar_t* dir : {L"lib", L"Rudadod", L"Rudadod\\Controller"})
            ASSERT_TRUE(CreateDirectoryW((drive_.root() + dir).c_str(), nullptr));
        tree_ = NewTree();
        ComPtr<MenuItem> cfg = AddEntry(tree_.get(), L"Configura&ção", L"CFG");
        AddEntry(SubOf(cfg.get()).get(), L"Ação é", L"ACA");
        AddEntry(tree_.get(), L"Sai&r", L"SAIR");
        cfg->put_Visivel(VARIANT_FALSE);  // written all the same
    }
    void TearDown() override { tree_ = nullptr, ComTest::TearDown(); }
    HRESULT Run(MenuTree* tree, std::vector<DialogStep> steps) {
        DialogDriver driver(std::move(steps));
        VARIANT result;
        V_VT(&result) = VT_I4;
        const HRESULT hr = script::GerarScript(form_.hwnd(), tree, lib_.c_str(), &result);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
        seen_ = driver.seen();
        return hr;
    }
    WineDrive drive_;
    Form form_{L"Formulário"};
    const std::wstring folder_ = drive_.root() + L"Rudadod\\Controller\\";
    const std::wstring lib_ = drive_.root() + L"lib\\tqMenuCtl.ocx";
    std::vector<SeenDialog> seen_;
    ComPtr<MenuTree> tree_;
};

// Cancel asks to give up; a bad name is refused and offered again; the file is replaced.
TEST_F(GerarScriptTest, TheInputBoxAsksUntilAGoodNameAndTheScriptReplacesTheOldFile) {
    ASSERT_EQ(GetACP(), 1252u) << "the runner pins a locale with code page 1252";
    std::ofstream(fs::path(folder_ + L"acentos.Ini")) << std::string(5000, 'z');
    ASSERT_EQ(Run(tree_.get(), {Press(kAsk, IDCANCEL), Press(kAlerta, IDNO), Answer(kAsk, L"NUL"),
                                Press(kAlerta, IDOK), Answer(kAsk, L"acentos")}),
              S_OK);
    std::ifstream file(fs::path(folder_ + L"acentos.Ini"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
              "Configura\xE7\xE3o*CFG^A\r\n   A\xE7\xE3o \xE9*ACA^CFG\r\nSair*SAIR^A\r\n");
    EXPECT_EQ(FilesIn(drive_.root()), 2) << "lib and Rudadod";
    EXPECT_EQ(FilesIn(folder_), 1) << "acentos.Ini";
    ASSERT_EQ(seen_.size(), 5u);
    const SeenDialog& box = seen_[0];  // modal to the host
    EXPECT_EQ(box.text, L"O Arquivo Será Gerado No Diretório: " + folder_);
    EXPECT_EQ(box.edit_text, L"PavoScript");
    EXPECT_FALSE(box.owner_enabled);
    EXPECT_EQ(seen_[1].text, L"Cancela a Geração do Script ?");
    EXPECT_EQ(seen_[2].edit_text, L"PavoScript");
    EXPECT_EQ(seen_[3].text, L"'NUL' É um Nome Reservado do Sistema");
    EXPECT_EQ(seen_[4].edit_text, L"NUL");
    ASSERT_EQ(Run(tree_.get(), {Press(kAsk, IDCANCEL), Press(kAlerta, IDYES)}), S_OK);
    EXPECT_EQ(FilesIn(folder_), 1);
}

TEST_F(GerarScriptTest, AnEmptyTreeABadPathAMissingFolderOrAFailedReadWriteNothing) {
    ASSERT_EQ(Run(NewTree().get(), {Press(L"Tá Querendo Me Enganar É ?", IDOK)}), S_OK);
    EXPECT_EQ(seen_[0].text, L"Nenhum Menu Foi Definido Ainda");
    VARIANT v;
    EXPECT_EQ(script::GerarScript(form_.hwnd(), tree_.get(), L"tqMenuCtl.ocx", &v), E_INVALIDARG);
    EXPECT_NE(TakeErrorText().find(L"tqMenuCtl.ocx"), std::wstring::npos);
    ASSERT_TRUE(RemoveDirectoryW(folder_.c_str()));
    EXPECT_EQ(Run(tree_.get(), {Press(kAsk, IDOK)}), static_cast<HRESULT>(0x800A004C));
    EXPECT_EQ(TakeErrorText(), L"Caminho não encontrado: " + folder_ + L"PavoScript.Ini");
    EXPECT_TRUE(fs::is_empty(drive_.root() + L"Rudadod"));
    // The first line fills a batch, so both modes have written when the second cannot be read.
    const std::vector<Node> lines = {Node{String(40000, u'x'), u"X", {}}, Node{u"B", u"B", {}}};
    const std::wstring path = drive_.root() + L"parcial.Ini";
    for (auto mode : {script::WriteMode::kLinePerCall, script::WriteMode::kBatched}) {
        script::testing::NodeLevel level(lines, 2);
        EXPECT_THROW(script::WriteScriptFile(level, path, mode), Error);
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

}  // namespace
}  // namespace tq::test

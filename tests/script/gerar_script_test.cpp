// GerarScript under Wine: the real input box and message boxes, the FileSystemObject, and a
// scratch drive letter so the script lands in "<X>:\Rudadod\Controller\".
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "dialog_driver.h"
#include "menu_fixture.h"
#include "tq/script/gerar_script.h"
#include "tq/script/input_box.h"
#include "tq/script/script_file.h"
#include "win_test.h"
#include "wine_drive.h"

namespace tq::test {
namespace {

using script::testing::kTwoMenuScript;
using script::testing::Node;
using script::testing::TwoMenuExample;

constexpr wchar_t kAsk[] = L"Informe o Nome do Script SEM a Extensão", kAlerta[] = L"Alerta!";
const HICON kExclamation = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));

std::optional<std::string> ReadBytes(const std::wstring& path) {
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    if (!f) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

void Fill(MenuTree* level, const std::vector<Node>& nodes) {
    for (const Node& n : nodes) {
        ComPtr<MenuItem> item = AddEntry(level, std::wstring(n.caption.begin(), n.caption.end()),
                                         std::wstring(n.nome.begin(), n.nome.end()));
        ASSERT_TRUE(item);
        Fill(SubOf(item.get()).get(), n.children);
    }
}

class GerarScriptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        drive_ = std::make_unique<WineDrive>();
        for (const wchar_t* dir : {L"lib", L"Rudadod", L"Rudadod\\Controller"})
            ASSERT_TRUE(CreateDirectoryW((drive_->root() + dir).c_str(), nullptr));
        form_ = std::make_unique<Form>(L"Formulário");
        SetWindowPos(form_->hwnd(), nullptr, 140, 90, 600, 440, SWP_NOZORDER);
    }
    void TearDown() override {
        form_.reset();
        drive_.reset();
        CoUninitialize();
    }
    ComPtr<MenuTree> Tree(const std::vector<Node>& nodes) {
        ComPtr<MenuTree> tree = NewTree();
        Fill(tree.get(), nodes);
        return tree;
    }
    // GerarScript with the driver answering `steps`; its HRESULT, the dialogs in `seen`.
    HRESULT Run(MenuTree* tree, std::vector<DialogStep> steps, std::vector<SeenDialog>* seen) {
        DialogDriver driver(std::move(steps));
        VARIANT result;
        V_VT(&result) = VT_I4;
        const HRESULT hr = script::GerarScript(
            form_->hwnd(), tree, (drive_->root() + L"lib\\tqMenuCtl.ocx").c_str(), &result);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
        *seen = driver.seen();
        return hr;
    }

    std::unique_ptr<WineDrive> drive_;
    std::unique_ptr<Form> form_;
    std::wstring Folder() const { return drive_->root() + L"Rudadod\\Controller\\"; }
};

// Enter is OK and Esc is Cancel; a cancel or an empty name asks whether to give up (No asks
// again as the first time); a bad name is refused with its reason and offered for correction.
TEST_F(GerarScriptTest, TheInputBoxAsksUntilAGoodNameAndWritesTheScriptThere) {
    const struct {
        std::wstring answer, message;
    } refused[] = {
        {L"..\\..\\escaped", L"O Script Fica Nesta Pasta: o Nome Não Pode Conter \\, / ou .."},
        {L"NUL", L"'NUL' É um Nome Reservado do Sistema"},
        {std::wstring(300, L'x'), L"O Nome do Script É Longo Demais para Esta Pasta"},
        {L"<>|?*\"", L"O Nome do Script Não Pode Conter < > : \" | ? * nem Caracteres de Controle"},
        {L"   ", L"O Nome do Script Não Pode Terminar com Ponto ou Espaço"},
    };
    std::vector<DialogStep> steps = {Key(kAsk, VK_ESCAPE, L"descartado"), Press(kAlerta, IDNO),
                                     Answer(kAsk, L""), Press(kAlerta, IDNO)};
    for (const auto& r : refused)
        steps.insert(steps.end(), {Answer(kAsk, r.answer), Press(kAlerta, IDOK)});
    steps.push_back(Key(kAsk, VK_RETURN, L"teclado"));
    ComPtr<MenuTree> tree = Tree(TwoMenuExample());
    std::vector<SeenDialog> seen;
    ASSERT_EQ(Run(tree.get(), steps, &seen), S_OK);
    EXPECT_EQ(ReadBytes(Folder() + L"teclado.Ini"), kTwoMenuScript);
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::wstring>{L"teclado.Ini"});
    EXPECT_EQ(FilesIn(drive_->root()), (std::vector<std::wstring>{L"Rudadod", L"lib"}));
    EXPECT_EQ(FilesIn(drive_->root() + L"Rudadod"), std::vector<std::wstring>{L"Controller"});

    ASSERT_EQ(seen.size(), steps.size());
    const SeenDialog& box = seen[0];  // modal to the host, centred on it, the default selected
    EXPECT_EQ(box.text, L"O Arquivo Será Gerado No Diretório: " + Folder());
    EXPECT_EQ(box.edit_text, L"PavoScript");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(std::make_pair(box.sel_start, box.sel_end), std::make_pair(0ul, 10ul));
    EXPECT_EQ(box.focus_id, script::kInputBoxEditId);
    EXPECT_EQ(box.owner, form_->hwnd());
    EXPECT_FALSE(box.owner_enabled);
    RECT host{};
    GetWindowRect(form_->hwnd(), &host);
    EXPECT_NEAR(box.rect.left + box.rect.right, host.left + host.right, 2);
    EXPECT_NEAR(box.rect.top + box.rect.bottom, host.top + host.bottom, 2);
    const SeenDialog& question = seen[1];
    EXPECT_EQ(question.text, L"Cancela a Geração do Script ?");
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(question.icon, kExclamation);
    EXPECT_EQ(question.owner, form_->hwnd());
    EXPECT_EQ(seen[2].edit_text, L"PavoScript");
    EXPECT_EQ(seen[2].text, box.text);
    for (size_t i = 0; i < std::size(refused); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[2 * i + 5].text, refused[i].message);
        EXPECT_EQ(seen[2 * i + 5].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(seen[2 * i + 6].edit_text, refused[i].answer);
    }

    ASSERT_EQ(Run(tree.get(), {Answer(kAsk, L"nada", IDCANCEL), Press(kAlerta, IDYES)}, &seen),
              S_OK);
    EXPECT_EQ(FilesIn(Folder()).size(), 1u);
}

TEST_F(GerarScriptTest, AccentsBecomeSingleAnsiBytesAndAnOldFileIsReplaced) {
    ASSERT_EQ(GetACP(), 1252u) << "the runner pins a locale with code page 1252";
    std::ofstream(std::filesystem::path(Folder() + L"acentos.Ini")) << std::string(5000, 'z');
    ComPtr<MenuTree> tree = Tree({Node{u"Configura&ção", u"CFG", {Node{u"Ação é", u"ACA", {}}}},
                                  Node{u"Oculto", u"OCU", {}}});
    ComPtr<MenuItem> hidden = ItemAt(tree.get(), 2);  // written like any other
    ASSERT_EQ(hidden->put_Visivel(VARIANT_FALSE), S_OK);
    ASSERT_EQ(hidden->put_Habilitado(VARIANT_FALSE), S_OK);
    std::vector<SeenDialog> seen;
    ASSERT_EQ(Run(tree.get(), {Answer(kAsk, L"acentos")}, &seen), S_OK);
    EXPECT_EQ(ReadBytes(Folder() + L"acentos.Ini"),
              "Configura\xE7\xE3o*CFG^A\r\n   A\xE7\xE3o \xE9*ACA^CFG\r\nOculto*OCU^A\r\n");
}

TEST_F(GerarScriptTest, BadArgumentsAnEmptyTreeOrAMissingFolderWriteNothing) {
    ComPtr<MenuTree> tree = Tree(TwoMenuExample());
    const std::wstring lib = drive_->root() + L"lib\\tqMenuCtl.ocx";
    VARIANT v;
    VariantInit(&v);
    std::vector<SeenDialog> seen;
    {
        DialogDriver none({});
        EXPECT_EQ(script::GerarScript(form_->hwnd(), tree.get(), lib.c_str(), nullptr), E_POINTER);
        EXPECT_EQ(script::GerarScript(form_->hwnd(), nullptr, lib.c_str(), &v), E_INVALIDARG);
        EXPECT_EQ(script::GerarScript(form_->hwnd(), tree.get(), L"tqMenuCtl.ocx", &v),
                  E_INVALIDARG);
        EXPECT_NE(TakeErrorText().find(L"tqMenuCtl.ocx"), std::wstring::npos);
        none.Finish();
        EXPECT_TRUE(none.ok()) << none.Report();
    }
    ASSERT_EQ(Run(Tree({}).get(), {Press(L"Tá Querendo Me Enganar É ?", IDOK)}, &seen), S_OK);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Nenhum Menu Foi Definido Ainda");
    EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(seen[0].icon, kExclamation);
    EXPECT_EQ(seen[0].owner, form_->hwnd());
    EXPECT_TRUE(FilesIn(Folder()).empty());

    ASSERT_TRUE(RemoveDirectoryW(Folder().c_str()));
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(Run(tree.get(), {Press(kAsk, IDOK)}, &seen), static_cast<HRESULT>(0x800A004C));
    EXPECT_EQ(TakeErrorText(), L"Caminho não encontrado: " + Folder() + L"PavoScript.Ini");
    EXPECT_TRUE(FilesIn(drive_->root() + L"Rudadod").empty());
}

TEST_F(GerarScriptTest, AFailureAfterCreationLeavesNoFileBehind) {
    std::vector<Node> lines(60000);  // many lines and batches go out before the failure
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i].caption = u"Linha &" + FromUtf8(std::to_string(i)) + u" ação € Ω 😀";
        lines[i].nome = u"L" + FromUtf8(std::to_string(i));
    }
    const std::wstring path = drive_->root() + L"parcial.Ini";
    for (auto mode : {script::WriteMode::kLinePerCall, script::WriteMode::kBatched})
        for (int32_t fail_at : {40001, 1}) {
            SCOPED_TRACE(fail_at);
            script::testing::NodeLevel level(lines, fail_at);
            try {
                script::WriteScriptFile(level, path, mode);
                ADD_FAILURE() << "the unreadable entry was not reported";
            } catch (const Error& e) {
                EXPECT_EQ(e.hresult(), hr::kBadIndex);
            }
            EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
        }
}

}  // namespace
}  // namespace tq::test

// GerarScript under Wine, end to end: a tqBiblioteca MenuTree, the real input box and message
// boxes (answered by the dialog driver from a second thread), the FileSystemObject, and a drive
// letter of the prefix mapped to a scratch folder so the script lands in
// "<X>:\Rudadod\Controller\".
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "menu_fixture.h"
#include "tq/com/com_ptr.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/error.h"
#include "tq/script/gerar_script.h"
#include "tq/script/input_box.h"
#include "tq/script/script_file.h"
#include "win_test.h"
#include "wine_drive.h"

namespace {

using tq::com::Bstr;
using tq::com::ComPtr;
using tq::script::testing::Node;
using tq::script::testing::NodeLevel;
using tq::test::Answer;
using tq::test::DialogDriver;
using tq::test::Key;
using tq::test::Press;

constexpr wchar_t kAskTitle[] = L"Informe o Nome do Script SEM a Extensão";
constexpr wchar_t kAlerta[] = L"Alerta!";
constexpr wchar_t kCancelQuestion[] = L"Cancela a Geração do Script ?";

std::optional<std::string> ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    CloseHandle(h);
    return out;
}

// Names in a folder, exactly as stored (case included).
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") names.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

class GerarScriptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        drive_ = std::make_unique<tq::test::WineDrive>();
        library_ = drive_->root() + L"lib\\tqMenuCtl.ocx";
        folder_ = drive_->root() + L"Rudadod\\Controller\\";
        ASSERT_TRUE(CreateDirectoryW((drive_->root() + L"lib").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((drive_->root() + L"Rudadod").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        form_ = std::make_unique<tq::test::Form>(L"Formulário");
        host_ = form_->hwnd();
        SetWindowPos(host_, nullptr, 140, 90, 600, 440, SWP_NOZORDER);
    }
    void TearDown() override {
        form_.reset();
        drive_.reset();
        CoUninitialize();
    }

    static ComPtr<MenuTree> NewTree(const std::vector<Node>& nodes) {
        ComPtr<MenuTree> tree = tq::test::NewTree();
        if (tree) Fill(tree.get(), nodes);
        return tree;
    }
    static void Fill(MenuTree* level, const std::vector<Node>& nodes) {
        for (const Node& n : nodes) {
            ComPtr<MenuItem> item =
                tq::test::AddEntry(level, std::wstring(n.caption.begin(), n.caption.end()),
                                   std::wstring(n.nome.begin(), n.nome.end()));
            ASSERT_TRUE(item);
            Fill(tq::test::SubOf(item.get()).get(), n.children);
        }
    }

    // Runs GerarScript with the driver answering `steps`; returns its HRESULT.
    HRESULT Run(MenuTree* tree, std::vector<tq::test::DialogStep> steps,
                std::vector<tq::test::SeenDialog>* seen = nullptr) {
        DialogDriver driver(std::move(steps));
        VARIANT result;
        V_VT(&result) = VT_I4;  // must come back Empty
        const HRESULT hr = tq::script::GerarScript(host_, tree, library_.c_str(), &result);
        driver.Finish();
        EXPECT_TRUE(driver.ok()) << driver.Report();
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
        if (seen) *seen = driver.seen();
        return hr;
    }

    std::unique_ptr<tq::test::WineDrive> drive_;
    std::unique_ptr<tq::test::Form> form_;
    std::wstring library_, folder_;
    HWND host_ = nullptr;
};

TEST_F(GerarScriptTest, TwoMenuExampleWritesItsFiveLinesThroughTheInputBox) {
    ComPtr<MenuTree> tree = NewTree(tq::script::testing::TwoMenuExample());
    std::vector<tq::test::SeenDialog> seen;
    // The default answer, taken as it is.
    ASSERT_EQ(Run(tree.get(), {Press(kAskTitle, IDOK)}, &seen), S_OK);
    EXPECT_EQ(ReadBytes(folder_ + L"PavoScript.Ini"), tq::script::testing::kTwoMenuScript);
    EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"PavoScript.Ini"});

    // The input box: modal to the host, centred on it, the default text selected and focused.
    ASSERT_EQ(seen.size(), 1u);
    const auto& box = seen[0];
    EXPECT_EQ(box.text, L"O Arquivo Será Gerado No Diretório: " + folder_);
    EXPECT_EQ(box.edit_text, L"PavoScript");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
    EXPECT_EQ(box.sel_start, 0u);
    EXPECT_EQ(box.sel_end, 10u);
    EXPECT_EQ(box.focus_id, tq::script::kInputBoxEditId);
    EXPECT_EQ(box.owner, host_);
    EXPECT_FALSE(box.owner_enabled);
    RECT host{};
    GetWindowRect(host_, &host);
    EXPECT_NEAR((box.rect.left + box.rect.right) / 2.0, (host.left + host.right) / 2.0, 1.0);
    EXPECT_NEAR((box.rect.top + box.rect.bottom) / 2.0, (host.top + host.bottom) / 2.0, 1.0);
}

// Enter is OK and Esc is Cancel; a cancel (an emptied box too) asks whether to give up: No asks
// again exactly as the first time, Yes ends without a file.
TEST_F(GerarScriptTest, CancelAsksWhetherToGiveUpAndNoAsksAgain) {
    ComPtr<MenuTree> tree = NewTree(tq::script::testing::TwoMenuExample());
    std::vector<tq::test::SeenDialog> seen;
    ASSERT_EQ(Run(tree.get(),
                  {Key(kAskTitle, VK_ESCAPE, L"descartado"), Press(kAlerta, IDNO),
                   Answer(kAskTitle, L"", IDOK), Press(kAlerta, IDNO),
                   Key(kAskTitle, VK_RETURN, L"teclado")},
                  &seen),
              S_OK);
    EXPECT_EQ(ReadBytes(folder_ + L"teclado.Ini"), tq::script::testing::kTwoMenuScript);
    EXPECT_EQ(FilesIn(folder_).size(), 1u);
    ASSERT_EQ(seen.size(), 5u);
    const auto& question = seen[1];
    EXPECT_EQ(question.text, kCancelQuestion);
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO})) << "style 52: Yes and No";
    EXPECT_EQ(question.icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32515))) << "style 52";
    EXPECT_EQ(question.owner, host_);
    EXPECT_EQ(seen[2].edit_text, L"PavoScript");
    EXPECT_EQ(seen[2].text, seen[0].text);
    ASSERT_EQ(Run(tree.get(), {Answer(kAskTitle, L"nada", IDCANCEL), Press(kAlerta, IDYES)}), S_OK);
    EXPECT_EQ(FilesIn(folder_).size(), 1u);
}

TEST_F(GerarScriptTest, AccentsBecomeSingleAnsiBytesAndAnOldFileIsReplaced) {
    ASSERT_EQ(GetACP(), 1252u) << "the runner pins a locale with code page 1252";
    const std::string old(5000, 'z');
    {
        HANDLE h = CreateFileW((folder_ + L"acentos.Ini").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        WriteFile(h, old.data(), static_cast<DWORD>(old.size()), &n, nullptr);
        CloseHandle(h);
    }
    // Hidden and disabled entries are written like any other.
    ComPtr<MenuTree> tree = NewTree({Node{u"Configura&ção", u"CFG", {Node{u"Ação é", u"ACA", {}}}},
                                     Node{u"Oculto", u"OCU", {}}});
    ComPtr<MenuItem> hidden = tq::test::ItemAt(tree.get(), 2);
    ASSERT_EQ(hidden->put_Visivel(VARIANT_FALSE), S_OK);
    ASSERT_EQ(hidden->put_Habilitado(VARIANT_FALSE), S_OK);
    ASSERT_EQ(Run(tree.get(), {Answer(kAskTitle, L"acentos")}), S_OK);
    EXPECT_EQ(ReadBytes(folder_ + L"acentos.Ini"),
              "Configura\xE7\xE3o*CFG^A\r\n"
              "   A\xE7\xE3o \xE9*ACA^CFG\r\n"
              "Oculto*OCU^A\r\n");
}

TEST_F(GerarScriptTest, EmptyTreeShowsTheNoticeAndWritesNothing) {
    ComPtr<MenuTree> tree = NewTree({});
    std::vector<tq::test::SeenDialog> seen;
    ASSERT_EQ(Run(tree.get(), {Press(L"Tá Querendo Me Enganar É ?", IDOK)}, &seen), S_OK);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, L"Nenhum Menu Foi Definido Ainda");
    EXPECT_EQ(seen[0].buttons, std::vector<int>{IDOK}) << "style 48: OK only";
    EXPECT_EQ(seen[0].icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32515))) << "style 48: exclamation";
    EXPECT_EQ(seen[0].owner, host_);
    EXPECT_TRUE(FilesIn(folder_).empty());
}

TEST_F(GerarScriptTest, MissingFolderIsAComErrorWithTextAndNoFile) {
    ASSERT_TRUE(RemoveDirectoryW(folder_.c_str()));
    ComPtr<MenuTree> tree = NewTree(tq::script::testing::TwoMenuExample());
    SetErrorInfo(0, nullptr);
    const HRESULT hr = Run(tree.get(), {Press(kAskTitle, IDOK)});
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A004C)) << "path not found";
    EXPECT_EQ(tq::test::TakeErrorText(), L"Caminho não encontrado: " + folder_ + L"PavoScript.Ini");
    EXPECT_EQ(GetFileAttributesW(folder_.c_str()), INVALID_FILE_ATTRIBUTES) << "not created";
    EXPECT_EQ(FilesIn(drive_->root() + L"Rudadod\\").size(), 0u);
}

// A name that would leave the folder, or names no ordinary file there, is refused with a
// message saying why and asked for again, the refused name offered for correction; nothing is
// written until a good name comes.
TEST_F(GerarScriptTest, NamesLeavingTheFolderOrNamingNoFileAreRefusedAndAskedAgain) {
    ComPtr<MenuTree> tree = NewTree(tq::script::testing::TwoMenuExample());
    const struct {
        std::wstring answer, message;
    } refused[] = {
        {L"..\\..\\escaped", L"O Script Fica Nesta Pasta: o Nome Não Pode Conter \\, / ou .."},
        {L"NUL", L"'NUL' É um Nome Reservado do Sistema"},
        {std::wstring(300, L'x'), L"O Nome do Script É Longo Demais para Esta Pasta"},
        {L"<>|?*\"", L"O Nome do Script Não Pode Conter < > : \" | ? * nem Caracteres de Controle"},
        {L"   ", L"O Nome do Script Não Pode Terminar com Ponto ou Espaço"},
    };
    std::vector<tq::test::DialogStep> steps;
    for (const auto& r : refused) {
        steps.push_back(Answer(kAskTitle, r.answer));
        steps.push_back(Press(kAlerta, IDOK));
    }
    steps.push_back(Answer(kAskTitle, L"corrigido"));
    std::vector<tq::test::SeenDialog> seen;
    ASSERT_EQ(Run(tree.get(), steps, &seen), S_OK);
    ASSERT_EQ(seen.size(), steps.size());
    for (size_t i = 0; i < std::size(refused); ++i) {
        const auto& box = seen[2 * i + 1];
        EXPECT_EQ(box.text, refused[i].message);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << "style 48: OK only";
        EXPECT_EQ(box.icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32515))) << "style 48";
        EXPECT_EQ(box.owner, host_);
        EXPECT_EQ(seen[2 * i + 2].edit_text, refused[i].answer);
    }
    EXPECT_EQ(ReadBytes(folder_ + L"corrigido.Ini"), tq::script::testing::kTwoMenuScript);
    EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"corrigido.Ini"});
    std::vector<std::wstring> root = FilesIn(drive_->root());
    std::sort(root.begin(), root.end());
    EXPECT_EQ(root, (std::vector<std::wstring>{L"Rudadod", L"lib"})) << "nothing outside";
    EXPECT_EQ(FilesIn(drive_->root() + L"Rudadod\\"), std::vector<std::wstring>{L"Controller"});
}

TEST_F(GerarScriptTest, BadArgumentsFailWithoutDialogs) {
    ComPtr<MenuTree> tree = NewTree(tq::script::testing::TwoMenuExample());
    EXPECT_EQ(tq::script::GerarScript(host_, tree.get(), library_.c_str(), nullptr), E_POINTER);
    DialogDriver driver({});
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(tq::script::GerarScript(host_, nullptr, library_.c_str(), &v), E_INVALIDARG);
    EXPECT_EQ(tq::script::GerarScript(host_, tree.get(), L"tqMenuCtl.ocx", &v), E_INVALIDARG);
    EXPECT_NE(tq::test::TakeErrorText().find(L"tqMenuCtl.ocx"), std::wstring::npos);
    driver.Finish();
    EXPECT_TRUE(driver.ok()) << driver.Report();
}

// A flat generated menu of `count` entries.
std::vector<Node> Lines(size_t count) {
    std::vector<Node> lines(count);
    for (size_t i = 0; i < count; ++i) {
        const tq::String n = tq::FromUtf8(std::to_string(i));
        // 1252 letters, one character outside 1252 and one outside the BMP.
        lines[i].caption = u"Linha &" + n + u" ação € Ω 😀";
        lines[i].nome = u"L" + n;
    }
    return lines;
}

class ScriptFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        drive_ = std::make_unique<tq::test::WineDrive>();
    }
    void TearDown() override {
        drive_.reset();
        CoUninitialize();
    }
    std::unique_ptr<tq::test::WineDrive> drive_;
};

TEST_F(ScriptFileTest, AFailureAfterCreationLeavesNoFileBehind) {
    const std::wstring path = drive_->root() + L"parcial.Ini";
    for (auto mode : {tq::script::WriteMode::kLinePerCall, tq::script::WriteMode::kBatched}) {
        // Fails after many lines (and batches) went to the file.
        NodeLevel level(Lines(60000), nullptr, 40001);
        try {
            tq::script::WriteScriptFile(level, path, mode);
            ADD_FAILURE() << "the unreadable entry was not reported";
        } catch (const tq::Error& e) {
            EXPECT_EQ(e.hresult(), tq::hr::kBadIndex);
        }
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // The walk reads the menu only after the file was created: a failure at the first entry
    // removes the file as well.
    NodeLevel first(Lines(3), nullptr, 1);
    EXPECT_THROW(tq::script::WriteScriptFile(first, path), tq::Error);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

// End to end: the page designs a menu on tqMenu in Wine's ATL host and applies it; the control
// shows it; the page's "Gera Script" has the control write its script, or shows why not.
#include <filesystem>
#include <fstream>

#include "dialog_driver.h"
#include "page_win_util.h"
#include "tq/com/late_bind.h"

namespace tq::test {
namespace {

using AtlEndToEndTest = PageTest;

TEST_F(AtlEndToEndTest, DesignApplyShowAndScript) {
    Form form;
    ComPtr<IUnknown> unk;
    ASSERT_NE(HostInAtl(form.hwnd(), nullptr, &unk), nullptr);
    ComPtr<IDispatch> ctl;
    ASSERT_HRESULT_SUCCEEDED(unk.As(IID_IDispatch, &ctl));
    OpenOn({unk.get()});
    for (const wchar_t* caption : {L"&Arquivo", L"&Novo"}) {
        Click(Control::btnIncluir);
        Type(caption);
        Click(Control::btnConfirma);
        ClickNode(L"&Arquivo");
    }
    ASSERT_HRESULT_SUCCEEDED(page->Apply());
    ASSERT_HRESULT_SUCCEEDED(com::PutProperty(ctl.get(), L"ExibirMenu", Variant::FromBool(true)));
    Variant ignored;
    ASSERT_HRESULT_SUCCEEDED(com::CallMethod(ctl.get(), L"ReExibirMenu", {}, &ignored));
    const std::vector<MenuEntry> bar = ReadMenu(GetMenu(form.hwnd()));
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(bar[0].text + " > " + ReadMenu(bar[0].sub).at(0).text, "&Arquivo > &Novo");

    // Opened again on the control, the page loads the applied tree: the script button is on.
    IUnknown* objects[] = {unk.get()};
    ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));

    // The control shown last writes to <drive of the library>\Rudadod\Controller\.
    wchar_t ocx[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"tqMenuCtl.ocx"), ocx, MAX_PATH);
    const std::filesystem::path rudadod = std::wstring(ocx).substr(0, 3) + L"Rudadod",
                                folder = rudadod / L"Controller";
    const bool had_rudadod = exists(rudadod), had_folder = exists(folder);
    create_directories(folder);
    DialogDriver driver({Press(L"tqMenuProperty", IDOK),
                         Answer(L"Informe o Nome do Script SEM a Extensão", L"MenuDaPagina")});
    Click(Control::btnScript);  // none shown yet: the failure in a message box
    SetShownControl(ctl.get());
    Click(Control::btnScript);
    driver.Finish();
    SetShownControl(nullptr);
    ASSERT_TRUE(driver.ok()) << driver.Report();
    EXPECT_EQ(driver.seen()[0].text, L"Nenhum controle tqMenu está ativo para gerar o script.");
    std::ifstream in(folder / L"MenuDaPagina.Ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "Arquivo*Arq^A\r\n   Novo*ArqNov^Arq\r\n");
    in.close();
    remove(folder / L"MenuDaPagina.Ini");
    if (!had_folder) remove(folder);
    if (!had_rudadod) remove(rudadod);
    page->SetObjects(0, nullptr);
}

}  // namespace
}  // namespace tq::test

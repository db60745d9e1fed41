// Control states while browsing and editing, the keys, and the script button.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class States : public PageTest {
  protected:
    void SetUp() override { Load("&Arquivo|Arq\n &Novo|ArqNov\n&Ajuda|Aju|Ctrl+F5|ajuda|i"); }
    // Incluir Alterar Excluir Sobe Desce Script, the frame and its seven controls, the labels.
    std::string State() const {
        const Form& f = form();
        std::string s;
        for (bool on :
             {f.btnIncluir.Enabled, f.btnAlterar.Enabled, f.btnExcluir.Enabled, f.btnSobe.Enabled,
              f.btnDesce.Enabled, f.btnScript.Enabled, false, f.fraObjetos.Enabled,
              f.cmbTeclaAcesso.Enabled, f.btnConfirma.Enabled, f.chkConsulta.Enabled,
              f.chkVisible.Enabled, f.chkEnabled.Enabled, f.chkCtrl.Enabled, f.chkShift.Enabled})
            s += on ? '1' : '0';
        for (uint32_t c : {f.lblCaption.ForeColor, f.lblNome.ForeColor, f.lblDescricao.ForeColor})
            s += c == kColorMenuText ? " menu" : c == kColorGrayText ? " gray" : " other";
        return s;
    }
};

TEST_F(States, BrowsingAndEditingSwitchCommandsFieldsAndLabels) {
    const std::string browsing = "000000000 gray gray gray", editing = "011111111 menu menu menu";
    EXPECT_EQ(State(), "100111" + browsing);  // the page opens on the root
    Click(u"AArqNov");
    EXPECT_EQ(State(), "111111" + browsing);
    page.btnIncluir_Click();
    EXPECT_EQ(State(), "000111" + editing);
    Click(u"AAju");  // a click ends the edit
    EXPECT_EQ(State(), "111111" + browsing);
    Load("");  // an empty tree: no script
    page.btnIncluir_Click();
    EXPECT_EQ(State(), "000110" + editing);
}

TEST_F(States, KeysOfTheTreeAndOfTheShortcutListAndTheScriptButton) {
    Click(u"AArq");
    Key(45, 0);  // Insert: add
    EXPECT_EQ(page.mintOperacao(), 1);
    page.ChooseKey(4);
    int16_t code = 65;
    page.cmbTeclaAcesso_KeyDown(code, 0);  // any other key: nothing
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, 4);
    code = 46;
    page.cmbTeclaAcesso_KeyDown(code, 3);  // Delete, whatever the shift state
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, -1);
    Type(Control::txtCaption, u"meio");
    Key(45, 0);  // Insert during an edit starts a new add
    EXPECT_EQ(form().txtCaption.Text, u"");
    Click(u"AArq");
    Key(13, 0);  // Enter alone and Ctrl+Shift+Enter: nothing
    Key(13, 3);
    EXPECT_FALSE(Editing());
    Key(13, 2);  // Ctrl+Enter: change
    EXPECT_EQ(form().txtCaption.Text, u"&Arquivo");
    Click(u"AAju");
    answers.push_back(kMsgNo);
    Key(46, 0);  // Delete: asks
    EXPECT_EQ(Summary(), "A AArq AArqNov AAju @AAju Exclui o Menu '&Ajuda' ?|52|Alerta!");
    page.btnScript_Click();  // the script button calls the shown control, even while editing
    Edit(u"A", false, nullptr);
    page.btnScript_Click();
    EXPECT_EQ(scripts, 2);
    EXPECT_EQ(Summary(), "A AArq AArqNov AAju @A editing");
    PageModel alone;
    EXPECT_EQ(ErrorOf([&] { alone.btnScript_Click(); }), hr::kObjectNotSet);
    EXPECT_TRUE(page.CanAdd() && !alone.CanAdd());
}

}  // namespace
}  // namespace tq::designer::testing

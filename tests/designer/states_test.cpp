// Control states while browsing and editing, the node click and the list, the keys of the tree
// and of the shortcut list, and the script button.
#include "page_fixture.h"
#include "tq/designer/errors.h"

namespace tq::designer::testing {
namespace {

class States : public PageTest {
  protected:
    void SetUp() override { Load("&Arquivo|Arq\n &Novo|ArqNov\n&Ajuda|Aju|Ctrl+F5|ajuda|i"); }
    // Incluir Alterar Excluir Sobe Desce Script, the frame and its seven controls, the labels.
    std::string State() const {
        const Form& f = form();
        std::string s;
        for (bool on : {f.btnIncluir.Enabled, f.btnAlterar.Enabled, f.btnExcluir.Enabled,
                        f.btnSobe.Enabled, f.btnDesce.Enabled, f.btnScript.Enabled})
            s += on ? '1' : '0';
        s += ' ';
        for (bool on : {f.fraObjetos.Enabled, f.cmbTeclaAcesso.Enabled, f.btnConfirma.Enabled,
                        f.chkConsulta.Enabled, f.chkVisible.Enabled, f.chkEnabled.Enabled,
                        f.chkCtrl.Enabled, f.chkShift.Enabled})
            s += on ? '1' : '0';
        for (uint32_t c : {f.lblCaption.ForeColor, f.lblNome.ForeColor, f.lblDescricao.ForeColor})
            s += c == kColorMenuText ? " menu" : c == kColorGrayText ? " gray" : " other";
        return s;
    }
};

TEST_F(States, BrowsingAndEditingSwitchCommandsFieldsAndLabels) {
    const std::string browsing = " 00000000 gray gray gray";
    EXPECT_EQ(State(), "100111" + browsing);  // the page opens on the root
    Click(u"AArqNov");
    EXPECT_EQ(State(), "111111" + browsing);
    page.btnIncluir_Click();
    EXPECT_EQ(State(), "000111 11111111 menu menu menu");
    Click(u"AAju");  // a click ends the edit
    EXPECT_EQ(State(), "111111" + browsing);
    Load("");  // an empty tree: no script
    page.btnIncluir_Click();
    EXPECT_EQ(State(), "000110 11111111 menu menu menu");
}

TEST_F(States, NodeClickListsTheChildrenWithTheirFields) {
    EXPECT_EQ(
        std::count(view.controlsChanged.begin(), view.controlsChanged.end(), Control::lstMenu), 1);
    const std::vector<std::vector<std::string>> expected = {
        {"&Arquivo", "Arq", "", "True", "True", ""},
        {"&Ajuda", "Aju", "Ctrl+F5", "False", "True", "ajuda"}};
    for (size_t c = 0; c < 6; ++c)
        EXPECT_EQ(ListColumn(c), (std::vector<std::string>{expected[0][c], expected[1][c]}));
    Click(u"AAju");
    EXPECT_TRUE(form().lstMenu.Rows.empty());
    Click(u"AArq");
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Novo"});
}

TEST_F(States, KeysOfTheTreeAndOfTheShortcutList) {
    Click(u"AArq");
    Key(45, 0);  // Insert: add
    EXPECT_TRUE(Editing());
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
    EXPECT_TRUE(Browsing());
    Key(13, 2);  // Ctrl+Enter: change
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_EQ(form().txtCaption.Text, u"&Arquivo");

    Click(u"AAju");
    host.answers.push_back(kMsgNo);
    Key(46, 0);  // Delete: asks
    EXPECT_EQ(host.boxes.size(), 1u);
    Click(u"A");
    Key(46, 0);  // on the root: nothing at all
    EXPECT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(Keys(trv()), "A AArq AArqNov AAju");
}

TEST_F(States, ScriptButtonCallsTheShownControlEvenWhileEditing) {
    page.btnScript_Click();
    Click(u"A");
    page.btnIncluir_Click();
    page.btnScript_Click();
    EXPECT_EQ(host.scripts, 2);
    EXPECT_TRUE(Editing());
    EXPECT_FALSE(page.Changed());
    PageModel alone;
    ExpectError(hr::kObjectNotSet, [&] { alone.btnScript_Click(); });
}

}  // namespace
}  // namespace tq::designer::testing

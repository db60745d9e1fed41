// Control states while browsing and editing, the node click, the keys of the tree and of the
// shortcut list, and the script button.
#include "page_fixture.h"
#include "tq/designer/errors.h"

namespace tq::designer::testing {
namespace {

class States : public PageTest {
  protected:
    void SetUp() override {
        Load({E{u"&Arquivo", u"Arq", u"", u"", false, true, true, {E{u"&Novo", u"ArqNov"}}},
              E{u"&Ajuda", u"Aju"}});
    }

    // The seven controls HabilitaControles switches with the frame.
    bool FieldsEnabled() const {
        const Form& f = form();
        const bool all = f.cmbTeclaAcesso.Enabled && f.btnConfirma.Enabled &&
                         f.chkConsulta.Enabled && f.chkVisible.Enabled && f.chkEnabled.Enabled &&
                         f.chkCtrl.Enabled && f.chkShift.Enabled;
        const bool none = !f.cmbTeclaAcesso.Enabled && !f.btnConfirma.Enabled &&
                          !f.chkConsulta.Enabled && !f.chkVisible.Enabled &&
                          !f.chkEnabled.Enabled && !f.chkCtrl.Enabled && !f.chkShift.Enabled;
        EXPECT_TRUE(all || none) << "the seven controls disagree";
        return all && f.fraObjetos.Enabled;
    }
    std::vector<uint32_t> LabelColours() const {
        return {form().lblCaption.ForeColor, form().lblNome.ForeColor,
                form().lblDescricao.ForeColor};
    }

    void Key(int16_t code, int16_t shift) { page.trvMenu_KeyDown(code, shift); }
};

TEST_F(States, BrowsingTheRootAndAnEntry) {
    // The page opens on the root.
    EXPECT_TRUE(form().btnIncluir.Enabled);
    EXPECT_FALSE(form().btnAlterar.Enabled);
    EXPECT_FALSE(form().btnExcluir.Enabled);
    EXPECT_FALSE(FieldsEnabled());
    EXPECT_EQ(LabelColours(), std::vector<uint32_t>(3, kColorGrayText));
    EXPECT_TRUE(form().btnScript.Enabled);

    Click(u"AArqNov");
    EXPECT_TRUE(form().btnIncluir.Enabled);
    EXPECT_TRUE(form().btnAlterar.Enabled);
    EXPECT_TRUE(form().btnExcluir.Enabled);
    EXPECT_FALSE(FieldsEnabled());
    EXPECT_EQ(LabelColours(), std::vector<uint32_t>(3, kColorGrayText));
}

TEST_F(States, EditingOpensTheFieldsAndLeavesMovesAndScriptAlone) {
    for (const bool scriptOn : {true, false}) {
        if (!scriptOn) Load({});  // an empty tree: the script button is off
        Click(u"A");
        page.btnIncluir_Click();
        EXPECT_FALSE(form().btnIncluir.Enabled);
        EXPECT_FALSE(form().btnAlterar.Enabled);
        EXPECT_FALSE(form().btnExcluir.Enabled);
        EXPECT_TRUE(FieldsEnabled());
        EXPECT_EQ(LabelColours(), std::vector<uint32_t>(3, kColorMenuText));
        EXPECT_TRUE(form().btnSobe.Enabled);
        EXPECT_TRUE(form().btnDesce.Enabled);
        EXPECT_EQ(form().btnScript.Enabled, scriptOn);
    }
}

TEST_F(States, NodeClickEndsTheEditAndListsTheChildren) {
    Click(u"AArq");
    page.btnAlterar_Click();
    Type(Control::txtCaption, u"&Arquivos");
    Click(u"AAju");
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(form().txtCaption.Text, u"&Arquivos");
    EXPECT_TRUE(form().lstMenu.Rows.empty());  // a node without children empties the list
    Click(u"AArq");
    ASSERT_EQ(form().lstMenu.Rows.size(), 1u);
    const ListRow& row = form().lstMenu.Rows[0];
    EXPECT_EQ(row.Columns[0], u"&Novo");
    EXPECT_EQ(row.Columns[1], u"ArqNov");
    EXPECT_EQ(row.Columns[3], u"True");
    EXPECT_EQ(row.Columns[4], u"True");
    // The view heard of the refilled list.
    EXPECT_NE(std::find(view.controlsChanged.begin(), view.controlsChanged.end(), Control::lstMenu),
              view.controlsChanged.end());
}

TEST_F(States, ListShowsFlagsAndShortcutPerRow) {
    Load({E{u"&Um", u"Um", u"Ctrl+F5", u"primeiro", false, true, false},
          E{u"Dois", u"Doi", u"", u"", false, false, true}});
    const std::vector<std::vector<std::string>> expected = {
        {"&Um", "Um", "Ctrl+F5", "True", "False", "primeiro"},
        {"Dois", "Doi", "", "False", "True", ""}};
    for (size_t c = 0; c < 6; ++c)
        EXPECT_EQ(ListColumn(c), (std::vector<std::string>{expected[0][c], expected[1][c]}));
}

TEST_F(States, DeleteKeyClearsTheChosenShortcutOnly) {
    Click(u"A");
    page.btnIncluir_Click();
    page.ChooseKey(4);
    int16_t code = 65;
    page.cmbTeclaAcesso_KeyDown(code, 0);
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, 4);
    code = 46;
    page.cmbTeclaAcesso_KeyDown(code, 3);  // any shift state
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, -1);
}

TEST_F(States, TreeKeysRunTheCommands) {
    Click(u"AArq");
    Key(45, 0);  // Insert: add
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.mintOperacao(), 1);
    Type(Control::txtCaption, u"meio");
    Key(45, 0);  // Insert during an edit starts a new add
    EXPECT_EQ(form().txtCaption.Text, u"");

    Click(u"AArq");
    Key(13, 0);  // Enter alone: nothing
    Key(13, 3);  // Ctrl+Shift+Enter: nothing
    EXPECT_TRUE(Browsing());
    Key(13, 2);  // Ctrl+Enter: change
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_EQ(form().txtCaption.Text, u"&Arquivo");

    Click(u"AAju");
    host.answers.push_back(kMsgNo);
    Key(46, 0);  // Delete: asks
    EXPECT_EQ(host.boxes.size(), 1u);
    Click(u"A");
    Key(46, 0);  // Delete on the root: nothing at all
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

// The editing commands: add, change, delete, confirm, and the name derivation on the caption's
// focus loss, including the choices made for names that are already in use.
#include "page_fixture.h"
#include "tq/designer/errors.h"

namespace tq::designer::testing {
namespace {

using model::LeCampo;

class EditCommands : public PageTest {
  protected:
    void SetUp() override { Load({E{u"&Editar", u"Edi"}}); }

    String Nome(StringView key) { return LeCampo(N(key).Tag(), u"Nome").ToText(); }
    String Tecla(StringView key) { return N(key).Tag().substr(0, 15); }
};

TEST_F(EditCommands, AddUnderTheRootDerivesTheNameAndListsTheNewEntry) {
    Click(u"A");
    page.btnIncluir_Click();
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.Focus(), Control::txtCaption);
    EXPECT_EQ(page.mintOperacao(), 1);
    Type(Control::txtCaption, u"&Arquivo");
    LeaveCaption();
    EXPECT_EQ(form().txtNome.Text, u"Arq");
    page.btnConfirma_Click();

    const Node& n = N(u"AArq");
    EXPECT_EQ(n.Parent(), &N(u"A"));
    EXPECT_EQ(n.Previous(), &N(u"AEdi"));
    EXPECT_EQ(n.Text(), u"&Arquivo");
    EXPECT_EQ(Nome(u"AArq"), u"Arq");
    EXPECT_EQ(Tecla(u"AArq"), u"00" + String(13, u' '));
    EXPECT_TRUE(n.Bold());
    EXPECT_TRUE(n.Checked());
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));
    EXPECT_TRUE(N(u"A").Expanded());
    EXPECT_EQ(ListColumn(0), (std::vector<std::string>{"&Editar", "&Arquivo"}));
    EXPECT_EQ(ListColumn(1), (std::vector<std::string>{"Edi", "Arq"}));
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(page.Focus(), Control::trvMenu);
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(host.changedCalls, std::vector<bool>{true});
    // The fields are emptied, except Visible and Enabled; the operation stays.
    EXPECT_EQ(form().txtCaption.Text, u"");
    EXPECT_EQ(form().txtNome.Text, u"");
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, -1);
    EXPECT_EQ(form().chkVisible.Value, 1);
    EXPECT_EQ(form().chkEnabled.Value, 1);
    EXPECT_EQ(page.mintOperacao(), 1);
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
}

TEST_F(EditCommands, NamesGrowAlongThePath) {
    AddEntry(u"A", u"&Arquivo");
    AddEntry(u"AArq", u"&Novo");
    AddEntry(u"AArq", u"-");
    AddEntry(u"AArqNov", u"&Documento de texto");
    AddEntry(u"A", u"-");
    AddEntry(u"A", u"-x");
    AddEntry(u"A", u"&Ab");
    EXPECT_EQ(Keys(trv()), "A AEdi AArq AArqNov AArqNovDoc AArqSep ASep A-x AAb");
    EXPECT_EQ(Nome(u"AArqNovDoc"), u"ArqNovDoc");
    EXPECT_EQ(N(u"AArqSep").Text(), String(10, u'-'));
    EXPECT_EQ(Nome(u"AArqSep"), u"ArqSep");
    EXPECT_EQ(N(u"A-x").Text(), u"-x");  // only "-" itself is a separator
}

TEST_F(EditCommands, DerivationKeepsATypedNameAndUsesTheBaseAloneOnAChange) {
    Click(u"A");
    page.btnIncluir_Click();
    page.FocusChanged(Control::txtNome);
    Type(Control::txtNome, u"Meu");
    page.FocusChanged(Control::txtCaption);
    Type(Control::txtCaption, u"&Arquivo");
    LeaveCaption();
    EXPECT_EQ(form().txtNome.Text, u"Meu");
    page.btnConfirma_Click();
    EXPECT_NE(trv().Find(u"AMeu"), nullptr);

    AddEntry(u"AMeu", u"&Novo");
    ASSERT_NE(trv().Find(u"AMeuNov"), nullptr);
    Click(u"AMeuNov");
    page.btnAlterar_Click();
    Type(Control::txtNome, u"");
    Type(Control::txtCaption, u"&Criar");
    LeaveCaption();
    EXPECT_EQ(form().txtNome.Text, u"Cri");  // change mode: no parent prefix
}

TEST_F(EditCommands, UnderAnEntryNamedRaizTheBaseStandsAlone) {
    Load({E{u"Base", u"Raiz"}});
    AddEntry(u"ARaiz", u"&Filho");
    EXPECT_NE(trv().Find(u"AFil"), nullptr);
}

TEST_F(EditCommands, ConfirmPacksTheShortcut) {
    AddEntry(u"A", u"Um", nullptr, KeyIndex(u"F5"), true);
    AddEntry(u"A", u"Dois", nullptr, KeyIndex(u"A"), false, true);
    AddEntry(u"A", u"Tres", nullptr, KeyIndex(u"F2"));
    AddEntry(u"A", u"Quatro", nullptr, -1, true, true);
    AddEntry(u"A", u"Cinco", nullptr, KeyIndex(u"F12"), true, true);
    EXPECT_EQ(Tecla(u"AUm").substr(0, 4), u"10F5");
    EXPECT_EQ(Tecla(u"ADoi").substr(0, 3), u"01A");
    EXPECT_EQ(Tecla(u"ATre").substr(0, 4), u"00F2");
    EXPECT_EQ(Tecla(u"AQua"), u"00" + String(13, u' '));  // no key: no modifiers either
    EXPECT_EQ(Tecla(u"ACin").substr(0, 5), u"11F12");
    EXPECT_EQ(ListColumn(2),
              (std::vector<std::string>{"", "Ctrl+F5", "Shift+A", "F2", "", "Ctrl+Shift+F12"}));

    // Only a ticked box (1) counts; a grayed one (2) does not.
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"Seis");
    page.SetCheck(Control::chkCtrl, 2);
    page.ChooseKey(KeyIndex(u"F6"));
    page.btnConfirma_Click();
    EXPECT_EQ(Tecla(u"ASei").substr(0, 4), u"00F6");
}

TEST_F(EditCommands, ChangeLoadsTheFieldsAndKeepsTheKey) {
    Load({E{u"&Arquivo",
            u"Arq",
            u"",
            u"",
            false,
            true,
            true,
            {E{u"&Novo", u"ArqNov", u"Ctrl+Shift+F5", u"Cria", true, false, false},
             E{u"&Sair", u"ArqSai"}}}});
    Click(u"AArqNov");
    page.btnAlterar_Click();
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_EQ(page.Focus(), Control::txtCaption);
    EXPECT_EQ(form().txtCaption.Text, u"&Novo");
    EXPECT_EQ(form().txtNome.Text, u"ArqNov");
    EXPECT_EQ(form().txtDescricao.Text, u"Cria");
    EXPECT_EQ(form().chkCtrl.Value, 1);
    EXPECT_EQ(form().chkShift.Value, 1);
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, KeyIndex(u"F5"));
    EXPECT_EQ(form().chkVisible.Value, 0);
    EXPECT_EQ(form().chkEnabled.Value, 0);
    EXPECT_EQ(form().chkConsulta.Value, 1);

    Type(Control::txtCaption, u"&Novo arquivo");
    Type(Control::txtNome, u"Criar");
    page.SetCheck(Control::chkShift, 0);
    page.SetCheck(Control::chkVisible, 1);
    page.btnConfirma_Click();
    EXPECT_EQ(Keys(trv()), "A AArq AArqNov AArqSai");
    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz E\n"
              "  AArq '&Arquivo' nome=Arq tecla= B C E\n"
              "    AArqNov '&Novo arquivo' nome=Criar tecla=Ctrl+F5 consulta desc=Cria B\n"
              "    AArqSai '&Sair' nome=ArqSai tecla= B C\n");
    EXPECT_EQ(trv().SelectedItem(), &N(u"AArq"));
    EXPECT_EQ(ListColumn(0), (std::vector<std::string>{"&Novo arquivo", "&Sair"}));
    EXPECT_TRUE(Browsing());
    EXPECT_TRUE(page.Changed());
}

TEST_F(EditCommands, ChangeRefusesTheRootAndEntriesCaptionedLikeIt) {
    AddEntry(u"A", u"Menu Principal", u"Mp");
    Click(u"AEdi");
    page.btnAlterar_Click();
    page.FocusChanged(Control::trvMenu);
    Click(u"A");
    page.btnAlterar_Click();
    EXPECT_EQ(page.Focus(), Control::trvMenu);
    EXPECT_EQ(form().txtCaption.Text, u"&Editar");  // what the last change put there
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_TRUE(Browsing());
    Click(u"AMp");
    page.btnAlterar_Click();
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(form().txtCaption.Text, u"&Editar");
}

TEST_F(EditCommands, DeleteAsksAndRemovesTheSubtreeOnlyOnYes) {
    AddEntry(u"A", u"&Sair");
    AddEntry(u"ASai", u"&Agora");
    Click(u"A");
    Click(u"ASai");
    const size_t calls = host.changedCalls.size();

    host.answers.push_back(kMsgNo);
    page.btnExcluir_Click();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].texto, u"Exclui o Menu '&Sair' ?");
    EXPECT_EQ(host.boxes[0].estilo, 52);
    EXPECT_EQ(host.boxes[0].titulo, u"Alerta!");
    EXPECT_EQ(Keys(trv()), "A AEdi ASai ASaiAgo");
    EXPECT_EQ(host.changedCalls.size(), calls);

    Click(u"A");  // the list shows the root's children
    Click(u"ASai");
    const auto rows = form().lstMenu.Rows.size();
    host.answers.push_back(kMsgYes);
    page.btnExcluir_Click();
    EXPECT_EQ(Keys(trv()), "A AEdi");
    EXPECT_EQ(host.changedCalls.size(), calls + 1);
    EXPECT_EQ(form().lstMenu.Rows.size(), rows);  // not refreshed until the next click
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));    // the tree moved the selection
    EXPECT_EQ(view.Dump(), DumpTree(trv()));

    page.btnExcluir_Click();  // the root: no question, no change
    EXPECT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(Keys(trv()), "A AEdi");
}

// Decision: a derived name already in use gets 2, 3, ... so that no entry is overwritten.
TEST_F(EditCommands, DerivedNamesInUseAreNumbered) {
    AddEntry(u"A", u"&Arquivo");
    AddEntry(u"A", u"Arquitetura");
    AddEntry(u"A", u"Arqueiro");
    AddEntry(u"A", u"&Editora");  // "Edi" is the loaded entry's name
    EXPECT_EQ(Keys(trv()), "A AEdi AArq AArq2 AArq3 AEdi2");
    EXPECT_EQ(Nome(u"AArq3"), u"Arq3");
    EXPECT_EQ(N(u"AArq").Text(), u"&Arquivo");
    EXPECT_TRUE(host.boxes.empty());
}

// The view echoes every text it is given; a derived name echoed back is still derived.
TEST_F(EditCommands, EchoOfADerivedNameKeepsItDerived) {
    AddEntry(u"A", u"&Arquivo");
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"Arquitetura");
    LeaveCaption(Control::txtNome);
    Type(Control::txtNome, form().txtNome.Text);  // EN_CHANGE after the view set it
    page.btnConfirma_Click();
    EXPECT_NE(trv().Find(u"AArq2"), nullptr);
    EXPECT_TRUE(host.boxes.empty());
}

// Decision: confirm never leaves an entry without a name, which the next load would key as the
// root ("A") and lose, moving its children up.  An empty or blank name is derived from the
// caption as the caption's focus loss derives it, and made unique; when the caption gives no
// name either, confirm is refused with a notice and the edit stays open.
TEST_F(EditCommands, EmptyNameIsDerivedFromTheCaptionOrRefused) {
    const struct {
        const char16_t* selecionado;  // the entry added to, or changed
        bool altera;
        const char16_t* caption;
        const char16_t* nome;     // typed after the caption's focus loss
        const char16_t* gravado;  // the Nome the entry gets; null: refused
    } casos[] = {
        {u"A", false, u"", u"", nullptr},
        {u"A", false, u"&", u"", nullptr},
        {u"A", false, u"   ", u"", nullptr},
        {u"A", false, u"&Arquivo", u"", u"Arq"},
        {u"A", false, u"&Editora", u"   ", u"Edi2"},
        {u"AEdi", false, u"", u"", u"Edi2"},  // the parent's name alone
        {u"AEdi", true, u"&Exibir", u"", u"Exi"},
        {u"AEdi", true, u"&", u"", nullptr},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(U8(c.selecionado) + (c.altera ? " change '" : " add '") + U8(c.caption) +
                     "' '" + U8(c.nome) + "'");
        Load({E{u"&Editar", u"Edi", u"", u"", false, true, true, {E{u"&Colar", u"EdiCol"}}}});
        host.boxes.clear();
        Click(c.selecionado);
        c.altera ? page.btnAlterar_Click() : page.btnIncluir_Click();
        Type(Control::txtCaption, c.caption);
        LeaveCaption(Control::txtNome);
        Type(Control::txtNome, c.nome);
        page.btnConfirma_Click();
        if (!c.gravado) {
            ASSERT_EQ(host.boxes.size(), 1u);
            EXPECT_EQ(host.boxes[0].texto, u"Informe o Nome do Menu");
            EXPECT_EQ(host.boxes[0].estilo, 48);
            EXPECT_EQ(host.boxes[0].titulo, u"Alerta!");
            EXPECT_TRUE(Editing());
            EXPECT_EQ(page.Focus(), Control::txtNome);
            EXPECT_EQ(Keys(trv()), "A AEdi AEdiCol");
            continue;
        }
        EXPECT_TRUE(host.boxes.empty());
        // Applied and loaded again: every entry is back, under its own key.
        page.PropertyPage_ApplyChanges();
        page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
        EXPECT_EQ(trv().Count(), c.altera ? 3 : 4);
        const Node* n = trv().Find(String(u"A") + c.gravado);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->Text(), c.caption);
        EXPECT_EQ(N(u"A").Tag(), u"Raiz");
    }
}

// Decision: a typed name that another entry uses is refused with a notice; the edit stays.
TEST_F(EditCommands, TypedNameInUseIsRefused) {
    AddEntry(u"A", u"&Arquivo");
    const size_t calls = host.changedCalls.size();
    AddEntry(u"A", u"Outro", u"Arq");
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].texto, u"Já Existe um Menu com o Nome 'Arq'");
    EXPECT_EQ(host.boxes[0].estilo, 48);
    EXPECT_EQ(host.boxes[0].titulo, u"Alerta!");
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.Focus(), Control::txtNome);
    EXPECT_EQ(form().txtCaption.Text, u"Outro");
    EXPECT_EQ(Keys(trv()), "A AEdi AArq");
    EXPECT_EQ(N(u"AArq").Text(), u"&Arquivo");
    EXPECT_EQ(host.changedCalls.size(), calls);

    Type(Control::txtNome, u"Out");
    page.btnConfirma_Click();
    EXPECT_EQ(Keys(trv()), "A AEdi AArq AOut");

    // On a change too: renaming an entry to a name in use is refused; its own name is fine.
    Click(u"AOut");
    page.btnAlterar_Click();
    Type(Control::txtNome, u"Edi");
    page.btnConfirma_Click();
    EXPECT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(Nome(u"AOut"), u"Out");
    Type(Control::txtNome, u"Out");
    Type(Control::txtDescricao, u"novo texto");
    page.btnConfirma_Click();
    EXPECT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(LeCampo(N(u"AOut").Tag(), u"Descricao").ToText(), u"novo texto");
}

TEST_F(EditCommands, NamesAreCutToTheRecordSoKeyAndRecordAgree) {
    const String longo(49, u'p');
    Load({E{u"Longo", longo}});
    AddEntry(u"A" + longo, u"&Novo");
    const String nome = longo + u"N";  // 49 + "Nov", cut at 50
    ASSERT_NE(trv().Find(u"A" + nome), nullptr);
    EXPECT_EQ(Nome(u"A" + nome), nome);
}

// The caption's focus loss runs inside confirm when confirm is pressed with the caption
// still focused (Enter on the default button), before any field is read.
TEST_F(EditCommands, ConfirmRunsThePendingCaptionFocusLossFirst) {
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Arquivo");
    String seenByPump;
    host.onPump = [&] {
        seenByPump = form().txtNome.Text;
        // A message waiting in the queue may run here too: typing in the description.
        page.TypeText(Control::txtDescricao, u"digitado antes");
    };
    page.btnConfirma_Click();
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(seenByPump, u"Arq");
    ASSERT_NE(trv().Find(u"AArq"), nullptr);
    EXPECT_EQ(LeCampo(N(u"AArq").Tag(), u"Descricao").ToText(), u"digitado antes");
    EXPECT_EQ(view.focusMoves,
              (std::vector<Control>{Control::txtCaption, Control::btnConfirma, Control::trvMenu}));
}

TEST_F(EditCommands, AddClearsOnlyCaptionNameKeyAndTheThreeBoxes) {
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Arquivo");
    Type(Control::txtDescricao, u"desc");
    page.SetCheck(Control::chkCtrl, 1);
    page.SetCheck(Control::chkShift, 1);
    page.SetCheck(Control::chkVisible, 0);
    page.SetCheck(Control::chkConsulta, 1);
    page.ChooseKey(3);
    Click(u"AEdi");  // ends the edit; the fields keep what was typed
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(form().txtCaption.Text, u"&Arquivo");
    EXPECT_EQ(form().txtNome.Text, u"Arq");  // derived when the focus went to the tree
    // Confirm is out of reach now: its button is disabled.
    ExpectError(hr::kInvalidCall, [&] { page.btnConfirma_Click(); });
    EXPECT_EQ(Keys(trv()), "A AEdi");

    page.btnIncluir_Click();
    EXPECT_EQ(form().txtCaption.Text, u"");
    EXPECT_EQ(form().txtNome.Text, u"");
    EXPECT_EQ(form().cmbTeclaAcesso.ListIndex, -1);
    EXPECT_EQ(form().chkVisible.Value, 1);
    EXPECT_EQ(form().chkEnabled.Value, 1);
    EXPECT_EQ(form().chkConsulta.Value, 0);
    EXPECT_EQ(form().txtDescricao.Text, u"desc");
    EXPECT_EQ(form().chkCtrl.Value, 1);
    EXPECT_EQ(form().chkShift.Value, 1);
}

}  // namespace
}  // namespace tq::designer::testing

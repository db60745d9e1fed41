// The editing commands: add, change, delete, confirm, and the name derivation on the caption's
// focus loss, including the choices made for names that are already in use.
#include "page_fixture.h"
#include "tq/designer/errors.h"

namespace tq::designer::testing {
namespace {

class EditCommands : public PageTest {
  protected:
    void SetUp() override { Load("&Editar|Edi"); }
    String Tecla(StringView key) { return N(key).Tag().substr(0, 15); }
    // caption|nome|descricao|key index, then Ctrl Shift Visible Enabled Consulta.
    std::string Fields() const {
        const Form& f = form();
        std::string s = U8(f.txtCaption.Text + u"|" + f.txtNome.Text + u"|" + f.txtDescricao.Text) +
                        "|" + std::to_string(f.cmbTeclaAcesso.ListIndex) + "|";
        for (const CheckBox* c :
             {&f.chkCtrl, &f.chkShift, &f.chkVisible, &f.chkEnabled, &f.chkConsulta})
            s += std::to_string(c->Value);
        return s;
    }
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

    EXPECT_EQ(DumpTree(trv()),
              "A 'Menu Principal' Raiz E\n"
              "  AEdi '&Editar' nome=Edi tecla= B C\n"
              "  AArq '&Arquivo' nome=Arq tecla= B C\n");
    EXPECT_EQ(Tecla(u"AArq"), u"00" + String(13, u' '));
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));
    EXPECT_EQ(ListColumn(1), (std::vector<std::string>{"Edi", "Arq"}));
    EXPECT_TRUE(Browsing());
    EXPECT_EQ(page.Focus(), Control::trvMenu);
    EXPECT_EQ(host.changedCalls, std::vector<bool>{true});
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    EXPECT_EQ(Fields(), "|||-1|00110");  // emptied, except Visible and Enabled
    EXPECT_EQ(page.mintOperacao(), 1);
}

// Derived names: the parent's Nome + the caption's first three characters without "&"; "Sep"
// for a separator; numbered when in use; a typed name is kept; on a change, the base alone.
TEST_F(EditCommands, NamesAreDerivedAlongThePathAndNumberedWhenInUse) {
    AddEntry(u"A", u"&Arquivo");
    AddEntry(u"AArq", u"&Novo");
    AddEntry(u"AArq", u"-");
    AddEntry(u"AArqNov", u"&Documento de texto");
    AddEntry(u"A", u"-x");
    AddEntry(u"A", u"Arquitetura");
    AddEntry(u"A", u"&Editora");
    EXPECT_EQ(Keys(trv()), "A AEdi AArq AArqNov AArqNovDoc AArqSep A-x AArq2 AEdi2");
    EXPECT_EQ(N(u"AArqSep").Text(), String(10, u'-'));
    EXPECT_EQ(N(u"A-x").Text(), u"-x");  // only "-" itself is a separator
    EXPECT_TRUE(host.boxes.empty());

    // The view echoes what it is given: a derived name echoed back is still derived.
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"Arqueiro");
    LeaveCaption(Control::txtNome);
    Type(Control::txtNome, form().txtNome.Text);
    page.btnConfirma_Click();
    EXPECT_NE(trv().Find(u"AArq3"), nullptr);

    // A name typed first is kept; under an entry named Raiz the base stands alone.
    Load("Base|Raiz");
    Click(u"ARaiz");
    page.btnIncluir_Click();
    page.FocusChanged(Control::txtNome);
    Type(Control::txtNome, u"Meu");
    page.FocusChanged(Control::txtCaption);
    Type(Control::txtCaption, u"&Arquivo");
    LeaveCaption();
    EXPECT_EQ(form().txtNome.Text, u"Meu");
    page.btnConfirma_Click();
    AddEntry(u"ARaiz", u"&Filho");
    EXPECT_EQ(Keys(trv()), "A ARaiz AMeu AFil");
    Click(u"AFil");
    page.btnAlterar_Click();
    Type(Control::txtNome, u"");
    Type(Control::txtCaption, u"&Criar");
    LeaveCaption();
    EXPECT_EQ(form().txtNome.Text, u"Cri");
    page.btnConfirma_Click();  // the entry's own key is no name in use
    Click(u"AFil");
    page.btnAlterar_Click();
    Type(Control::txtNome, u"");
    Type(Control::txtCaption, u"&Filho");
    page.btnConfirma_Click();
    EXPECT_EQ(Field(u"AFil", u"Nome"), u"Fil");
}

TEST_F(EditCommands, ConfirmPacksTheShortcut) {
    AddEntry(u"A", u"Um", nullptr, KeyIndex(u"F5"), true);
    AddEntry(u"A", u"Dois", nullptr, KeyIndex(u"A"), false, true);
    AddEntry(u"A", u"Tres", nullptr, KeyIndex(u"F2"));
    AddEntry(u"A", u"Quatro", nullptr, -1, true, true);  // no key: no modifiers either
    AddEntry(u"A", u"Cinco", nullptr, KeyIndex(u"F12"), true, true);
    EXPECT_EQ(Tecla(u"AQua"), u"00" + String(13, u' '));
    EXPECT_EQ(ListColumn(2),
              (std::vector<std::string>{"", "Ctrl+F5", "Shift+A", "F2", "", "Ctrl+Shift+F12"}));

    // Only a ticked box (1) counts; a grayed one (2) does not.
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"Seis");
    page.SetCheck(Control::chkCtrl, 2);
    page.SetCheck(Control::chkConsulta, 2);
    page.ChooseKey(KeyIndex(u"F6"));
    page.btnConfirma_Click();
    EXPECT_EQ(Tecla(u"ASei").substr(0, 4), u"00F6");
    Click(u"ASei");
    page.btnAlterar_Click();
    EXPECT_EQ(Fields().substr(Fields().size() - 5), "00110");
    ExpectError(hr::kInvalidPropertyValue, [&] { page.SetCheck(Control::chkShift, 3); });
    ExpectError(hr::kInvalidPropertyValue, [&] { page.ChooseKey(38); });
}

TEST_F(EditCommands, ChangeLoadsTheFieldsAndKeepsTheKey) {
    Load("&Arquivo|Arq\n &Novo|ArqNov|Ctrl+Shift+F5|Cria|cid\n &Sair|ArqSai");
    Click(u"AArqNov");
    page.btnAlterar_Click();
    EXPECT_TRUE(Editing());
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_EQ(page.Focus(), Control::txtCaption);
    EXPECT_EQ(Fields(), "&Novo|ArqNov|Cria|" + std::to_string(KeyIndex(u"F5")) + "|11001");

    Type(Control::txtCaption, u"&Novo arquivo");
    Type(Control::txtNome, u"Criar");
    page.SetCheck(Control::chkShift, 0);
    page.SetCheck(Control::chkVisible, 1);
    page.btnConfirma_Click();
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
    for (const char16_t* key : {u"A", u"AMp"}) {
        Click(key);
        page.btnAlterar_Click();
        EXPECT_EQ(page.Focus(), Control::trvMenu);
        EXPECT_TRUE(Browsing());
        EXPECT_EQ(form().txtCaption.Text, u"&Editar");  // what the last change put there
    }
}

TEST_F(EditCommands, DeleteAsksAndRemovesTheSubtreeOnlyOnYes) {
    AddEntry(u"A", u"&Sair");
    AddEntry(u"ASai", u"&Agora");
    Click(u"A");
    Click(u"ASai");
    const size_t calls = host.changedCalls.size();
    host.answers = {kMsgNo, kMsgYes};
    page.btnExcluir_Click();
    EXPECT_EQ(Boxes(), "Exclui o Menu '&Sair' ?|52|Alerta!");
    EXPECT_EQ(Keys(trv()), "A AEdi ASai ASaiAgo");
    EXPECT_EQ(host.changedCalls.size(), calls);

    Click(u"A");  // the list shows the root's children
    Click(u"ASai");
    page.btnExcluir_Click();
    EXPECT_EQ(Keys(trv()), "A AEdi");
    EXPECT_EQ(host.changedCalls.size(), calls + 1);
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(ListColumn(0), std::vector<std::string>{"&Agora"});  // refreshed on a click
    EXPECT_EQ(trv().SelectedItem(), &N(u"A"));                     // the tree moved the selection
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    host.boxes.clear();
    page.btnExcluir_Click();  // the root: no question, no change
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(Keys(trv()), "A AEdi");
}

// Confirm never leaves an entry without a name (the next load would key it as the root and
// lose it): an empty or blank name is derived from the caption and made unique; when the
// caption gives none either, confirm is refused with a notice and the edit stays open.
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
        {u"AEdiCol", true, u"&Editar", u"", u"Edi2"},
        {u"AEdi", true, u"&", u"", nullptr},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(U8(c.selecionado) + (c.altera ? " change '" : " add '") + U8(c.caption) +
                     "' '" + U8(c.nome) + "'");
        Load("&Editar|Edi\n &Colar|EdiCol");
        host.boxes.clear();
        Click(c.selecionado);
        c.altera ? page.btnAlterar_Click() : page.btnIncluir_Click();
        Type(Control::txtCaption, c.caption);
        LeaveCaption(Control::txtNome);
        Type(Control::txtNome, c.nome);
        page.btnConfirma_Click();
        if (!c.gravado) {
            EXPECT_EQ(Boxes(), "Informe o Nome do Menu|48|Alerta!");
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
    }
}

// A typed name another entry uses (as its key or its record's Nome) is refused with a notice;
// the edit stays open.  An entry keeps its own name on a change.
TEST_F(EditCommands, TypedNameInUseIsRefused) {
    AddEntry(u"A", u"&Arquivo");
    Click(u"AEdi");
    page.btnDesce_Click();  // key tmpAEdi, name still Edi
    const size_t calls = host.changedCalls.size();
    for (const char16_t* nome : {u"Arq", u"Edi"}) {
        AddEntry(u"A", u"Outro", nome);
        EXPECT_EQ(Boxes(), "Já Existe um Menu com o Nome '" + U8(nome) + "'|48|Alerta!");
        EXPECT_TRUE(Editing());
        EXPECT_EQ(page.Focus(), Control::txtNome);
    }
    EXPECT_EQ(Keys(trv()), "A AArq tmpAEdi");
    EXPECT_EQ(host.changedCalls.size(), calls);
    Type(Control::txtNome, u"Out");
    page.btnConfirma_Click();
    EXPECT_EQ(Keys(trv()), "A AArq tmpAEdi AOut");

    Rename(u"AOut", u"Arq");
    EXPECT_EQ(Boxes(), "Já Existe um Menu com o Nome 'Arq'|48|Alerta!");
    Type(Control::txtNome, u"Out");
    Type(Control::txtDescricao, u"novo texto");
    page.btnConfirma_Click();
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(Field(u"AOut", u"Descricao"), u"novo texto");
}

TEST_F(EditCommands, NamesAreCutToTheRecordSoKeyAndRecordAgree) {
    const String longo(49, u'p');
    Load("Longo|" + U8(longo));
    AddEntry(u"A" + longo, u"&Novo");
    const String nome = longo + u"N";  // 49 + "Nov", cut at 50
    ASSERT_NE(trv().Find(u"A" + nome), nullptr);
    EXPECT_EQ(Field(u"A" + nome, u"Nome"), nome);
}

// The caption's focus loss is posted: it runs when the outermost handler returns, or inside
// confirm's pass over pending messages, before any field is read; handlers that run during
// that pass do not run it early.
TEST_F(EditCommands, PostedCaptionFocusLossRunsAtTheOutermostLevel) {
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Arquivo");
    std::string seen;
    host.onPump = [&] {
        seen = U8(form().txtNome.Text);  // already derived by confirm
        // Waiting messages: the name emptied, the focus to the caption and away, typing.
        page.FocusChanged(Control::txtNome);
        Type(Control::txtNome, u"");
        page.FocusChanged(Control::txtCaption);
        page.FocusChanged(Control::txtDescricao);
        Type(Control::txtCaption, u"&Zeta");
        Type(Control::txtDescricao, u"digitado antes");
    };
    page.btnConfirma_Click();
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(seen, "Arq");
    ASSERT_NE(trv().Find(u"AZet"), nullptr) << Keys(trv());
    EXPECT_EQ(Field(u"AZet", u"Descricao"), u"digitado antes");
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
    EXPECT_EQ(form().txtNome.Text, u"Arq");  // derived when the focus went to the tree
    ExpectError(hr::kInvalidCall, [&] { page.btnConfirma_Click(); });
    ExpectError(hr::kInvalidCall, [&] { Type(Control::txtCaption, u"x"); });
    EXPECT_EQ(Keys(trv()), "A AEdi");

    page.btnIncluir_Click();
    EXPECT_EQ(Fields(), "||desc|-1|11110");
}

}  // namespace
}  // namespace tq::designer::testing

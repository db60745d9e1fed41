// The editing commands: add, change, delete, confirm, and the names derived from the caption.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class EditCommands : public PageTest {
  protected:
    void SetUp() override { Load("&Editar|Edi"); }
    // caption|nome|descricao|key index|Ctrl Shift Visible Enabled Consulta
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

TEST_F(EditCommands, AddDerivesTheNameListsTheEntryAndEmptiesTheFields) {
    Edit(u"A", false, u"&Arquivo");
    page.FocusChanged(Control::txtDescricao);
    EXPECT_EQ(form().txtNome.Text, u"Arq");
    page.btnConfirma_Click();
    EXPECT_EQ(Line(N(u"AArq")), "AArq '&Arquivo' Arq||False| B C");
    EXPECT_EQ(Summary(), "A AEdi AArq @A changed");
    EXPECT_EQ(List(1), "Edi,Arq");
    EXPECT_EQ(page.Focus(), Control::trvMenu);
    EXPECT_EQ(Fields(), "|||-1|00110");  // emptied, except Visible and Enabled
    EXPECT_EQ(ErrorOf([&] { page.btnConfirma_Click(); }), hr::kInvalidCall);  // not editing
    EXPECT_EQ(ErrorOf([&] { Type(Control::txtCaption, u"x"); }), hr::kInvalidCall);
    EXPECT_EQ(changed, std::vector<bool>{true});
}

// A name typed first is kept; under an entry named Raiz the base stands alone.
TEST_F(EditCommands, TypedNamesAreKeptAndDerivedOnesCutToTheRecord) {
    const String longo(49, u'p');
    Load("Base|Raiz\nLongo|" + U8(longo));
    Edit(u"ARaiz", false, nullptr);
    page.FocusChanged(Control::txtNome);
    Type(Control::txtNome, u"Meu");
    page.FocusChanged(Control::txtCaption);
    Type(Control::txtCaption, u"&Arquivo");
    page.btnConfirma_Click();
    AddEntry(u"ARaiz", u"&Filho");
    AddEntry(u"A" + longo, u"&Novo");
    EXPECT_EQ(Keys(trv()), "A ARaiz AMeu AFil A" + U8(longo) + " A" + U8(longo) + "N");
    EXPECT_EQ(Field(u"A" + longo + u"N", u"Nome") + Field(u"AMeu", u"Nome"), longo + u"NMeu");
}

TEST_F(EditCommands, ConfirmPacksTheShortcutFromTickedBoxesOnly) {
    const auto add = [&](const char16_t* caption, int32_t key, int16_t ctrl, int16_t shift) {
        Edit(u"A", false, caption);
        page.SetCheck(Control::chkCtrl, ctrl);
        page.SetCheck(Control::chkShift, shift);
        page.ChooseKey(key);
        page.btnConfirma_Click();
    };
    add(u"Um", 4, 1, 0);
    add(u"Dois", 12, 0, 1);
    add(u"Tres", -1, 1, 1);  // no key: no modifiers either
    add(u"Quatro", 11, 1, 1);
    add(u"Cinco", 5, 2, 0);  // a grayed box is not ticked
    EXPECT_EQ(List(2), ",Ctrl+F5,Shift+A,,Ctrl+Shift+F12,F6");
    EXPECT_EQ(N(u"ATre").Tag().substr(0, 15), u"00" + String(13, u' '));
}

TEST_F(EditCommands, ChangeLoadsTheFieldsKeepsTheKeyAndRefusesTheRootsCaption) {
    Load("&Arquivo|Arq\n &Novo|ArqNov|Ctrl+Shift+F5|Cria|cid\n &Sair|ArqSai\nMenu Principal|Mp");
    Edit(u"AArqNov", true, nullptr);
    EXPECT_EQ(page.mintOperacao(), 2);
    EXPECT_EQ(page.Focus(), Control::txtCaption);
    EXPECT_EQ(Fields(), "&Novo|ArqNov|Cria|4|11001");
    EXPECT_EQ(ErrorOf([&] { page.SetCheck(Control::chkShift, 3); }), hr::kInvalidPropertyValue);
    EXPECT_EQ(ErrorOf([&] { page.ChooseKey(38); }), hr::kInvalidPropertyValue);
    Type(Control::txtCaption, u"&Novo arquivo");
    Type(Control::txtNome, u"Criar");
    page.SetCheck(Control::chkShift, 0);
    page.SetCheck(Control::chkVisible, 1);
    page.SetCheck(Control::chkConsulta, 2);  // grayed: the record holds 0
    page.btnConfirma_Click();
    EXPECT_EQ(Line(N(u"AArqNov")), "AArqNov '&Novo arquivo' Criar|Ctrl+F5|False|Cria B");
    EXPECT_EQ(Summary(), "A AArq AArqNov AArqSai AMp @AArq changed");
    EXPECT_EQ(List(0), "&Novo arquivo,&Sair");
    Edit(u"AArqSai", true, nullptr);
    EXPECT_EQ(Fields(), "&Sair|ArqSai||-1|00110");
    page.FocusChanged(Control::trvMenu);
    for (const char16_t* key : {u"A", u"AMp"}) {
        Edit(key, true, nullptr);
        EXPECT_EQ(page.Focus(), Control::trvMenu);
        EXPECT_FALSE(Editing());
        EXPECT_EQ(form().txtCaption.Text, u"&Sair");  // what the last change put there
    }
}

TEST_F(EditCommands, DeleteAsksAndRemovesTheSubtreeOnlyOnYes) {
    AddEntry(u"A", u"&Sair");
    AddEntry(u"ASai", u"&Agora");
    Click(u"A");
    Click(u"ASai");
    changed.clear();
    answers = {kMsgNo, kMsgYes};
    page.btnExcluir_Click();
    EXPECT_EQ(Summary(), "A AEdi ASai ASaiAgo @ASai changed Exclui o Menu '&Sair' ?|52|Alerta!");
    page.btnExcluir_Click();
    EXPECT_EQ(changed, std::vector<bool>{true});
    EXPECT_EQ(List(0), "&Agora");  // refreshed on a click, not by the delete
    page.btnExcluir_Click();       // the root: no question, no change
    EXPECT_EQ(Summary(), "A AEdi @A changed Exclui o Menu '&Sair' ?|52|Alerta!");
}

// Parent's Nome + 3 characters of the caption without "&" ("Sep" for "-"); alone on a change.
TEST_F(EditCommands, NamesAreDerivedFromTheCaptionMadeUniqueOrRefused) {
    const struct {
        const char16_t *selecionado, *caption, *nome;  // nome: typed after the focus loss, if any
        bool altera;
        const char16_t* gravado;  // the Nome the entry gets; null: refused
    } casos[] = {
        {u"AEdi", u"&Novo", nullptr, false, u"EdiNov"},
        {u"AEdiCol", u"-", nullptr, false, u"EdiColSep"},
        {u"A", u"-x", nullptr, false, u"-x"},  // only "-" itself is a separator
        {u"A", u"&Editora", nullptr, false, u"Edi2"},
        {u"A", u"&Editora", u"   ", false, u"Edi2"},
        {u"AEdi", u"", nullptr, false, u"Edi2"},
        {u"AEdi", u"&Exibir", u"", true, u"Exi"},
        {u"AEdi", u"&Editar", u"", true, u"Edi"},  // its own name is no name in use
        {u"AEdiCol", u"&Editar", u"", true, u"Edi2"},
        {u"A", u"&", u"", false, nullptr},
        {u"A", u"   ", u"", false, nullptr},
        {u"AEdi", u"&", u"", true, nullptr},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(U8(c.selecionado) + " '" + U8(c.caption) + "'" + (c.altera ? " change" : ""));
        Load("&Editar|Edi\n &Colar|EdiCol");
        Edit(c.selecionado, c.altera, c.caption);
        page.FocusChanged(Control::txtNome);
        if (c.nome) Type(Control::txtNome, c.nome);
        page.btnConfirma_Click();
        if (!c.gravado) {
            EXPECT_EQ(Keys(trv()) + (Editing() ? " editing " : " ") + Boxes(),
                      "A AEdi AEdiCol editing Informe o Nome do Menu|48|Alerta!");
            EXPECT_EQ(page.Focus(), Control::txtNome);
            continue;
        }
        EXPECT_EQ(Boxes(), "");
        const String key = c.altera ? String(c.selecionado) : u"A" + String(c.gravado);
        const String text = c.caption == StringView(u"-") ? String(10, u'-') : String(c.caption);
        EXPECT_EQ(Field(key, u"Nome") + N(key).Text(), c.gravado + text);
    }
}

// In use as another entry's key or Nome: refused, the edit stays open; its own name is fine.
TEST_F(EditCommands, TypedNameInUseIsRefused) {
    AddEntry(u"A", u"&Arquivo");
    Click(u"AEdi");
    page.btnDesce_Click();  // key tmpAEdi, name still Edi
    changed.clear();
    for (const char16_t* nome : {u"Arq", u"Edi"}) {
        AddEntry(u"A", u"Outro", nome);
        EXPECT_EQ(Summary(), "A AArq tmpAEdi @A editing changed Já Existe um Menu com o Nome '" +
                                 U8(nome) + "'|48|Alerta!");
        EXPECT_EQ(page.Focus(), Control::txtNome);
    }
    EXPECT_TRUE(changed.empty());
    Type(Control::txtNome, u"Out");
    page.btnConfirma_Click();
    Edit(u"AOut", true, nullptr);
    Type(Control::txtNome, u"Arq");
    page.btnConfirma_Click();
    EXPECT_EQ(Boxes(), "Já Existe um Menu com o Nome 'Arq'|48|Alerta!");
    Type(Control::txtNome, u"Out");
    page.btnConfirma_Click();
    EXPECT_EQ(Summary(), "A AArq tmpAEdi AOut @A changed");
}

// It runs when the outermost handler returns, or in confirm's message pass before any read.
TEST_F(EditCommands, PostedCaptionFocusLossRunsAtTheOutermostLevel) {
    Edit(u"A", false, u"&Arquivo");
    std::string seen;
    onPump = [&] {
        seen = U8(form().txtNome.Text);  // already derived by confirm
        page.FocusChanged(Control::txtNome);
        Type(Control::txtNome, u"");
        page.FocusChanged(Control::txtCaption);
        page.FocusChanged(Control::txtDescricao);
        Type(Control::txtCaption, u"&Zeta");
        Type(Control::txtDescricao, u"digitado antes");
    };
    page.btnConfirma_Click();
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(seen, "Arq");
    EXPECT_EQ(Field(u"AZet", u"Descricao"), u"digitado antes");
    EXPECT_EQ(focusMoves,
              (std::vector<Control>{Control::txtCaption, Control::btnConfirma, Control::trvMenu}));
}

}  // namespace
}  // namespace tq::designer::testing

// A designer session from an empty menu to an applied three-level MenuTree, through the
// handlers alone, as a user clicks and types.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class Session : public PageTest {
  protected:
    // A click on a button: the focus moves to it, then its handler runs.
    template <class H>
    void Press(Control button, H handler) {
        page.FocusChanged(button);
        (page.*handler)();
    }
    void TreeKey(int16_t code, int16_t shift) {
        page.FocusChanged(Control::trvMenu);
        page.trvMenu_KeyDown(code, shift);
    }
    void Tick(Control box) {
        page.FocusChanged(box);
        page.SetCheck(box, (form().*Member(box)).Value == 0 ? 1 : 0);
    }
    static CheckBox Form::*Member(Control box) {
        switch (box) {
            case Control::chkCtrl:
                return &Form::chkCtrl;
            case Control::chkShift:
                return &Form::chkShift;
            case Control::chkConsulta:
                return &Form::chkConsulta;
            case Control::chkVisible:
                return &Form::chkVisible;
            default:
                return &Form::chkEnabled;
        }
    }
    void Choose(StringView key) {
        page.FocusChanged(Control::cmbTeclaAcesso);
        page.ChooseKey(KeyIndex(key));
    }
    void TypeIn(Control box, StringView text) {
        page.FocusChanged(box);
        Type(box, text);
    }
};

TEST_F(Session, BuildsAThreeLevelMenuFromNothing) {
    Load({});
    ASSERT_EQ(Keys(trv()), "A");

    // &Arquivo, confirmed with Enter while the caption still has the focus.
    Click(u"A");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Arquivo");
    page.btnConfirma_Click();

    // &Novo under it, added with the Insert key; its two entries with shortcuts.
    Click(u"AArq");
    TreeKey(45, 0);
    Type(Control::txtCaption, u"&Novo");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    Click(u"AArqNov");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Documento");
    Tick(Control::chkCtrl);
    Choose(u"D");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);  // the parent is still selected
    Type(Control::txtCaption, u"&Planilha");
    TypeIn(Control::txtDescricao, u"Planilhas");
    Tick(Control::chkShift);
    Choose(u"F6");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    // Back under Arquivo: a typo fixed through a change, a separator, Sair.
    Click(u"AArq");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Abir");
    Tick(Control::chkCtrl);
    Choose(u"A");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    ASSERT_NE(trv().Find(u"AArqAbi"), nullptr);
    Click(u"AArqAbi");
    TreeKey(13, 2);
    Type(Control::txtCaption, u"&Abrir");
    TypeIn(Control::txtNome, u"ArqAbr");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"-");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Sair");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    // A mistake under the root, deleted again.
    Click(u"A");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"Lixo");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    Click(u"ALix");
    host.answers.push_back(kMsgYes);
    Press(Control::btnExcluir, &PageModel::btnExcluir_Click);

    // &Ajuda > &Sobre: F1, Consulta, disabled, with a description.
    Click(u"A");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Ajuda");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    Click(u"AAju");
    Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
    Type(Control::txtCaption, u"&Sobre");
    TypeIn(Control::txtDescricao, u"Sobre o sistema");
    Tick(Control::chkConsulta);
    Tick(Control::chkEnabled);
    Choose(u"F1");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);

    // Sair goes above the separator.
    Click(u"AArqSai");
    Press(Control::btnSobe, &PageModel::btnSobe_Click);

    EXPECT_EQ(Keys(trv()),
              "A AArq AArqNov AArqNovDoc AArqNovPla AArqAbi tmpAArqSai AArqSep AAju AAjuSob");
    EXPECT_EQ(view.Dump(), DumpTree(trv()));
    EXPECT_TRUE(page.Changed());

    page.PropertyPage_ApplyChanges();
    EXPECT_FALSE(page.Changed());
    EXPECT_EQ(host.changedCalls.back(), false);
    EXPECT_EQ(DumpMenu(*tree, true),
              "&Arquivo|Arq|||-|VV|HH|&Arquivo\n"
              "  &Novo|ArqNov|||-|VV|HH|&Novo\n"
              "    &Documento|ArqNovDoc|Ctrl+D||-|VV|HH|&Documento   Ctrl+D\n"
              "    &Planilha|ArqNovPla|Shift+F6|Planilhas|-|VV|HH|&Planilha    Shift+F6\n"
              "  &Abrir|ArqAbr|Ctrl+A||-|VV|HH|&Abrir       Ctrl+A\n"
              "  &Sair|ArqSai|||-|VV|HH|&Sair\n"
              "  ----------|ArqSep|||-|VV|HH|----------\n"
              "&Ajuda|Aju|||-|VV|HH|&Ajuda\n"
              "  &Sobre|AjuSob|F1|Sobre o sistema|C|VV|--|&Sobre   F1\n");
    // Looked up through the core itself.
    const auto sobre = tree->Find(u"Aju")->SubMenu()->Find(u"AjuSob");
    ASSERT_NE(sobre, nullptr);
    EXPECT_TRUE(sobre->MenuConsulta());
    EXPECT_FALSE(sobre->Habilitado());
    EXPECT_EQ(tree->TotalCount(), 9u);
    EXPECT_EQ(host.boxes.size(), 1u);  // the one question, for the delete

    // The applied tree loads back to the same design (moved keys become plain again).
    page.PropertyPage_SelectionChanged(model::WrapMenuTree(tree));
    EXPECT_EQ(Keys(trv()),
              "A AArq AArqNov AArqNovDoc AArqNovPla AArqAbr AArqSai AArqSep AAju AAjuSob");
}

}  // namespace
}  // namespace tq::designer::testing

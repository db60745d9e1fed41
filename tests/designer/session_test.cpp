// A designer session from an empty menu to an applied MenuTree, through the handlers alone, as a
// user clicks, types and presses keys.
#include "page_fixture.h"

namespace tq::designer::testing {
namespace {

class Session : public PageTest {
  protected:
    // A click on a button: the focus moves to it, then its handler runs.
    void Press(Control button, void (PageModel::*handler)()) {
        page.FocusChanged(button);
        (page.*handler)();
    }
    void Add(StringView caption, StringView key = u"", Control tick = Control::None) {
        Press(Control::btnIncluir, &PageModel::btnIncluir_Click);
        Type(Control::txtCaption, caption);
        if (tick != Control::None) {
            page.FocusChanged(tick);
            page.SetCheck(tick, 1);
        }
        if (!key.empty()) {
            page.FocusChanged(Control::cmbTeclaAcesso);
            page.ChooseKey(KeyIndex(key));
        }
        Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    }
};

TEST_F(Session, BuildsAThreeLevelMenuFromNothing) {
    Load({});
    Click(u"A");
    page.btnIncluir_Click();
    Type(Control::txtCaption, u"&Arquivo");
    page.btnConfirma_Click();  // Enter while the caption still has the focus
    Click(u"AArq");
    page.FocusChanged(Control::trvMenu);
    Key(45, 0);  // Insert
    Type(Control::txtCaption, u"&Novo");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    Click(u"AArqNov");
    Add(u"&Documento", u"D", Control::chkCtrl);
    Add(u"&Planilha", u"F6", Control::chkShift);
    Click(u"AArq");
    Add(u"&Abir", u"A", Control::chkCtrl);
    Click(u"AArqAbi");
    Key(13, 2);  // Ctrl+Enter: the typo fixed
    Type(Control::txtCaption, u"&Abrir");
    page.FocusChanged(Control::txtNome);
    Type(Control::txtNome, u"ArqAbr");
    Press(Control::btnConfirma, &PageModel::btnConfirma_Click);
    Add(u"-");
    Add(u"&Sair");
    Click(u"A");
    Add(u"&Ajuda");
    Click(u"AAju");
    Add(u"&Sobre", u"F1", Control::chkConsulta);
    Click(u"AArqSai");
    Press(Control::btnSobe, &PageModel::btnSobe_Click);
    EXPECT_EQ(view.Dump(), DumpTree(trv()));

    page.PropertyPage_ApplyChanges();
    EXPECT_FALSE(page.Changed());
    EXPECT_EQ(DumpMenu(*tree),
              "&Arquivo|Arq|||-|VV|HH|&Arquivo\n"
              "  &Novo|ArqNov|||-|VV|HH|&Novo\n"
              "    &Documento|ArqNovDoc|Ctrl+D||-|VV|HH|&Documento   Ctrl+D\n"
              "    &Planilha|ArqNovPla|Shift+F6||-|VV|HH|&Planilha    Shift+F6\n"
              "  &Abrir|ArqAbr|Ctrl+A||-|VV|HH|&Abrir       Ctrl+A\n"
              "  &Sair|ArqSai|||-|VV|HH|&Sair\n"
              "  ----------|ArqSep|||-|VV|HH|----------\n"
              "&Ajuda|Aju|||-|VV|HH|&Ajuda\n"
              "  &Sobre|AjuSob|F1||C|VV|HH|&Sobre   F1\n");
    EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
}  // namespace tq::designer::testing

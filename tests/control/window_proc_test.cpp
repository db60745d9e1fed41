// The control on a real form: Show, the form's subclass, MenuClick from picks and shortcuts, in a
// classic designer's container and in Wine's ATL host.
#include <memory>

#include "com_test.h"
#include "ctl_test.h"

namespace tq::test {
namespace {

using Names = std::vector<std::wstring>;
using Designer = std::unique_ptr<DesignerControl>;

WNDPROC FormProc(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}
// The command of the bar's entry `pos`, or of the entry `sub` of its popup.
WPARAM Cmd(HWND form, int pos, int sub = -1) {
    HMENU bar = GetMenu(form);
    return sub < 0 ? GetMenuItemID(bar, pos) : GetMenuItemID(GetSubMenu(bar, pos), sub);
}
void PickOn(HWND window, std::initializer_list<WORD> keys) {
    SetForegroundWindow(GetAncestor(window, GA_ROOT));
    SetFocus(window);
    Pump(100);
    Tap(keys, keys.size() > 1 && *keys.begin() != VK_MENU);  // a shortcut is a chord
}
HRESULT Rebuild(_tqMenu* ctl) {
    VARIANT r;
    return ctl->ReExibirMenu(&r);
}

// Arquivo (Novo, Recentes (Um, Dois)), Sair: leaves at depth 1, 2 and 3, with access keys.
ComPtr<MenuTree> PickTree() {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuTree> arquivo = SubOf(AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo").get());
    AddEntry(arquivo.get(), L"&Novo", L"mnuNovo");
    ComPtr<MenuTree> recentes = SubOf(AddEntry(arquivo.get(), L"&Recentes", L"mnuRecentes").get());
    AddEntry(recentes.get(), L"&Um", L"mnuUm");
    AddEntry(recentes.get(), L"&Dois", L"mnuDois");
    AddEntry(tree.get(), L"&Sair", L"mnuSair");
    return tree;
}

class WindowProcTest : public ComTest {};

TEST_F(WindowProcTest, ShowBuildsTheBarAndOnlyARunningFormWithExibirMenuIsSubclassed) {
    for (const bool exibir : {true, false}) {  // Wine's ATL host: a running program, no extender
        Form form;
        const WNDPROC original = FormProc(form.hwnd());
        ComPtr<IUnknown> control;
        ComPtr<IOleInPlaceObject> inplace;
        HWND own = nullptr;
        HostInAtl(form.hwnd(), SavedControl(PickTree().get(), exibir).get(), &control);
        ASSERT_TRUE(control && SUCCEEDED(control.As(IID_IOleInPlaceObject, &inplace)));
        ASSERT_EQ(inplace->GetWindow(&own), S_OK);
        EXPECT_FALSE(IsWindowVisible(own));
        EXPECT_EQ(GetMenuItemCount(GetMenu(form.hwnd())), exibir ? 2 : -1);
        EXPECT_EQ(FormProc(form.hwnd()) != original, exibir);
    }
    for (const bool user_mode : {true, false}) {  // a classic designer running, then designing
        SCOPED_TRACE(user_mode);
        Form form;
        const WNDPROC original = FormProc(form.hwnd());
        DesignerControl c(form.hwnd(), PickTree().get(), user_mode);
        ASSERT_EQ(c.hr, S_OK) << TakeErrorText();
        EXPECT_EQ(GetMenuItemCount(GetMenu(form.hwnd())), 2);
        // Running, it hides itself through the extender.
        EXPECT_EQ(V_BOOL(&c.site->extender[L"Visible"]), user_mode ? 0 : VARIANT_TRUE);
        EXPECT_EQ(FormProc(form.hwnd()) != original, user_mode);
    }
}

TEST_F(WindowProcTest, PicksAndCommandsRaiseMenuClickOnceAfterTheFormsOwnProcedure) {
    Form form, empty_form;
    DesignerControl c(form.hwnd(), PickTree().get(), true);
    size_t form_first = 0;
    c.site->on_click = [&] { form_first += form.commands.size() == c.site->clicks.size(); };
    const struct {
        std::initializer_list<WORD> keys;
        const wchar_t* nome;
    } picks[] = {{{VK_MENU, 'A', 'N'}, L"mnuNovo"},
                 {{VK_MENU, 'A', 'R', 'D'}, L"mnuDois"},
                 {{VK_MENU, VK_RIGHT, VK_RETURN}, L"mnuSair"}};
    for (const auto& p : picks) {
        PickOn(form.hwnd(), p.keys);
        ASSERT_TRUE(c.site->WaitClicks(form_first + 1)) << c.site->clicks.size() << " clicks";
        EXPECT_EQ(c.site->clicks.back(), p.nome);
    }
    EXPECT_EQ(form_first, 3u);

    // The one entry of an empty tree's bar is nobody's.
    DesignerControl e(empty_form.hwnd(), NewTree().get(), true);
    const WPARAM novo = Cmd(form.hwnd(), 0, 0),
                 popup = static_cast<WPARAM>(HandleToLong(GetSubMenu(GetMenu(form.hwnd()), 0)));
    const struct {
        HWND form;
        UINT msg;
        WPARAM wp;
        const wchar_t* raises;
    } messages[] = {
        {form.hwnd(), Form::kAppMessage, 0, nullptr},
        {form.hwnd(), WM_COMMAND, 4242, nullptr},  // no entry has it
        {form.hwnd(), WM_COMMAND, 0, nullptr},
        {form.hwnd(), WM_COMMAND, popup & 0xFFFF, nullptr},
        {form.hwnd(), WM_COMMAND, MAKEWPARAM(novo, 1), L"mnuNovo"},  // only the low word counts
        {empty_form.hwnd(), WM_COMMAND, Cmd(empty_form.hwnd(), 0), nullptr},
    };
    for (const auto& m : messages) {
        SCOPED_TRACE(m.wp);
        c.site->clicks.clear();
        EXPECT_EQ(SendMessageW(m.form, m.msg, m.wp, 0),
                  m.msg == WM_COMMAND ? Form::kCommandResult : Form::kAppResult);
        EXPECT_EQ(c.site->clicks, m.raises ? Names{m.raises} : Names{});
    }
    EXPECT_TRUE(e.site->clicks.empty());
    EXPECT_EQ(empty_form.commands.size(), 1u);
}

TEST_F(WindowProcTest, ShowRunsOncePerTransitionToVisibleAndAHandlerMayRebuildTheBar) {
    Form form;
    DesignerControl c(form.hwnd(), PickTree().get(), true);
    const WPARAM first = Cmd(form.hwnd(), 0, 0);
    for (LONG verb : {OLEIVERB_SHOW, OLEIVERB_UIACTIVATE, OLEIVERB_PRIMARY})
        ASSERT_EQ(c.Verb(verb), S_OK);
    EXPECT_EQ(Cmd(form.hwnd(), 0, 0), first);
    // Hidden, then shown again: a new transition, and Show runs.
    for (LONG verb : {OLEIVERB_HIDE, OLEIVERB_SHOW}) ASSERT_EQ(c.Verb(verb), S_OK);
    EXPECT_EQ(Cmd(form.hwnd(), 0, 0), first + 6);  // a new bar of six entries

    // A handler that rebuilds: once, the old identifier is nobody's, a real pick finds the new one.
    c.site->on_click = [&] { EXPECT_EQ(Rebuild(c.ctl.get()), S_OK); };
    for (WPARAM id : {first, first + 6}) SendMessageW(form.hwnd(), WM_COMMAND, id, 0);
    ASSERT_EQ(c.site->clicks, Names{L"mnuNovo"});
    c.site->on_click = nullptr;
    SendMessageW(form.hwnd(), WM_COMMAND, first + 6, 0);
    PickOn(form.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(c.site->WaitClicks(2));
    EXPECT_EQ(form.commands.back(), first + 12);
}

// A window procedure put on the form after the control's, as another library would.
WNDPROC g_before_us = nullptr;
LRESULT CALLBACK LaterSubclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    return CallWindowProcW(g_before_us, h, m, w, l);
}

TEST_F(WindowProcTest, EachFormReachesItsLiveControlShownLastAndIsLeftWorking) {
    Form a(L"FormA"), b(L"FormB");
    const WNDPROC original = FormProc(b.hwnd());
    Designer on_a = std::make_unique<DesignerControl>(a.hwnd(), PickTree().get(), true);
    Designer one = std::make_unique<DesignerControl>(b.hwnd(), PickTree().get(), true);
    Designer two = std::make_unique<DesignerControl>(b.hwnd(), PickTree().get(), true);
    ComPtr<TestSite> sink_a = on_a->site, sink_one = one->site, sink_two = two->site;
    PickOn(a.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(sink_a->WaitClicks(1));
    PickOn(b.hwnd(), {VK_MENU, VK_RIGHT, VK_RETURN});
    ASSERT_TRUE(sink_two->WaitClicks(1));
    two.reset();  // the form keeps WindowProc for the one still there
    EXPECT_NE(FormProc(b.hwnd()), original);
    ASSERT_EQ(Rebuild(one->ctl.get()), S_OK) << TakeErrorText();
    PickOn(b.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(sink_one->WaitClicks(1));
    EXPECT_EQ(sink_a->clicks, Names{L"mnuNovo"});
    EXPECT_EQ(sink_two->clicks, Names{L"mnuSair"});
    EXPECT_EQ(sink_one->clicks, Names{L"mnuNovo"});
    const WPARAM novo = Cmd(b.hwnd(), 0, 0);
    one.reset();  // the last one: nobody subclassed after it, the form's own procedure is back
    EXPECT_EQ(FormProc(b.hwnd()), original);
    // Subclassed after the control: released, the chain stays, messages flow, nothing is raised.
    g_before_us = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(a.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));
    on_a.reset();
    EXPECT_EQ(FormProc(a.hwnd()), &LaterSubclass);
    for (HWND form : {a.hwnd(), b.hwnd()}) {
        EXPECT_EQ(SendMessageW(form, Form::kAppMessage, 0, 0), Form::kAppResult);
        EXPECT_EQ(SendMessageW(form, WM_COMMAND, novo, 0), Form::kCommandResult);
    }
    EXPECT_EQ(a.commands.back(), novo);
    EXPECT_EQ(sink_a->clicks.size() + sink_one->clicks.size(), 2u);
    DestroyWindow(a.hwnd());  // the form closes; nothing crashes
    Pump(50);
}

// Arquivo (Novo Ctrl+N, Abrir F2 disabled, Salvar Shift+F3 hidden, Copia Ctrl+N again),
// Editar disabled (Colar F5), Ajuda F1.
ComPtr<MenuTree> ShortcutTree() {
    ComPtr<MenuTree> tree = NewTree();
    const auto add = [](MenuTree* level, const wchar_t* caption, const wchar_t* tecla) {
        ComPtr<MenuItem> item = AddEntry(level, caption, caption);
        EXPECT_EQ(item->put_TeclaExtenso(Bstr(std::wstring_view(tecla)).get()), S_OK);
        return item;
    };
    ComPtr<MenuTree> arquivo = SubOf(add(tree.get(), L"&Arquivo", L"").get());
    add(arquivo.get(), L"&Novo", L"Ctrl+N");
    add(arquivo.get(), L"A&brir", L"F2")->put_Habilitado(VARIANT_FALSE);
    add(arquivo.get(), L"&Salvar", L"Shift+F3")->put_Visivel(VARIANT_FALSE);
    add(arquivo.get(), L"&Copia", L"Ctrl+N");
    ComPtr<MenuItem> editar = add(tree.get(), L"&Editar", L"");
    editar->put_Habilitado(VARIANT_FALSE);
    add(SubOf(editar.get()).get(), L"C&olar", L"F5");
    add(tree.get(), L"Aj&uda", L"F1");
    return tree;
}

// Keys go to the focused form: A's with an edit box focused, B's with Ajuda moved to F6, and C's
// with AtalhosAtivos False.
TEST_F(WindowProcTest, ShortcutsOfTheFocusedFormsEnabledEntriesFireAndOtherKeysPassOn) {
    auto form_a = std::make_unique<Form>();
    Form form_b, form_c;
    DesignerControl a(form_a->hwnd(), ShortcutTree().get(), true, L"mnuA", true);
    Designer b =
        std::make_unique<DesignerControl>(form_b.hwnd(), ShortcutTree().get(), true, L"mnuB", true);
    DesignerControl c(form_c.hwnd(), ShortcutTree().get(), true);
    const ComPtr<TestSite> sink_b = b->site;
    EXPECT_EQ(ReadMenu(GetMenu(form_a->hwnd()))[2].text, "Aj&uda\tF1");
    EXPECT_EQ(ReadMenu(GetMenu(form_c.hwnd()))[2].text, "Aj&uda");  // TextoMenu
    ASSERT_EQ(ItemAt(TreeOf(b->ctl.get()).get(), 3)->put_TeclaExtenso(Bstr(L"F6").get()), S_OK);
    ASSERT_EQ(Rebuild(b->ctl.get()), S_OK) << TakeErrorText();
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 60, 10, 120, 24,
                                form_a->hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    const struct {
        HWND focus;
        std::initializer_list<WORD> keys;
        const wchar_t *fires_a, *fires_b;
    } cases[] = {
        {edit, {VK_CONTROL, 'N'}, L"&Novo", nullptr},  // the first of two entries with the key
        {edit, {VK_F1}, L"Aj&uda", nullptr},
        {edit, {VK_F2}, nullptr, nullptr},                      // disabled
        {edit, {VK_SHIFT, VK_F3}, nullptr, nullptr},            // hidden
        {edit, {VK_F5}, nullptr, nullptr},                      // inside a disabled submenu
        {edit, {VK_CONTROL, VK_SHIFT, 'N'}, nullptr, nullptr},  // no entry's key
        {edit, {VK_F6}, nullptr, nullptr},                      // B's key
        {form_b.hwnd(), {VK_F1}, nullptr, nullptr},
        {form_b.hwnd(), {VK_F6}, nullptr, L"Aj&uda"},
        {form_c.hwnd(), {VK_F1}, nullptr, nullptr},
    };
    Names in_a, in_b;
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.focus << " key " << *k.keys.begin());
        PickOn(k.focus, k.keys);
        if (k.fires_a) in_a.push_back(k.fires_a);
        if (k.fires_b) in_b.push_back(k.fires_b);
        ASSERT_TRUE(a.site->WaitClicks(in_a.size()) && sink_b->WaitClicks(in_b.size()));
    }
    EXPECT_EQ(form_b.keys, std::vector<UINT>{VK_F1});  // a key no entry uses reaches the form
    PickOn(edit, {'X'});
    Pump(200, [&] { return GetWindowTextLengthW(edit) > 0; });
    EXPECT_EQ(GetWindowTextLengthW(edit), 1) << "typing reaches the box";

    // Released, B's keys are its form's own again; A's form destroyed before A leaves no
    // shortcut behind for another form.
    b.reset();
    form_a.reset();
    PickOn(form_b.hwnd(), {VK_F6});
    Pump(1000, [&] { return form_b.keys.size() > 1; });
    PickOn(form_c.hwnd(), {VK_F1});
    Pump(1000, [&] { return form_c.keys.size() > 1; });
    EXPECT_EQ(form_b.keys, (std::vector<UINT>{VK_F1, VK_F6}));
    EXPECT_EQ(form_c.keys, (std::vector<UINT>{VK_F1, VK_F1}));
    EXPECT_EQ(in_a, a.site->clicks);
    EXPECT_EQ(in_b, sink_b->clicks);
    EXPECT_TRUE(c.site->clicks.empty());
}

}  // namespace
}  // namespace tq::test

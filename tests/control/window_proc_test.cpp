// The control on a real form: Show, the form's subclass, MenuClick from picks and shortcuts. Run
// time is Wine's ATL host loading the control from a stream; design time a classic designer.
#include <memory>

#include "com_test.h"
#include "ctl_test.h"
#include "tq/com/late_bind.h"

namespace tq::test {
namespace {

using Names = std::vector<std::wstring>;

WNDPROC FormProc(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}
// The command of the bar's entry `pos`, or of the entry `sub` of its popup.
WPARAM Cmd(HWND form, int pos, int sub = -1) {
    HMENU bar = GetMenu(form);
    return sub < 0 ? GetMenuItemID(bar, pos) : GetMenuItemID(GetSubMenu(bar, pos), sub);
}
void FocusOn(HWND form, HWND window) {
    SetForegroundWindow(form);
    SetFocus(window);
    Pump(100);
}
void PickOn(HWND form, std::initializer_list<WORD> keys) {
    FocusOn(form, form);
    Tap(keys);
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

// A form with tqMenu loaded from a stream by the ATL host, and a MenuClick sink connected.
struct HostedForm {
    explicit HostedForm(MenuTree* tree, bool exibir = true, const wchar_t* title = L"Form1",
                        bool atalhos = false)
        : form(title), original_proc(FormProc(form.hwnd())) {
        host = HostInAtl(form.hwnd(), SavedControl(tree, exibir, atalhos).get(), &control);
        EXPECT_TRUE(control);
        if (!control) return;
        Connect(control.get(), DIID___tqMenu, sink->Identity());
        control.As(IID__tqMenu, &ctl);
    }
    ~HostedForm() { Release(); }
    void Release() {  // the container lets the control go; the form stays
        ctl = nullptr;
        control = nullptr;
        if (IsWindow(host)) DestroyWindow(host);
    }
    LRESULT Send(UINT msg, WPARAM wp = 0) { return SendMessageW(form.hwnd(), msg, wp, 0); }

    Form form;
    WNDPROC original_proc;
    HWND host = nullptr;
    ComPtr<IUnknown> control;
    ComPtr<_tqMenu> ctl;
    ComPtr<EventSink> sink = EventSink::Make();
};

HWND OwnWindow(IUnknown* control) {
    ComPtr<IOleInPlaceObject> inplace;
    HWND own = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IOleInPlaceObject, inplace.put_void())))
        inplace->GetWindow(&own);
    return own;
}
HRESULT Rebuild(_tqMenu* ctl) {
    VARIANT r;
    return ctl->ReExibirMenu(&r);
}

class WindowProcTest : public ComTest {};

TEST_F(WindowProcTest, ShowBuildsTheBarAndOnlyARunningFormWithExibirMenuIsSubclassed) {
    {
        HostedForm f(PickTree().get()), g(PickTree().get(), false, L"Form2");  // a running program
        ASSERT_TRUE(f.control && g.control);
        EXPECT_FALSE(IsWindowVisible(OwnWindow(f.control.get())));
        EXPECT_NE(FormProc(f.form.hwnd()), f.original_proc);
        EXPECT_EQ(GetMenuItemCount(GetMenu(f.form.hwnd())), 2);
        EXPECT_EQ(GetMenu(g.form.hwnd()), nullptr);
        EXPECT_EQ(FormProc(g.form.hwnd()), g.original_proc);
    }
    for (const bool user_mode : {true, false}) {  // a classic designer running, then designing
        SCOPED_TRACE(user_mode);
        Form form;
        const WNDPROC original = FormProc(form.hwnd());
        DesignerControl c(form.hwnd(), PickTree().get(), user_mode);
        ASSERT_EQ(c.hr, S_OK) << TakeErrorText();
        EXPECT_EQ(GetMenuItemCount(GetMenu(form.hwnd())), 2);
        // Running, it hides itself through the extender.
        EXPECT_EQ(c.site->extender->puts, user_mode ? Names{L"Visible"} : Names{});
        EXPECT_EQ(V_BOOL(&c.site->extender->values[L"Visible"]), user_mode ? 0 : VARIANT_TRUE);
        EXPECT_EQ(FormProc(form.hwnd()) != original, user_mode);
    }
}

// An AtlAxWin100 window made by ProgID, driven by name only: no extender, no ambient properties.
TEST_F(WindowProcTest, AnAtlAxWinWindowsControlBuildsItsFormsBarFromATreeSetByName) {
    using tq::com::CallMethod;
    auto get_control =
        tq::test::ProcOf<HRESULT(WINAPI*)(HWND, IUnknown**)>(AtlModule(), "AtlAxGetControl");
    ASSERT_TRUE(get_control);
    Form form;
    HWND ax = CreateWindowExW(0, L"AtlAxWin100", L"tqMenuCtl.tqMenu", WS_CHILD | WS_VISIBLE, 10, 10,
                              200, 120, form.hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ComPtr<IUnknown> unk;
    ComPtr<IDispatch> ctl;
    ASSERT_EQ(get_control(ax, unk.put()), S_OK);
    ASSERT_EQ(unk.As(IID_IDispatch, &ctl), S_OK);
    EXPECT_EQ(GetParent(OwnWindow(unk.get())), ax) << "in-place active in the host's window";
    ComPtr<MenuTree> tree = PickTree();
    ASSERT_EQ(tq::com::PutProperty(ctl.get(), L"MenuTree", Variant::FromDispatch(tree.get()), true),
              S_OK);
    ASSERT_EQ(tq::com::PutProperty(ctl.get(), L"ExibirMenu", Variant::FromBool(true)), S_OK);
    ASSERT_EQ(CallMethod(ctl.get(), L"ReExibirMenu"), S_OK) << TakeErrorText();
    EXPECT_EQ(GetMenuItemCount(GetMenu(form.hwnd())), 2);  // the form's, not the host's
    EXPECT_EQ(GetMenu(ax), nullptr);
}

TEST_F(WindowProcTest, PicksAndCommandsRaiseMenuClickOnceAfterTheFormsOwnProcedure) {
    HostedForm f(PickTree().get());
    ASSERT_TRUE(f.control);
    FocusOn(f.form.hwnd(), f.form.hwnd());
    size_t form_first = 0;
    f.sink->on_click = [&] { form_first += f.form.commands.size() == f.sink->clicks.size(); };
    const struct {
        std::initializer_list<WORD> keys;
        const wchar_t* nome;
    } picks[] = {{{VK_MENU, 'A', 'N'}, L"mnuNovo"},
                 {{VK_MENU, 'A', 'R', 'D'}, L"mnuDois"},
                 {{VK_MENU, VK_RIGHT, VK_RETURN}, L"mnuSair"}};
    for (const auto& p : picks) {
        Tap(p.keys);
        ASSERT_TRUE(f.sink->WaitClicks(form_first + 1)) << f.sink->clicks.size() << " clicks";
        EXPECT_EQ(f.sink->clicks.back(), p.nome);
    }
    EXPECT_EQ(form_first, 3u);

    const HWND form = f.form.hwnd();
    const WPARAM novo = Cmd(form, 0, 0), popup = HandleToLong(GetSubMenu(GetMenu(form), 0));
    const struct {
        UINT msg;
        WPARAM wp;
        LRESULT result;
        const wchar_t* raises;
    } messages[] = {
        {Form::kAppMessage, 0, Form::kAppResult, nullptr},
        {WM_COMMAND, 4242, Form::kCommandResult, nullptr},  // no entry has it
        {WM_COMMAND, 0, Form::kCommandResult, nullptr},
        {WM_COMMAND, popup & 0xFFFF, Form::kCommandResult, nullptr},
        {WM_COMMAND, MAKEWPARAM(novo, 1), Form::kCommandResult, L"mnuNovo"},  // only the low word
    };
    for (const auto& m : messages) {
        SCOPED_TRACE(m.wp);
        f.sink->clicks.clear();
        EXPECT_EQ(f.Send(m.msg, m.wp), m.result);
        EXPECT_EQ(f.sink->clicks, m.raises ? Names{m.raises} : Names{});
    }
    // The one entry of an empty tree's bar is nobody's.
    HostedForm e(NewTree().get(), true, L"Vazio");
    ASSERT_TRUE(e.control);
    EXPECT_EQ(e.Send(WM_COMMAND, Cmd(e.form.hwnd(), 0)), Form::kCommandResult);
    EXPECT_EQ(e.form.commands.size(), 1u);
    EXPECT_TRUE(e.sink->clicks.empty());
}

TEST_F(WindowProcTest, ShowRunsOncePerTransitionToVisibleAndAHandlerMayRebuildTheBar) {
    Form form;
    DesignerControl c(form.hwnd(), PickTree().get(), true);
    const WPARAM first = Cmd(form.hwnd(), 0, 0);
    for (LONG verb : {OLEIVERB_SHOW, OLEIVERB_UIACTIVATE, OLEIVERB_PRIMARY})
        ASSERT_EQ(c.Verb(verb), S_OK);
    EXPECT_EQ(Cmd(form.hwnd(), 0, 0), first);
    // Hidden, or deactivated, then shown again: each is a new transition, and Show runs.
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(c.ctl.As(IID_IOleInPlaceObject, &inplace), S_OK);
    for (LONG verb : {OLEIVERB_HIDE, OLEIVERB_SHOW}) ASSERT_EQ(c.Verb(verb), S_OK);
    ASSERT_EQ(inplace->InPlaceDeactivate(), S_OK);
    for (LONG verb : {OLEIVERB_INPLACEACTIVATE, OLEIVERB_UIACTIVATE}) ASSERT_EQ(c.Verb(verb), S_OK);
    EXPECT_EQ(c.site->extender->puts.size(), 3u);
    EXPECT_EQ(Cmd(form.hwnd(), 0, 0), first + 2 * 6);  // two more bars of six entries

    // A handler that rebuilds: the old identifier is nobody's, a real pick finds the new one.
    c.sink->on_click = [&] { EXPECT_EQ(Rebuild(c.ctl.get()), S_OK); };
    SendMessageW(form.hwnd(), WM_COMMAND, first, 0);
    EXPECT_TRUE(c.sink->clicks.empty());
    SendMessageW(form.hwnd(), WM_COMMAND, first + 12, 0);
    ASSERT_EQ(c.sink->clicks, Names{L"mnuNovo"});
    c.sink->on_click = nullptr;
    SendMessageW(form.hwnd(), WM_COMMAND, first + 12, 0);
    PickOn(form.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(c.sink->WaitClicks(2));
    EXPECT_EQ(form.commands.back(), first + 18);
}

// A window procedure put on the form after the control's, as another library would.
WNDPROC g_before_us = nullptr;
LRESULT CALLBACK LaterSubclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    return CallWindowProcW(g_before_us, h, m, w, l);
}

TEST_F(WindowProcTest, EachFormReachesItsLiveControlShownLastAndIsLeftWorking) {
    HostedForm f(PickTree().get()), g(PickTree().get(), true, L"Form2");
    ASSERT_TRUE(f.control && g.control);
    const WPARAM novo = Cmd(f.form.hwnd(), 0, 0);
    f.Release();  // nobody subclassed after the control: the form's own procedure is back
    EXPECT_EQ(FormProc(f.form.hwnd()), f.original_proc);
    g_before_us = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g.form.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));
    g.Release();  // subclassed after it: the chain stays, messages flow, nothing is raised
    EXPECT_EQ(FormProc(g.form.hwnd()), &LaterSubclass);
    for (HostedForm* h : {&f, &g}) {
        EXPECT_EQ(h->Send(Form::kAppMessage), Form::kAppResult);
        EXPECT_EQ(h->Send(WM_COMMAND, novo), Form::kCommandResult);
        EXPECT_EQ(h->form.commands.size(), 1u);
        EXPECT_TRUE(h->sink->clicks.empty());
    }
    DestroyWindow(g.form.hwnd());  // the form closes; nothing crashes
    Pump(50);

    // Two designer forms, the second with two controls: each pick reaches its own form's control
    // shown last, and the form keeps WindowProc while one of them lives.
    Form form_a(L"FormA"), form_b(L"FormB");
    const WNDPROC original = FormProc(form_b.hwnd());
    DesignerControl a(form_a.hwnd(), PickTree().get(), true, L"mnuA");
    auto one = std::make_unique<DesignerControl>(form_b.hwnd(), PickTree().get(), true, L"mnuUm");
    auto two = std::make_unique<DesignerControl>(form_b.hwnd(), PickTree().get(), true, L"mnuDois");
    ComPtr<EventSink> sink_one = one->sink, sink_two = two->sink;
    PickOn(form_a.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(a.sink->WaitClicks(1));
    PickOn(form_b.hwnd(), {VK_MENU, VK_RIGHT, VK_RETURN});
    ASSERT_TRUE(sink_two->WaitClicks(1));
    two.reset();
    EXPECT_NE(FormProc(form_b.hwnd()), original);
    ASSERT_EQ(Rebuild(one->ctl.get()), S_OK) << TakeErrorText();
    PickOn(form_b.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(sink_one->WaitClicks(1));
    EXPECT_EQ(a.sink->clicks, Names{L"mnuNovo"});
    EXPECT_EQ(sink_two->clicks, Names{L"mnuSair"});
    EXPECT_EQ(sink_one->clicks, Names{L"mnuNovo"});
    one.reset();
    EXPECT_EQ(FormProc(form_b.hwnd()), original);
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

TEST_F(WindowProcTest, ShortcutsOfEnabledEntriesOnTheBarFireWithTheFocusInAnEditBox) {
    Form form;
    DesignerControl c(form.hwnd(), ShortcutTree().get(), true, L"mnuAtalhos", true);
    EXPECT_EQ(ReadMenu(GetMenu(form.hwnd()))[2].text, "Aj&uda\tF1");
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 60, 10, 120, 24,
                                form.hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    FocusOn(form.hwnd(), edit);
    const struct {
        std::initializer_list<WORD> keys;
        const wchar_t* fires;
    } cases[] = {
        {{VK_CONTROL, 'N'}, L"&Novo"},  // the first of two entries with the key
        {{VK_F1}, L"Aj&uda"},
        {{VK_F2}, nullptr},                      // disabled
        {{VK_SHIFT, VK_F3}, nullptr},            // hidden
        {{VK_F5}, nullptr},                      // inside a disabled submenu
        {{VK_CONTROL, VK_SHIFT, 'N'}, nullptr},  // no entry's key
    };
    Names expected;
    for (const auto& k : cases) {
        Tap(k.keys, true);
        if (k.fires) expected.push_back(k.fires);
        ASSERT_TRUE(c.sink->WaitClicks(expected.size())) << "after key " << *k.keys.begin();
    }
    EXPECT_EQ(c.sink->clicks, expected);
    Tap({'X'});  // typing still reaches the box
    Pump(200, [&] { return GetWindowTextLengthW(edit) > 0; });
    EXPECT_EQ(GetWindowTextLengthW(edit), 1);
}

TEST_F(WindowProcTest, ShortcutsAreEachLiveFormsOwnFollowARebuildAndNeedAtalhosAtivos) {
    HostedForm a(ShortcutTree().get(), true, L"FormA", true);
    HostedForm b(ShortcutTree().get(), true, L"FormB", true);
    HostedForm off(ShortcutTree().get(), true, L"FormC", false);
    ASSERT_TRUE(a.control && b.control && off.control);
    ComPtr<MenuItem> ajuda_b = ItemAt(TreeOf(b.ctl.get()).get(), 3);  // B's Ajuda moves to F6
    ASSERT_EQ(ajuda_b->put_TeclaExtenso(Bstr(std::wstring_view(L"F6")).get()), S_OK);
    ASSERT_EQ(Rebuild(b.ctl.get()), S_OK) << TakeErrorText();
    const struct {
        HostedForm* form;
        WORD key;
        size_t a, b;  // MenuClicks of A and B so far
    } presses[] = {{&b, VK_F1, 0, 0},
                   {&b, VK_F6, 0, 1},
                   {&a, VK_F6, 0, 1},
                   {&a, VK_F1, 1, 1},
                   {&off, VK_F1, 1, 1}};
    for (const auto& p : presses) {
        SCOPED_TRACE(::testing::Message() << "form " << p.form->form.hwnd() << " key " << p.key);
        FocusOn(p.form->form.hwnd(), p.form->form.hwnd());
        Tap({p.key});
        EXPECT_TRUE(a.sink->WaitClicks(p.a));
        EXPECT_TRUE(b.sink->WaitClicks(p.b));
    }
    EXPECT_TRUE(off.sink->clicks.empty());
    // A key no entry of the focused form uses reaches the form itself.
    EXPECT_EQ(b.form.keys, std::vector<UINT>{VK_F1});
    EXPECT_EQ(a.form.keys, std::vector<UINT>{VK_F6});
    EXPECT_EQ(off.form.keys, std::vector<UINT>{VK_F1});
    // With AtalhosAtivos False the bar shows TextoMenu, without the key.
    EXPECT_EQ(ReadMenu(GetMenu(off.form.hwnd()))[2].text, "Aj&uda");

    // Released, the control's keys are its form's ordinary keys again.
    a.Release();
    FocusOn(a.form.hwnd(), a.form.hwnd());
    Tap({VK_F1});
    Pump(1000, [&] { return a.form.keys.size() > 1; });
    EXPECT_EQ(a.form.keys, (std::vector<UINT>{VK_F6, VK_F1}));
    // A form destroyed before its control leaves no shortcut behind for another form.
    auto doomed = std::make_unique<Form>(L"FormD");
    DesignerControl c(doomed->hwnd(), ShortcutTree().get(), true, L"mnuD", true);
    doomed.reset();
    Form other(L"FormE");
    FocusOn(other.hwnd(), other.hwnd());
    Tap({VK_F1});
    Pump(1000, [&] { return !other.keys.empty(); });
    EXPECT_EQ(other.keys, std::vector<UINT>{VK_F1});
    EXPECT_TRUE(c.sink->clicks.empty());
}

}  // namespace
}  // namespace tq::test

// The control brought to life on a real form: UserControl_Show, the window subclass and MenuClick
// from real menu picks.  Run-time cases use Wine's ATL host loading the control from a stream,
// as a program loads its form; design-time cases use a site that answers UserMode False.
#include <memory>

#include "com_test.h"
#include "ctl_test.h"
#include "tqBiblioteca.h"

namespace tq::test {
namespace {

WNDPROC ProcOf(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
}

// Arquivo (Novo, Recentes (Um, Dois)), Sair: leaves at depth 1, 2 and 3, with access keys.
struct PickTree {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuItem> arquivo = AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo");
    ComPtr<MenuItem> novo = AddEntry(SubOf(arquivo.get()).get(), L"&Novo", L"mnuNovo");
    ComPtr<MenuItem> recentes = AddEntry(SubOf(arquivo.get()).get(), L"&Recentes", L"mnuRecentes");
    ComPtr<MenuItem> um = AddEntry(SubOf(recentes.get()).get(), L"&Um", L"mnuUm");
    ComPtr<MenuItem> dois = AddEntry(SubOf(recentes.get()).get(), L"&Dois", L"mnuDois");
    ComPtr<MenuItem> sair = AddEntry(tree.get(), L"&Sair", L"mnuSair");

    // The same entries in `other` (the copy a control loaded from its stream holds).
    void Bind(MenuTree* other) {
        tree = other;
        arquivo = ItemAt(other, 1);
        novo = ItemAt(SubOf(arquivo.get()).get(), 1);
        recentes = ItemAt(SubOf(arquivo.get()).get(), 2);
        um = ItemAt(SubOf(recentes.get()).get(), 1);
        dois = ItemAt(SubOf(recentes.get()).get(), 2);
        sair = ItemAt(other, 2);
    }
};

void FocusOn(HWND form, HWND window) {
    SetForegroundWindow(form);
    SetFocus(window);
    Pump(100);
}

// Taps `keys` on the menu bar of `form`; without a bar, Alt would open a system menu that waits.
void PickOn(HWND form, std::initializer_list<WORD> keys) {
    ASSERT_NE(GetMenu(form), nullptr) << "no menu bar to pick from";
    FocusOn(form, form);
    Tap(keys);
}

// A form with tqMenu loaded from a stream by the ATL host, and a MenuClick sink connected.
struct HostedForm {
    // Hosts a control saved with `t`'s tree, and binds `t` to the control's own copy of it.
    explicit HostedForm(PickTree& t, bool exibir = true, const wchar_t* title = L"Form1")
        : HostedForm(t.tree.get(), exibir, title) {
        ComPtr<MenuTree> mine;
        if (ctl && SUCCEEDED(ctl->get_MenuTree(mine.put()))) t.Bind(mine.get());
    }
    explicit HostedForm(MenuTree* tree, bool exibir = true, const wchar_t* title = L"Form1",
                        bool atalhos = false)
        : form(title) {
        original_proc = ProcOf(form.hwnd());
        host = HostInAtl(form.hwnd(), SavedControl(tree, exibir, atalhos).get(), &control);
        EXPECT_TRUE(control);
        if (!control) return;
        sink = EventSink::Make();
        Connect(control.get(), DIID___tqMenu, sink->Identity());
        control.As(IID__tqMenu, &ctl);
    }
    ~HostedForm() { Release(); }
    // The container lets the control go (the form itself stays).
    void Release() {
        ctl = nullptr;
        control = nullptr;
        if (IsWindow(host)) DestroyWindow(host);
    }
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        return SendMessageW(form.hwnd(), msg, wp, lp);
    }
    bool WaitClicks(size_t n) { return sink->WaitClicks(n); }

    Form form;
    WNDPROC original_proc = nullptr;
    HWND host = nullptr;
    ComPtr<IUnknown> control;
    ComPtr<_tqMenu> ctl;
    ComPtr<EventSink> sink;
};

HWND OwnWindow(IUnknown* control) {
    ComPtr<IOleInPlaceObject> inplace;
    EXPECT_EQ(control->QueryInterface(IID_IOleInPlaceObject, inplace.put_void()), S_OK);
    HWND own = nullptr;
    if (inplace) inplace->GetWindow(&own);
    return own;
}

class WindowProcTest : public ComTest {};

// Show builds the bar; a running form is subclassed and the control hidden (by itself, or through
// the extender where there is one); a designing form is left alone.  ExibirMenu False: nothing.
TEST_F(WindowProcTest, ShowBuildsTheBarAndOnlyARunningFormIsSubclassed) {
    PickTree t;
    {
        HostedForm f(t), g(t, false, L"Form2");  // Wine's ATL host: a running program
        ASSERT_TRUE(f.control && g.control);
        EXPECT_FALSE(IsWindowVisible(OwnWindow(f.control.get())));
        EXPECT_FALSE(IsWindowVisible(OwnWindow(g.control.get())));
        EXPECT_NE(ProcOf(f.form.hwnd()), f.original_proc);
        EXPECT_EQ(ReadMenu(GetMenu(f.form.hwnd())).size(), 2u);
        EXPECT_EQ(ProcOf(g.form.hwnd()), g.original_proc);
        EXPECT_EQ(GetMenu(g.form.hwnd()), nullptr);
    }
    for (const bool user_mode : {true, false}) {  // a classic designer running, then designing
        SCOPED_TRACE(user_mode);
        Form form;
        const WNDPROC original = ProcOf(form.hwnd());
        DesignerControl c(form.hwnd(), t.tree.get(), true, user_mode, L"mnuPrincipal");
        ASSERT_EQ(c.hr, S_OK) << TakeErrorText();
        EXPECT_EQ(ReadMenu(GetMenu(form.hwnd())).size(), 2u);
        const auto& puts = c.site->extender->puts;
        ASSERT_EQ(puts.size(), user_mode ? 1u : 0u);
        if (user_mode) {
            EXPECT_EQ(puts[0].first, L"Visible");
            EXPECT_EQ(V_BOOL(&puts[0].second), VARIANT_FALSE);
        } else {
            EXPECT_TRUE(IsWindowVisible(OwnWindow(c.ctl.get())));
        }
        EXPECT_EQ(ProcOf(form.hwnd()) != original, user_mode);
    }
}

TEST_F(WindowProcTest, RealKeyboardPicksRaiseMenuClickOnceAtDepthOneTwoAndThree) {
    PickTree t;
    HostedForm f(t);
    ASSERT_TRUE(f.control);
    FocusOn(f.form.hwnd(), f.form.hwnd());
    // The form's own handler must have seen each command before MenuClick.
    std::vector<bool> form_first;
    f.sink->on_click = [&] {
        const LONG expected = f.sink->clicks.back() == L"mnuNovo"   ? HndOf(t.novo.get())
                              : f.sink->clicks.back() == L"mnuDois" ? HndOf(t.dois.get())
                                                                    : HndOf(t.sair.get());
        form_first.push_back(!f.form.commands.empty() &&
                             f.form.commands.back() == static_cast<UINT>(expected));
    };

    Tap({VK_MENU, 'A', 'N'});  // Alt, Arquivo, Novo
    ASSERT_TRUE(f.WaitClicks(1)) << f.sink->clicks.size() << " clicks";
    EXPECT_EQ(f.sink->clicks.back(), L"mnuNovo");

    Tap({VK_MENU, 'A', 'R', 'D'});  // Alt, Arquivo, Recentes, Dois
    ASSERT_TRUE(f.WaitClicks(2)) << f.sink->clicks.size() << " clicks";
    EXPECT_EQ(f.sink->clicks.back(), L"mnuDois");

    Tap({VK_MENU, VK_RIGHT, VK_RETURN});  // Alt, to Sair on the bar, Enter
    ASSERT_TRUE(f.WaitClicks(3)) << f.sink->clicks.size() << " clicks";
    EXPECT_EQ(f.sink->clicks.back(), L"mnuSair");

    EXPECT_EQ(f.sink->arg_types,
              (std::vector<VARTYPE>(3, static_cast<VARTYPE>(VT_DISPATCH | VT_BYREF))));
    EXPECT_EQ(form_first, (std::vector<bool>{true, true, true}));
}

TEST_F(WindowProcTest, MessagesPassThroughUnchangedAndOnlyEntriesRaiseMenuClick) {
    PickTree t;
    HostedForm f(t);
    ASSERT_TRUE(f.control);
    const UINT novo = static_cast<UINT>(HndOf(t.novo.get()));

    EXPECT_EQ(f.Send(Form::kAppMessage), Form::kAppResult);
    EXPECT_EQ(f.Send(WM_COMMAND, 4242), Form::kCommandResult);  // no entry has it
    EXPECT_EQ(f.Send(WM_COMMAND, 0), Form::kCommandResult);
    EXPECT_TRUE(f.sink->clicks.empty());
    // Only the low word counts: a notification code in the high word changes nothing.
    EXPECT_EQ(f.Send(WM_COMMAND, MAKEWPARAM(novo, 1)), Form::kCommandResult);
    ASSERT_EQ(f.sink->clicks.size(), 1u);
    EXPECT_EQ(f.sink->clicks[0], L"mnuNovo");
    // A popup's handle is no command.
    f.Send(WM_COMMAND, static_cast<WPARAM>(HndOf(t.arquivo.get())) & 0xFFFF);
    EXPECT_EQ(f.sink->clicks.size(), 1u);

    // A failing handler does not keep MenuClick from the next sink, nor change the result.
    f.sink->click_result = E_FAIL;
    ComPtr<EventSink> second = EventSink::Make();
    Connect(f.control.get(), DIID___tqMenu, second->Identity());
    EXPECT_EQ(f.Send(WM_COMMAND, novo), Form::kCommandResult);
    EXPECT_EQ(f.sink->clicks.size(), 2u);
    EXPECT_EQ(second->clicks, std::vector<std::wstring>{L"mnuNovo"});

    // The one entry of an empty tree's bar is nobody's: it raises nothing.
    ComPtr<MenuTree> empty = NewTree();
    HostedForm e(empty.get(), true, L"Vazio");
    ASSERT_TRUE(e.control);
    std::vector<MenuEntry> bar = ReadMenu(GetMenu(e.form.hwnd()));
    ASSERT_EQ(bar.size(), 1u);
    EXPECT_EQ(e.Send(WM_COMMAND, bar[0].id), Form::kCommandResult);
    EXPECT_TRUE(e.sink->clicks.empty());
    EXPECT_EQ(e.form.commands, std::vector<UINT>{bar[0].id});

    // Hidden and shown again: Show runs a second time and does not chain WindowProc to itself.
    const WNDPROC installed = ProcOf(f.form.hwnd());
    ComPtr<IOleObject> ole;
    ASSERT_EQ(f.control.As(IID_IOleObject, &ole), S_OK);
    ComPtr<IOleClientSite> site;
    ASSERT_EQ(ole->GetClientSite(site.put()), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_HIDE, nullptr, site.get(), 0, f.host, nullptr), S_OK);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, site.get(), 0, f.host, nullptr), S_OK);
    EXPECT_EQ(ProcOf(f.form.hwnd()), installed);
    f.Send(WM_COMMAND, static_cast<WPARAM>(HndOf(t.sair.get())));
    EXPECT_EQ(f.sink->clicks.size(), 3u) << "once, not twice";

    // ExibirMenu set after a Show with False: the bar comes, but no subclass and no MenuClick.
    PickTree t2;
    HostedForm g(t2, false, L"Form2");
    ASSERT_TRUE(g.control);
    SetExibir(g.ctl.get(), true);
    VARIANT r;
    ASSERT_EQ(g.ctl->ReExibirMenu(&r), S_OK) << TakeErrorText();
    ASSERT_EQ(ReadMenu(GetMenu(g.form.hwnd())).size(), 2u);
    EXPECT_EQ(g.Send(WM_COMMAND, static_cast<WPARAM>(HndOf(t2.novo.get()))), Form::kCommandResult);
    EXPECT_TRUE(g.sink->clicks.empty());
    EXPECT_EQ(ProcOf(g.form.hwnd()), g.original_proc);
}

// A window procedure put on the form after the control's, as another library would.
WNDPROC g_before_us = nullptr;
int g_later_calls = 0;
LRESULT CALLBACK LaterSubclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    ++g_later_calls;
    return CallWindowProcW(g_before_us, h, m, w, l);
}

TEST_F(WindowProcTest, AControlReleasedBeforeItsFormLeavesAWorkingForm) {
    PickTree t;
    HostedForm f(t);
    ASSERT_TRUE(f.control);
    const WPARAM novo = static_cast<WPARAM>(HndOf(t.novo.get()));
    f.Release();
    // Nobody subclassed after the control: the form's own procedure is back.
    EXPECT_EQ(ProcOf(f.form.hwnd()), f.original_proc);
    EXPECT_EQ(f.Send(WM_COMMAND, novo), Form::kCommandResult);
    EXPECT_TRUE(f.sink->clicks.empty());

    // Subclassed after the control: the chain must stay; messages still flow, nothing raised.
    PickTree t2;
    HostedForm g(t2, true, L"Form2");
    ASSERT_TRUE(g.control);
    g_before_us = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g.form.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterSubclass)));
    g.Release();
    EXPECT_EQ(ProcOf(g.form.hwnd()), &LaterSubclass);
    EXPECT_EQ(g.Send(Form::kAppMessage), Form::kAppResult);
    EXPECT_EQ(g.Send(WM_COMMAND, novo), Form::kCommandResult);
    EXPECT_EQ(g.form.commands.size(), 1u);
    EXPECT_GE(g_later_calls, 2);
    EXPECT_TRUE(g.sink->clicks.empty());
    DestroyWindow(g.form.hwnd());  // the form closes; nothing crashes
    Pump(50);
}

// A handler that rebuilds the bar: later picks find the entry by its new identifier, and on a
// classic designer's two forms each pick reaches its own form's control.
TEST_F(WindowProcTest, PicksAfterARebuildInTheHandlerAndOnTwoFormsReachTheirOwnEntry) {
    PickTree t;
    HostedForm f(t);
    ASSERT_TRUE(f.control);
    const LONG old_id = HndOf(t.novo.get());
    f.sink->on_click = [&] {
        VARIANT r;
        EXPECT_EQ(f.ctl->ReExibirMenu(&r), S_OK);
    };
    f.Send(WM_COMMAND, static_cast<WPARAM>(old_id));
    ASSERT_EQ(f.sink->clicks.size(), 1u);
    const LONG new_id = HndOf(t.novo.get());
    EXPECT_GT(new_id, old_id);
    f.sink->on_click = nullptr;
    f.Send(WM_COMMAND, static_cast<WPARAM>(old_id));
    EXPECT_EQ(f.sink->clicks.size(), 1u);
    PickOn(f.form.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(f.WaitClicks(2));
    EXPECT_EQ(f.sink->clicks.back(), L"mnuNovo");
    EXPECT_EQ(f.form.commands.back(), static_cast<UINT>(new_id));

    PickTree t1, t2;
    Form form_a(L"FormA"), form_b(L"FormB");
    DesignerControl a(form_a.hwnd(), t1.tree.get(), true, true, L"mnuA");
    DesignerControl b(form_b.hwnd(), t2.tree.get(), true, true, L"mnuB");
    PickOn(form_a.hwnd(), {VK_MENU, 'A', 'N'});  // Arquivo, Novo
    ASSERT_TRUE(a.sink->WaitClicks(1));
    PickOn(form_b.hwnd(), {VK_MENU, VK_RIGHT, VK_RETURN});  // Sair
    ASSERT_TRUE(b.sink->WaitClicks(1));
    EXPECT_EQ(a.sink->clicks, std::vector<std::wstring>{L"mnuNovo"});
    EXPECT_EQ(b.sink->clicks, std::vector<std::wstring>{L"mnuSair"});
}

TEST_F(WindowProcTest, ShowRunsOncePerTransitionToVisibleNotOncePerVerb) {
    PickTree t;
    Form form;
    DesignerControl c(form.hwnd(), t.tree.get(), true, true);
    t.Bind(TreeOf(c.ctl.get()).get());
    const auto& hidings = c.site->extender->puts;
    const LONG first = HndOf(t.novo.get());
    ASSERT_EQ(c.Verb(OLEIVERB_SHOW), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_UIACTIVATE), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_PRIMARY), S_OK);
    EXPECT_EQ(HndOf(t.novo.get()), first);  // the bar was built once
    EXPECT_EQ(hidings.size(), 1u);

    // Hidden, or deactivated, then shown again: each is a new transition, and Show runs.
    ComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(c.ctl.As(IID_IOleInPlaceObject, &inplace), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_HIDE), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_SHOW), S_OK);
    ASSERT_EQ(inplace->InPlaceDeactivate(), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_INPLACEACTIVATE), S_OK);
    ASSERT_EQ(c.Verb(OLEIVERB_UIACTIVATE), S_OK);
    EXPECT_EQ(hidings.size(), 3u);
    EXPECT_EQ(HndOf(t.novo.get()), first + 2 * 6);  // two more bars of six entries
}

TEST_F(WindowProcTest, TwoControlsOnOneFormPicksGoToTheLiveOneShownLast) {
    PickTree t1, t2;
    Form form;
    const WNDPROC original = ProcOf(form.hwnd());
    auto one = std::make_unique<DesignerControl>(form.hwnd(), t1.tree.get(), true, true, L"mnuUm");
    auto two =
        std::make_unique<DesignerControl>(form.hwnd(), t2.tree.get(), true, true, L"mnuDois");
    t2.Bind(TreeOf(two->ctl.get()).get());
    ComPtr<EventSink> sink_one = one->sink, sink_two = two->sink;
    SendMessageW(form.hwnd(), WM_COMMAND, static_cast<WPARAM>(HndOf(t2.sair.get())), 0);
    EXPECT_EQ(sink_two->clicks, std::vector<std::wstring>{L"mnuSair"});

    // The control shown last dies: the form keeps WindowProc for the one still there, which
    // shows its bar again and gets its picks.
    two.reset();
    EXPECT_NE(ProcOf(form.hwnd()), original);
    VARIANT r;
    ASSERT_EQ(one->ctl->ReExibirMenu(&r), S_OK) << TakeErrorText();
    PickOn(form.hwnd(), {VK_MENU, 'A', 'N'});
    ASSERT_TRUE(sink_one->WaitClicks(1));
    EXPECT_EQ(sink_one->clicks, std::vector<std::wstring>{L"mnuNovo"});
    EXPECT_EQ(sink_two->clicks.size(), 1u);

    // The last one dies too: the form's own procedure is back.
    one.reset();
    EXPECT_EQ(ProcOf(form.hwnd()), original);
}

// Arquivo (Oculto, Item 1 .. Item 47), Sair: fifty entries, 49 on the bar once Oculto is hidden.
TEST_F(WindowProcTest, AfterTwoThousandRebuildsPicksReachTheirEntriesAndNeverAHiddenOne) {
    ComPtr<MenuTree> tree = NewTree();
    ComPtr<MenuTree> sub = SubOf(AddEntry(tree.get(), L"&Arquivo", L"mnuArquivo").get());
    AddEntry(sub.get(), L"&Oculto", L"mnuOculto");
    for (int k = 1; k <= 47; ++k)
        AddEntry(sub.get(), L"Item " + std::to_wstring(k), L"mnuItem" + std::to_wstring(k));
    AddEntry(tree.get(), L"&Sair", L"mnuSair");
    HostedForm f(tree.get());
    ASSERT_TRUE(f.control);
    sub = SubOf(ItemAt(TreeOf(f.ctl.get()).get(), 1).get());
    ComPtr<MenuItem> oculto = ItemAt(sub.get(), 1);
    const LONG stale = HndOf(oculto.get());
    ASSERT_EQ(oculto->put_Visivel(VARIANT_FALSE), S_OK);

    // After every rebuild the hidden entry's old identifier reaches the visible entry that
    // carries it now, if any, and never the hidden one.
    std::vector<std::wstring> expected;
    for (int i = 1; i <= 2000; ++i) {
        VARIANT r;
        ASSERT_EQ(f.ctl->ReExibirMenu(&r), S_OK) << TakeErrorText();
        for (short k = 2; k <= 48; ++k)
            if (HndOf(ItemAt(sub.get(), k).get()) == stale)
                expected.push_back(L"mnuItem" + std::to_wstring(k - 1));
        f.Send(WM_COMMAND, static_cast<WPARAM>(stale));
        ASSERT_EQ(f.sink->clicks, expected) << "rebuild " << i;
    }
    ASSERT_FALSE(expected.empty());  // the identifiers came round to the old one

    // Real picks: the first and third entries under Arquivo, and Sair.
    const size_t before = f.sink->clicks.size();
    PickOn(f.form.hwnd(), {VK_MENU, VK_DOWN, VK_RETURN});
    ASSERT_TRUE(f.WaitClicks(before + 1));
    PickOn(f.form.hwnd(), {VK_MENU, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_TRUE(f.WaitClicks(before + 2));
    PickOn(f.form.hwnd(), {VK_MENU, VK_RIGHT, VK_RETURN});
    ASSERT_TRUE(f.WaitClicks(before + 3));
    EXPECT_EQ(std::vector<std::wstring>(f.sink->clicks.begin() + before, f.sink->clicks.end()),
              (std::vector<std::wstring>{L"mnuItem1", L"mnuItem3", L"mnuSair"}));
}

// ---- shortcuts that fire (AtalhosAtivos) ----

// Arquivo (Novo Ctrl+N, Abrir F2 disabled, Salvar Shift+F3 hidden, Copia Ctrl+N again),
// Editar disabled (Colar F5), Ajuda F1.
ComPtr<MenuTree> ShortcutTree() {
    ComPtr<MenuTree> tree = NewTree();
    const auto add = [](MenuTree* level, const wchar_t* caption, const wchar_t* nome,
                        const wchar_t* tecla) {
        ComPtr<MenuItem> item = AddEntry(level, caption, nome);
        EXPECT_EQ(item->put_TeclaExtenso(Bstr(std::wstring_view(tecla)).get()), S_OK);
        return item;
    };
    ComPtr<MenuTree> arquivo = SubOf(add(tree.get(), L"&Arquivo", L"mnuArquivo", L"").get());
    add(arquivo.get(), L"&Novo", L"mnuNovo", L"Ctrl+N");
    add(arquivo.get(), L"A&brir", L"mnuAbrir", L"F2")->put_Habilitado(VARIANT_FALSE);
    add(arquivo.get(), L"&Salvar", L"mnuSalvar", L"Shift+F3")->put_Visivel(VARIANT_FALSE);
    add(arquivo.get(), L"&Copia", L"mnuCopia", L"Ctrl+N");
    ComPtr<MenuItem> editar = add(tree.get(), L"&Editar", L"mnuEditar", L"");
    editar->put_Habilitado(VARIANT_FALSE);
    add(SubOf(editar.get()).get(), L"C&olar", L"mnuColar", L"F5");
    add(tree.get(), L"Aj&uda", L"mnuAjuda", L"F1");
    return tree;
}

// The keys of ShortcutTree on `form`, with the focus in an edit box on it: only the enabled
// entries on the bar fire, once each, and every other key reaches the box.
void ExpectShortcutsFire(HWND form, EventSink* sink) {
    std::vector<MenuEntry> bar = ReadMenu(GetMenu(form));
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[2].text, "Aj&uda\tF1");
    EXPECT_EQ(ReadMenu(bar[0].sub)[0].text, "&Novo\tCtrl+N");
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 60, 10, 120, 24, form,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    FocusOn(form, edit);
    const struct {
        std::initializer_list<WORD> keys;
        const wchar_t* fires;  // null: nothing
    } cases[] = {
        {{VK_CONTROL, 'N'}, L"mnuNovo"},  // the first of two entries with the key
        {{VK_F1}, L"mnuAjuda"},
        {{VK_F2}, nullptr},                      // disabled
        {{VK_SHIFT, VK_F3}, nullptr},            // hidden
        {{VK_F5}, nullptr},                      // inside a disabled submenu
        {{VK_CONTROL, VK_SHIFT, 'N'}, nullptr},  // no entry's key
    };
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        Tap(c.keys, true);
        if (c.fires) expected.push_back(c.fires);
        ASSERT_TRUE(sink->WaitClicks(expected.size())) << "after key " << *c.keys.begin();
    }
    EXPECT_EQ(sink->clicks, expected);
    Tap({'X'});  // typing still reaches the box
    Pump(200, [&] { return GetWindowTextLengthW(edit) > 0; });
    EXPECT_EQ(GetWindowTextLengthW(edit), 1);
    DestroyWindow(edit);
}

TEST_F(WindowProcTest, ShortcutsFireInTheAtlHostAndInAClassicDesignerWithFocusInAnEditBox) {
    {
        SCOPED_TRACE("ATL host");
        HostedForm f(ShortcutTree().get(), true, L"Form1", true);
        ASSERT_TRUE(f.control);
        ExpectShortcutsFire(f.form.hwnd(), f.sink.get());
    }
    {
        SCOPED_TRACE("classic designer");
        Form form;
        DesignerControl c(form.hwnd(), ShortcutTree().get(), true, true, L"mnuAtalhos", true);
        ExpectShortcutsFire(form.hwnd(), c.sink.get());
    }
}

TEST_F(WindowProcTest, ShortcutsAreEachLiveFormsOwnFollowARebuildAndNeedAtalhosAtivos) {
    HostedForm a(ShortcutTree().get(), true, L"FormA", true);
    HostedForm b(ShortcutTree().get(), true, L"FormB", true);
    HostedForm off(ShortcutTree().get(), true, L"FormC", false);
    ASSERT_TRUE(a.control && b.control && off.control);
    // B's Ajuda moves to F6: after the rebuild B answers F6 and no longer F1.
    ComPtr<MenuItem> ajuda_b = ItemAt(TreeOf(b.ctl.get()).get(), 3);
    ASSERT_EQ(ajuda_b->put_TeclaExtenso(Bstr(std::wstring_view(L"F6")).get()), S_OK);
    VARIANT r;
    ASSERT_EQ(b.ctl->ReExibirMenu(&r), S_OK) << TakeErrorText();
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
        ASSERT_EQ(GetFocus(), p.form->form.hwnd());
        Tap({p.key});
        EXPECT_TRUE(a.sink->WaitClicks(p.a));
        EXPECT_TRUE(b.sink->WaitClicks(p.b));
    }
    EXPECT_TRUE(off.sink->clicks.empty());
    // A key no entry of the focused form uses reaches the form itself.
    EXPECT_EQ(b.form.keys, std::vector<UINT>{VK_F1});
    EXPECT_EQ(a.form.keys, std::vector<UINT>{VK_F6});
    EXPECT_EQ(off.form.keys, std::vector<UINT>{VK_F1});
    // With AtalhosAtivos False the bar shows TextoMenu exactly.
    ComPtr<MenuItem> novo_off =
        ItemAt(SubOf(ItemAt(TreeOf(off.ctl.get()).get(), 1).get()).get(), 1);
    Bstr texto;
    ASSERT_EQ(novo_off->get_TextoMenu(texto.put()), S_OK);
    const std::vector<MenuEntry> sub = ReadMenu(ReadMenu(GetMenu(off.form.hwnd()))[0].sub);
    EXPECT_EQ(sub[0].text, tq::com::ToAnsi(texto.view()));

    // Released, the control's keys are its form's ordinary keys again.
    a.Release();
    FocusOn(a.form.hwnd(), a.form.hwnd());
    Tap({VK_F1});
    Pump(1000, [&] { return a.form.keys.size() > 1; });
    EXPECT_EQ(a.form.keys, (std::vector<UINT>{VK_F6, VK_F1}));
    EXPECT_EQ(a.sink->clicks.size(), 1u);
    // A form destroyed before its control leaves no shortcut behind for another form.
    auto doomed = std::make_unique<Form>(L"FormD");
    DesignerControl c(doomed->hwnd(), ShortcutTree().get(), true, true, L"mnuD", true);
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

#include "menu_bar.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tq/bib/persist.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/com/variant.h"
#include "tq/error.h"
#include "tq/shortcut.h"

namespace tq::ctl {

// The entry record handed to InsertMenuItemA: the ANSI MENUITEMINFO in its classic form,
// eleven fields ending with cch (no hbmpItem), which every version of Windows accepts.  On the
// 32-bit target that is eleven 32-bit fields, 44 bytes; on Win64 the handle and pointer fields
// are 64-bit.  It is the same layout as the head of the SDK's MENUITEMINFOA.
struct MenuItemRecord {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;
    UINT cch;
};
#ifdef _WIN64
static_assert(sizeof(MenuItemRecord) == 72);
#else
static_assert(sizeof(MenuItemRecord) == 44);
#endif
static_assert(offsetof(MenuItemRecord, wID) == offsetof(MENUITEMINFOA, wID));
static_assert(offsetof(MenuItemRecord, hSubMenu) == offsetof(MENUITEMINFOA, hSubMenu));
static_assert(offsetof(MenuItemRecord, dwTypeData) == offsetof(MENUITEMINFOA, dwTypeData));
static_assert(offsetof(MenuItemRecord, cch) == offsetof(MENUITEMINFOA, cch));

namespace {

using com::Check;
using com::ComPtr;

// fMask of every entry: state, identifier, type and data; an entry with children adds its popup.
constexpr UINT kMaskEntry = MIIM_STATE | MIIM_ID | MIIM_TYPE | MIIM_DATA;  // 51
constexpr UINT kMaskPopup = kMaskEntry | MIIM_SUBMENU;                     // 55
static_assert(kMaskEntry == 51 && kMaskPopup == 55);
static_assert(MFT_SEPARATOR == 0x800 && MF_GRAYED == 1);

// The entry at 1-based position i, asked of the level afresh on every use: nothing of the tree
// is cached, so a tree that changes under a call is read as it is now.
ComPtr<::MenuItem> Item(::MenuTree* level, short i) {
    com::Variant index;
    V_VT(&index) = VT_I2;
    V_I2(&index) = i;
    ComPtr<::MenuItem> item;
    Check(level->get_Item(index, item.put()));
    if (!item) throw tq::Error(E_POINTER, u"MenuTree.Item devolveu Nothing");
    return item;
}

short Count(::MenuTree* level) {
    short n = 0;
    Check(level->get_Count(&n));
    return n;
}

ComPtr<::MenuTree> SubMenu(::MenuItem* item) {
    ComPtr<::MenuTree> sub;
    Check(item->get_SubMenu(sub.put()));
    if (!sub) throw tq::Error(E_POINTER, u"MenuItem.SubMenu devolveu Nothing");
    return sub;
}

bool Visivel(::MenuItem* item) {
    VARIANT_BOOL v = VARIANT_FALSE;
    Check(item->get_Visivel(&v));
    return v != VARIANT_FALSE;
}

bool Habilitado(::MenuItem* item) {
    VARIANT_BOOL v = VARIANT_FALSE;
    Check(item->get_Habilitado(&v));
    return v != VARIANT_FALSE;
}

// The bar nests no deeper than a saved tree may (an entry of the bar itself is at depth 1):
// each level is a popup, and Windows handles deep chains of them badly.
constexpr size_t kMaxBarDepth = tq::bib::kMaxDepth;

// A tree deeper than kMaxBarDepth.  DefineMenu takes back what it added before throwing it.
class TooDeep final : public tq::Error {
  public:
    TooDeep()
        : tq::Error(tq::hr::kOverflow,
                    u"O menu tem mais níveis do que a barra de menus aceita (no máximo " +
                        tq::FromUtf8(std::to_string(kMaxBarDepth)) + u" níveis aninhados)") {}
};

}  // namespace

void MenuBar::ReExibirMenu(bool exibir) {
    if (!exibir) return;
    hnd_menu_ = LongFromMenu(GetMenu(owner_.HostWindow()));
    if (hnd_menu_ != 0) DestroyMenu(MenuFromLong(hnd_menu_));
    MontarMenu();
}

void MenuBar::MontarMenu() {
    // A fresh bar every time, attached before it is filled: an error while filling leaves the
    // bar attached as far as it was built.  The old bar is gone, and its identifiers with it.
    ids_.NovaBarra();
    shortcuts_ = ShortcutTable();
    hnd_menu_ = LongFromMenu(CreateMenu());
    shortcuts_.SetBar(MenuFromLong(hnd_menu_));
    SetMenu(owner_.HostWindow(), MenuFromLong(hnd_menu_));
    ComPtr<::MenuTree> tree = owner_.Tree();
    if (Count(tree.get()) == 0) {
        const std::wstring nome = owner_.ControlName();
        CriarItemMenu(hnd_menu_, nome, true, false);
    }
    try {
        DefineMenu(tree.get(), hnd_menu_);
    } catch (const TooDeep&) {
        // No bar at all rather than a part of one.
        SetMenu(owner_.HostWindow(), nullptr);
        DestroyMenu(MenuFromLong(hnd_menu_));
        hnd_menu_ = 0;
        DrawMenuBar(owner_.HostWindow());
        throw;
    }
    DrawMenuBar(owner_.HostWindow());
}

void MenuBar::DefineMenu(::MenuTree* level, LONG hnd_pai) {
    if (!level) throw tq::Error(tq::hr::kObjectRequired, u"DefineMenu precisa de um MenuTree");
    // Depth first, each entry before its children and its children before its next sibling.
    // The walk keeps its own stack, so a deep tree cannot exhaust the thread's stack.
    struct Frame {
        ComPtr<::MenuTree> level;
        LONG hnd_pai;
        short count;  // read once, when the level's loop starts
        short i;
        bool enabled;  // every entry above the level is enabled
    };
    std::vector<Frame> stack;
    stack.push_back({ComPtr<::MenuTree>(level), hnd_pai, Count(level), 0, true});
    const int appended_from = GetMenuItemCount(MenuFromLong(hnd_pai));
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i >= f.count) {  // a Count of 0 or less adds nothing
            stack.pop_back();
            continue;
        }
        const short i = ++f.i;
        ::MenuTree* lv = f.level.get();
        // Each property below is read through a fresh Item(i), as the tree may change under a
        // call.  Holding one reference meanwhile lets the library answer every call with the
        // same object instead of making and dropping one per call.
        const ComPtr<::MenuItem> pin = Item(lv, i);
        if (!Visivel(Item(lv, i).get())) continue;

        com::Bstr texto_menu;
        Check(Item(lv, i)->get_TextoMenu(texto_menu.put()));
        const bool habilitado = Habilitado(Item(lv, i).get());
        const ComPtr<::MenuTree> sub_pin = SubMenu(Item(lv, i).get());
        const bool tem_filhos = Count(sub_pin.get()) > 0;
        // With shortcuts on, a leaf with a TeclaExtenso shows it in the shortcut column.
        com::Bstr tecla;
        if (atalhos_ && !tem_filhos) Check(Item(lv, i)->get_TeclaExtenso(tecla.put()));
        std::wstring texto(texto_menu.view());
        if (!tecla.view().empty()) {
            com::Bstr caption;
            Check(Item(lv, i)->get_Caption(caption.put()));
            texto.assign(caption.view()).append(L"\t").append(tecla.view());
        }
        if (tem_filhos && stack.size() >= kMaxBarDepth) {
            // Too deep: take back every entry added to `hnd_pai` (with its popups) and refuse.
            HMENU target = MenuFromLong(hnd_pai);
            for (int n = GetMenuItemCount(target); n > appended_from && n > 0; --n)
                DeleteMenu(target, static_cast<UINT>(n - 1), MF_BYPOSITION);
            throw TooDeep();
        }

        const LONG r = CriarItemMenu(f.hnd_pai, texto, habilitado, tem_filhos);
        Check(Item(lv, i)->put_HndMenu(r));
        const bool enabled = f.enabled && habilitado;
        if (!tem_filhos && r != 0 && enabled && (texto.empty() || texto.front() != L'-')) {
            if (const std::optional<Shortcut> key = ParseShortcut(com::AsPortable(tecla.view())))
                shortcuts_.Add(key->Code(), static_cast<UINT>(r), MenuFromLong(f.hnd_pai),
                               static_cast<UINT>(GetMenuItemCount(MenuFromLong(f.hnd_pai)) - 1));
        }

        ComPtr<::MenuTree> sub = SubMenu(Item(lv, i).get());
        const short sub_count = Count(sub.get());
        if (sub_count > 0) {
            LONG hnd = 0;
            Check(Item(lv, i)->get_HndMenu(&hnd));
            stack.push_back(
                {std::move(sub), hnd, sub_count, 0, enabled});  // `f` is not used after this
        }
    }
}

LONG MenuBar::CriarItemMenu(LONG hnd_pai, std::wstring_view texto, bool habilitado,
                            bool tem_filhos) {
    const LONG id = ids_.Proximo();

    // The text in the ANSI code page, converted in one pass into a buffer kept between calls.
    const int wide_len = static_cast<int>(texto.size());
    ansi_.resize(texto.size() * 4 + 1);
    const int n = wide_len == 0
                      ? 0
                      : WideCharToMultiByte(CP_ACP, 0, texto.data(), wide_len, ansi_.data(),
                                            static_cast<int>(ansi_.size() - 1), nullptr, nullptr);
    ansi_[static_cast<size_t>(n)] = '\0';
    MenuItemRecord mii{};  // zeroed: no check marks, bitmaps or item data
    mii.cbSize = sizeof(mii);
    mii.fMask = tem_filhos ? kMaskPopup : kMaskEntry;
    mii.fType = (!texto.empty() && texto.front() == L'-') ? MFT_SEPARATOR : MFT_STRING;
    mii.fState = habilitado ? MFS_ENABLED : MF_GRAYED;
    mii.wID = static_cast<UINT>(id);
    HMENU popup = tem_filhos ? CreatePopupMenu() : nullptr;
    mii.hSubMenu = popup;
    mii.dwTypeData = ansi_.data();
    mii.cch = 0;
    // By identifier (FALSE): no entry carries the new identifier yet, so Windows appends.
    if (!InsertMenuItemA(MenuFromLong(hnd_pai), static_cast<UINT>(id), FALSE,
                         reinterpret_cast<const MENUITEMINFOA*>(&mii))) {
        if (popup) DestroyMenu(popup);  // attached to nothing: it would only leak
        return 0;
    }
    return tem_filhos ? LongFromMenu(popup) : id;
}

void MenuBar::ReloadDefault() {
    RecarregarPadrao(owner_.Tree().get());
}

void MenuBar::RecarregarPadrao(::MenuTree* level) {
    // Depth first like DefineMenu: an entry, then its children, then its next sibling.
    struct Frame {
        ComPtr<::MenuTree> level;
        short count;
        short i;
    };
    std::vector<Frame> stack;
    stack.push_back({ComPtr<::MenuTree>(level), Count(level), 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i >= f.count) {
            stack.pop_back();
            continue;
        }
        ComPtr<::MenuItem> item = Item(f.level.get(), ++f.i);
        VARIANT_BOOL padrao = VARIANT_FALSE;
        Check(item->get_HabilitadoDefault(&padrao));
        Check(item->put_Habilitado(padrao));
        ComPtr<::MenuTree> sub = SubMenu(item.get());
        const short n = Count(sub.get());
        if (n > 0) stack.push_back({std::move(sub), n, 0});
    }
}

}  // namespace tq::ctl

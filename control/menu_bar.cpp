#include "menu_bar.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tq/bib/com_menu_level.h"
#include "tq/bib/persist.h"
#include "tq/com/strings.h"
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

// fMask of every entry: state, identifier, type and data; an entry with children adds its popup.
constexpr UINT kMaskEntry = MIIM_STATE | MIIM_ID | MIIM_TYPE | MIIM_DATA;  // 51
constexpr UINT kMaskPopup = kMaskEntry | MIIM_SUBMENU;                     // 55
static_assert(kMaskEntry == 51 && kMaskPopup == 55);
static_assert(MFT_SEPARATOR == 0x800 && MF_GRAYED == 1);

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
    std::unique_ptr<bib::IMenuLevel> tree = bib::WrapComMenuTree(owner_.Tree());
    if (tree->Count() == 0) {
        const std::wstring nome = owner_.ControlName();
        CriarItemMenu(hnd_menu_, nome, true, false);
    }
    try {
        Define(std::move(tree), hnd_menu_);
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
    if (!level)
        throw tq::Error(static_cast<int32_t>(0x800A01A8), u"DefineMenu precisa de um MenuTree");
    Define(bib::WrapComMenuTree(com::ComPtr<::MenuTree>(level)), hnd_pai);
}

void MenuBar::Define(std::unique_ptr<bib::IMenuLevel> level, LONG hnd_pai) {
    // Depth first, each entry before its children and its children before its next sibling.
    // The walk keeps its own stack, so a deep tree cannot exhaust the thread's stack.
    std::vector<Frame> stack;
    const int32_t count = level->Count();
    stack.push_back({std::move(level), hnd_pai, count, 0, true});
    const int appended_from = GetMenuItemCount(MenuFromLong(hnd_pai));
    try {
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.i >= f.count) {  // a Count of 0 or less adds nothing
                stack.pop_back();
                continue;
            }
            ++f.i;
            if (std::optional<Frame> below = DefineEntry(f, stack.size()))
                stack.push_back(std::move(*below));  // `f` is not used after this
        }
    } catch (const TooDeep&) {
        // Take back every entry added to `hnd_pai` (with its popups) before refusing.
        HMENU target = MenuFromLong(hnd_pai);
        for (int n = GetMenuItemCount(target); n > appended_from && n > 0; --n)
            DeleteMenu(target, static_cast<UINT>(n - 1), MF_BYPOSITION);
        throw;
    }
}

std::optional<MenuBar::Frame> MenuBar::DefineEntry(const Frame& f, size_t depth) {
    // Each property below is read through a fresh Item(i), as the tree may change under a
    // call.  Holding one entry meanwhile lets the library answer every call with the same
    // object instead of making and dropping one per call.
    bib::IMenuLevel& lv = *f.level;
    const int32_t i = f.i;
    const std::unique_ptr<bib::IMenuEntry> pin = lv.Item(i);
    if (!lv.Item(i)->Visivel()) return std::nullopt;

    std::wstring texto(com::AsWide(lv.Item(i)->TextoMenu()));
    const bool habilitado = lv.Item(i)->Habilitado();
    const bool tem_filhos = lv.Item(i)->SubMenu()->Count() > 0;
    // With shortcuts on, a leaf with a TeclaExtenso shows it in the shortcut column.
    String tecla;
    if (atalhos_ && !tem_filhos) tecla = lv.Item(i)->TeclaExtenso();
    if (!tecla.empty())
        texto.assign(com::AsWide(lv.Item(i)->Caption())).append(L"\t").append(com::AsWide(tecla));
    if (tem_filhos && depth >= kMaxBarDepth) throw TooDeep();

    const LONG r = CriarItemMenu(f.hnd_pai, texto, habilitado, tem_filhos);
    lv.Item(i)->SetHndMenu(r);
    const bool enabled = f.enabled && habilitado;
    if (!tem_filhos && r != 0 && enabled && (texto.empty() || texto.front() != L'-')) {
        if (const std::optional<Shortcut> key = ParseShortcut(tecla))
            shortcuts_.Add(key->Code(), static_cast<UINT>(r), MenuFromLong(f.hnd_pai),
                           static_cast<UINT>(GetMenuItemCount(MenuFromLong(f.hnd_pai)) - 1));
    }

    std::unique_ptr<bib::IMenuLevel> sub = lv.Item(i)->SubMenu();
    const int32_t sub_count = sub->Count();
    if (sub_count <= 0) return std::nullopt;
    return Frame{std::move(sub), lv.Item(i)->HndMenu(), sub_count, 0, enabled};
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
    // Depth first like Define: an entry, then its children, then its next sibling.
    struct Level {
        std::unique_ptr<bib::IMenuLevel> level;
        int32_t count;
        int32_t i;
    };
    std::vector<Level> stack;
    std::unique_ptr<bib::IMenuLevel> tree = bib::WrapComMenuTree(owner_.Tree());
    const int32_t count = tree->Count();
    stack.push_back({std::move(tree), count, 0});
    while (!stack.empty()) {
        Level& f = stack.back();
        if (f.i >= f.count) {
            stack.pop_back();
            continue;
        }
        const std::unique_ptr<bib::IMenuEntry> item = f.level->Item(++f.i);
        item->SetHabilitado(item->HabilitadoDefault());
        std::unique_ptr<bib::IMenuLevel> sub = item->SubMenu();
        const int32_t n = sub->Count();
        if (n > 0) stack.push_back({std::move(sub), n, 0});
    }
}

}  // namespace tq::ctl

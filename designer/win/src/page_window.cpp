#include "tq/designer/win/page_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "page_icons.h"
#include "tq/com/error_info.h"
#include "tq/com/strings.h"
#include "tq/designer/errors.h"
#include "tq/error.h"

namespace tq::designer::win {

// One control of the form: where it goes, how it is made.
struct ControlSpec {
    Control control;
    Control container;  // Control::None: the page itself
    const wchar_t* cls;
    DWORD style;
    DWORD ex_style;
    const wchar_t* text;
    int x, y, w, h;  // twips, relative to the container
};

namespace {

using com::AsPortable;
using com::AsWide;

// Caption: the menu text; a hundred characters is longer than any menu can show.  Nome and
// Descricao: what the item field record holds.
constexpr int kMaxCaption = 100;
constexpr int kMaxNome = 50;
constexpr int kMaxDescricao = 50;

constexpr UINT_PTR kSubclassId = 0x7451;

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;
constexpr DWORD kCheck = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kEdit = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kFrame = WS_CHILD | WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS;

// In creation order, which is the tab order: the page's own controls, then the edit frame with
// its fields (the shortcut frame in the middle of them).  Each label comes just after its box,
// below it: a label is taller than the gap above its box and must not paint over its border.
const ControlSpec kSpecs[] = {
    {Control::btnIncluir, Control::None, WC_BUTTONW, kButton | BS_ICON, 0, L"", 75, 90, 345, 345},
    {Control::btnAlterar, Control::None, WC_BUTTONW, kButton | BS_ICON, 0, L"", 450, 90, 345, 345},
    {Control::btnExcluir, Control::None, WC_BUTTONW, kButton | BS_ICON, 0, L"", 825, 90, 345, 345},
    {Control::btnSobe, Control::None, WC_BUTTONW, kButton, 0, L"5", 3075, 45, 255, 210},
    {Control::btnDesce, Control::None, WC_BUTTONW, kButton, 0, L"6", 3075, 240, 255, 210},
    {Control::btnScript, Control::None, WC_BUTTONW, kButton, 0, L"Gera Script", 6660, 90, 1110,
     345},
    {Control::trvMenu, Control::None, WC_TREEVIEWW,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
         TVS_SHOWSELALWAYS,
     WS_EX_CLIENTEDGE, L"", 75, 465, 3270, 3960},
    {Control::lstMenu, Control::None, WC_LISTVIEWW,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
         LVS_NOSORTHEADER,
     WS_EX_CLIENTEDGE, L"", 3390, 465, 4395, 3960},
    {Control::fraObjetos, Control::None, WC_BUTTONW, kFrame, WS_EX_CONTROLPARENT, L"", 90, 4410,
     7680, 1290},
    {Control::txtCaption, Control::fraObjetos, WC_EDITW, kEdit, WS_EX_CLIENTEDGE, L"", 75, 330,
     2340, 315},
    {Control::lblCaption, Control::fraObjetos, WC_STATICW, kLabel, 0, L"Caption", 75, 135, 1545,
     240},
    {Control::txtNome, Control::fraObjetos, WC_EDITW, kEdit, WS_EX_CLIENTEDGE, L"", 2490, 330, 1650,
     315},
    {Control::lblNome, Control::fraObjetos, WC_STATICW, kLabel, 0, L"Nome", 2490, 135, 1545, 240},
    {Control::txtDescricao, Control::fraObjetos, WC_EDITW, kEdit, WS_EX_CLIENTEDGE, L"", 75, 870,
     4065, 315},
    {Control::lblDescricao, Control::fraObjetos, WC_STATICW, kLabel, 0, L"Descrição", 75, 675, 1545,
     240},
    {Control::chkConsulta, Control::fraObjetos, WC_BUTTONW, kCheck, 0, L"Consulta", 4275, 315, 945,
     225},
    {Control::fraAtalho, Control::fraObjetos, WC_BUTTONW, kFrame, WS_EX_CONTROLPARENT, L"Atalho",
     5400, 225, 1305, 960},
    {Control::chkCtrl, Control::fraAtalho, WC_BUTTONW, kCheck, 0, L"Ctrl", 60, 255, 525, 225},
    {Control::chkShift, Control::fraAtalho, WC_BUTTONW, kCheck, 0, L"Shift", 660, 255, 615, 225},
    {Control::cmbTeclaAcesso, Control::fraAtalho, WC_COMBOBOXW,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, L"", 45, 585, 1215,
     315},
    {Control::chkVisible, Control::fraObjetos, WC_BUTTONW, kCheck, 0, L"Visible", 6720, 300, 930,
     225},
    {Control::chkEnabled, Control::fraObjetos, WC_BUTTONW, kCheck, 0, L"Enabled", 6720, 570, 885,
     225},
    {Control::btnConfirma, Control::fraObjetos, WC_BUTTONW, kButton | BS_ICON, 0, L"", 7215, 855,
     315, 315},
};

// The text box a label names (it sits below the label), or null for any other control.
const ControlSpec* LabelledBox(Control label) {
    const Control box = label == Control::lblCaption     ? Control::txtCaption
                        : label == Control::lblNome      ? Control::txtNome
                        : label == Control::lblDescricao ? Control::txtDescricao
                                                         : Control::None;
    for (const ControlSpec& s : kSpecs)
        if (box != Control::None && s.control == box) return &s;
    return nullptr;
}

HINSTANCE ThisModule() {
    HMODULE m = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &m);
    return m;
}

int Dpi() {
    static const int dpi = [] {
        HDC dc = GetDC(nullptr);
        const int d = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

std::wstring WindowText(HWND h) {
    const int n = GetWindowTextLengthW(h);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(h, s.data(), n + 1)));
    return s;
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFont(const wchar_t* face) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &lf, FontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

COLORREF OleColor(uint32_t ole) {
    // An OLE colour with the high bit set names a system colour by its index.
    if (ole & 0x80000000u) return GetSysColor(static_cast<int>(ole & 0xFFu));
    return static_cast<COLORREF>(ole & 0xFFFFFFu);
}

// The shift state of a key event as the page's key handlers take it: 1 Shift, 2 Ctrl, 4 Alt.
int16_t ShiftState() {
    int16_t s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= 1;
    if (GetKeyState(VK_CONTROL) < 0) s |= 2;
    if (GetKeyState(VK_MENU) < 0) s |= 4;
    return s;
}

// The handler of a command button's click; null for any other control.
void (PageModel::*ClickHandler(Control c))() {
    switch (c) {
        case Control::btnIncluir:
            return &PageModel::btnIncluir_Click;
        case Control::btnAlterar:
            return &PageModel::btnAlterar_Click;
        case Control::btnExcluir:
            return &PageModel::btnExcluir_Click;
        case Control::btnSobe:
            return &PageModel::btnSobe_Click;
        case Control::btnDesce:
            return &PageModel::btnDesce_Click;
        case Control::btnScript:
            return &PageModel::btnScript_Click;
        case Control::btnConfirma:
            return &PageModel::btnConfirma_Click;
        default:
            return nullptr;
    }
}

}  // namespace

int TwipsToPixels(int twips) {
    return MulDiv(twips, Dpi(), 1440);
}

SIZE PageSizePixels() {
    return {TwipsToPixels(kPageWidthTwips), TwipsToPixels(kPageHeightTwips)};
}

PageWindow::PageWindow(IPageHost& host)
    : host_(host), model_(&host, static_cast<IPageView*>(this)) {}

PageWindow::~PageWindow() {
    Destroy();
}

// ---- Window creation -----------------------------------------------------------------------

void PageWindow::Create(HWND parent, const RECT& rect) {
    if (hwnd_) return;
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(ThisModule(), kPageWindowClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &PageWindow::PageProc;
        wc.hInstance = ThisModule();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kPageWindowClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Error(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                        u"RegisterClassEx falhou");
    }
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPageWindowClass, L"Principal",
                            WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                            ThisModule(), this);
    if (!hwnd_)
        throw Error(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                    u"CreateWindowEx falhou");
    try {
        CreateControls();
        SyncAll();
    } catch (...) {
        Destroy();
        throw;
    }
}

void PageWindow::CreateControls() {
    font_ = MessageFont();
    HFONT font = font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    CreatePictures();
    for (const ControlSpec& s : kSpecs) CreateControl(s, font);

    const std::pair<Control, int> pictures[] = {{Control::btnIncluir, 0},
                                                {Control::btnAlterar, 1},
                                                {Control::btnExcluir, 2},
                                                {Control::btnConfirma, 3}};
    for (auto [c, i] : pictures)
        SendMessageW(Handle(c), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icons_[i]));

    SendMessageW(Handle(Control::txtCaption), EM_LIMITTEXT, kMaxCaption, 0);
    SendMessageW(Handle(Control::txtNome), EM_LIMITTEXT, kMaxNome, 0);
    SendMessageW(Handle(Control::txtDescricao), EM_LIMITTEXT, kMaxDescricao, 0);

    SetWindowSubclass(Handle(Control::trvMenu), &PageWindow::TreeProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(Handle(Control::cmbTeclaAcesso), &PageWindow::ComboProc, kSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    AddListColumns();
}

void PageWindow::CreatePictures() {
    // The arrows are "5" and "6" in Webdings 8.25 pt; without that font the buttons draw them.
    if (HasFont(L"Webdings")) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(825, Dpi(), 7200);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = SYMBOL_CHARSET;
        lstrcpynW(lf.lfFaceName, L"Webdings", LF_FACESIZE);
        arrow_font_ = CreateFontIndirectW(&lf);
    }
    draws_arrows_ = arrow_font_ == nullptr;

    // The pictures are 16x16 at 96 DPI and grow with it.
    const int icon = MulDiv(16, Dpi(), 96);
    icons_[0] = MakePageIcon(PageIcon::FolhaEmBranco, icon);
    icons_[1] = MakePageIcon(PageIcon::PastaAberta, icon);
    icons_[2] = MakePageIcon(PageIcon::Cruz, icon);
    icons_[3] = MakePageIcon(PageIcon::Confirma, icon);
}

void PageWindow::CreateControl(const ControlSpec& s, HFONT font) {
    HWND parent = s.container == Control::None ? hwnd_ : Handle(s.container);
    DWORD style = s.style;
    const bool arrow = s.control == Control::btnSobe || s.control == Control::btnDesce;
    if (arrow && draws_arrows_) style = (style & ~BS_TYPEMASK) | BS_OWNERDRAW;
    int h = TwipsToPixels(s.h);
    if (s.control == Control::cmbTeclaAcesso) h += TwipsToPixels(3000);  // the drop-down
    HWND c = CreateWindowExW(s.ex_style, s.cls, s.text, style, TwipsToPixels(s.x),
                             TwipsToPixels(s.y), TwipsToPixels(s.w), h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(s.control))),
                             ThisModule(), nullptr);
    if (!c)
        throw Error(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                    u"CreateWindowEx falhou");
    controls_[static_cast<int>(s.control)] = c;
    // A label's text must end above the box it names, which its window reaches into.
    int height = h;
    if (const ControlSpec* box = LabelledBox(s.control))
        height = TwipsToPixels(box->y) - TwipsToPixels(s.y);
    SendMessageW(c, WM_SETFONT,
                 reinterpret_cast<WPARAM>(
                     arrow && arrow_font_ ? arrow_font_ : FittingFont(c, s.control, font, height)),
                 FALSE);
    if (s.control == Control::fraObjetos || s.control == Control::fraAtalho)
        SetWindowSubclass(c, &PageWindow::FrameProc, kSubclassId,
                          reinterpret_cast<DWORD_PTR>(this));
}

void PageWindow::AddListColumns() {
    HWND lst = Handle(Control::lstMenu);
    ListView_SetExtendedListViewStyle(lst, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (size_t i = 0; i < kListColumns.size(); ++i) {
        std::wstring text(AsWide(kListColumns[i].Text));
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = text.data();
        col.cx = TwipsToPixels(kListColumns[i].Width);
        col.iSubItem = static_cast<int>(i);
        SendMessageW(lst, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
}

HFONT PageWindow::MessageFont() {
    // Asked for the page's DPI where Windows can say: a process that is not DPI aware is told
    // the 96-DPI size otherwise, which would leave the text small in a page laid out larger.
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi");
    auto for_dpi = reinterpret_cast<ForDpi>(reinterpret_cast<void (*)()>(proc));
    if (for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0, static_cast<UINT>(Dpi())))
        return CreateFontIndirectW(&ncm.lfMessageFont);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        return CreateFontIndirectW(&ncm.lfMessageFont);
    return nullptr;
}

HFONT PageWindow::FittingFont(HWND control, Control c, HFONT font, int height) {
    const bool check = model_.form().CheckBoxOf(c) != nullptr;
    const bool label =
        c == Control::lblCaption || c == Control::lblNome || c == Control::lblDescricao;
    if (!check && !label && c != Control::btnScript && c != Control::fraAtalho) return font;
    const std::wstring text = WindowText(control);
    RECT r{};
    GetClientRect(control, &r);
    HDC dc = GetDC(control);
    if (!dc || text.empty()) {
        if (dc) ReleaseDC(control, dc);
        return font;
    }
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    HFONT fitted = font;
    const int smallest = std::abs(lf.lfHeight) * 3 / 4;
    for (;;) {
        HGDIOBJ old = SelectObject(dc, fitted);
        // The room a caption has: a check box draws its box (12 pixels at 96 DPI, and one more)
        // and half a digit's width of space before the text, and a disabled one its text a
        // pixel to the right once more (embossed); a push button keeps its border and
        // focus rectangle (4 pixels at 96 DPI) on each side, a group box 7 pixels.
        int room = r.right - r.left;
        if (check) {
            int zero = 0;
            GetCharWidth32W(dc, L'0', L'0', &zero);
            room -= MulDiv(12, Dpi(), 96) + 1 + zero / 2 + 1;
        } else if (!label) {
            room -= 2 * MulDiv(c == Control::btnScript ? 4 : 7, Dpi(), 96);
        }
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        const bool fits = size.cx <= room && (!label || tm.tmHeight <= height);
        if (fits || std::abs(lf.lfHeight) <= smallest) break;
        lf.lfHeight += lf.lfHeight < 0 ? 1 : -1;  // one pixel smaller
        HFONT smaller = CreateFontIndirectW(&lf);
        if (!smaller) break;
        if (fitted != font) {
            DeleteObject(fitted);
            fitted_fonts_.pop_back();
        }
        fitted = smaller;
        fitted_fonts_.push_back(smaller);
    }
    ReleaseDC(control, dc);
    return fitted;
}

void PageWindow::Destroy() {
    if (hwnd_) {
        HWND h = hwnd_;
        ++updating_;
        DestroyWindow(h);  // WM_NCDESTROY clears hwnd_
        --updating_;
        hwnd_ = nullptr;
    }
    // Given back with the last page window, so that a module unloaded and loaded again never
    // finds its class pointing into the old copy.
    UnregisterClassW(kPageWindowClass, ThisModule());
    controls_.clear();
    items_.clear();
    for (HICON& i : icons_)
        if (i) DestroyIcon(std::exchange(i, nullptr));
    if (font_) DeleteObject(std::exchange(font_, nullptr));
    for (HFONT f : fitted_fonts_) DeleteObject(f);
    fitted_fonts_.clear();
    if (arrow_font_) DeleteObject(std::exchange(arrow_font_, nullptr));
}

HWND PageWindow::Handle(Control c) const {
    const auto it = controls_.find(static_cast<int>(c));
    return it == controls_.end() ? nullptr : it->second;
}

Control PageWindow::ControlOf(HWND h) const {
    if (!h) return Control::None;
    for (const auto& [c, w] : controls_)
        if (w == h) return static_cast<Control>(c);
    return Control::None;
}

// ---- Mirroring the model -------------------------------------------------------------------

void PageWindow::SyncAll() {
    ++updating_;
    HWND trv = Handle(Control::trvMenu);
    TreeView_DeleteAllItems(trv);
    items_.clear();
    // Parents before children: walk the tree depth first.
    std::vector<const Node*> pending;
    for (const Node* n = model_.trvMenu().FirstTop(); n; n = n->Next()) pending.push_back(n);
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        AddTreeItem(*n);
        std::vector<const Node*> kids;
        for (const Node* c = n->Child(); c; c = c->Next()) kids.push_back(c);
        pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    --updating_;
    for (const auto& [n, item] : items_)
        if (n->Expanded()) OnNodeChanged(*n, NodeField::Expanded);
    OnSelectionChanged(model_.trvMenu().SelectedItem());
    for (const ControlSpec& s : kSpecs) OnControlChanged(s.control);
}

void PageWindow::AddTreeItem(const Node& node) {
    HWND trv = Handle(Control::trvMenu);
    if (!trv) return;
    HTREEITEM parent = TVI_ROOT;
    if (const Node* p = node.Parent()) {
        const auto it = items_.find(p);
        if (it == items_.end()) return;
        parent = it->second;
    }
    HTREEITEM after = TVI_FIRST;
    if (const Node* prev = node.Previous()) {
        const auto it = items_.find(prev);
        after = it == items_.end() ? TVI_LAST : it->second;
    }
    std::wstring text(AsWide(node.Text()));
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = text.data();
    ins.item.lParam = reinterpret_cast<LPARAM>(&node);
    ins.item.stateMask = TVIS_BOLD;
    ins.item.state = node.Bold() ? TVIS_BOLD : 0;
    ++updating_;
    auto* item = reinterpret_cast<HTREEITEM>(
        SendMessageW(trv, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    --updating_;
    if (!item) throw Error(static_cast<int32_t>(E_FAIL), u"TreeView: item não inserido");
    items_[&node] = item;
    // A parent the model already shows expanded opens as soon as it has a child to show.
    if (const Node* p = node.Parent(); p && p->Expanded()) {
        ++updating_;
        TreeView_Expand(trv, parent, TVE_EXPAND);
        --updating_;
    }
}

void PageWindow::OnNodeAdded(const Node& node) {
    AddTreeItem(node);
}

void PageWindow::OnNodeRemoving(const Node& node) {
    const auto it = items_.find(&node);
    if (it == items_.end()) return;
    HTREEITEM item = it->second;
    std::vector<const Node*> pending{&node};
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        items_.erase(n);
        for (const Node* c = n->Child(); c; c = c->Next()) pending.push_back(c);
    }
    ++updating_;
    TreeView_DeleteItem(Handle(Control::trvMenu), item);
    --updating_;
}

void PageWindow::OnNodeChanged(const Node& node, NodeField field) {
    const auto it = items_.find(&node);
    if (it == items_.end()) return;
    HWND trv = Handle(Control::trvMenu);
    ++updating_;
    switch (field) {
        case NodeField::Text: {
            std::wstring text(AsWide(node.Text()));
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem = it->second;
            item.pszText = text.data();
            SendMessageW(trv, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            break;
        }
        case NodeField::Bold: {
            TVITEMW item{};
            item.mask = TVIF_STATE;
            item.hItem = it->second;
            item.stateMask = TVIS_BOLD;
            item.state = node.Bold() ? TVIS_BOLD : 0;
            SendMessageW(trv, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        } break;
        case NodeField::Checked:
        case NodeField::Tag: {
            // Checked shows as the text colour (custom draw); redraw the item.
            RECT r;
            if (TreeView_GetItemRect(trv, it->second, &r, FALSE)) InvalidateRect(trv, &r, TRUE);
            break;
        }
        case NodeField::Expanded:
            TreeView_Expand(trv, it->second, node.Expanded() ? TVE_EXPAND : TVE_COLLAPSE);
            break;
    }
    --updating_;
}

void PageWindow::OnTreeCleared() {
    items_.clear();
    ++updating_;
    if (HWND trv = Handle(Control::trvMenu)) TreeView_DeleteAllItems(trv);
    --updating_;
}

void PageWindow::OnSelectionChanged(const Node* selected) {
    HWND trv = Handle(Control::trvMenu);
    if (!trv) return;
    HTREEITEM item = nullptr;
    if (selected) {
        const auto it = items_.find(selected);
        if (it != items_.end()) item = it->second;
    }
    ++updating_;
    TreeView_SelectItem(trv, item);
    --updating_;
}

void PageWindow::FillList() {
    HWND lst = Handle(Control::lstMenu);
    ListView_DeleteAllItems(lst);
    const auto& rows = model_.form().lstMenu.Rows;
    for (size_t r = 0; r < rows.size(); ++r) {
        std::wstring text(AsWide(rows[r].Columns[0]));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(r);
        item.pszText = text.data();
        const auto at = SendMessageW(lst, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int c = 1; c < 6; ++c) {
            std::wstring sub(AsWide(rows[r].Columns[static_cast<size_t>(c)]));
            LVITEMW si{};
            si.iSubItem = c;
            si.pszText = sub.data();
            SendMessageW(lst, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                         reinterpret_cast<LPARAM>(&si));
        }
    }
}

void PageWindow::FillKeys() {
    HWND cmb = Handle(Control::cmbTeclaAcesso);
    const ComboBox& box = model_.form().cmbTeclaAcesso;
    const auto n = static_cast<size_t>(SendMessageW(cmb, CB_GETCOUNT, 0, 0));
    bool same = n == box.List.size();
    std::wstring buf;
    for (size_t i = 0; same && i < n; ++i) {
        const auto len = SendMessageW(cmb, CB_GETLBTEXTLEN, i, 0);
        buf.assign(static_cast<size_t>(len < 0 ? 0 : len) + 1, L'\0');
        SendMessageW(cmb, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(static_cast<size_t>(len < 0 ? 0 : len));
        same = buf == AsWide(box.List[i]);
    }
    if (!same) {
        SendMessageW(cmb, CB_RESETCONTENT, 0, 0);
        for (const String& s : box.List) {
            std::wstring w(AsWide(s));
            SendMessageW(cmb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
        }
    }
    SendMessageW(cmb, CB_SETCURSEL, static_cast<WPARAM>(box.ListIndex), 0);
}

void PageWindow::OnControlChanged(Control c) {
    HWND h = Handle(c);
    if (!h) return;
    const Form& f = model_.form();
    ++updating_;
    if (const bool* enabled = f.EnabledFlag(c)) EnableWindow(h, *enabled);
    if (const TextBox* t = f.TextBoxOf(c)) {
        const std::wstring text(AsWide(t->Text));
        if (WindowText(h) != text) SetWindowTextW(h, text.c_str());
    } else if (const CheckBox* k = f.CheckBoxOf(c)) {
        SendMessageW(h, BM_SETCHECK, static_cast<WPARAM>(k->Value), 0);
    } else if (c == Control::lblCaption || c == Control::lblNome || c == Control::lblDescricao) {
        InvalidateRect(h, nullptr, TRUE);
    } else if (c == Control::cmbTeclaAcesso) {
        FillKeys();
    } else if (c == Control::lstMenu) {
        FillList();
    }
    --updating_;
}

void PageWindow::OnFocusMoved(Control c) {
    if (HWND h = Handle(c)) SetFocus(h);
}

// ---- Errors ----------------------------------------------------------------------------------

void PageWindow::ShowError(const String& text) {
    host_.MsgBox(text, kStyleWarning, u"tqMenuProperty");
}

template <class F>
void PageWindow::Safely(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        ShowError(e.message());
    } catch (const com::ComFailure& e) {
        // The callee's own text when it left one, else the bare error number.
        const String text(com::AsPortable(com::ErrorText(e.info())));
        ShowError(text.empty()
                      ? u"Erro " + FromUtf8(std::to_string(static_cast<unsigned long>(e.hr())))
                      : text);
    } catch (const std::exception& e) {
        ShowError(FromUtf8(e.what()));
    }
}

// ---- Keyboard --------------------------------------------------------------------------------

bool PageWindow::TranslateAccelerator(const MSG& msg) {
    if (!hwnd_ || msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    const bool back = GetKeyState(VK_SHIFT) < 0;
    HWND focus = GetFocus();
    if (focus != hwnd_ && !IsChild(hwnd_, focus)) return false;
    // The focused control may be a part of one (the edit of a combo box): take the control.
    while (focus && GetParent(focus) && ControlOf(focus) == Control::None && focus != hwnd_)
        focus = GetParent(focus);
    HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    HWND last = GetNextDlgTabItem(hwnd_, nullptr, TRUE);
    if ((!back && focus == last) || (back && focus == first)) return false;  // the frame's turn
    HWND next = GetNextDlgTabItem(hwnd_, focus == hwnd_ ? nullptr : focus, back);
    if (!next) return false;
    SetFocus(next);
    if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(next, EM_SETSEL, 0, -1);
    return true;
}

// ---- Window procedures -----------------------------------------------------------------------

LRESULT CALLBACK PageWindow::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = static_cast<PageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (self && self->hwnd_ == hwnd) self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (self && self->hwnd_ == hwnd) return self->WndProc(msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT PageWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
        case WM_DRAWITEM: {
            const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            const Control c = ControlOf(di->hwndItem);
            if (c == Control::btnSobe || c == Control::btnDesce) {
                DrawArrow(*di);
                return TRUE;
            }
            break;
        }
        case WM_STYLECHANGING:
            // Some frames clear WS_EX_CONTROLPARENT on their pages; without it the frame's
            // dialog manager would never tab into the page's controls.
            if (wp == static_cast<WPARAM>(GWL_EXSTYLE))
                reinterpret_cast<STYLESTRUCT*>(lp)->styleNew |= WS_EX_CONTROLPARENT;
            return 0;
        case WM_SETFOCUS:
            // The page itself takes no input: pass the focus on to its first control.
            if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK PageWindow::FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<PageWindow*>(data);
    switch (msg) {
        // A group box keeps nothing its children tell it: the page handles it all.
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (self->hwnd_) return SendMessageW(self->hwnd_, msg, wp, lp);
            break;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
            return TRUE;
        }
        case WM_STYLECHANGING:
            if (wp == static_cast<WPARAM>(GWL_EXSTYLE))
                reinterpret_cast<STYLESTRUCT*>(lp)->styleNew |= WS_EX_CONTROLPARENT;
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, &PageWindow::FrameProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK PageWindow::TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR data) {
    auto* self = reinterpret_cast<PageWindow*>(data);
    switch (msg) {
        case WM_GETDLGCODE:
            if (lp) {
                // Ctrl+Enter changes the selected entry: keep it from the frame's default
                // button; Esc ends a drag rather than the frame's dialog.
                const auto* m = reinterpret_cast<const MSG*>(lp);
                if (m->message == WM_KEYDOWN &&
                    ((m->wParam == VK_RETURN && GetKeyState(VK_CONTROL) < 0) ||
                     (m->wParam == VK_ESCAPE && self->dragging_)))
                    return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTMESSAGE;
            }
            break;
        case WM_KEYDOWN:
            if (self->OnTreeKeyDown(wp)) return 0;
            break;
        case WM_SYSKEYDOWN:
            if (wp == VK_F10 && GetKeyState(VK_SHIFT) < 0 && !self->dragging_) {
                self->ShowTreeMenu(self->TreeMenuPoint());
                return 0;
            }
            break;
        case WM_CONTEXTMENU:
            if (lp == -1)
                self->ShowTreeMenu(self->TreeMenuPoint());
            else
                self->ShowTreeMenu(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            return 0;
        case WM_MOUSEMOVE:
            if (self->dragging_) {
                self->DragOver(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (self->dragging_) {
                self->EndDrag(true, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            if (self->dragging_ && reinterpret_cast<HWND>(lp) != hwnd) self->EndDrag(false, {});
            break;
        case WM_NCDESTROY:
            self->dragging_ = nullptr;
            RemoveWindowSubclass(hwnd, &PageWindow::TreeProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool PageWindow::OnTreeKeyDown(WPARAM wp) {
    if (dragging_) {
        if (wp == VK_ESCAPE) EndDrag(false, POINT{});
        return true;
    }
    if (updating_) return false;
    if (wp == VK_APPS) {
        ShowTreeMenu(TreeMenuPoint());
        return true;
    }
    // The new keys go to the page's key handler alone: the tree view would scroll on
    // Ctrl+Left and Ctrl+Right.
    if (GetKeyState(VK_CONTROL) < 0 &&
        (wp == VK_LEFT || wp == VK_RIGHT || wp == 'Z' || wp == 'Y')) {
        int16_t key = static_cast<int16_t>(wp);
        int16_t shift = ShiftState();
        Safely([&] { model_.trvMenu_KeyDown(key, shift); });
        return true;
    }
    return false;
}

LRESULT CALLBACK PageWindow::ComboProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<PageWindow*>(data);
    if (msg == WM_KEYDOWN && !self->updating_) {
        int16_t key = static_cast<int16_t>(wp);
        self->Safely([&] { self->model_.cmbTeclaAcesso_KeyDown(key, ShiftState()); });
        if (key == 0) return 0;
    } else if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &PageWindow::ComboProc, kSubclassId);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// ---- Events ------------------------------------------------------------------------------

void PageWindow::OnCommand(int id, int code, HWND ctl) {
    const Control c = ControlOf(ctl);
    if (c == Control::None || ControlId(c) != id || updating_) return;
    PageModel& m = model_;
    Safely([&] {
        if (ClickHandler(c)) {
            if (code == BN_SETFOCUS) {
                m.FocusChanged(c);
            } else if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
                // With BS_NOTIFY a second click in quick succession arrives as a double
                // click; a command button takes every click as a click.
                (m.*ClickHandler(c))();
            }
        } else if (model_.form().CheckBoxOf(c)) {
            if (code == BN_SETFOCUS)
                m.FocusChanged(c);
            else if (code == BN_CLICKED)
                m.SetCheck(c, static_cast<int16_t>(SendMessageW(ctl, BM_GETCHECK, 0, 0)));
        } else if (model_.form().TextBoxOf(c)) {
            if (code == EN_SETFOCUS) {
                m.FocusChanged(c);
            } else if (code == EN_CHANGE) {
                m.TypeText(c, String(AsPortable(WindowText(ctl))));
            } else if (code == EN_KILLFOCUS && c == Control::txtCaption) {
                // The focus left the page's controls (another window of the frame took it).
                HWND to = GetFocus();
                if (to != hwnd_ && (!to || !IsChild(hwnd_, to))) m.FocusChanged(Control::None);
            }
        } else if (c == Control::cmbTeclaAcesso) {
            if (code == CBN_SETFOCUS)
                m.FocusChanged(c);
            else if (code == CBN_SELCHANGE)
                m.ChooseKey(static_cast<int32_t>(SendMessageW(ctl, CB_GETCURSEL, 0, 0)));
        }
    });
}

LRESULT PageWindow::OnNotify(NMHDR* nm) {
    const Control c = ControlOf(nm->hwndFrom);
    if (c == Control::trvMenu && nm->code == NM_CUSTOMDRAW)
        return OnTreeCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(nm));
    if (updating_ || c == Control::None) return 0;
    PageModel& m = model_;
    if (c == Control::lstMenu) {
        if (nm->code == NM_SETFOCUS) Safely([&] { m.FocusChanged(c); });
        return 0;
    }
    if (c != Control::trvMenu) return 0;
    switch (nm->code) {
        case NM_SETFOCUS:
            Safely([&] { m.FocusChanged(c); });
            break;
        case TVN_SELCHANGEDW: {
            const auto* tv = reinterpret_cast<NMTREEVIEWW*>(nm);
            auto* node = reinterpret_cast<Node*>(tv->itemNew.lParam);
            if (!node || items_.find(node) == items_.end()) break;
            Safely([&] {
                m.SelectNode(*node);
                // Moving through the tree with the keys is a node click too; a mouse click
                // is reported by NM_CLICK.
                if (tv->action == TVC_BYKEYBOARD) m.trvMenu_NodeClick(*node);
            });
            break;
        }
        case NM_CLICK: {
            POINT screen;
            if (Node* node = NodeAtCursor(screen)) Safely([&] { m.ClickNode(*node); });
            break;
        }
        case NM_RCLICK: {
            // A right click on an entry selects it as a click does, then opens the menu there.
            POINT screen;
            if (Node* node = NodeAtCursor(screen)) Safely([&] { m.ClickNode(*node); });
            ShowTreeMenu(screen);
            return TRUE;  // no WM_CONTEXTMENU after it
        }
        case TVN_BEGINDRAGW:
            BeginDrag(*reinterpret_cast<NMTREEVIEWW*>(nm));
            break;
        case TVN_KEYDOWN: {
            const auto* kd = reinterpret_cast<NMTVKEYDOWN*>(nm);
            int16_t key = static_cast<int16_t>(kd->wVKey);
            int16_t shift = ShiftState();
            Safely([&] { m.trvMenu_KeyDown(key, shift); });
            break;
        }
        default:
            break;
    }
    return 0;
}

// ---- Context menu and drag and drop -----------------------------------------------------------

Node* PageWindow::NodeOf(HTREEITEM item) const {
    if (!item) return nullptr;
    TVITEMW tvi{};
    tvi.mask = TVIF_PARAM;
    tvi.hItem = item;
    if (!SendMessageW(Handle(Control::trvMenu), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi)))
        return nullptr;
    auto* node = reinterpret_cast<Node*>(tvi.lParam);
    return node && items_.count(node) ? node : nullptr;
}

Node* PageWindow::NodeAtCursor(POINT& screen) const {
    const DWORD pos = GetMessagePos();
    screen = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    HWND trv = Handle(Control::trvMenu);
    TVHITTESTINFO ht{};
    ht.pt = screen;
    ScreenToClient(trv, &ht.pt);
    HTREEITEM item = TreeView_HitTest(trv, &ht);
    return item && (ht.flags & TVHT_ONITEM) ? NodeOf(item) : nullptr;
}

POINT PageWindow::TreeMenuPoint() {
    HWND trv = Handle(Control::trvMenu);
    POINT p{0, 0};
    const Node* s = model_.trvMenu().SelectedItem();
    const auto it = s ? items_.find(s) : items_.end();
    RECT r{};
    if (it != items_.end()) {
        TreeView_EnsureVisible(trv, it->second);
        if (TreeView_GetItemRect(trv, it->second, &r, TRUE)) p = {r.left, r.bottom};
    }
    ClientToScreen(trv, &p);
    return p;
}

void PageWindow::ShowTreeMenu(POINT screen) {
    if (!hwnd_ || dragging_) return;
    // The entries in order (null text: a separator); an entry's id is its position + 1.
    struct Entry {
        const wchar_t* text;  // caption, a tab, the shortcut
        bool (PageModel::*can)() const;
        void (PageModel::*run)();
    };
    static const Entry kEntries[] = {
        {L"&Incluir\tIns", &PageModel::CanAdd, &PageModel::btnIncluir_Click},
        {L"&Alterar\tCtrl+Enter", &PageModel::CanChange, &PageModel::btnAlterar_Click},
        {L"&Excluir\tDel", &PageModel::CanDelete, &PageModel::btnExcluir_Click},
        {nullptr, nullptr, nullptr},
        {L"&Subir", &PageModel::CanMoveUp, &PageModel::btnSobe_Click},
        {L"&Descer", &PageModel::CanMoveDown, &PageModel::btnDesce_Click},
        {L"&Recuar\tCtrl+\u2190", &PageModel::CanOutdent, &PageModel::Outdent},
        {L"A&vançar\tCtrl+\u2192", &PageModel::CanIndent, &PageModel::Indent},
        {nullptr, nullptr, nullptr},
        {L"Des&fazer\tCtrl+Z", &PageModel::CanUndo, &PageModel::Undo},
        {L"Refa&zer\tCtrl+Y", &PageModel::CanRedo, &PageModel::Redo},
    };
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    UINT id = 0;
    for (const Entry& e : kEntries) {
        ++id;
        if (!e.text)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING | ((model_.*e.can)() ? MF_ENABLED : MF_GRAYED), id, e.text);
    }
    const UINT cmd = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
        screen.x, screen.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (!hwnd_ || cmd == 0 || cmd > std::size(kEntries)) return;  // dismissed
    if (auto run = kEntries[cmd - 1].run) Safely([&] { (model_.*run)(); });
}

Node* PageWindow::DropTarget(POINT client, Relationship& where) {
    HWND trv = Handle(Control::trvMenu);
    TVHITTESTINFO ht{};
    ht.pt = client;
    HTREEITEM item = TreeView_HitTest(trv, &ht);
    Node* node = NodeOf(item);
    if (!node) return nullptr;
    RECT r{};
    TreeView_GetItemRect(trv, item, &r, FALSE);
    const int third = (r.bottom - r.top) / 3;
    if (client.y < r.top + third)
        where = Relationship::Previous;
    else if (client.y >= r.bottom - third)
        where = Relationship::Next;
    else
        where = Relationship::Child;
    return node;
}

void PageWindow::ShowDropMark(Node* target, Relationship where, bool allowed) {
    HWND trv = Handle(Control::trvMenu);
    HTREEITEM item = nullptr;
    if (target && allowed) {
        const auto it = items_.find(target);
        if (it != items_.end()) item = it->second;
    }
    ++updating_;
    // Onto an entry: the entry highlighted; between two: the insertion mark.
    TreeView_SelectDropTarget(trv, where == Relationship::Child ? item : nullptr);
    if (where == Relationship::Child || !item)
        TreeView_SetInsertMark(trv, nullptr, FALSE);
    else
        TreeView_SetInsertMark(trv, item, where == Relationship::Next);
    --updating_;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(allowed ? IDC_ARROW : IDC_NO)));
}

void PageWindow::BeginDrag(const NMTREEVIEWW& tv) {
    Node* node = NodeOf(tv.itemNew.hItem);
    if (!node || !node->Parent()) return;  // the root stays where it is
    dragging_ = node;
    SetCapture(tv.hdr.hwndFrom);
    DragOver(tv.ptDrag);
}

void PageWindow::DragOver(POINT client) {
    if (!dragging_) return;
    Relationship where = Relationship::Child;
    Node* target = DropTarget(client, where);
    const bool allowed = target && model_.CanDrop(*dragging_, *target, where);
    ShowDropMark(target, where, allowed);
}

void PageWindow::EndDrag(bool drop, POINT client) {
    Node* dragged = std::exchange(dragging_, nullptr);
    if (!dragged) return;
    ShowDropMark(nullptr, Relationship::Child, true);
    HWND trv = Handle(Control::trvMenu);
    if (GetCapture() == trv) ReleaseCapture();
    if (!drop || items_.find(dragged) == items_.end()) return;
    Relationship where = Relationship::Child;
    Node* target = DropTarget(client, where);
    if (target) Safely([&] { model_.Drop(*dragged, *target, where); });
}

LRESULT PageWindow::OnTreeCustomDraw(NMTVCUSTOMDRAW* cd) {
    switch (cd->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const auto* node = reinterpret_cast<const Node*>(cd->nmcd.lItemlParam);
            // A disabled entry (Checked off) shows in the gray-text colour; the root is no entry.
            if (node && items_.count(node) && !node->Checked() && node->Tag() != u"Raiz" &&
                !(cd->nmcd.uItemState & CDIS_SELECTED))
                cd->clrText = GetSysColor(COLOR_GRAYTEXT);
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

HBRUSH PageWindow::OnCtlColorStatic(HDC dc, HWND ctl) {
    const Control c = ControlOf(ctl);
    const Form& f = model_.form();
    const Label* label = c == Control::lblCaption     ? &f.lblCaption
                         : c == Control::lblNome      ? &f.lblNome
                         : c == Control::lblDescricao ? &f.lblDescricao
                                                      : nullptr;
    if (!label)
        return reinterpret_cast<HBRUSH>(DefWindowProcW(
            hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl)));
    SetTextColor(dc, OleColor(label->ForeColor));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

void PageWindow::DrawArrow(const DRAWITEMSTRUCT& di) {
    RECT r = di.rcItem;
    const bool pushed = di.itemState & ODS_SELECTED;
    const bool disabled = di.itemState & ODS_DISABLED;
    DrawFrameControl(di.hDC, &r, DFC_BUTTON,
                     DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));
    // A solid triangle, as the Webdings glyph is, centred in the button.
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int half = std::max(2, std::min(w, h) / 4);
    const int cx = r.left + w / 2 + (pushed ? 1 : 0), cy = r.top + h / 2 + (pushed ? 1 : 0);
    const bool up = ControlOf(di.hwndItem) == Control::btnSobe;
    POINT tri[3];
    if (up) {
        tri[0] = {cx - half, cy + half / 2};
        tri[1] = {cx + half, cy + half / 2};
        tri[2] = {cx, cy - half / 2 - 1};
    } else {
        tri[0] = {cx - half, cy - half / 2};
        tri[1] = {cx + half, cy - half / 2};
        tri[2] = {cx, cy + half / 2 + 1};
    }
    const int color = disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT;
    HGDIOBJ old_brush = SelectObject(di.hDC, GetSysColorBrush(color));
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(color));
    HGDIOBJ old_pen = SelectObject(di.hDC, pen);
    Polygon(di.hDC, tri, 3);
    SelectObject(di.hDC, old_pen);
    SelectObject(di.hDC, old_brush);
    DeleteObject(pen);
    if (di.itemState & ODS_FOCUS) {
        RECT f = di.rcItem;
        InflateRect(&f, -3, -3);
        DrawFocusRect(di.hDC, &f);
    }
}

}  // namespace tq::designer::win

// The Win32 form of the property page tqMenuProperty: real common controls laid out as the
// form is, bound to the portable page model.
//
// The window is a thin view.  Platform events go to the model's handlers (clicks, the tree's
// node click and keys, the key list's Delete) or are reported to it (typing, ticking, choosing,
// selection and focus moves); everything the model changes comes back through IPageView and is
// mirrored on the controls.  Notifications caused by that mirroring are not reported back.
//
// Layout: positions are the form's, in twips, turned into pixels at the system DPI (15 twips =
// 1 pixel at 96 DPI); the font is the system's message font at that DPI and the pictures grow
// with it (16x16 at 96 DPI).  A caption that would be cut in its box at the page's font is
// drawn a little smaller instead, so that no caption is clipped at any DPI.  The two frames
// are group boxes that contain their controls; the creation order gives the tab order.  The page
// window and both frames carry WS_EX_CONTROLPARENT, so that a frame's dialog manager tabs through
// them (the page puts the style back if a frame clears it); TranslateAccelerator moves the focus
// itself for frames that ask the page first.
//
// Display choices: an entry's Bold (visible) shows as a bold node; its Checked (enabled) as
// normal text, and a disabled entry in the gray-text colour.  The tree has no check boxes, so
// no click can change a node's flags behind the model's back.
//
// The tree also takes, beyond the form's keys: Ctrl+Left and Ctrl+Right (move to the level
// above or below), Ctrl+Z and Ctrl+Y or Ctrl+Shift+Z (undo, redo), a context menu (right
// click, Shift+F10, the menu key) whose entries the model enables, and drag and drop of an
// entry onto another (its last child) or between two (the top or bottom third of a row); Esc
// or losing the mouse capture cancels a drag.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "tq/designer/page_model.h"

namespace tq::designer::win {

struct ControlSpec;

// Window class of the page window.
inline constexpr wchar_t kPageWindowClass[] = L"tqMenuPropertyPage";

// Control id of a form control (its child-window id).
inline int ControlId(Control c) {
    return 1000 + static_cast<int>(c);
}

// The page's size in twips and in pixels at the current DPI.
inline constexpr int kPageWidthTwips = 7875;
inline constexpr int kPageHeightTwips = 5850;
SIZE PageSizePixels();
// Twips to pixels at the system DPI.
int TwipsToPixels(int twips);

class PageWindow final : private IPageView {
  public:
    // The page model runs with `host` (message boxes, the message pump, Changed, the script);
    // the window is its view.
    explicit PageWindow(IPageHost& host);
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    PageModel& model() { return model_; }

    // Creates the window (hidden) as a child of `parent` with its controls, showing the model's
    // current state.  Throws tq::Error when a window cannot be made.
    void Create(HWND parent, const RECT& rect);
    void Destroy();
    HWND hwnd() const { return hwnd_; }
    HWND Handle(Control c) const;

    // Tab and shift-tab inside the page; true when the key was used.  At the last (first)
    // control the key is left to the frame, which moves on to its own controls.
    bool TranslateAccelerator(const MSG& msg);

    // Whether the up and down buttons draw their arrows themselves (no Webdings font).
    bool DrawsArrows() const { return draws_arrows_; }

  private:
    // IPageView
    void OnNodeAdded(const Node& node) override;
    void OnNodeRemoving(const Node& node) override;
    void OnNodeChanged(const Node& node, NodeField field) override;
    void OnTreeCleared() override;
    void OnSelectionChanged(const Node* selected) override;
    void OnControlChanged(Control control) override;
    void OnFocusMoved(Control control) override;
    static LRESULT CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR data);
    static LRESULT CALLBACK TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data);
    static LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                      DWORD_PTR data);
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    // A key pressed in the tree: true when the page took it (drags, the menu key, the level
    // moves and the history keys).
    bool OnTreeKeyDown(WPARAM wp);
    void OnCommand(int id, int code, HWND ctl);
    LRESULT OnNotify(NMHDR* nm);
    LRESULT OnTreeCustomDraw(NMTVCUSTOMDRAW* cd);
    void DrawArrow(const DRAWITEMSTRUCT& di);
    HBRUSH OnCtlColorStatic(HDC dc, HWND ctl);

    // The tree's context menu at `screen` (a point of the tree), for the selected node.
    void ShowTreeMenu(POINT screen);
    // Where the selected node's menu opens when the keyboard asks for it.
    POINT TreeMenuPoint();
    // Drag and drop in the tree: the node under `client`, and where a drop there would put the
    // dragged node (Child onto it, Previous / Next in the top / bottom third of its row).
    Node* DropTarget(POINT client, Relationship& where);
    void BeginDrag(const NMTREEVIEWW& tv);
    void DragOver(POINT client);
    void EndDrag(bool drop, POINT client);
    void ShowDropMark(Node* target, Relationship where, bool allowed);
    Node* NodeOf(HTREEITEM item) const;
    // The node under the mouse when the current message was sent (null: none), and that point.
    Node* NodeAtCursor(POINT& screen) const;

    void CreateControls();
    void CreatePictures();  // the arrow font and the buttons' pictures
    void CreateControl(const ControlSpec& layout, HFONT font);
    void AddListColumns();
    // The page's font: the system's message font at the page's DPI.
    static HFONT MessageFont();
    // `font`, or for a caption too wide for its control in it (for a label: or taller than
    // `height`), the same font made smaller (a pixel at a time, down to three quarters of its
    // height) until the caption fits.
    HFONT FittingFont(HWND control, Control c, HFONT font, int height);
    void SyncAll();
    void AddTreeItem(const Node& node);
    void FillList();
    void FillKeys();
    Control ControlOf(HWND h) const;
    // Runs a model call from a window message; a failure is shown in a message box, as a
    // form's unhandled run-time error is.
    template <class F>
    void Safely(F&& f);
    void ShowError(const String& text);

    IPageHost& host_;
    PageModel model_;
    HWND hwnd_ = nullptr;
    std::unordered_map<int, HWND> controls_;  // by Control
    std::unordered_map<const Node*, HTREEITEM> items_;
    HFONT font_ = nullptr;
    HFONT arrow_font_ = nullptr;       // Webdings, when present
    std::vector<HFONT> fitted_fonts_;  // smaller fonts for captions that would not fit
    bool draws_arrows_ = false;
    HICON icons_[4] = {};
    int updating_ = 0;          // > 0 while mirroring the model: notifications are not reported
    Node* dragging_ = nullptr;  // the node being dragged, while a drag is under way
};

}  // namespace tq::designer::win

#include "tq/script/input_box.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tq/error.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module (the OCX the library is linked into)

namespace tq::script {

namespace {

// Builds a DLGTEMPLATE with its items in memory (the layout a resource compiler would write).
class TemplateBuilder {
  public:
    void Dialog(DWORD style, short cx, short cy, std::wstring_view font, WORD point_size,
                WORD items) {
        DLGTEMPLATE t{};
        t.style = style;
        t.cdit = items;
        t.cx = cx;
        t.cy = cy;
        Raw(&t, sizeof t);
        Word(0);      // no menu
        Word(0);      // the standard dialog class
        String(L"");  // title: set in WM_INITDIALOG
        Word(point_size);
        String(font);
    }
    // `atom` is the predefined class: 0x80 button, 0x81 edit, 0x82 static.
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              std::wstring_view text) {
        Align();
        DLGITEMTEMPLATE it{};
        it.style = style | WS_CHILD | WS_VISIBLE;
        it.x = x;
        it.y = y;
        it.cx = cx;
        it.cy = cy;
        it.id = id;
        Raw(&it, sizeof it);
        Word(0xFFFF);
        Word(atom);
        String(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void Raw(const void* p, size_t bytes) {
        const auto* w = static_cast<const WORD*>(p);
        words_.insert(words_.end(), w, w + bytes / sizeof(WORD));
    }
    void Word(WORD w) { words_.push_back(w); }
    void String(std::wstring_view s) {
        words_.insert(words_.end(), s.begin(), s.end());
        words_.push_back(0);
    }
    void Align() {
        if (words_.size() % 2) words_.push_back(0);
    }
    std::vector<WORD> words_;  // WORD-sized units; the vector's storage is DWORD aligned
};

struct BoxState {
    std::wstring_view prompt, title, default_text;
    std::wstring answer;
};

// Centres `dlg` on `owner` (or on the work area when the owner is missing, hidden or
// minimised) and keeps it inside the work area of the owner's monitor.
void CentreOnOwner(HWND dlg, HWND owner) {
    RECT box{};
    GetWindowRect(dlg, &box);
    const bool use_owner = owner && IsWindowVisible(owner) && !IsIconic(owner);
    HMONITOR mon = MonitorFromWindow(use_owner ? owner : dlg, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(mon, &mi)) work = mi.rcWork;
    RECT around = work;
    if (use_owner) GetWindowRect(owner, &around);

    const LONG w = box.right - box.left, h = box.bottom - box.top;
    LONG x = around.left + ((around.right - around.left) - w) / 2;
    LONG y = around.top + ((around.bottom - around.top) - h) / 2;
    x = std::max(work.left, std::min(x, work.right - w));
    y = std::max(work.top, std::min(y, work.bottom - h));
    SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK BoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            auto* st = reinterpret_cast<BoxState*>(lp);
            SetWindowLongPtrW(dlg, DWLP_USER, lp);
            SetWindowTextW(dlg, std::wstring(st->title).c_str());
            SetDlgItemTextW(dlg, kInputBoxPromptId, std::wstring(st->prompt).c_str());
            HWND edit = GetDlgItem(dlg, kInputBoxEditId);
            SetWindowTextW(edit, std::wstring(st->default_text).c_str());
            CentreOnOwner(dlg, GetWindow(dlg, GW_OWNER));
            SetFocus(edit);
            SendMessageW(edit, EM_SETSEL, 0, -1);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDOK: {
                    auto* st = reinterpret_cast<BoxState*>(GetWindowLongPtrW(dlg, DWLP_USER));
                    HWND edit = GetDlgItem(dlg, kInputBoxEditId);
                    const int n = GetWindowTextLengthW(edit);
                    st->answer.assign(static_cast<size_t>(n) + 1, L'\0');
                    st->answer.resize(
                        static_cast<size_t>(GetWindowTextW(edit, st->answer.data(), n + 1)));
                    EndDialog(dlg, IDOK);
                    return TRUE;
                }
                case IDCANCEL:  // the Cancelar button, Esc and the close box
                    EndDialog(dlg, IDCANCEL);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

std::wstring InputBox(HWND owner, std::wstring_view prompt, std::wstring_view title,
                      std::wstring_view default_text) {
    // Dialog units, in the proportions of the classic InputBox: the prompt at the top left, the
    // buttons at the right, the edit box across the bottom.
    TemplateBuilder t;
    t.Dialog(DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU, 262, 86,
             L"MS Shell Dlg", 8, 4);
    // The edit box first: it is the first stop of the tab order.
    t.Item(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 64, 248, 14, kInputBoxEditId, 0x81,
           L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 203, 7, 52, 14, IDOK, 0x80, L"OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 203, 25, 52, 14, IDCANCEL, 0x80, L"Cancelar");
    // No "&" prefix processing: the prompt shows a path, and a path may hold an "&".
    t.Item(SS_LEFT | SS_NOPREFIX, 7, 7, 188, 52, kInputBoxPromptId, 0x82, L"");

    BoxState st{prompt, title, default_text, {}};
    const INT_PTR r = DialogBoxIndirectParamW(reinterpret_cast<HINSTANCE>(&__ImageBase), t.get(),
                                              owner, &BoxProc, reinterpret_cast<LPARAM>(&st));
    if (r == -1 || r == 0) {
        const DWORD err = GetLastError();
        throw Error(
            static_cast<int32_t>(HRESULT_FROM_WIN32(err ? err : ERROR_INVALID_WINDOW_HANDLE)),
            u"Não foi possível abrir a caixa de entrada do nome do script");
    }
    return r == IDOK ? st.answer : std::wstring();
}

}  // namespace tq::script

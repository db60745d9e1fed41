#include "dialog_driver.h"

#include <algorithm>
#include <chrono>

#include "tq/com/strings.h"

namespace tq::test {

namespace {

using Clock = std::chrono::steady_clock;

LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, 3000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

std::wstring TextOf(HWND w) {
    std::wstring s(static_cast<size_t>(Send(w, WM_GETTEXTLENGTH)) + 1, L'\0');
    s.resize(static_cast<size_t>(Send(w, WM_GETTEXT, s.size(), LPARAM(s.data()))));
    return s;
}

BOOL CALLBACK Collect(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    return GetGUIThreadInfo(thread, &gti) ? gti.hwndFocus : nullptr;
}

SeenDialog Inspect(HWND dlg, DWORD thread) {
    SeenDialog s;
    wchar_t title[512] = {};
    InternalGetWindowText(dlg, title, 512);  // sends nothing to a thread that may be busy
    s.title = title;
    GetWindowRect(dlg, &s.rect);
    const HWND owner = GetWindow(dlg, GW_OWNER);
    s.owner_enabled = !owner || IsWindowEnabled(owner);
    bool edit = false;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const std::wstring cls = ClassOf(c);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        if (cls == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            s.icon = reinterpret_cast<HICON>(Send(c, STM_GETICON));
        } else if (std::wstring t = cls == L"Static" ? TextOf(c) : L""; !t.empty()) {
            s.text += (s.text.empty() ? L"" : L"\n") + t;
        } else if (cls == L"Button" && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
            s.buttons.push_back(GetDlgCtrlID(c));
        } else if (cls == L"Edit" && !edit) {
            edit = true;
            s.edit_text = TextOf(c);
            Send(c, EM_GETSEL, WPARAM(&s.sel_start), LPARAM(&s.sel_end));
        }
    }
    if (HWND focus = FocusOf(thread); focus && IsChild(dlg, focus))
        s.focus_id = GetDlgCtrlID(focus);
    return s;
}

bool Act(HWND dlg, const DialogStep& step) {
    HWND edit = FindWindowExW(dlg, nullptr, L"Edit", nullptr);
    if (step.type && !edit) return false;
    if (step.type) Send(edit, WM_SETTEXT, 0, LPARAM(step.type->c_str()));
    HWND button = GetDlgItem(dlg, step.button);
    return button && IsWindowEnabled(button) && PostMessageW(button, BM_CLICK, 0, 0);
}

void Dismiss(HWND dlg) {
    for (int id : {IDCANCEL, IDYES, IDOK, IDABORT, IDNO})
        if (HWND b = GetDlgItem(dlg, id); b && IsWindowEnabled(b))
            return (void)PostMessageW(b, BM_CLICK, 0, 0);
    PostMessageW(dlg, WM_CLOSE, 0, 0);
}

}  // namespace

DialogDriver::DialogDriver(std::vector<DialogStep> steps) : steps_(std::move(steps)) {
    // Dialogs already open belong to the test's setting, not to its steps.
    for (HWND w = Find(); w; w = Find()) ignore_.push_back(w);
    worker_ = std::thread([this] { Run(); });
}

void DialogDriver::Finish() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

HWND DialogDriver::Find() const {
    std::vector<HWND> all;
    EnumThreadWindows(thread_, &Collect, reinterpret_cast<LPARAM>(&all));
    for (HWND w : all)
        if (ClassOf(w) == L"#32770" && IsWindowVisible(w) && IsWindowEnabled(w) &&
            std::find(ignore_.begin(), ignore_.end(), w) == ignore_.end())
            return w;
    return nullptr;
}

void DialogDriver::Run() {
    size_t next = 0;
    const auto fail = [&](const std::wstring& e) {
        if (ok()) errors_.push_back(e);
    };
    for (auto deadline = Clock::now() + std::chrono::seconds(10);;) {
        const bool stopping = stop_;  // read first: a dialog seen after it is still taken
        HWND dlg = Find();
        if (!dlg) {
            if (next < steps_.size() && (stopping || Clock::now() > deadline))
                fail(L"\"" + steps_[next].title + L"\" never appeared");
            if (stopping) return;
            Sleep(10);
            continue;
        }
        seen_.push_back(Inspect(dlg, thread_));
        const std::wstring& title = seen_.back().title;
        if (!ok() || next == steps_.size() || title != steps_[next].title) {
            fail(L"unexpected \"" + title + L"\": " + seen_.back().text);
            Dismiss(dlg);
        } else if (!Act(dlg, steps_[next++])) {
            fail(L"\"" + title + L"\": no edit box or no enabled button");
            Dismiss(dlg);
        }
        deadline = Clock::now() + std::chrono::seconds(10);
        while (IsWindow(dlg) && IsWindowVisible(dlg) && Clock::now() < deadline) Sleep(10);
        if (IsWindow(dlg) && IsWindowVisible(dlg)) fail(L"\"" + title + L"\" did not close");
        if (IsWindow(dlg) && IsWindowVisible(dlg)) ignore_.push_back(dlg);
        deadline = Clock::now() + std::chrono::seconds(10);
    }
}

std::string DialogDriver::Report() const {
    std::wstring r;
    for (const auto& e : errors_) r += L"error: " + e + L"\n";
    for (const auto& s : seen_) r += L"seen \"" + s.title + L"\": " + s.text + L"\n";
    return tq::com::ToAnsi(r);
}

}  // namespace tq::test

#include "dialog_driver.h"

#include <algorithm>

namespace tq::test {

namespace {

constexpr UINT kSendTimeoutMs = 3000;
constexpr auto kPoll = std::chrono::milliseconds(10);

LRESULT SendTimeout(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs,
                             &result))
        return 0;
    return static_cast<LRESULT>(result);
}

std::wstring ClassOf(HWND w) {
    wchar_t buf[64] = {};
    GetClassNameW(w, buf, 64);
    return buf;
}

// Title without sending a message to the window's thread (which may be busy).
std::wstring TitleOf(HWND w) {
    wchar_t buf[512] = {};
    InternalGetWindowText(w, buf, 512);
    return buf;
}

std::wstring TextOf(HWND w) {
    const auto n = static_cast<size_t>(SendTimeout(w, WM_GETTEXTLENGTH));
    std::wstring s(n + 1, L'\0');
    s.resize(
        static_cast<size_t>(SendTimeout(w, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(s.data()))));
    return s;
}

std::wstring WithoutAmpersands(std::wstring s) {
    s.erase(std::remove(s.begin(), s.end(), L'&'), s.end());
    return s;
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectDialog(HWND w, LPARAM lp) {
    if (ClassOf(w) == L"#32770") reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

std::vector<HWND> Children(HWND dlg) {
    std::vector<HWND> out;
    EnumChildWindows(dlg, &CollectWindow, reinterpret_cast<LPARAM>(&out));
    return out;
}

bool IsPushButton(HWND w) {
    const LONG type = GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK;
    return ClassOf(w) == L"Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

std::string Utf8(std::wstring_view s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace

SeenDialog Inspect(HWND dlg) {
    SeenDialog s;
    s.hwnd = dlg;
    s.title = TitleOf(dlg);
    GetWindowRect(dlg, &s.rect);
    s.owner = GetWindow(dlg, GW_OWNER);
    s.owner_enabled = s.owner ? IsWindowEnabled(s.owner) != FALSE : true;
    for (HWND c : Children(dlg)) {
        if (GetParent(c) != dlg) continue;
        const std::wstring cls = ClassOf(c);
        if (cls == L"Static") {
            if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                s.icon = reinterpret_cast<HICON>(SendTimeout(c, STM_GETICON));
            } else if (std::wstring t = TextOf(c); !t.empty()) {
                if (!s.text.empty()) s.text += L"\n";
                s.text += t;
            }
        } else if (IsPushButton(c)) {
            s.buttons.push_back(GetDlgCtrlID(c));
        } else if (cls == L"Edit" && !s.has_edit) {
            s.has_edit = true;
            s.edit_text = TextOf(c);
            SendTimeout(c, EM_GETSEL, reinterpret_cast<WPARAM>(&s.sel_start),
                        reinterpret_cast<LPARAM>(&s.sel_end));
        }
    }
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &gti) && gti.hwndFocus &&
        IsChild(dlg, gti.hwndFocus))
        s.focus_id = GetDlgCtrlID(gti.hwndFocus);
    return s;
}

DialogDriver::DialogDriver(std::vector<DialogStep> steps, DWORD ui_thread,
                           std::chrono::milliseconds timeout)
    : steps_(std::move(steps)), thread_(ui_thread), timeout_(timeout) {
    // Dialogs already open on that thread belong to the test's setting, not to its steps.
    EnumThreadWindows(thread_, &CollectDialog, reinterpret_cast<LPARAM>(&ignore_));
    worker_ = std::thread([this] { Run(); });
}

DialogDriver::~DialogDriver() {
    Finish();
}

void DialogDriver::Finish() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

HWND DialogDriver::FindDialog(const std::wstring* title) const {
    // The visible, enabled dialogs of the thread (the active modal one), less the ignored ones.
    std::vector<HWND> dialogs;
    EnumThreadWindows(thread_, &CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND w : dialogs) {
        if (!IsWindowVisible(w) || !IsWindowEnabled(w)) continue;
        if (std::find(ignore_.begin(), ignore_.end(), w) != ignore_.end()) continue;
        if (title && TitleOf(w) != *title) continue;
        return w;
    }
    return nullptr;
}

bool DialogDriver::Expired(Clock::time_point deadline) const {
    return Clock::now() >= deadline;
}

void DialogDriver::Fail(std::wstring message) {
    failed_ = true;
    errors_.push_back(std::move(message));
}

bool DialogDriver::WaitGone(HWND dlg, Clock::time_point deadline) const {
    while (IsWindow(dlg) && IsWindowVisible(dlg)) {
        if (Expired(deadline)) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

void DialogDriver::Dismiss(HWND dlg) {
    for (int id : {IDCANCEL, IDYES, IDOK, IDABORT, IDNO}) {
        HWND b = GetDlgItem(dlg, id);
        if (b && IsWindowEnabled(b)) {
            PostMessageW(b, BM_CLICK, 0, 0);
            return;
        }
    }
    PostMessageW(dlg, WM_CLOSE, 0, 0);
}

bool DialogDriver::Act(HWND dlg, const DialogStep& step) {
    const std::wstring where = L"\"" + step.title + L"\": ";
    if (step.type) {
        HWND edit = nullptr;
        for (HWND c : Children(dlg))
            if (ClassOf(c) == L"Edit") {
                edit = c;
                break;
            }
        if (!edit) {
            Fail(where + L"no edit box to type into");
            return false;
        }
        SendTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.type->c_str()));
    }
    if (step.key) {
        GUITHREADINFO gti{};
        gti.cbSize = sizeof gti;
        HWND target = dlg;
        if (GetGUIThreadInfo(thread_, &gti) && gti.hwndFocus) target = gti.hwndFocus;
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(step.key, MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(target, WM_KEYDOWN, step.key, scan | 1);
        PostMessageW(target, WM_KEYUP, step.key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
        return true;
    }
    HWND button = nullptr;
    if (!step.caption.empty()) {
        for (HWND c : Children(dlg))
            if (IsPushButton(c) &&
                WithoutAmpersands(TextOf(c)) == WithoutAmpersands(step.caption)) {
                button = c;
                break;
            }
    } else {
        button = GetDlgItem(dlg, step.button);
    }
    if (!button || !IsWindowEnabled(button)) {
        Fail(where + L"no enabled button " +
             (step.caption.empty() ? std::to_wstring(step.button) : step.caption));
        return false;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void DialogDriver::Run() {
    for (size_t i = 0; i < steps_.size() && !failed_; ++i) {
        const DialogStep& step = steps_[i];
        const std::wstring where =
            L"step " + std::to_wstring(i + 1) + L" (\"" + step.title + L"\"): ";
        const auto deadline = Clock::now() + timeout_;
        HWND dlg = nullptr;
        while (!dlg) {
            const bool stopping = stop_;  // read first: a dialog seen after it is still taken
            dlg = FindDialog(&step.title);
            if (dlg) break;
            if (HWND other = FindDialog(nullptr)) {
                if (TitleOf(other) == step.title) {  // it appeared between the two looks
                    dlg = other;
                    break;
                }
                SeenDialog s = Inspect(other);
                s.expected = false;
                Fail(where + L"found \"" + s.title + L"\" instead: " + s.text);
                seen_.push_back(std::move(s));
                Dismiss(other);
                if (!WaitGone(other, Clock::now() + timeout_)) ignore_.push_back(other);
                break;
            }
            if (stopping) {
                Fail(where + L"never appeared");
                break;
            }
            if (Expired(deadline)) {
                Fail(where + L"did not appear within " + std::to_wstring(timeout_.count()) +
                     L" ms");
                break;
            }
            std::this_thread::sleep_for(kPoll);
        }
        if (!dlg) break;
        seen_.push_back(Inspect(dlg));
        if (!Act(dlg, step)) {
            Dismiss(dlg);
            if (!WaitGone(dlg, Clock::now() + timeout_)) ignore_.push_back(dlg);
            break;
        }
        if (!step.closes) {
            ignore_.push_back(dlg);
        } else if (!WaitGone(dlg, Clock::now() + timeout_)) {
            Fail(where + L"did not close after the answer");
            Dismiss(dlg);
            if (!WaitGone(dlg, Clock::now() + timeout_)) ignore_.push_back(dlg);
            break;
        }
    }
    // Whatever shows up now was not expected: record it and get it out of the way.
    int dismissed = 0;
    while (!stop_ && dismissed < 100) {
        HWND other = FindDialog(nullptr);
        if (!other) {
            std::this_thread::sleep_for(kPoll);
            continue;
        }
        SeenDialog s = Inspect(other);
        s.expected = false;
        if (!failed_) Fail(L"unexpected dialog \"" + s.title + L"\": " + s.text);
        seen_.push_back(std::move(s));
        Dismiss(other);
        ++dismissed;
        if (!WaitGone(other, Clock::now() + timeout_)) ignore_.push_back(other);
    }
}

std::string DialogDriver::Report() const {
    std::string r;
    for (const auto& e : errors_) r += "error: " + Utf8(e) + "\n";
    for (const auto& s : seen_) {
        r += std::string(s.expected ? "seen" : "dismissed") + ": \"" + Utf8(s.title) + "\" \"" +
             Utf8(s.text) + "\"";
        if (s.has_edit) r += " edit \"" + Utf8(s.edit_text) + "\"";
        r += "\n";
    }
    return r;
}

}  // namespace tq::test

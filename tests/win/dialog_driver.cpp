#include "dialog_driver.h"

#include <algorithm>

#include "tq/com/strings.h"

namespace tq::test {
namespace {

thread_local DialogDriver* current = nullptr;

bool IsDialog(HWND w) {
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    return std::wstring(cls) == L"#32770";
}

std::wstring TextOf(HWND w) {
    std::wstring s(static_cast<size_t>(GetWindowTextLengthW(w)) + 1, L'\0');
    s.resize(static_cast<size_t>(GetWindowTextW(w, s.data(), static_cast<int>(s.size()))));
    return s;
}

BOOL CALLBACK Collect(HWND w, LPARAM lp) {
    if (IsDialog(w)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

SeenDialog Inspect(HWND dlg) {
    SeenDialog s;
    s.title = TextOf(dlg);
    const HWND owner = GetWindow(dlg, GW_OWNER);
    s.owner_enabled = !owner || IsWindowEnabled(owner);
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(c, cls, 16);
        if (!lstrcmpiW(cls, L"Static") && GetWindowTextLengthW(c))
            s.text += (s.text.empty() ? L"" : L"\n") + TextOf(c);
        if (!lstrcmpiW(cls, L"Edit") && s.edit_text.empty()) s.edit_text = TextOf(c);
    }
    return s;
}

void Click(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dlg, id)));
}

}  // namespace

DialogDriver::DialogDriver(std::vector<DialogStep> steps) : steps_(std::move(steps)) {
    EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(&done_));
    current = this;
    hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
}

void DialogDriver::Finish() {
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr, current = nullptr;
    if (ok() && next_ < steps_.size())
        errors_.push_back(L"\"" + steps_[next_].title + L"\" never appeared");
}

LRESULT CALLBACK DialogDriver::Hook(int code, WPARAM wp, LPARAM lp) {
    HWND w = reinterpret_cast<HWND>(wp);
    if (code == HCBT_ACTIVATE && current && IsDialog(w) &&
        std::find(current->done_.begin(), current->done_.end(), w) == current->done_.end()) {
        current->done_.push_back(w);
        SetTimer(w, 0x7451, 1, &Timer);  // its turn comes once the dialog is set up
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

void CALLBACK DialogDriver::Timer(HWND dlg, UINT, UINT_PTR id, DWORD) {
    KillTimer(dlg, id);
    if (current) current->Take(dlg);
}

void DialogDriver::Take(HWND dlg) {
    seen_.push_back(Inspect(dlg));
    const SeenDialog& s = seen_.back();
    const DialogStep* step = ok() && next_ < steps_.size() ? &steps_[next_] : nullptr;
    HWND edit = FindWindowExW(dlg, nullptr, L"Edit", nullptr);
    if (step && step->title == s.title && (edit || !step->type) &&
        IsWindowEnabled(GetDlgItem(dlg, step->button))) {
        if (step->type) SetWindowTextW(edit, step->type->c_str());
        return ++next_, Click(dlg, step->button);
    }
    if (ok()) errors_.push_back(L"unexpected \"" + s.title + L"\": " + s.text);
    for (int id : {IDCANCEL, IDYES, IDOK, IDABORT, IDNO})
        if (HWND b = GetDlgItem(dlg, id); b && IsWindowEnabled(b)) return Click(dlg, id);
    PostMessageW(dlg, WM_CLOSE, 0, 0);
}

std::string DialogDriver::Report() const {
    std::wstring r;
    for (const auto& e : errors_) r += L"error: " + e + L"\n";
    for (const auto& s : seen_) r += L"seen \"" + s.title + L"\": " + s.text + L"\n";
    return tq::com::ToAnsi(r);
}

}  // namespace tq::test

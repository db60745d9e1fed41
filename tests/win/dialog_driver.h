// Answers the modal dialogs of this thread from a second thread, step by step by exact title:
// records what each shows, types into its first edit box, then presses a button or posts a key.
// Another dialog, or a step not seen within 10 s or before Finish(), is an error; any dialog
// after an error is dismissed.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tq::test {

struct SeenDialog {
    std::wstring title, text;  // text: its static texts joined by "\n"
    std::vector<int> buttons;  // push-button ids, in creation order
    HICON icon = nullptr;
    std::wstring edit_text;  // the first edit box, before anything is typed
    DWORD sel_start = 0, sel_end = 0;
    int focus_id = 0;
    RECT rect{};
    HWND owner = nullptr;
    bool owner_enabled = true;
};

struct DialogStep {
    std::wstring title;
    std::optional<std::wstring> type;
    int button = IDOK;
    UINT key = 0;  // posted to the focused control instead of pressing `button`
};
inline DialogStep Press(std::wstring title, int button) {
    return {std::move(title), std::nullopt, button};
}
inline DialogStep Answer(std::wstring title, std::wstring text, int button = IDOK) {
    return {std::move(title), std::move(text), button};
}
inline DialogStep Key(std::wstring title, UINT vk, std::optional<std::wstring> text = {}) {
    return {std::move(title), std::move(text), 0, vk};
}

class DialogDriver {
  public:
    explicit DialogDriver(std::vector<DialogStep> steps);
    ~DialogDriver() { Finish(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    void Finish();  // once the code under test returned
    const std::vector<SeenDialog>& seen() const { return seen_; }
    bool ok() const { return errors_.empty(); }
    std::string Report() const;

  private:
    void Run();
    HWND Find() const;
    std::vector<DialogStep> steps_;
    DWORD thread_ = GetCurrentThreadId();
    std::vector<HWND> ignore_;
    std::vector<SeenDialog> seen_;
    std::vector<std::wstring> errors_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace tq::test

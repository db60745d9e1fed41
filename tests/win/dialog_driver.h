// Answers this thread's modal dialogs from a second thread, step by step by exact title: records
// each, types into its first edit box, presses a button.  Another dialog, or a step not seen
// within 10 s or before Finish(), is an error; later dialogs are dismissed.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tq::test {

struct SeenDialog {
    // text: the static texts joined by "\n"; edit_text: the first edit box's, before typing.
    std::wstring title, text, edit_text;
    std::vector<int> buttons;  // push-button ids, in creation order
    HICON icon = nullptr;
    DWORD sel_start = 0, sel_end = 0;
    int focus_id = 0;
    RECT rect{};
    bool owner_enabled = true;
};

struct DialogStep {
    std::wstring title;
    std::optional<std::wstring> type;
    int button = IDOK;
};
inline DialogStep Press(std::wstring title, int button) {
    return {std::move(title), {}, button};
}
inline DialogStep Answer(std::wstring title, std::wstring text, int button = IDOK) {
    return {std::move(title), std::move(text), button};
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

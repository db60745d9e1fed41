// Drives real dialogs and message boxes from a second thread, for tests that call code which
// shows them modally (MessageBoxW, DialogBox...):
//
//   tq::test::DialogDriver driver({tq::test::Answer(L"Informe o Nome...", L"menu"),
//                                  tq::test::Press(L"Alerta!", IDNO)});
//   CodeThatShowsTheDialogs();  // on this thread; the driver answers from its own
//   driver.Finish();
//   EXPECT_TRUE(driver.ok()) << driver.Report();
//
// It watches the top-level dialogs ("#32770") of one thread only.  Steps match in order by exact
// title; the driver records what the dialog shows, optionally types into its first edit box, then
// presses a button (BM_CLICK, posted) or a key (posted to the focused control), and waits for the
// dialog to go away.  Failures never hang: a dialog that does not match, one after the last step,
// or a step that never comes is an error, and every later dialog is dismissed until Finish().
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tq::test {

// What a dialog showed when the driver found it (before the driver typed anything).
struct SeenDialog {
    HWND hwnd = nullptr;
    std::wstring title;
    std::wstring text;         // its static texts, joined by "\n" (a message box's message)
    std::vector<int> buttons;  // ids of its push buttons, in creation order
    HICON icon = nullptr;      // the icon it shows (STM_GETICON of its icon control), if any
    bool has_edit = false;     // first edit box: text and selection
    std::wstring edit_text;
    DWORD sel_start = 0, sel_end = 0;
    int focus_id = 0;  // control id of the control with the keyboard focus (0: none)
    RECT rect{};       // window rectangle, screen coordinates
    HWND owner = nullptr;
    bool owner_enabled = true;  // false when the dialog is modal to its owner
    bool expected = true;       // false for a dialog dismissed after a failure
};

// One expected dialog and its answer.
struct DialogStep {
    std::wstring title;                // exact window title to wait for
    std::optional<std::wstring> type;  // text for the first edit box, put before answering
    int button = IDOK;                 // button to press (by id) ...
    std::wstring caption;              // ... or by caption ("&" ignored), when not empty
    UINT key = 0;                      // ... or a virtual key for the focused control, when not 0
    bool closes = true;                // wait for the dialog to go away before the next step
};

inline DialogStep Press(std::wstring title, int button) {
    DialogStep s;
    s.title = std::move(title);
    s.button = button;
    return s;
}
inline DialogStep PressCaption(std::wstring title, std::wstring caption) {
    DialogStep s;
    s.title = std::move(title);
    s.caption = std::move(caption);
    return s;
}
inline DialogStep Answer(std::wstring title, std::wstring text, int button = IDOK) {
    DialogStep s = Press(std::move(title), button);
    s.type = std::move(text);
    return s;
}
inline DialogStep Key(std::wstring title, UINT vk, std::optional<std::wstring> text = {}) {
    DialogStep s;
    s.title = std::move(title);
    s.type = std::move(text);
    s.key = vk;
    return s;
}

class DialogDriver {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts watching the dialogs of `ui_thread`.  `timeout` is how long each step may take to
    // appear (and to close once answered).
    explicit DialogDriver(std::vector<DialogStep> steps, DWORD ui_thread = GetCurrentThreadId(),
                          std::chrono::milliseconds timeout = std::chrono::seconds(10));
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Stops watching and waits for the driver thread.  Steps not reached by then are errors.
    // Call it once the code under test returned; the destructor calls it too.
    void Finish();

    // Valid after Finish().
    const std::vector<SeenDialog>& seen() const { return seen_; }
    const std::vector<std::wstring>& errors() const { return errors_; }
    bool ok() const { return errors_.empty(); }
    // Errors and the dialogs seen, as UTF-8 text for a test's failure message.
    std::string Report() const;

  private:
    void Run();
    HWND FindDialog(const std::wstring* title) const;
    bool Expired(Clock::time_point deadline) const;
    void Fail(std::wstring message);
    void Dismiss(HWND dlg);
    bool Act(HWND dlg, const DialogStep& step);
    bool WaitGone(HWND dlg, Clock::time_point deadline) const;

    std::vector<DialogStep> steps_;
    DWORD thread_;
    std::chrono::milliseconds timeout_;
    std::vector<HWND> ignore_;  // dialogs that were there before, or left open by a step
    std::vector<SeenDialog> seen_;
    std::vector<std::wstring> errors_;
    bool failed_ = false;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// Reads what a dialog shows (for a test that found one itself).
SeenDialog Inspect(HWND dlg);

}  // namespace tq::test

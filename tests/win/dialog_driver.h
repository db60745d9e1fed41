// Answers the modal dialogs this thread shows, in order, by exact title, once each is up: records
// it, types into its first edit box, presses a button.  Another dialog, or a step not reached
// by Finish(), is an error; a dialog after an error is dismissed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tq::test {

struct SeenDialog {
    // text: the static texts joined by "\n"; edit_text: an edit box's, before typing.
    std::wstring title, text, edit_text;
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
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
    static void CALLBACK Timer(HWND dlg, UINT, UINT_PTR id, DWORD);
    void Take(HWND dlg);
    std::vector<DialogStep> steps_;
    size_t next_ = 0;
    std::vector<HWND> done_;  // open before, or taken
    std::vector<SeenDialog> seen_;
    std::vector<std::wstring> errors_;
    HHOOK hook_ = nullptr;
};

}  // namespace tq::test

// Answers this thread's modal dialogs and message boxes as a user would, and records what
// each one showed: caption, message text, icon and controls.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenDialog {
    std::string caption;
    std::string text;           // the first non-empty static text
    UINT icon = 0;              // MB_ICONERROR, MB_ICONINFORMATION, ... or 0
    std::vector<int> controls;  // child control ids, in creation order
    HWND owner = nullptr;
    bool answered = false;      // false: nothing was queued, the dialog was ended at once

    bool HasControl(int id) const;
};

class DialogAnswerer {
public:
    struct Answer {
        std::vector<int> keys;          // virtual keys sent first, e.g. VK_ESCAPE
        int button = 0;                 // then the command of this control id; 0 for none
        std::function<void()> whileOpen;  // runs while the dialog is open, before any key
    };

    DialogAnswerer();
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    DialogAnswerer& Press(int button);
    DialogAnswerer& PressKeys(std::vector<int> keys, int thenButton = 0);
    DialogAnswerer& Queue(Answer answer);

    const std::vector<SeenDialog>& Seen() const { return seen_; }
    size_t Pending() const { return answers_.size(); }
    int Unanswered() const;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    void DialogOpened(HWND dialog);

    HHOOK hook_;
    std::deque<Answer> answers_;
    std::vector<SeenDialog> seen_;
};

// The icon a message box shows, from its icon control.
UINT MessageBoxIconOf(HWND box);

// Answers this thread's questions and message boxes from a queue, as a user would, and
// records what each one showed: the one answerer of the script runner, the tests and the
// benchmark. A question is a dialog made while its owner is disabled, as every modal dialog
// and message box is; a floater is made with its owner enabled and is never taken for one.
// A question with no queued answer is closed at once and reported: nothing waits for a
// person.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "handles.h"
#include "hostwindow.h"

struct ShownQuestion {
    std::string caption;
    std::string text;           // its message: the first text it shows
    UINT icon = 0;              // a message box's MB_ICONERROR, MB_ICONINFORMATION, ... or 0
    std::vector<int> controls;  // the ids of its controls, in the order they were made
    HWND owner = nullptr;
    bool answered = false;      // false: nothing was queued for it

    bool HasControl(int id) const;
};

// One step of an answer, taken from the question's own message loop, one step at a time.
struct AnswerAction {
    enum class Kind { kKey, kButton, kRun };
    Kind kind = Kind::kKey;
    int key = 0;                           // a virtual key, to the control with the focus
    std::string button;                    // a button's id as a whole number, or its label
    std::function<void(HWND)> run;         // runs with the question open

    static AnswerAction Key(int key);
    static AnswerAction Button(const std::string& idOrLabel);
    static AnswerAction Button(int id) { return Button(std::to_string(id)); }
    static AnswerAction Run(std::function<void(HWND)> run);
    // The step as a script writes it: "Enter", "Escape", a button's id or label.
    static AnswerAction FromWord(const std::string& word);
};

struct AnswerFailure {
    int line = 0;        // of the answer at fault; 0 for the command that was running
    std::string reason;  // empty while nothing failed
};

class QuestionAnswerer : private HostWindow {
public:
    QuestionAnswerer();  // hooks this thread
    ~QuestionAnswerer();

    // The answer to the next question; line names it in a failure.
    void Queue(int line, std::vector<AnswerAction> actions);
    void Queue(int line, const std::vector<std::string>& words);
    size_t Pending() const { return queue_.size(); }
    int FirstUnusedLine() const;  // 0 when every queued answer was used
    const std::vector<ShownQuestion>& Shown() const { return shown_; }
    const AnswerFailure& Failure() const { return failure_; }
    // Finishes with questions that have closed; call it once the messages are handled.
    void Settle() { Step(); }
    void Reset();

private:
    struct QueuedAnswer {
        int line;
        std::vector<AnswerAction> actions;
    };
    struct OpenQuestion {
        HWND dialog;
        QueuedAnswer answer;
        size_t next = 0;    // the action to take next
        int closing = 0;    // above 0: being closed, by firmer means each step
        bool busy = false;  // its action is running (and may have a question of its own open)
        bool shown = false; // it has been visible: hidden again, it has ended
    };

    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Activated(HWND dialog);
    void Made(HWND window);
    void Forget(HWND window);
    void StepSoon();
    void Step();
    bool Advance(OpenQuestion& question);  // true when done with it
    bool TakeAction(HWND dialog, const AnswerAction& action, std::string& problem);
    bool Close(OpenQuestion& question);
    void Fail(int line, const std::string& reason);
    std::string Describe(HWND dialog) const;

    HookHandle hook_;
    QuestionAnswerer* previous_ = nullptr;  // the thread's answerer before this one
    UINT_PTR timer_ = 0;
    bool stepPosted_ = false;
    std::deque<QueuedAnswer> queue_;
    std::vector<HWND> made_;  // questions made and not yet activated
    std::list<OpenQuestion> open_;
    std::vector<ShownQuestion> shown_;
    AnswerFailure failure_;
};

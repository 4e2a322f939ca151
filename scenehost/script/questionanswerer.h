// Answers this thread's questions and message boxes from a queue, as a user would, and
// records what each one showed. A question with no queued answer is closed at once and
// reported: a script never waits for a person.
#pragma once

#include <windows.h>

#include <deque>
#include <list>
#include <string>
#include <vector>

struct ShownQuestion {
    std::string caption;
    std::string text;
};

struct AnswerFailure {
    int line = 0;        // of the answer at fault; 0 for the command that was running
    std::string reason;  // empty while nothing failed
};

class QuestionAnswerer {
public:
    QuestionAnswerer();  // hooks this thread
    ~QuestionAnswerer();
    QuestionAnswerer(const QuestionAnswerer&) = delete;
    QuestionAnswerer& operator=(const QuestionAnswerer&) = delete;

    // Actions for the next question: button ids, button texts, "Enter" or "Escape".
    void Queue(int line, const std::vector<std::string>& actions);
    int FirstUnusedLine() const;  // 0 when every queued answer was used
    const std::vector<ShownQuestion>& Shown() const { return shown_; }
    const AnswerFailure& Failure() const { return failure_; }
    // Finishes with questions that have closed; the runner calls it after each command.
    void Settle() { Step(); }
    void Reset();

private:
    struct QueuedAnswer {
        int line;
        std::vector<std::string> actions;
    };
    struct OpenQuestion {
        HWND dialog;
        QueuedAnswer answer;
        size_t next = 0;   // the action to take next
        int closing = 0;   // above 0: being closed, by firmer means each step
        bool busy = false;  // its action is running (and may have a question of its own open)
    };

    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD);
    void Activated(HWND dialog);
    void Made(HWND window);
    void Forget(HWND window);
    void StartStepping();
    void Step();
    bool Advance(OpenQuestion& question);  // true when done with it
    bool TakeAction(HWND dialog, const std::string& action, std::string& problem);
    bool Close(OpenQuestion& question);
    void Fail(int line, const std::string& reason);
    std::string Describe(HWND dialog) const;

    HHOOK hook_ = nullptr;
    UINT_PTR timer_ = 0;
    std::deque<QueuedAnswer> queue_;
    std::vector<HWND> made_;  // questions made and not yet activated
    std::list<OpenQuestion> open_;
    std::vector<ShownQuestion> shown_;
    AnswerFailure failure_;
};

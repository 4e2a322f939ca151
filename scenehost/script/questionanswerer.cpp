#include "questionanswerer.h"

#include <algorithm>

#include "scriptlanguage.h"
#include "scriptwindows.h"

namespace {

QuestionAnswerer* current = nullptr;  // the one answerer of the thread, reached by the hook
const UINT kStepMilliseconds = 10;

// A question is a dialog of this thread made with its owner already disabled, as a modal
// dialog or a message box is; a floater is made with its owner enabled, though it may later
// be activated while a question disables that owner. The hook also hears of other programs'
// windows.
bool IsQuestionBeingMade(HWND window, const CREATESTRUCTA& create)
{
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
    if (ClassOf(window) != "#32770" || (create.style & WS_CHILD)) return false;
    HWND owner = create.hwndParent ? GetAncestor(create.hwndParent, GA_ROOT) : nullptr;
    return !owner || !IsWindowEnabled(owner);
}

// An ended dialog is hidden at once and destroyed when its loop notices.
bool IsOpen(HWND dialog) { return IsWindow(dialog) && IsWindowVisible(dialog); }

// The key goes to the control with the focus, where the dialog's loop looks for it.
void PressKey(HWND dialog, WPARAM key)
{
    HWND target = GetFocus();
    if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

QuestionAnswerer::QuestionAnswerer()
    : hook_(SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId()))
{
    current = this;
}

QuestionAnswerer::~QuestionAnswerer()
{
    if (hook_) UnhookWindowsHookEx(hook_);
    if (timer_) KillTimer(nullptr, timer_);
    current = nullptr;
}

void QuestionAnswerer::Queue(int line, const std::vector<std::string>& actions)
{
    queue_.push_back({line, actions});
}

int QuestionAnswerer::FirstUnusedLine() const { return queue_.empty() ? 0 : queue_.front().line; }

void QuestionAnswerer::Reset()
{
    queue_.clear();
    shown_.clear();
    failure_ = AnswerFailure();
}

LRESULT CALLBACK QuestionAnswerer::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = reinterpret_cast<HWND>(wParam);
    if (current && code == HCBT_CREATEWND &&
        IsQuestionBeingMade(window, *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs))
        current->Made(window);
    // A dialog is activated once it is set up and shown, just before its loop starts.
    if (current && code == HCBT_ACTIVATE) current->Activated(window);
    if (current && code == HCBT_DESTROYWND) current->Forget(window);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK QuestionAnswerer::TimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    if (current) current->Step();
}

void QuestionAnswerer::Made(HWND window)
{
    made_.push_back(window);
    StartStepping();
}

void QuestionAnswerer::StartStepping()
{
    // Actions are taken from the dialog's own loop, one a step, as a user's would arrive.
    if (!timer_) timer_ = SetTimer(nullptr, 0, kStepMilliseconds, TimerProc);
}

void QuestionAnswerer::Forget(HWND window)
{
    made_.erase(std::remove(made_.begin(), made_.end(), window), made_.end());
}

void QuestionAnswerer::Activated(HWND dialog)
{
    if (std::find(made_.begin(), made_.end(), dialog) == made_.end()) return;
    Forget(dialog);
    shown_.push_back({WindowText(dialog), DialogMessage(dialog)});
    OpenQuestion question;
    question.dialog = dialog;
    if (queue_.empty()) {
        question.answer.line = 0;
        question.closing = 1;
        Fail(0, "no answer for the question " + Describe(dialog));
    } else {
        question.answer = queue_.front();
        queue_.pop_front();
    }
    open_.push_back(question);
    StartStepping();
}

void QuestionAnswerer::Step()
{
    // A question shown without being activated (another program kept the foreground) is
    // answered all the same.
    const std::vector<HWND> made = made_;
    for (HWND window : made)
        if (IsWindowVisible(window)) Activated(window);
    // An action may open a question of its own, whose loop steps the others meanwhile.
    for (auto question = open_.begin(); question != open_.end();) {
        if (question->busy) {
            ++question;
            continue;
        }
        question->busy = true;
        const bool done = Advance(*question);
        question->busy = false;
        question = done ? open_.erase(question) : std::next(question);
    }
    if (open_.empty() && made_.empty() && timer_) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
    }
}

bool QuestionAnswerer::Advance(OpenQuestion& question)
{
    const std::vector<std::string>& actions = question.answer.actions;
    if (!IsOpen(question.dialog)) {
        if (!question.closing && question.next < actions.size())
            Fail(question.answer.line,
                 "the question closed before the answer's " + QuotedText(actions[question.next]));
        return true;
    }
    if (question.closing) return Close(question);
    std::string problem;
    if (question.next >= actions.size())
        problem = "the question " + Describe(question.dialog) + " is still open after its answer";
    else if (TakeAction(question.dialog, actions[question.next++], problem))
        return false;
    Fail(question.answer.line, problem);
    question.closing = 1;
    return false;
}

bool QuestionAnswerer::TakeAction(HWND dialog, const std::string& action, std::string& problem)
{
    if (action == "Enter" || action == "Escape") {
        PressKey(dialog, action == "Enter" ? VK_RETURN : VK_ESCAPE);
        return true;
    }
    HWND button = FindControl(dialog, action);
    if (!button || ClassOf(button) != "Button") {
        problem = "no button " + QuotedText(action) + " in the question " + Describe(dialog);
        return false;
    }
    if (!IsWindowEnabled(button)) {
        problem = "the button " + QuotedText(action) + " is disabled";
        return false;
    }
    SendMessageA(button, BM_CLICK, 0, 0);
    return true;
}

// Cancel where there is one, the dialog's own ending otherwise, and destruction last.
bool QuestionAnswerer::Close(OpenQuestion& question)
{
    HWND dialog = question.dialog;
    switch (question.closing++) {
    case 1:
        if (HWND cancel = FindControl(dialog, "Cancel")) {
            if (IsWindowEnabled(cancel)) {
                SendMessageA(cancel, BM_CLICK, 0, 0);
                return false;
            }
        }
        EndDialog(dialog, IDCANCEL);
        return false;
    case 2:
        EndDialog(dialog, IDCANCEL);
        return false;
    case 3:
        DestroyWindow(dialog);
        return false;
    default:
        return true;
    }
}

void QuestionAnswerer::Fail(int line, const std::string& reason)
{
    if (failure_.reason.empty()) failure_ = {line, reason};
}

std::string QuestionAnswerer::Describe(HWND dialog) const
{
    const std::string text = DialogMessage(dialog);
    return QuotedText(text.empty() ? WindowText(dialog) : text);
}

#include "questionanswerer.h"

#include <algorithm>

#include "guard.h"
#include "scriptlanguage.h"
#include "scriptwindows.h"

namespace {

QuestionAnswerer* current = nullptr;  // the thread's answerer, reached by the hook
const UINT kStepMilliseconds = 10;
const UINT WM_APP_STEP = WM_APP;  // to the answerer's own message-only window

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

// The key goes to the control with the focus, or to the one the dialog gives it first.
void PressKey(HWND dialog, WPARAM key)
{
    HWND target = GetFocus();
    if (!target || (target != dialog && !IsChild(dialog, target)))
        target = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!target) target = dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// How an answer's step reads in a failure: as the script writes it.
std::string Word(const AnswerAction& action)
{
    switch (action.kind) {
    case AnswerAction::Kind::kKey:
        if (action.key == VK_RETURN) return "Enter";
        if (action.key == VK_ESCAPE) return "Escape";
        return "key " + std::to_string(action.key);
    case AnswerAction::Kind::kButton:
        return action.button;
    default:
        return "step";
    }
}

}  // namespace

bool ShownQuestion::HasControl(int id) const
{
    return std::find(controls.begin(), controls.end(), id) != controls.end();
}

AnswerAction AnswerAction::Key(int key)
{
    AnswerAction action;
    action.kind = Kind::kKey;
    action.key = key;
    return action;
}

AnswerAction AnswerAction::Button(const std::string& idOrLabel)
{
    AnswerAction action;
    action.kind = Kind::kButton;
    action.button = idOrLabel;
    return action;
}

AnswerAction AnswerAction::Run(std::function<void(HWND)> run)
{
    AnswerAction action;
    action.kind = Kind::kRun;
    action.run = std::move(run);
    return action;
}

AnswerAction AnswerAction::FromWord(const std::string& word)
{
    if (word == "Enter") return Key(VK_RETURN);
    if (word == "Escape") return Key(VK_ESCAPE);
    return Button(word);
}

QuestionAnswerer::QuestionAnswerer()
    : hook_(SetWindowsHookExA(WH_CBT, HookProc, nullptr, GetCurrentThreadId())),
      previous_(current)
{
    current = this;
    // Steps are messages to this window, so that an answer goes on as soon as the
    // question's loop runs again.
    CreateHostWindow({"SceneHostQuestionAnswerer"}, 0, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

QuestionAnswerer::~QuestionAnswerer()
{
    if (timer_) KillTimer(nullptr, timer_);
    if (window_) DestroyWindow(window_);
    hook_.Close();
    if (current == this) current = previous_;
}

void QuestionAnswerer::Queue(int line, std::vector<AnswerAction> actions)
{
    queue_.push_back({line, std::move(actions)});
}

void QuestionAnswerer::Queue(int line, const std::vector<std::string>& words)
{
    std::vector<AnswerAction> actions;
    for (const std::string& word : words) actions.push_back(AnswerAction::FromWord(word));
    Queue(line, std::move(actions));
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
    Guarded([&] {
        if (current && code == HCBT_CREATEWND &&
            IsQuestionBeingMade(window, *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs))
            current->Made(window);
        // A dialog is activated once it is set up and shown, just before its loop starts.
        if (current && code == HCBT_ACTIVATE) current->Activated(window);
        if (current && code == HCBT_DESTROYWND) current->Forget(window);
    });
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK QuestionAnswerer::TimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    Guarded([] {
        if (current) current->Step();
    });
}

LRESULT QuestionAnswerer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_APP_STEP) return DefaultHandling(message, wParam, lParam);
    stepPosted_ = false;
    Step();
    return 0;
}

void QuestionAnswerer::Made(HWND window)
{
    made_.push_back(window);
    StepSoon();
}

// Actions are taken from the dialog's own loop, one a step, as a user's would arrive: the
// next step as soon as the loop runs again, and every few milliseconds while anything is
// open, for what waits on something else.
void QuestionAnswerer::StepSoon()
{
    if (!stepPosted_ && window_) stepPosted_ = PostMessageA(window_, WM_APP_STEP, 0, 0) != FALSE;
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
    ShownQuestion shown;
    shown.caption = WindowText(dialog);
    shown.text = DialogMessage(dialog);
    shown.icon = MessageBoxIcon(dialog);
    shown.controls = ControlIds(dialog);
    shown.owner = GetWindow(dialog, GW_OWNER);
    shown.answered = !queue_.empty();
    shown_.push_back(shown);
    OpenQuestion question;
    question.dialog = dialog;
    if (queue_.empty()) {
        question.answer.line = 0;
        question.closing = 1;
        Fail(0, "no answer for the question " + Describe(dialog));
    } else {
        question.answer = std::move(queue_.front());
        queue_.pop_front();
    }
    open_.push_back(std::move(question));
    StepSoon();
}

void QuestionAnswerer::Step()
{
    // A question shown without being activated (another program kept the foreground) is
    // answered all the same.
    const std::vector<HWND> made = made_;
    for (HWND window : made)
        if (IsWindowVisible(window)) Activated(window);
    // An action may open a question of its own, whose loop steps the others meanwhile.
    bool acted = false;
    for (auto question = open_.begin(); question != open_.end();) {
        // A dialog that takes the focus while it is set up is activated before it shows: it
        // has not begun. Its loop shows it once no message waits, so none is posted for it.
        if (IsOpen(question->dialog)) question->shown = true;
        const bool showing = !question->shown && IsWindow(question->dialog);
        if (question->busy || showing) {
            ++question;
            continue;
        }
        question->busy = true;
        const bool done = Advance(*question);
        question->busy = false;
        acted = true;
        question = done ? open_.erase(question) : std::next(question);
    }
    if (open_.empty() && made_.empty()) {
        if (timer_) KillTimer(nullptr, timer_);
        timer_ = 0;
    } else if (acted) {
        StepSoon();
    }
}

bool QuestionAnswerer::Advance(OpenQuestion& question)
{
    const std::vector<AnswerAction>& actions = question.answer.actions;
    if (!IsOpen(question.dialog)) {
        if (!question.closing && question.next < actions.size())
            Fail(question.answer.line, "the question closed before the answer's " +
                                           QuotedText(Word(actions[question.next])));
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

bool QuestionAnswerer::TakeAction(HWND dialog, const AnswerAction& action, std::string& problem)
{
    switch (action.kind) {
    case AnswerAction::Kind::kKey:
        PressKey(dialog, action.key);
        return true;
    case AnswerAction::Kind::kRun:
        action.run(dialog);
        return true;
    case AnswerAction::Kind::kButton:
        break;
    }
    const std::string word = QuotedText(Word(action));
    HWND button = FindControl(dialog, action.button);
    if (!button || ClassOf(button) != "Button") {
        problem = "no button " + word + " in the question " + Describe(dialog);
        return false;
    }
    if (!IsWindowEnabled(button)) {
        problem = "the button " + word + " is disabled";
        return false;
    }
    PressButton(button);
    return true;
}

// Cancel where there is one, the dialog's own ending otherwise, and destruction last.
bool QuestionAnswerer::Close(OpenQuestion& question)
{
    HWND dialog = question.dialog;
    switch (question.closing++) {
    case 1:
        if (HWND cancel = FindButton(dialog, "Cancel")) {
            if (IsWindowEnabled(cancel)) {
                PressButton(cancel);
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

#include "dialog_answerer.h"

#include "test_host.h"

namespace {

DialogAnswerer* current = nullptr;

bool IsIconStatic(HWND control)
{
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    return lstrcmpiA(className, "Static") == 0 &&
           (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

BOOL CALLBACK CollectControl(HWND control, LPARAM lParam)
{
    auto* seen = reinterpret_cast<SeenDialog*>(lParam);
    seen->controls.push_back(GetDlgCtrlID(control));
    char className[16] = "";
    GetClassNameA(control, className, sizeof className);
    if (seen->text.empty() && lstrcmpiA(className, "Static") == 0 && !IsIconStatic(control))
        seen->text = WindowText(control);
    return TRUE;
}

bool IsFloater(HWND dialog)
{
    static const char* const floaters[] = {"Find/Replace Properties", "User Properties",
                                           "Frame Test Floater"};
    const std::string caption = WindowText(dialog);
    for (const char* floater : floaters)
        if (caption == floater) return true;
    return false;
}

void PostCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostKey(HWND dialog, int key)
{
    // Keys go to the control that will have the focus, as typing would.
    HWND target = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!target) target = dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

bool SeenDialog::HasControl(int id) const
{
    for (int control : controls)
        if (control == id) return true;
    return false;
}

UINT MessageBoxIconOf(HWND box)
{
    struct Known {
        LPCSTR id;
        UINT style;
    };
    const Known icons[] = {{IDI_HAND, MB_ICONERROR},
                           {IDI_ASTERISK, MB_ICONINFORMATION},
                           {IDI_EXCLAMATION, MB_ICONWARNING},
                           {IDI_QUESTION, MB_ICONQUESTION}};
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsIconStatic(child)) continue;
        HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        for (const Known& known : icons)
            if (shown && shown == LoadIconA(nullptr, known.id)) return known.style;
    }
    return 0;
}

DialogAnswerer::DialogAnswerer()
    : hook_(SetWindowsHookExA(WH_CALLWNDPROCRET, HookProc, nullptr, GetCurrentThreadId()))
{
    current = this;
}

DialogAnswerer::~DialogAnswerer()
{
    UnhookWindowsHookEx(hook_);
    current = nullptr;
}

DialogAnswerer& DialogAnswerer::Press(int button) { return Queue({{}, button, nullptr}); }

DialogAnswerer& DialogAnswerer::PressKeys(std::vector<int> keys, int thenButton)
{
    return Queue({std::move(keys), thenButton, nullptr});
}

DialogAnswerer& DialogAnswerer::Queue(Answer answer)
{
    answers_.push_back(std::move(answer));
    return *this;
}

int DialogAnswerer::Unanswered() const
{
    int count = 0;
    for (const SeenDialog& dialog : seen_) count += dialog.answered ? 0 : 1;
    return count;
}

LRESULT CALLBACK DialogAnswerer::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && current && call->message == WM_INITDIALOG) {
        char className[16] = "";
        GetClassNameA(call->hwnd, className, sizeof className);
        // Pop-up dialogs only, and not the modeless floaters, which the tests drive.
        if (lstrcmpA(className, "#32770") == 0 &&
            !(GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD) && !IsFloater(call->hwnd))
            current->DialogOpened(call->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogAnswerer::DialogOpened(HWND dialog)
{
    SeenDialog seen;
    seen.caption = WindowText(dialog);
    seen.owner = GetWindow(dialog, GW_OWNER);
    EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&seen));
    seen.icon = MessageBoxIconOf(dialog);
    if (answers_.empty()) {
        // Nothing was expected: end it at once so that the test fails instead of hanging.
        seen_.push_back(seen);
        EndDialog(dialog, IDABORT);
        return;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    seen.answered = true;
    seen_.push_back(seen);
    if (answer.whileOpen) answer.whileOpen();
    for (int key : answer.keys) PostKey(dialog, key);
    if (answer.button) PostCommand(dialog, answer.button);
}

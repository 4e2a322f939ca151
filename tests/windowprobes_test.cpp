// The window probes and the question answerer that the script runner, the tests and the
// benchmark share.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "questionanswerer.h"
#include "scriptwindows.h"
#include "test_host.h"
#include "windowprobes.h"

namespace {

using Strings = std::vector<std::string>;

HWND Child(HWND parent, const char* windowClass, const char* text, DWORD style, int id)
{
    return CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 80, 20,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
}

class WindowProbes : public testing::Test {
protected:
    void SetUp() override
    {
        top = CreateWindowExA(0, "STATIC", "Probe Test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(top, nullptr);
    }
    void TearDown() override { DestroyWindow(top); }
    HWND top = nullptr;
};

// Texts come back whole however many bytes their characters take.
TEST_F(WindowProbes, TextsOfEveryKindComeBackWhole)
{
    const std::string texts[] = {"", "Opened desk.scene", "Opened \xC3\xBC\xE6\x97\xA5.scene",
                                 std::string(300, 'x') + "\xE6\x97\xA5"};
    HWND status = Child(top, STATUSCLASSNAMEA, "", 0, 1);
    const int parts[] = {100, -1};
    SendMessageA(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    HWND list = Child(top, "LISTBOX", "", 0, 2);
    for (const std::string& text : texts) {
        SendMessageA(status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text.c_str()));
        EXPECT_EQ(StatusBarText(status, 1), text);
        SetWindowTextA(top, text.c_str());
        EXPECT_EQ(WindowText(top), text);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    EXPECT_EQ(ListItems(list), Strings(std::begin(texts), std::end(texts)));
    EXPECT_EQ(StatusBarText(status, 0), "");
}

int clicks[3];  // BN_CLICKED notices, by control id

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) < 3)
        ++clicks[LOWORD(wParam)];
    return DefWindowProcA(window, message, wParam, lParam);
}

// A press reaches the button's parent once, whatever the button's size (one not laid out yet
// has none, and a played mouse click lands outside it), and a check box changes its mark.
TEST_F(WindowProbes, APressedButtonTellsItsParentOnce)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PressTest";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "PressTest", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, top,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    struct Case {
        DWORD style;
        int width;
        LRESULT checked;  // after the press
    };
    const Case cases[] = {{BS_PUSHBUTTON, 80, BST_UNCHECKED},
                          {BS_DEFPUSHBUTTON, 0, BST_UNCHECKED},
                          {BS_AUTOCHECKBOX, 80, BST_CHECKED}};
    for (int id = 0; id < 3; ++id) {
        const Case& c = cases[id];
        HWND button = CreateWindowExA(0, "BUTTON", "Press", WS_CHILD | WS_VISIBLE | c.style, 0,
                                      0, c.width, c.width / 4, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      GetModuleHandleA(nullptr), nullptr);
        PressButton(button);
        EXPECT_EQ(clicks[id], 1) << "case " << id;
        EXPECT_EQ(SendMessageA(button, BM_GETCHECK, 0, 0), c.checked) << "case " << id;
    }
    DestroyWindow(parent);
}

TEST_F(WindowProbes, ControlsAreFoundByIdOrByTheLabelShown)
{
    HWND icon = Child(top, "STATIC", "", SS_ICON, 10);
    SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_HAND)), 0);
    Child(top, "STATIC", "", 0, 11);
    Child(top, "STATIC", "The message", 0, 12);
    HWND yes = Child(top, "BUTTON", "&Yes\tY", 0, 13);
    HWND nested = Child(Child(top, "STATIC", "", 0, 14), "BUTTON", "Save && Close", 0, 15);

    EXPECT_EQ(FindControl(top, 13), yes);
    EXPECT_EQ(FindControl(top, 15), nested) << "controls inside controls count";
    EXPECT_EQ(FindControl(top, 99), nullptr);
    EXPECT_EQ(FindButton(top, "Yes"), yes);
    EXPECT_EQ(FindButton(top, "Save & Close"), nested);
    EXPECT_EQ(FindButton(top, "The message"), nullptr) << "only buttons have labels";
    EXPECT_EQ(ControlIds(top), (std::vector<int>{10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(DialogMessage(top), "The message") << "neither the icon nor an empty text";
    EXPECT_EQ(MessageBoxIcon(top), static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(ClassOf(yes), "Button");
}

struct BoxCase {
    Strings answer;  // as a script writes it; none: nothing queued
    int result;      // what MessageBoxA returns
    const char* failure;
};

class QuestionAnswering : public WindowProbes {
protected:
    int Ask(QuestionAnswerer& answerer)
    {
        const int result =
            MessageBoxA(top, "Save changes?", "Probe", MB_YESNOCANCEL | MB_ICONWARNING);
        PumpMessages();
        answerer.Settle();
        return result;
    }
};

TEST_F(QuestionAnswering, EachAnswerIsTakenStepByStepAndWhatGoesWrongIsSaid)
{
    const BoxCase cases[] = {
        {{"Yes"}, IDYES, ""},
        {{"7"}, IDNO, ""},
        {{"Escape"}, IDCANCEL, ""},
        {{"Maybe"}, IDCANCEL, "no button \"Maybe\" in the question \"Save changes?\""},
        {{"Yes", "No"}, IDYES, "the question closed before the answer's \"No\""},
        {{}, IDCANCEL, "no answer for the question \"Save changes?\""},
    };
    for (const BoxCase& c : cases) {
        QuestionAnswerer answerer;
        if (!c.answer.empty()) answerer.Queue(3, c.answer);
        const std::string words = c.answer.empty() ? "nothing" : c.answer[0];
        EXPECT_EQ(Ask(answerer), c.result) << words;
        EXPECT_EQ(answerer.Failure().reason, c.failure) << words;
        EXPECT_EQ(answerer.Failure().line, *c.failure && !c.answer.empty() ? 3 : 0) << words;
        ASSERT_EQ(answerer.Shown().size(), 1u) << words;
        const ShownQuestion& shown = answerer.Shown()[0];
        EXPECT_EQ(shown.caption, "Probe");
        EXPECT_EQ(shown.text, "Save changes?");
        EXPECT_EQ(shown.icon, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(shown.owner, top);
        for (int button : {IDYES, IDNO, IDCANCEL}) EXPECT_TRUE(shown.HasControl(button));
        EXPECT_EQ(shown.answered, !c.answer.empty());
        EXPECT_EQ(answerer.Pending(), 0u);
    }
}

// An in-memory dialog template with no menu, class or title.
struct DialogTemplate {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
};

// A dialog that takes the focus while it is set up is activated before it shows; it is
// answered once it shows, not taken for closed.
TEST_F(QuestionAnswering, ADialogActivatedBeforeItShowsIsAnswered)
{
    alignas(DWORD) const DialogTemplate hiddenTemplate = {
        {WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 0, 100, 40}, 0, 0, 0};
    QuestionAnswerer answerer;
    answerer.Queue(0, Strings{"Enter"});
    const INT_PTR result = DialogBoxIndirectParamA(
        GetModuleHandleA(nullptr), &hiddenTemplate.dialog, top,
        [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                SetFocus(dialog);
                return FALSE;
            }
            if (message == WM_COMMAND && LOWORD(wParam) == IDOK) EndDialog(dialog, 42);
            return message == WM_COMMAND;
        },
        0);
    answerer.Settle();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(answerer.Failure().reason, "");
    EXPECT_EQ(answerer.Shown().size(), 1u);
}

// A modeless dialog made while its owner is enabled is a floater the user works in; the
// questions it asks are the answerer's.
TEST_F(QuestionAnswering, AFloaterIsNoQuestionButWhatItAsksIs)
{
    alignas(DWORD) const DialogTemplate floaterTemplate = {
        {WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 0, 0, 100, 40}, 0, 0, 0};
    QuestionAnswerer answerer;
    HWND floater = CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), &floaterTemplate.dialog, top,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0);
    ASSERT_NE(floater, nullptr);
    PumpMessages();
    EXPECT_TRUE(answerer.Shown().empty());

    answerer.Queue(0, Strings{"OK"});
    EXPECT_EQ(MessageBoxA(floater, "Done.", "", MB_OK), IDOK);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].owner, floater);
    EXPECT_TRUE(IsWindow(floater));
    DestroyWindow(floater);
}

}  // namespace

#include "querydialogs.h"

#include "frame.h"
#include "guard.h"
#include "hostutil.h"
#include "resource.h"

namespace {

struct QuestionIds {
    int firstButton;
    int lastButton;
    int messageControl;
};

constexpr QuestionIds kMultiMatchIds = {IDC_MULTI_CANCEL, IDC_MULTI_IGNORE_ALL,
                                        IDC_MULTI_MESSAGE};
constexpr QuestionIds kReplaceConfirmIds = {IDC_CONFIRM_REPLACE, IDC_CONFIRM_CANCEL,
                                            IDC_CONFIRM_MESSAGE};

// Both questions only report which of their three buttons closed them. Escape (IDCANCEL)
// and IDOK lie outside the button range, so the user must pick one of the three.
INT_PTR QuestionProc(const QuestionIds& ids, HWND dialog, UINT message, WPARAM wParam,
                     LPARAM lParam)
{
    auto* params = reinterpret_cast<QueryParams*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (!params && message != WM_INITDIALOG) return 0;
    switch (message) {
    case WM_INITDIALOG:
        params = reinterpret_cast<QueryParams*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        SetDlgItemTextA(dialog, ids.messageControl, params ? params->text : "");
        CenterWindow(dialog, GetParent(dialog));
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id >= ids.firstButton && id <= ids.lastButton) {
            params->answer = id;
            EndDialog(dialog, 1);
        }
        return 0;
    }
    default:
        return 0;
    }
}

int RunQuestion(int templateId, DLGPROC procedure, HWND owner, const char* text)
{
    QueryParams params = {0, text};
    const INT_PTR result = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), owner,
                                           procedure, reinterpret_cast<LPARAM>(&params));
    // Only a button closes a question with 1; anything else leaves the answer unknown.
    return result == 1 ? params.answer : 0;
}

}  // namespace

INT_PTR CALLBACK MultiMatchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded<INT_PTR>(
        0, [&] { return QuestionProc(kMultiMatchIds, dialog, message, wParam, lParam); });
}

INT_PTR CALLBACK ReplaceConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded<INT_PTR>(
        0, [&] { return QuestionProc(kReplaceConfirmIds, dialog, message, wParam, lParam); });
}

int MultiMatchDialog(HWND owner, const char* text)
{
    return RunQuestion(IDD_MULTI_MATCH, MultiMatchProc, owner, text);
}

int ReplaceConfirmDialog(HWND owner, const char* text)
{
    return RunQuestion(IDD_REPLACE_CONFIRM, ReplaceConfirmProc, owner, text);
}

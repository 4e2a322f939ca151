#include "floater.h"

#include "frame.h"
#include "hold.h"
#include "propertyruns.h"
#include "querydialogs.h"
#include "resource.h"

namespace {

// ResString's buffer is overwritten by the next load, and a message box runs a message loop
// in which anything may load another string, so the box gets its own copy.
void ShowMessage(HWND owner, int textId, UINT icon)
{
    const CStr text = ResString(textId);
    MessageBoxA(owner, text, "", MB_OK | icon);
}

void ShowSummary(Interface* ip, int formatId, int first, int second)
{
    CStr status;
    status.printf(ResString(formatId), first, second);
    ip->ShowStatus(status);
}

// The questions of a run, owned by the floater window.
class FloaterQuestions : public MatchQuestions {
public:
    explicit FloaterQuestions(HWND owner) : owner_(owner) {}

    int AskMultiMatch(SceneNode* node, const CStr& find) override
    {
        CStr message;
        message.printf(ResString(IDS_MULTI_MATCH_MESSAGE), node->NodeName(), find.data());
        return MultiMatchDialog(owner_, message);
    }

    // The user sees the Find text as typed, not the node's matching line.
    int AskReplace(SceneNode* node, const CStr& find, const CStr& replace) override
    {
        CStr message;
        message.printf(ResString(IDS_REPLACE_CONFIRM_MESSAGE), node->NodeName(), find.data(),
                       replace.data());
        return ReplaceConfirmDialog(owner_, message);
    }

private:
    HWND owner_;
};

}  // namespace

INT_PTR FindReplaceFloater::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        frame.Place(window);
        UpdateButtons(window);
        coreInterface->RegisterDialogWindow(window);
        return TRUE;  // the dialog manager puts the focus into the Find field
    case WM_DESTROY:
        coreInterface->UnregisterDialogWindow(window);
        frame.Destroyed(window, this->window);
        return TRUE;
    case WM_NCDESTROY:  // gone for good; a window put away between scenes gets WM_DESTROY only
        if (controls_.window == window) controls_ = {};
        return FALSE;
    case WM_EXITSIZEMOVE:
        frame.Remember(window);
        return TRUE;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void FindReplaceFloater::OnCommand(HWND window, int id, int code)
{
    switch (id) {
    case IDCANCEL:
        DestroyWindow(this->window);
        this->window = nullptr;
        break;
    case IDC_SEARCH_SELECT: {
        CStr find;
        if (ReadWindowText(GetDlgItem(window, IDC_FIND_TEXT), find)) SearchAndSelect(find);
        break;
    }
    case IDC_REMOVE_PROPERTY: {
        if (!HasSelection()) break;
        CStr find;
        if (ReadWindowText(GetDlgItem(window, IDC_FIND_TEXT), find)) RemoveProperty(find);
        break;
    }
    case IDC_REPLACE:
    case IDC_WRITE_ALL: {
        if (!HasSelection()) break;
        CStr find, replace;
        if (ReadWindowText(GetDlgItem(window, IDC_FIND_TEXT), find) &&
            ReadWindowText(GetDlgItem(window, IDC_REPLACE_TEXT), replace))
            ReplaceProperty(find, replace, id == IDC_WRITE_ALL ? 1 : 0);
        break;
    }
    case IDC_FIND_TEXT:
    case IDC_REPLACE_TEXT:
        frame.FieldFocus(code);
        if (code == EN_CHANGE) UpdateButtons(window);
        break;
    default:
        break;
    }
}

void FindReplaceFloater::UpdateButtons(HWND window)
{
    // Each look-up of a control asks the system for the window's children: once a window.
    if (controls_.window != window) {
        controls_ = {window,
                     GetDlgItem(window, IDC_FIND_TEXT),
                     GetDlgItem(window, IDC_REPLACE_TEXT),
                     GetDlgItem(window, IDC_SEARCH_SELECT),
                     GetDlgItem(window, IDC_REMOVE_PROPERTY),
                     GetDlgItem(window, IDC_REPLACE),
                     GetDlgItem(window, IDC_WRITE_ALL)};
    }
    const bool hasFind = GetWindowTextLengthA(controls_.find) > 0;
    const bool hasReplace = GetWindowTextLengthA(controls_.replace) > 0;
    EnableIfOther(controls_.searchSelect, hasFind);
    EnableIfOther(controls_.removeProperty, hasFind);
    EnableIfOther(controls_.replaceButton, hasFind && hasReplace);
    // An empty Find text is allowed here: every node then gets the new line.
    EnableIfOther(controls_.writeAll, hasReplace);
}

bool FindReplaceFloater::ReadWindowText(HWND control, CStr& text)
{
    const int length = GetWindowTextLengthA(control);
    if (!text.Resize(length + 1)) return false;
    GetWindowTextA(control, text.data(), length + 1);
    return true;
}

bool FindReplaceFloater::HasSelection()
{
    if (coreInterface->SelectedCount() > 0) return true;
    ShowMessage(window, IDS_NO_SELECTION, MB_ICONERROR);
    return false;
}

// The selection is read once: the user may change it while a question is open, and the
// run, its summary and its undo step must all concern the nodes selected at the start.
void FindReplaceFloater::TakeSelection(NodeTab& nodes)
{
    const int count = coreInterface->SelectedCount();
    if (nodes.SetCount(count) < 0) return;
    for (int i = 0; i < count; ++i) nodes.Set(i, coreInterface->SelectedNode(i));
}

void FindReplaceFloater::SearchAndSelect(const CStr& find)
{
    NodeTab nodes;
    SceneNode* root = coreInterface->RootNode();
    for (int i = 0; i < root->ChildCount(); ++i) CollectMatchingNodes(root->Child(i), find, nodes);
    if (nodes.Count() == 0) {
        ShowMessage(coreInterface->MainWindow(), IDS_NO_MATCH, MB_ICONINFORMATION);
        return;
    }
    CStr status;
    status.printf(ResString(IDS_SELECTED_OBJECTS), nodes.Count());
    theHold.Begin();
    coreInterface->ClearSelection(0);
    coreInterface->SelectNodes(nodes, 1, 1);
    coreInterface->ShowStatus(status);
    theHold.Accept(ResString(IDS_UNDO_SELECT));
}

void FindReplaceFloater::RemoveProperty(const CStr& find)
{
    NodeTab nodes;
    TakeSelection(nodes);
    FloaterQuestions questions(window);
    theHold.Begin();
    const RunOutcome outcome = RemoveMatchingLines(nodes, find, questions);
    CloseRun(outcome, IDS_UNDO_REMOVE, IDS_REMOVED_SUMMARY, nodes.Count());
}

void FindReplaceFloater::ReplaceProperty(const CStr& find, const CStr& replace, int writeAll)
{
    NodeTab nodes;
    TakeSelection(nodes);
    FloaterQuestions questions(window);
    theHold.Begin();
    const RunOutcome outcome =
        ReplaceMatchingLines(nodes, find, replace, writeAll != 0, questions);
    if (writeAll && outcome.written > 0) {
        // A Write to ALL! that wrote a node ends as a step, even after a Cancel answer.
        theHold.Accept(ResString(IDS_UNDO_WRITE_ALL));
        CStr status;
        status.printf(ResString(IDS_WROTE_SUMMARY), nodes.Count());
        coreInterface->ShowStatus(status);
        return;
    }
    if (writeAll) {
        // One that wrote nothing says so, and leaves no step behind.
        theHold.Cancel();
        if (outcome.cancelled)
            coreInterface->ShowStatus(CStr(ResString(IDS_CANCELLED_NOTHING_WRITTEN)));
        else
            ShowMessage(coreInterface->MainWindow(), IDS_WROTE_NOTHING, MB_ICONINFORMATION);
        return;
    }
    CloseRun(outcome, IDS_UNDO_REPLACE, IDS_REPLACED_SUMMARY, nodes.Count());
}

// A run that changed nodes becomes one named step with its summary; one that changed none
// leaves no step, and says so unless the user's own Cancel explains it.
void FindReplaceFloater::CloseRun(const RunOutcome& outcome, int undoNameId, int summaryId,
                                  int selectedCount)
{
    if (outcome.changed > 0) {
        theHold.Accept(ResString(undoNameId));
        ShowSummary(coreInterface, summaryId, outcome.changed, selectedCount);
        return;
    }
    theHold.Cancel();
    if (!outcome.cancelled)
        ShowMessage(coreInterface->MainWindow(), IDS_PROPERTY_NOT_FOUND, MB_ICONINFORMATION);
}

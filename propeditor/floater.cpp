#include "floater.h"

#include <new>

#include "frame.h"
#include "hold.h"
#include "hostutil.h"
#include "nodetextrestore.h"
#include "nodelist.h"
#include "resource.h"

int markedIndex = 0;

namespace {

const char kMarker[] = " *";
const int kMarkerLength = 2;
const int kMargin = 5;

int CurrentItem(HWND list)
{
    const LRESULT current = SendMessageA(list, LB_GETCURSEL, 0, 0);
    return current == LB_ERR ? -1 : static_cast<int>(current);
}

// The node an item carries; null for an index the list does not hold, so that the list
// box's error value is never taken for a node.
SceneNode* NodeOfItem(HWND list, int index)
{
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (index < 0 || count == LB_ERR || index >= count) return nullptr;
    const LRESULT data = SendMessageA(list, LB_GETITEMDATA, index, 0);
    if (data == LB_ERR) return nullptr;
    return reinterpret_cast<SceneNode*>(data);
}

bool ItemText(HWND list, int index, CStr& text) { return ListBoxItemText(list, index, text); }

bool EndsWithMarker(const CStr& text)
{
    const int length = text.Length();
    return length >= kMarkerLength && lstrcmpA(text.data() + length - kMarkerLength, kMarker) == 0;
}

// Replaces item index by text, keeping its place and its node, then makes current current.
void RewriteItem(HWND list, int index, const CStr& text, SceneNode* node, int current)
{
    SendMessageA(list, LB_DELETESTRING, index, 0);
    const LRESULT item =
        SendMessageA(list, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.data()));
    if (item >= 0) SendMessageA(list, LB_SETITEMDATA, item, reinterpret_cast<LPARAM>(node));
    SendMessageA(list, LB_SETCURSEL, current, 0);
}

// Only a real trailing marker goes: a name may end in anything, " *" included.
void RemoveMarker(HWND list, int index, int current)
{
    CStr text;
    if (!ItemText(list, index, text) || !EndsWithMarker(text)) return;
    RewriteItem(list, index, text.Substr(0, text.Length() - kMarkerLength),
                NodeOfItem(list, index), current);
}

bool EditorText(HWND editor, CStr& text)
{
    const int length = GetWindowTextLengthA(editor);
    if (length <= 0) {
        text = "";
        return true;
    }
    if (!text.Resize(length)) return false;
    GetWindowTextA(editor, text.data(), length + 1);
    return true;
}

// Moves a control and has it paint itself anew. Its old picture is not carried over: where
// the window grew, the dialog paints its background there after the move and would cover it.
void Place(HWND control, int x, int y, int width, int height)
{
    SetWindowPos(control, nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

bool ControlRect(HWND hwnd, HWND control, RECT& rect)
{
    if (!control || !GetWindowRect(control, &rect)) return false;
    PropEditorFloater::ScreenRectToClient(hwnd, rect);
    return true;
}

}  // namespace

INT_PTR PropEditorFloater::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(hwnd);
        return TRUE;
    case WM_DESTROY:
        Destroyed(hwnd);
        return TRUE;
    case WM_SIZE:
        LayoutControls(hwnd);
        return TRUE;
    case WM_EXITSIZEMOVE:
        frame.Remember(hwnd);
        return TRUE;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

void PropEditorFloater::InitDialog(HWND hwnd)
{
    frame.Place(hwnd);
    markedIndex = 0;
    // No length limit: a text cut at the control's default would be written cut.
    SendDlgItemMessageA(hwnd, IDC_PROP_TEXT, EM_SETLIMITTEXT, 0, 0);
    coreInterface->RegisterCallback(&theNodeListRefresher);
}

void PropEditorFloater::Destroyed(HWND hwnd)
{
    coreInterface->UnregisterCallback(&theNodeListRefresher);
    frame.Destroyed(hwnd, window);
}

void PropEditorFloater::Command(int id, int code)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
        DestroyWindow(window);
        window = nullptr;
        break;
    case IDC_APPLY:
        Apply();
        break;
    case IDC_NODE_LIST:
        if (code == LBN_SELCHANGE) SelectionChange();
        break;
    case IDC_PROP_TEXT:
        frame.FieldFocus(code);
        if (code == EN_CHANGE && !modified && !loading) FirstChange();
        break;
    default:
        break;
    }
}

void PropEditorFloater::Apply()
{
    CStr text;
    // Out of memory: writing a cut text would lose the node's data; keep the change pending.
    if (!EditorText(GetDlgItem(window, IDC_PROP_TEXT), text)) return;
    HWND list = List();
    const int cur = CurrentItem(list);
    if (SceneNode* node = NodeOfItem(list, cur)) {
        if (!WriteAsStep(node, text)) return;
        if (modified) RemoveMarker(list, cur, cur);
        markedIndex = cur;
        CStr said;
        said.printf(ResString(IDS_APPLIED), node->NodeName());
        coreInterface->ShowStatus(said);
    }
    SetApplyEnabled(false);
    modified = 0;
}

// Writes the text as one undo step, so that undoing or redoing other steps never throws it
// away. False, with the node untouched and the change still pending, when it cannot be.
bool PropEditorFloater::WriteAsStep(SceneNode* node, const CStr& text)
{
    // A step of ours inside another command's open group would be undone by its Cancel.
    if (theHold.Holding()) {
        const CStr message = ResString(IDS_APPLY_WAITS);
        MessageBoxA(window, message, "", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    CStr now;
    node->GetUserPropText(now);
    if (now == text) return true;
    CStr written;
    if (!written.Assign(text, text.Length())) return false;
    // The host reloads its plug-ins' views after a step that rewrote texts; this window
    // keeps its item and its text instead.
    applying = true;
    theHold.Begin();
    const bool put = PutNodeText(node, written);
    theHold.Accept(ResString(IDS_UNDO_APPLY));
    applying = false;
    return put;
}

void PropEditorFloater::FirstChange()
{
    HWND list = List();
    const int cur = CurrentItem(list);
    CStr text;
    if (cur >= 0 && ItemText(list, cur, text)) {
        SceneNode* node = NodeOfItem(list, cur);
        text += kMarker;
        RewriteItem(list, cur, text, node, cur);
        markedIndex = cur;
    }
    SetApplyEnabled(true);
    modified = 1;
}

void PropEditorFloater::SelectionChange()
{
    // The pending change is dropped without a word: only its marker has to go.
    if (modified) {
        HWND list = List();
        const int cur = CurrentItem(list);
        if (NodeOfItem(list, markedIndex)) {
            RemoveMarker(list, markedIndex, cur);
            markedIndex = cur;
        }
    }
    LoadSelectedText();
}

void PropEditorFloater::LoadSelectedText()
{
    HWND list = List();
    SceneNode* node = NodeOfItem(list, CurrentItem(list));
    if (!node) return;
    CStr text;
    node->GetUserPropText(text);
    ShowEditorText(text);
    modified = 0;
    SetApplyEnabled(false);
}

void PropEditorFloater::ShowEditorText(const char* text)
{
    loading = true;
    SendDlgItemMessageA(window, IDC_PROP_TEXT, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    loading = false;
}

void PropEditorFloater::SetApplyEnabled(bool enabled)
{
    HWND apply = GetDlgItem(window, IDC_APPLY);
    // A disabled control loses the focus to nobody, leaving the keyboard dead until a click:
    // hand it on to the next control first, as Tab would. Apply is the first tab stop and
    // holds the focus when the window opens, so this also settles where opening leaves it.
    if (!enabled && apply && GetFocus() == apply) SendMessageA(window, WM_NEXTDLGCTL, 0, FALSE);
    EnableIfOther(apply, enabled);
}

HWND PropEditorFloater::List() const { return GetDlgItem(window, IDC_NODE_LIST); }

void PropEditorFloater::ScreenRectToClient(HWND hwnd, RECT& rect)
{
    POINT topLeft = {rect.left, rect.top};
    POINT bottomRight = {rect.right, rect.bottom};
    ScreenToClient(hwnd, &topLeft);
    ScreenToClient(hwnd, &bottomRight);
    rect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void PropEditorFloater::LayoutControls(HWND hwnd)
{
    HWND apply = GetDlgItem(hwnd, IDC_APPLY);
    HWND editor = GetDlgItem(hwnd, IDC_PROP_TEXT);
    HWND list = GetDlgItem(hwnd, IDC_NODE_LIST);
    RECT client, a, e, l;
    // Sizing arrives while the dialog is still being built: nothing to place yet.
    if (!GetClientRect(hwnd, &client) || !ControlRect(hwnd, apply, a) ||
        !ControlRect(hwnd, editor, e) || !ControlRect(hwnd, list, l))
        return;
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const int applyWidth = a.right - a.left;
    const int applyHeight = a.bottom - a.top;

    Place(apply, w - applyWidth - kMargin, h - applyHeight - kMargin, applyWidth, applyHeight);
    Place(editor, e.left, e.top, w - e.left - kMargin, h - applyHeight - 2 * kMargin - e.top);
    Place(list, l.left, l.top, l.right - l.left, h - l.top - kMargin);
}

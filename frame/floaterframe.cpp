#include "floaterframe.h"

#include <new>

#include "hostutil.h"

void TakeOwnersIcon(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) return;
    const auto ownersIcon = [owner](WPARAM kind, int classIndex) {
        const LRESULT set = SendMessageA(owner, WM_GETICON, kind, 0);
        return reinterpret_cast<HICON>(set ? set : GetClassLongPtrA(owner, classIndex));
    };
    const HICON big = ownersIcon(ICON_BIG, GCLP_HICON);
    const HICON small = ownersIcon(ICON_SMALL, GCLP_HICONSM);
    if (!big) return;
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : big));
}

void EnableIfOther(HWND control, bool enabled)
{
    if ((IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled ? TRUE : FALSE);
}

void FloaterFrame::Place(HWND window)
{
    RECT now;
    if (!GetWindowRect(window, &now)) return;
    if (x == -1 && y == -1) {
        HWND owner = GetParent(window);
        RECT over = {};
        const bool ownerKnown = owner && GetWindowRect(owner, &over);
        if (ownerKnown && centred_.known && EqualRect(&over, &centred_.owner) &&
            EqualRect(&now, &centred_.place))
            return;
        centred_ = {};
        CenterWindow(window, owner);
        if (ownerKnown && GetWindowRect(window, &centred_.place)) {
            centred_.owner = over;
            centred_.known = true;
        }
        return;
    }
    const int w = keeps_ == Keeps::kPlace ? now.right - now.left : width;
    const int h = keeps_ == Keeps::kPlace ? now.bottom - now.top : height;
    const RECT wanted = {x, y, x + w, y + h};
    if (!EqualRect(&now, &wanted)) MoveWindow(window, x, y, w, h, FALSE);
}

void FloaterFrame::Remember(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    x = rect.left;
    y = rect.top;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
}

void FloaterFrame::FieldFocus(int code)
{
    if (code == EN_SETFOCUS) {
        DisableAccelerators();
        shortcutsPaused_ = true;
    } else if (code == EN_KILLFOCUS) {
        EnableAccelerators();
        shortcutsPaused_ = false;
    }
}

void FloaterFrame::Destroyed(HWND destroyed, HWND& window)
{
    if (shortcutsPaused_) {
        EnableAccelerators();
        shortcutsPaused_ = false;
    }
    if (window == destroyed) window = nullptr;
    if (kept_ == destroyed) kept_ = nullptr;
    if (madeWindow_ == destroyed) madeWindow_ = nullptr;
}

namespace {

enum class ControlKind { kOther, kButton, kEdit, kListBox, kStatic };

ControlKind KindOf(HWND control)
{
    char name[16] = "";
    GetClassNameA(control, name, sizeof name);
    if (lstrcmpiA(name, "Button") == 0) return ControlKind::kButton;
    if (lstrcmpiA(name, "Edit") == 0) return ControlKind::kEdit;
    if (lstrcmpiA(name, "ListBox") == 0) return ControlKind::kListBox;
    if (lstrcmpiA(name, "Static") == 0) return ControlKind::kStatic;
    return ControlKind::kOther;
}

std::string TextOf(HWND window)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

void SetTextIfOther(HWND window, const std::string& text)
{
    if (TextOf(window) != text) SetWindowTextA(window, text.c_str());
}

// Stands in for the floater's procedure while its controls are set back: a new window's
// controls get their texts without a word to the floater either.
INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

void FloaterFrame::Made(HWND window)
{
    if (window == madeWindow_) return;  // a kept window starting again
    madeWindow_ = nullptr;
    made_.clear();
    try {
        madeCaption_ = TextOf(window);
        for (HWND control = GetWindow(window, GW_CHILD); control;
             control = GetWindow(control, GW_HWNDNEXT)) {
            const ControlKind kind = KindOf(control);
            MadeControl made = {control, TextOf(control), GetWindowLongA(control, GWL_STYLE), 0, 0};
            if (kind == ControlKind::kEdit) made.limit = SendMessageA(control, EM_GETLIMITTEXT, 0, 0);
            if (kind == ControlKind::kButton) made.check = SendMessageA(control, BM_GETCHECK, 0, 0);
            // Items a list was made with could not be given back.
            if (kind == ControlKind::kOther ||
                (kind == ControlKind::kListBox && SendMessageA(control, LB_GETCOUNT, 0, 0) != 0)) {
                made_.clear();
                return;
            }
            made_.push_back(made);
        }
        madeWindow_ = window;
    } catch (const std::bad_alloc&) {
        made_.clear();  // such a window is closed between scenes, as any other
    }
}

bool FloaterFrame::CanSetBack(HWND window) const
{
    return window == madeWindow_ && IsWindowVisible(window) && IsWindowEnabled(window) &&
           !IsIconic(window) && !IsZoomed(window);
}

void FloaterFrame::PutAway(HWND& window, DLGPROC procedure)
{
    HWND open = window;
    if (!open) return;
    if (!CanSetBack(open)) {
        // As a user closes it; a disabled window refuses that, and goes all the same.
        SendMessageA(open, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (IsWindow(open)) DestroyWindow(open);
        return;
    }
    // Hidden first, so that a field loses the focus as it would when the window closes.
    // With its owner hidden too there is no window to hand the activation to: the floater
    // keeps it, so that its next opening need not take it back.
    HWND owner = GetWindow(open, GW_OWNER);
    if (owner && !IsWindowVisible(owner)) {
        HWND focus = GetFocus();
        if (focus && IsChild(open, focus)) SetFocus(nullptr);
        SetWindowPos(open, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    } else {
        ShowWindow(open, SW_HIDE);
    }
    procedure(open, WM_DESTROY, 0, 0);
    window = nullptr;
    madeWindow_ = open;  // the floater's Destroyed forgot it
    SetBack(open, procedure);
    kept_ = open;
}

void FloaterFrame::SetBack(HWND window, DLGPROC procedure)
{
    SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(QuietProc));
    SetTextIfOther(window, madeCaption_);
    for (const MadeControl& made : made_) {
        HWND control = made.control;
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        switch (KindOf(control)) {
        case ControlKind::kEdit:
            SetTextIfOther(control, made.text);
            SendMessageA(control, EM_SETLIMITTEXT, static_cast<WPARAM>(made.limit), 0);
            SendMessageA(control, EM_SETSEL, 0, 0);
            SendMessageA(control, EM_EMPTYUNDOBUFFER, 0, 0);
            SendMessageA(control, EM_SETMODIFY, FALSE, 0);
            break;
        case ControlKind::kButton:
            SetTextIfOther(control, made.text);
            if ((style & BS_TYPEMASK) != (made.style & BS_TYPEMASK))
                SendMessageA(control, BM_SETSTYLE, made.style & BS_TYPEMASK, FALSE);
            if (SendMessageA(control, BM_GETCHECK, 0, 0) != made.check)
                SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(made.check), 0);
            break;
        case ControlKind::kListBox:
            if (SendMessageA(control, LB_GETCOUNT, 0, 0) != 0)
                SendMessageA(control, LB_RESETCONTENT, 0, 0);
            break;
        default:
            SetTextIfOther(control, made.text);
            break;
        }
        if ((style & WS_DISABLED) != (made.style & WS_DISABLED))
            EnableWindow(control, (made.style & WS_DISABLED) ? FALSE : TRUE);
        if ((style & WS_VISIBLE) != (made.style & WS_VISIBLE))
            ShowWindow(control, (made.style & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    }
    SetWindowLongPtrA(window, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(procedure));
}

bool FloaterFrame::Reopen(DLGPROC procedure, HWND owner)
{
    HWND kept = kept_;
    kept_ = nullptr;
    if (!kept || !IsWindow(kept)) return false;
    if (GetWindow(kept, GW_OWNER) != owner) {
        DestroyWindow(kept);
        return false;
    }
    // As the dialog manager starts a new one: WM_INITDIALOG with the first tab stop, the
    // focus there when the floater leaves it to the manager, then shown.
    HWND first = GetNextDlgTabItem(kept, nullptr, FALSE);
    if (procedure(kept, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), 0) && first) SetFocus(first);
    ShowWindow(kept, SW_SHOWNORMAL);
    return true;
}

void FloaterFrame::DestroyKept()
{
    if (kept_ && IsWindow(kept_)) DestroyWindow(kept_);
    kept_ = nullptr;
}

#include "floaterframe.h"

#include "hostutil.h"

void FloaterFrame::Place(HWND window) const
{
    if (x == -1 && y == -1) {
        CenterWindow(window, GetParent(window));
        return;
    }
    RECT now;
    if (keeps_ == Keeps::kPlace && GetWindowRect(window, &now))
        MoveWindow(window, x, y, now.right - now.left, now.bottom - now.top, FALSE);
    else
        MoveWindow(window, x, y, width, height, FALSE);
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
}

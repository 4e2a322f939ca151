#include "floaterframe.h"

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

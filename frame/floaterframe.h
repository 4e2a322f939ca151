// What the floaters of both modules do alike. A floater opens where the user last left it,
// centred on its owner until the user first moves it; and while one of its fields has the
// focus the host's keyboard shortcuts pause, so that the keys reach the field.
#pragma once

#include <windows.h>

#include "guard.h"

class FloaterFrame {
public:
    enum class Keeps { kPlace, kPlaceAndSize };
    explicit FloaterFrame(Keeps keeps) : keeps_(keeps) {}

    // At WM_INITDIALOG.
    void Place(HWND window) const;
    // At WM_EXITSIZEMOVE: the user has finished moving or sizing the window.
    void Remember(HWND window);
    // A field's notification: EN_SETFOCUS pauses the shortcuts, EN_KILLFOCUS resumes them.
    void FieldFocus(int code);
    // At WM_DESTROY. A field may go without losing its focus first, and the host must get
    // its shortcuts back; a window destroyed by anyone but the floater's own close commands
    // (its owner going, for one) is forgotten, so that the next opening makes a new one.
    void Destroyed(HWND destroyed, HWND& window);

    // The outer rectangle where the user last left the window; -1, -1: never moved.
    int x = -1;
    int y = -1;
    int width = 0;
    int height = 0;

private:
    Keeps keeps_;
    bool shortcutsPaused_ = false;
};

// At WM_INITDIALOG: the caption and the task switcher show the application's icon.
void TakeOwnersIcon(HWND window);

// A floater's dialog procedure: the floater object records its window at WM_INITDIALOG and
// handles every message.
template <class Floater, Floater& floater>
INT_PTR CALLBACK FloaterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        floater.window = window;
        TakeOwnersIcon(window);
    }
    return Guarded<INT_PTR>(
        FALSE, [&] { return floater.HandleMessage(window, message, wParam, lParam); });
}

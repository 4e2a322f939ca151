// What the floaters of both modules do alike. A floater opens where the user last left it,
// centred on its owner until the user first moves it; and while one of its fields has the
// focus the host's keyboard shortcuts pause, so that the keys reach the field.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "guard.h"

class FloaterFrame {
public:
    enum class Keeps { kPlace, kPlaceAndSize };
    explicit FloaterFrame(Keeps keeps) : keeps_(keeps) {}

    // At WM_INITDIALOG. A window already where it belongs is not moved; the work area it is
    // centred in is asked again only when the owner, the window's size or the screen changed.
    void Place(HWND window);
    // WM_DISPLAYCHANGE or WM_SETTINGCHANGE: the work area may differ now.
    void ScreenChanged() { centred_ = {}; }
    // At WM_EXITSIZEMOVE: the user has finished moving or sizing the window.
    void Remember(HWND window);
    // A field's notification: EN_SETFOCUS pauses the shortcuts, EN_KILLFOCUS resumes them.
    void FieldFocus(int code);
    // At WM_DESTROY. A field may go without losing its focus first, and the host must get
    // its shortcuts back; a window destroyed by anyone but the floater's own close commands
    // (its owner going, for one) is forgotten, so that the next opening makes a new one.
    void Destroyed(HWND destroyed, HWND& window);

    // After the floater's own WM_INITDIALOG: the controls of a newly made window as they
    // start. Setting them back to that and starting again gives what a new window gets, as
    // the floaters' starts depend only on what they set themselves.
    void Made(HWND window);
    // Between the scenes of a batch: the open window is hidden, the floater lets go of it as
    // of a closed one, and its controls are set back as made; the next opening shows it
    // again. A window that cannot be set back (minimised, disabled, unknown controls) is
    // closed instead.
    void PutAway(HWND& window, DLGPROC procedure);
    // The opening after a PutAway: the kept window starts again as a newly made one does,
    // WM_INITDIALOG and the first field's focus included. False when there is none to show
    // for that owner; a kept window of another owner is destroyed.
    bool Reopen(DLGPROC procedure, HWND owner);
    // The module is going: no window of its own may outlive its code.
    void DestroyKept();
    HWND Kept() const { return kept_; }

    // The outer rectangle where the user last left the window; -1, -1: never moved.
    int x = -1;
    int y = -1;
    int width = 0;
    int height = 0;

private:
    struct MadeControl {
        HWND control;
        std::string text;
        LONG style;
        LRESULT limit;  // an edit field's text limit
        LRESULT check;  // a button's check state
    };

    bool CanSetBack(HWND window) const;
    void SetBack(HWND window, DLGPROC procedure);

    // Where the last centring put the window, over which owner rectangle.
    struct Centred {
        bool known = false;
        RECT owner = {};
        RECT place = {};
    };

    Keeps keeps_;
    Centred centred_;
    bool shortcutsPaused_ = false;
    HWND madeWindow_ = nullptr;  // the window whose controls made_ holds
    std::string madeCaption_;
    std::vector<MadeControl> made_;
    HWND kept_ = nullptr;  // put away, hidden, for the next opening
};

// At WM_INITDIALOG: the caption and the task switcher show the application's icon.
void TakeOwnersIcon(HWND window);

// Enables or disables a control unless it is so already: each change is a round of messages
// and a redraw, even to the same state.
void EnableIfOther(HWND control, bool enabled);

// A floater's dialog procedure: the floater object records its window at WM_INITDIALOG and
// handles every message.
template <class Floater, Floater& floater>
INT_PTR CALLBACK FloaterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        floater.window = window;
        TakeOwnersIcon(window);
    }
    if (message == WM_DISPLAYCHANGE || message == WM_SETTINGCHANGE) floater.frame.ScreenChanged();
    return Guarded<INT_PTR>(FALSE, [&] {
        const INT_PTR result = floater.HandleMessage(window, message, wParam, lParam);
        if (message == WM_INITDIALOG) floater.frame.Made(window);
        return result;
    });
}

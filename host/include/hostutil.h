// Window helpers of the host utility library.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "hostapi.h"

// Centres window over parent (over the work area when parent is null), kept on the monitor.
HOSTUTIL_API BOOL CenterWindow(HWND window, HWND parent);

// The host's keyboard shortcuts are suspended while a plug-in's edit field has the focus.
HOSTUTIL_API void DisableAccelerators();
HOSTUTIL_API void EnableAccelerators();
HOSTUTIL_API bool AcceleratorsEnabled();

// Makes the host's custom controls usable in the module's dialogs.
HOSTUTIL_API void InitCustomControls(HINSTANCE instance);
HOSTUTIL_API int CustomControlsInitCount();

// Many changes to a control at once: it does not redraw meanwhile, and repaints once when
// the pause ends.
class RedrawPaused {
public:
    explicit RedrawPaused(HWND control) : control_(control)
    {
        SendMessageA(control_, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawPaused()
    {
        SendMessageA(control_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control_, nullptr, TRUE);
    }
    RedrawPaused(const RedrawPaused&) = delete;
    RedrawPaused& operator=(const RedrawPaused&) = delete;

private:
    HWND control_;
};

// The text of an item of a list box, or of a combo box's list, in the program's code page.
// Read in UTF-16: some systems pass the 8-bit form of these messages through a buffer of a
// fixed size, which a long item overruns. False, with text empty, for an index the list does
// not hold or when memory runs out.
HOSTUTIL_API bool ListBoxItemText(HWND list, int index, CStr& text);
HOSTUTIL_API bool ComboBoxItemText(HWND combo, int index, CStr& text);

// Finding windows and controls by a script's words, with the probes that read them.
#pragma once

#include <windows.h>

#include <string>

#include "windowprobes.h"

// A descendant control by its id (a whole number) or by a button's shown text; null if none.
HWND FindControl(HWND parent, const std::string& control);

// Presses a button as a click does. A push button's parent is sent the click's notice itself:
// BM_CLICK plays a mouse click at the button's corner, which a button not laid out yet (one
// with no size) never gets, and the click would be lost without a word.
void PressButton(HWND button);

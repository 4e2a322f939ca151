// Finding windows and controls by a script's words, with the probes that read them.
#pragma once

#include <windows.h>

#include <string>

#include "windowprobes.h"

// A descendant control by its id (a whole number) or by a button's shown text; null if none.
HWND FindControl(HWND parent, const std::string& control);

// Window helpers of the host utility library.
#pragma once

#include <windows.h>

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

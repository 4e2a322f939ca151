// Sizes of the host's windows for the DPI they are shown at. Every pixel size of a window is
// given for 96 DPI and scaled to the window's DPI; fonts are the system's for that DPI.
#pragma once

#include <windows.h>

#include "hostapi.h"

const UINT kDefaultDpi = 96;

// The DPI of the monitor the window is on; the screen's where the system cannot say.
HOSTUTIL_API UINT DpiOf(HWND window);

// pixels, given for 96 DPI, at dpi.
inline int ScaleForDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

// A system metric (SM_CXVSCROLL, ...) at dpi.
HOSTUTIL_API int SystemMetricForDpi(int index, UINT dpi);

// The system's message font, the one dialogs and status lines use, at dpi. The caller owns
// it; null where the system has none.
HOSTUTIL_API HFONT CreateMessageFont(UINT dpi);

// The width and height text takes in font.
HOSTUTIL_API SIZE TextExtent(HFONT font, const char* text);

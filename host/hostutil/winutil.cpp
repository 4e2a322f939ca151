// Window helpers of the host utility library.
#include "hostutil.h"

#include <commctrl.h>

namespace {

bool acceleratorsEnabled = true;
int customControlsInitCount = 0;

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return area;
}

int Clamp(int value, int low, int high)
{
    if (value > high) value = high;
    return value < low ? low : value;
}

}  // namespace

BOOL CenterWindow(HWND window, HWND parent)
{
    RECT own;
    if (!window || !GetWindowRect(window, &own)) return FALSE;
    RECT area = WorkAreaOf(parent ? parent : window);
    RECT over = area;
    if (parent && !GetWindowRect(parent, &over)) over = area;

    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int left = over.left + ((over.right - over.left) - width) / 2;
    int top = over.top + ((over.bottom - over.top) - height) / 2;
    // Keep the caption reachable even when the parent hangs off the screen.
    left = Clamp(left, area.left, area.right - width);
    top = Clamp(top, area.top, area.bottom - height);
    return SetWindowPos(window, nullptr, left, top, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DisableAccelerators() { acceleratorsEnabled = false; }
void EnableAccelerators() { acceleratorsEnabled = true; }
bool AcceleratorsEnabled() { return acceleratorsEnabled; }

void InitCustomControls(HINSTANCE)
{
    // The host's panels use the common controls; a module's dialogs may place them too.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ++customControlsInitCount;
}

int CustomControlsInitCount() { return customControlsInitCount; }

// Window helpers of the host utility library.
#include "hostutil.h"

#include <commctrl.h>

#include <memory>
#include <new>

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

bool ItemText(HWND list, int index, UINT lengthMessage, UINT textMessage, CStr& text)
{
    text = "";
    if (index < 0) return false;
    const LRESULT length = SendMessageW(list, lengthMessage, index, 0);
    if (length < 0) return false;
    std::unique_ptr<wchar_t[]> wide(new (std::nothrow) wchar_t[static_cast<size_t>(length) + 1]);
    if (!wide) return false;
    const LRESULT got = SendMessageW(list, textMessage, index, reinterpret_cast<LPARAM>(wide.get()));
    if (got < 0) return false;
    const int count = static_cast<int>(got < length ? got : length);
    if (count == 0) return true;
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.get(), count, nullptr, 0, nullptr, nullptr);
    if (size <= 0 || !text.Resize(size)) return false;
    WideCharToMultiByte(CP_ACP, 0, wide.get(), count, text.data(), size, nullptr, nullptr);
    text.data()[size] = '\0';
    return true;
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
    if (left == own.left && top == own.top) return TRUE;
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

bool ListBoxItemText(HWND list, int index, CStr& text)
{
    return ItemText(list, index, LB_GETTEXTLEN, LB_GETTEXT, text);
}

bool ComboBoxItemText(HWND combo, int index, CStr& text)
{
    return ItemText(combo, index, CB_GETLBTEXTLEN, CB_GETLBTEXT, text);
}

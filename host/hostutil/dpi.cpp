// Sizes for a window's DPI. The per-monitor functions came with Windows 10; on older systems
// the screen's DPI, which is the system's, serves for every window.
#include "dpi.h"

#include <cstring>

namespace {

template <class Proc>
Proc User32Function(const char* name)
{
    static HMODULE user32 = GetModuleHandleA("user32.dll");
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT DpiOf(HWND window)
{
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Function<GetDpiForWindowProc>("GetDpiForWindow");
    const UINT dpi = window && getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? dpi : ScreenDpi();
}

int SystemMetricForDpi(int index, UINT dpi)
{
    using GetSystemMetricsForDpiProc = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Function<GetSystemMetricsForDpiProc>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

HFONT CreateMessageFont(UINT dpi)
{
    using ParametersForDpiProc = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = User32Function<ParametersForDpiProc>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    // The system's metrics are for the screen's DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
    return CreateFontIndirectW(&font);
}

SIZE TextExtent(HFONT font, const char* text)
{
    // A memory DC measures as the screen does, without asking the system for the screen's
    // visible region as a window DC's does.
    SIZE size = {0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return size;
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return size;
}

// The frame with a trivial floater, and one extra export that lends the tests ResString.
#include "frame.h"

namespace {

HWND floaterWindow = nullptr;
FloaterFrame floaterFrame{FloaterFrame::Keeps::kPlace};

INT_PTR CALLBACK TestFloaterProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        floaterWindow = window;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(window);
        floaterWindow = nullptr;
        return TRUE;
    }
    return FALSE;
}

}  // namespace

const FrameModule kFrameModule = {3, 2, {0x11111111, 0x22222222}, 101, 102, TestFloaterProc,
                                  &floaterWindow, &floaterFrame, nullptr, nullptr, nullptr};

extern "C" char* FrameTestResString(int id) { return ResString(id); }

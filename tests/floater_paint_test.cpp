// Painting of the plug-ins' floaters as they are sized: every control that moves is drawn at
// its new place.
#include <windows.h>

#include <gtest/gtest.h>

#include "test_host.h"

namespace {

// The part of the window's client area that is still to be painted.
bool WaitsForPaint(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(window, update, FALSE);
    HRGN whole = CreateRectRgnIndirect(&client);
    const bool covered = CombineRgn(whole, whole, update, RGN_DIFF) == NULLREGION;
    DeleteObject(whole);
    DeleteObject(update);
    return covered;
}

TEST(FloaterPainting, ApplyIsRedrawnWhereEnlargingTheWindowMovesIt)
{
    TestHost& host = TestHost::Get();
    host.Reset();
    UtilityObject* utility = host.Utility("belvost.dlu");
    utility->Activate(&host.Core(), &host.Panel());
    SendMessageA(GetDlgItem(host.Core().PanelPage(0), 1001), BM_CLICK, 0, 0);
    HWND floater = FindTopWindow("User Properties");
    ASSERT_NE(floater, nullptr);
    PumpMessages();
    RECT before;
    GetWindowRect(floater, &before);
    for (int step : {40, 80, 120}) {
        SetWindowPos(floater, nullptr, 0, 0, before.right - before.left + step,
                     before.bottom - before.top + step, SWP_NOMOVE | SWP_NOZORDER);
        for (int control : {1000, 1001, 1002})
            EXPECT_TRUE(WaitsForPaint(GetDlgItem(floater, control)))
                << "control " << control << ", enlarged by " << step;
        PumpMessages();
    }
    SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
    utility->Deactivate(&host.Core(), &host.Panel());
    PumpMessages();
}

}  // namespace

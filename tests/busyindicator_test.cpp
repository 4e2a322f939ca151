// The busy indicator: a wait cursor and the progress in the status bar once work is long.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "busyindicator.h"
#include "windowprobes.h"

namespace {

DWORD fakeNow = 0;

TEST(BusyIndicator, ShowsAWaitCursorAndTheProgressOnceWorkTakesHalfASecond)
{
    const UINT kIdle = WM_APP + 9;
    HWND owner = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                  owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    auto statusText = [status] { return StatusBarText(status, 0); };
    const HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    BusyIndicator busy;
    busy.Attach(owner, status, kIdle, [] { return fakeNow; });
    fakeNow = 1000;
    busy.Start("Saving big.scene");
    fakeNow = 1400;
    busy.Progress(10, 100);
    EXPECT_FALSE(busy.Showing()) << "short work shows nothing";
    fakeNow = 1600;
    busy.Progress(25, 100);
    EXPECT_EQ(statusText(), "Saving big.scene... 25%");
    EXPECT_EQ(GetCursor(), wait);
    fakeNow = 1650;
    busy.Progress(30, 100);
    EXPECT_EQ(statusText(), "Saving big.scene... 25%") << "at most ten changes a second";
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, owner, kIdle, kIdle, PM_REMOVE)) << "the end is posted at the start";
    busy.Idle("Saved big.scene");
    EXPECT_FALSE(busy.Showing());
    EXPECT_EQ(statusText(), "Saved big.scene");
    EXPECT_NE(GetCursor(), wait);

    fakeNow = 5000;
    busy.Progress(0, 0);
    fakeNow = 5600;
    busy.Progress(7, 0);
    EXPECT_EQ(statusText(), "Working...") << "work without a name or a known amount";
    busy.Idle("");
    DestroyWindow(owner);
}

}  // namespace

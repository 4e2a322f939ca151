// The main window at 96, 144 and 192 DPI, as the system moves it to a monitor of that DPI:
// every size scales with the DPI, no label is narrower than its text, and the controls use
// the system's message font for that DPI.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app_window.h"
#include "dpi.h"
#include "handles.h"
#include "windowprobes.h"

namespace {

SIZE SizeOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

int TextWidth(HFONT font, const std::string& text) { return TextExtent(font, text.c_str()).cx; }

class MainWindowDpi : public testing::TestWithParam<UINT> {
protected:
    void SetUp() override
    {
        window = App().Window();
        Announce(GetParam());
        font.Reset(CreateMessageFont(GetParam()));
        ASSERT_TRUE(font);
    }
    void TearDown() override
    {
        App().Utilities().Choose(-1);
        Announce(kDefaultDpi);
    }
    // What the system does when the window reaches a monitor of another DPI. The place it
    // suggests differs from the window's, and fits any screen.
    void Announce(UINT dpi)
    {
        suggested = {10, 20, 10 + 900 - static_cast<int>(dpi) / 4, 20 + 660};
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }
    int Scaled(int pixels) const { return ScaleForDpi(pixels, GetParam()); }
    HFONT Font() const { return static_cast<HFONT>(font.Get()); }
    HWND Control(int id) const { return GetDlgItem(window, id); }
    HWND StatusBar() const { return Control(kStatusBarId); }
    // The width of the status line's part with the counts.
    int CountsPartWidth() const
    {
        int parts[2] = {};
        SendMessageA(StatusBar(), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts));
        RECT client;
        GetClientRect(StatusBar(), &client);
        return client.right - parts[0];
    }

    HWND window = nullptr;
    RECT suggested = {};
    GdiObject font;
};

TEST_P(MainWindowDpi, TakesTheSuggestedPlaceAndTheSystemsFontForTheDpi)
{
    RECT now;
    GetWindowRect(window, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested));
    EXPECT_EQ(App().Dpi(), GetParam());

    LOGFONTA wanted = {};
    GetObjectA(Font(), sizeof wanted, &wanted);
    FilterBar& filter = App().Filter();
    const HWND controls[] = {App().Nodes().Window(), filter.Field(), filter.ModeBox(),
                             StatusBar(), App().Utilities().Chooser(), App().Utilities().Label()};
    for (HWND control : controls) {
        LOGFONTA used = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof used,
                   &used);
        EXPECT_EQ(used.lfHeight, wanted.lfHeight) << "control " << GetDlgCtrlID(control);
        EXPECT_STREQ(used.lfFaceName, wanted.lfFaceName) << "control " << GetDlgCtrlID(control);
    }
}

TEST_P(MainWindowDpi, SizesScaleWithTheDpi)
{
    HWND list = App().Nodes().Window();
    const int columns[] = {200, 60, 400};
    for (int column = 0; column < 3; ++column)
        EXPECT_NEAR(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), Scaled(columns[column]), 1)
            << "column " << column;
    EXPECT_NEAR(SizeOf(App().Filter().Field()).cx, Scaled(260), 1);
    EXPECT_NEAR(SizeOf(CoreInterface::Instance().PanelWindow()).cx, Scaled(250), 1);
    EXPECT_NEAR(CountsPartWidth(), Scaled(220), 1);

    // The filter bar holds its row and margins; the list begins below it.
    const int bar = SizeOf(App().Filter().Window()).cy;
    EXPECT_GE(bar, SizeOf(App().Filter().Field()).cy + 2 * Scaled(4) - 1);
    RECT listRect;
    GetWindowRect(list, &listRect);
    POINT listTop = {listRect.left, listRect.top};
    ScreenToClient(window, &listTop);
    EXPECT_EQ(listTop.y, bar);
}

TEST_P(MainWindowDpi, NoLabelIsNarrowerThanItsText)
{
    EXPECT_GE(SizeOf(App().Utilities().Label()).cx, TextWidth(Font(), "Utility:"));
    EXPECT_GE(SizeOf(App().Filter().Field()).cy, TextExtent(Font(), "Ag").cy);

    const int arrow = SystemMetricForDpi(SM_CXVSCROLL, GetParam());
    for (const char* mode : {"starts with", "contains", "wildcard", "regular expression"})
        EXPECT_GE(SizeOf(App().Filter().ModeBox()).cx, TextWidth(Font(), mode) + arrow) << mode;

    HWND list = App().Nodes().Window();
    const char* titles[] = {"Node", "Hidden", "User properties"};
    for (int column = 0; column < 3; ++column)
        EXPECT_GT(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), TextWidth(Font(), titles[column]))
            << titles[column];

    const int grip = SystemMetricForDpi(SM_CXVSCROLL, GetParam());
    EXPECT_GE(CountsPartWidth(), TextWidth(Font(), StatusBarText(StatusBar(), 1)) + grip);

    // A utility's pages fit the panel.
    App().Utilities().Choose(0);
    PumpMessages();
    CoreInterface& core = CoreInterface::Instance();
    ASSERT_GT(core.PanelPageCount(), 0);
    RECT panel;
    GetWindowRect(core.PanelWindow(), &panel);
    for (int i = 0; i < core.PanelPageCount(); ++i) {
        RECT page;
        GetWindowRect(core.PanelPage(i), &page);
        EXPECT_GE(page.left, panel.left) << "page " << i;
        EXPECT_LE(page.right, panel.right) << "page " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(From96To192, MainWindowDpi, testing::Values(96u, 144u, 192u),
                         [](const testing::TestParamInfo<UINT>& info) {
                             return "Dpi" + std::to_string(info.param);
                         });

TEST(FirstWindowSize, ScalesWithTheDpiWithinTheWorkArea)
{
    const struct {
        UINT dpi;
        RECT area;
        SIZE size;
    } cases[] = {
        {96, {0, 0, 1920, 1040}, {1000, 680}},
        {144, {0, 0, 1920, 1040}, {1500, 1020}},
        {192, {0, 0, 1920, 1040}, {1920, 1040}},
        {192, {0, 0, 3840, 2120}, {2000, 1360}},
        {144, {100, 50, 1380, 1010}, {1280, 960}},
    };
    for (const auto& c : cases) {
        const SIZE size = FirstWindowSize(c.dpi, c.area);
        EXPECT_EQ(size.cx, c.size.cx) << c.dpi << " DPI";
        EXPECT_EQ(size.cy, c.size.cy) << c.dpi << " DPI";
    }
}

// A text measures as the screen shows it, in the message font of each DPI.
TEST(TextExtent, MeasuresAsTheScreenDoes)
{
    for (const UINT dpi : {96u, 144u, 192u}) {
        HFONT font = CreateMessageFont(dpi);
        ASSERT_NE(font, nullptr);
        HDC screen = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(screen, font);
        for (const char* text : {"", "Ag", "1,000,000 nodes, 10,001 selected", "W i d e  MMM"}) {
            SIZE expected = {};
            GetTextExtentPoint32A(screen, text, lstrlenA(text), &expected);
            const SIZE got = TextExtent(font, text);
            EXPECT_EQ(got.cx, expected.cx) << dpi << " DPI: " << text;
            EXPECT_EQ(got.cy, expected.cy) << dpi << " DPI: " << text;
        }
        SelectObject(screen, previous);
        ReleaseDC(nullptr, screen);
        DeleteObject(font);
    }
}

}  // namespace

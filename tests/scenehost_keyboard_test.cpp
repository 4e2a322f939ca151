// The keyboard in the main window: Tab order, keys and shortcuts reaching their targets, and
// the focus kept across activation.
#include <gtest/gtest.h>

#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

// The keyboard as the user has it: keys go through the application's own handling before
// they reach a window.
class Keyboard : public SceneHostTest {
protected:
    void SetUp() override
    {
        SceneHostTest::SetUp();
        App().Utilities().Choose(0);
        PumpKeys();
        SetForegroundWindow(window);
        SetFocus(List());
    }

    static void SetKeyDown(int key, bool down)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[key] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }
    static void PumpKeys()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (App().TranslateKeyboard(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // A key pressed on the window with the focus, with Shift or Ctrl held if modifier is set.
    static void Press(int key, int modifier = 0)
    {
        if (modifier) SetKeyDown(modifier, true);
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageA(GetFocus(), WM_KEYUP, key, 0xC0000001);
        PumpKeys();
        if (modifier) SetKeyDown(modifier, false);
    }
    // Whether the application keeps the key from the window it was meant for.
    static bool KeyTakenFrom(HWND target, int key)
    {
        MSG msg = {target, WM_KEYDOWN, static_cast<WPARAM>(key), 1, 0, {0, 0}};
        return App().TranslateKeyboard(&msg);
    }

    HWND Combo() const { return GetDlgItem(window, kUtilityChooserId); }
    HWND CreateFloaterButton() const
    {
        return GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater);
    }
};

TEST_F(Keyboard, TabAndShiftTabGoRoundTheListChooserPanelButtonsAndFilter)
{
    ASSERT_EQ(GetFocus(), List());
    ASSERT_NE(CreateFloaterButton(), nullptr);
    HWND filterBar = GetDlgItem(window, kFilterBarId);
    HWND filterField = GetDlgItem(filterBar, 1);
    HWND filterMode = GetDlgItem(filterBar, 2);
    const std::vector<HWND> order = {Combo(), CreateFloaterButton(), filterField, filterMode, List()};
    for (size_t i = 0; i < order.size(); ++i) {
        Press(VK_TAB);
        EXPECT_EQ(GetFocus(), order[i]) << "Tab number " << i + 1;
    }
    const std::vector<HWND> backwards = {filterMode, filterField, CreateFloaterButton(), Combo(), List()};
    for (size_t i = 0; i < backwards.size(); ++i) {
        Press(VK_TAB, VK_SHIFT);
        EXPECT_EQ(GetFocus(), backwards[i]) << "Shift+Tab number " << i + 1;
    }
    EXPECT_EQ(FindTopWindow("User Properties"), nullptr) << "moving the focus pressed nothing";
}

TEST_F(Keyboard, ListKeysAndShortcutsStillReachTheirTargets)
{
    for (int key : {VK_RETURN, VK_ESCAPE, VK_DOWN, VK_UP, VK_SPACE})
        EXPECT_FALSE(KeyTakenFrom(List(), key)) << "key " << key << " goes to the list";

    Press(VK_DOWN);
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageA(List(), LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 1)
        << "the arrows move through the rows";

    ChangeText(kLamp, "light=off", "Switch Lamp");
    Press('Z', VK_CONTROL);
    EXPECT_EQ(Status(), "Undone: Switch Lamp") << "Ctrl+Z with the list focused";
    SetFocus(CreateFloaterButton());
    Press('Y', VK_CONTROL);
    EXPECT_EQ(Status(), "Redone: Switch Lamp") << "Ctrl+Y with a panel button focused";
}

TEST_F(Keyboard, TheFocusedControlGetsTheFocusBackOnActivation)
{
    HWND other = CreateWindowExA(0, "STATIC", "Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    for (HWND control : {Combo(), CreateFloaterButton()}) {
        SetFocus(control);
        SetForegroundWindow(other);
        PumpKeys();
        EXPECT_NE(GetFocus(), control);
        SetForegroundWindow(window);
        PumpKeys();
        EXPECT_EQ(GetFocus(), control) << "back to the control that had the focus";
    }

    // A control that is gone since leaves the focus to the list.
    SetForegroundWindow(other);
    PumpKeys();
    App().Utilities().Choose(-1);
    SetForegroundWindow(window);
    PumpKeys();
    EXPECT_EQ(GetFocus(), List());
    DestroyWindow(other);
}

TEST_F(Keyboard, ClosingThePanelFromItsButtonLeavesTheFocusInTheList)
{
    SetFocus(CreateFloaterButton());
    ASSERT_EQ(GetFocus(), CreateFloaterButton());
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_TOOLS_UTILITIES, 0), 0);
    PumpKeys();
    ASSERT_EQ(CoreInterface::Instance().PanelPageCount(), 0);
    EXPECT_EQ(GetFocus(), List()) << "the keys still have somewhere to go";
    Press(VK_DOWN);
    EXPECT_EQ(SendMessageA(List(), LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 0)
        << "the arrows move through the rows";
}

}  // namespace
}  // namespace scenehost

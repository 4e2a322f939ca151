// The plug-ins in the main window: the Tools menu entry, the utility chooser and its panel
// pages, and both floaters open side by side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenehost_fixture.h"

namespace scenehost {
namespace {

class Plugins : public SceneHostTest {
protected:
    HWND Combo() const { return GetDlgItem(window, kUtilityChooserId); }
    int ComboChoice() const
    {
        return static_cast<int>(SendMessageA(Combo(), CB_GETCURSEL, 0, 0));
    }
    // The user picks an entry of the chooser: index 0 is "(none)".
    void ChooseInCombo(int index)
    {
        SendMessageA(Combo(), CB_SETCURSEL, index, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(kUtilityChooserId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Combo()));
        PumpMessages();
    }
    std::vector<std::string> PageTitles() const
    {
        std::vector<std::string> titles;
        CoreInterface& core = CoreInterface::Instance();
        for (int i = 0; i < core.PanelPageCount(); ++i) titles.push_back(core.PanelPageTitle(i));
        return titles;
    }

    // The User Properties floater, opened from its page as the user does.
    HWND OpenEditorFloater()
    {
        ChooseInCombo(1);
        SendMessageA(GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater),
                     BM_CLICK, 0, 0);
        PumpMessages();
        return FindTopWindow("User Properties");
    }

    struct Utility {
        const char* entry;
        std::vector<std::string> pages;
        const char* floater;
    };
    const std::vector<Utility> utilities = {
        {"UserProp Editor (Korvane)", {"UserProp Editor", "About"}, "User Properties"},
        {"Find/Replace Prop (Korvane)", {"Parameters", "About"}, "Find/Replace Properties"},
    };
};

TEST_F(Plugins, ToolsMenuHoldsTheFindReplaceEntryThatOpensItsFloater)
{
    HMENU tools = MainMenu(2);
    const int count = GetMenuItemCount(tools);
    ASSERT_EQ(count, 2) << "one entry of the host's, one of the plug-in";
    EXPECT_EQ(ItemText(tools, 0, MF_BYPOSITION), "&Utilities Panel\tF2");
    EXPECT_EQ(ItemText(tools, 1, MF_BYPOSITION), "&Find/Replace Properties...");

    Command(GetMenuItemID(tools, 1));
    HWND floater = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(floater, nullptr);
    EXPECT_EQ(GetWindow(floater, GW_OWNER), window);
    EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0) << "the panel is not involved";
}

TEST_F(Plugins, ChooserListsBothUtilitiesAndShowsTheChosenOnesPages)
{
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(Combo(), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[128] = "";
        SendMessageA(Combo(), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    EXPECT_EQ(entries,
              (std::vector<std::string>{"(none)", utilities[0].entry, utilities[1].entry}));
    EXPECT_EQ(ComboChoice(), 0);

    for (int i = 0; i < 2; ++i) {
        ChooseInCombo(i + 1);
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 2) << utilities[i].entry;
        EXPECT_EQ(PageTitles(), utilities[i].pages) << "only the chosen utility's pages";
        EXPECT_EQ(App().Utilities().Chosen(), i);
    }
    ChooseInCombo(0);
    EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0);
    EXPECT_EQ(App().Utilities().Chosen(), -1);
}

TEST_F(Plugins, UtilitiesPanelCommandOpensTheFirstAndClosesAgain)
{
    Command(IDM_TOOLS_UTILITIES);
    EXPECT_EQ(PageTitles(), utilities[0].pages);
    EXPECT_EQ(ComboChoice(), 1) << "the chooser follows";
    Command(IDM_TOOLS_UTILITIES);
    EXPECT_TRUE(PageTitles().empty());
    EXPECT_EQ(ComboChoice(), 0);
}

TEST_F(Plugins, CreateFloaterClosesThePanelOnceItsButtonHasReturned)
{
    for (int i = 0; i < 2; ++i) {
        const Utility& utility = utilities[i];
        ChooseInCombo(i + 1);
        HWND page = CoreInterface::Instance().PanelPage(0);
        SendMessageA(GetDlgItem(page, kCreateFloater), BM_CLICK, 0, 0);
        EXPECT_NE(FindTopWindow(utility.floater), nullptr) << utility.entry;
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 2)
            << utility.entry << ": the page whose button runs must outlive the click";
        EXPECT_TRUE(IsWindow(page));

        PumpMessages();
        EXPECT_EQ(CoreInterface::Instance().PanelPageCount(), 0) << utility.entry;
        EXPECT_FALSE(IsWindow(page));
        EXPECT_EQ(ComboChoice(), 0) << utility.entry;
        EXPECT_EQ(App().Utilities().Chosen(), -1);
        EXPECT_NE(FindTopWindow(utility.floater), nullptr) << "the floater stays open";
        CloseFloaters();
    }
}

TEST_F(Plugins, BothFloatersShowTheApplicationsIcon)
{
    const HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    for (int i = 0; i < 2; ++i) {
        ChooseInCombo(i + 1);
        SendMessageA(GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater),
                     BM_CLICK, 0, 0);
        PumpMessages();
        HWND floater = FindTopWindow(utilities[i].floater);
        ASSERT_NE(floater, nullptr) << utilities[i].entry;
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(floater, WM_GETICON, ICON_BIG, 0)), icon)
            << utilities[i].floater;
        EXPECT_NE(SendMessageA(floater, WM_GETICON, ICON_SMALL, 0), 0) << utilities[i].floater;
        CloseFloaters();
    }
}

// Whether window lies above other in the order of top-level windows.
bool Above(HWND window, HWND other)
{
    for (HWND next = GetWindow(window, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (next == other) return true;
    return false;
}

TEST_F(Plugins, OpeningAnOpenFloaterBringsItToTheFront)
{
    HWND editor = OpenEditorFloater();
    HMENU tools = MainMenu(2);
    Command(GetMenuItemID(tools, 1));
    HWND findReplace = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(findReplace, nullptr);

    ShowWindow(findReplace, SW_MINIMIZE);
    SetForegroundWindow(editor);
    PumpMessages();
    Command(GetMenuItemID(tools, 1));
    EXPECT_EQ(FindTopWindow("Find/Replace Properties"), findReplace) << "no second window";
    EXPECT_FALSE(IsIconic(findReplace)) << "restored";
    EXPECT_TRUE(Above(findReplace, editor));

    ShowWindow(editor, SW_MINIMIZE);
    PumpMessages();
    EXPECT_EQ(OpenEditorFloater(), editor);
    EXPECT_FALSE(IsIconic(editor));
    EXPECT_TRUE(Above(editor, findReplace));
}

// With both floaters open, the editor shows what a Find/Replace run wrote, so that its next
// Apply cannot put the old text back.
TEST_F(Plugins, EditorShowsWhatAFindReplaceRunWrote)
{
    const int kEditorText = 1002;
    const int kFindText = 1006;
    const int kRemoveProperty = 1003;
    HWND editor = OpenEditorFloater();
    Command(GetMenuItemID(MainMenu(2), 1));
    HWND findReplace = FindTopWindow("Find/Replace Properties");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(findReplace, nullptr);

    Select({kBase});
    EXPECT_EQ(WindowText(GetDlgItem(editor, kEditorText)), "LOD=1\r\nlodBias=2");
    SetDlgItemTextA(findReplace, kFindText, "lodbias");
    SendMessageA(findReplace, WM_COMMAND, MAKEWPARAM(kRemoveProperty, BN_CLICKED), 0);
    PumpMessages();
    ASSERT_EQ(Status(), "Removed property from 1 of 1 selected objects.");
    EXPECT_EQ(WindowText(GetDlgItem(editor, kEditorText)), "LOD=1");
}

// Hiding and showing nodes rewrites no text: an edit not yet applied in the editor stays.
TEST_F(Plugins, HideUnhideAndItsUndoKeepTheEditorsUnappliedText)
{
    const int kEditorText = 1002;
    HWND editor = OpenEditorFloater();
    ASSERT_NE(editor, nullptr);
    Select({kBase});
    HWND text = GetDlgItem(editor, kEditorText);
    SendMessageA(text, EM_SETSEL, 0, 0);
    SendMessageA(text, WM_CHAR, 'x', 1);
    ASSERT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");

    Command(IDM_EDIT_TOGGLE_HIDDEN);
    ASSERT_TRUE(node[kBase]->IsHidden());
    EXPECT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");
    Command(IDM_EDIT_UNDO);
    ASSERT_FALSE(node[kBase]->IsHidden());
    EXPECT_EQ(WindowText(text), "xLOD=1\r\nlodBias=2");
}

}  // namespace
}  // namespace scenehost

// What the status line says after each action that changes the selection, the hidden flags
// or a text, numbers written as the user's locale writes them, and the host's own texts.
#include "scenehost_fixture.h"

#include "hosttexts.h"
#include "windowprobes.h"

namespace scenehost {
namespace {

class StatusFeedback : public SceneHostTest {};

TEST_F(StatusFeedback, SelectionAndHidingSayWhatTheyDid)
{
    const struct {
        std::vector<int> picked;  // empty: nothing selected first
        int command;
        const char* said;
    } steps[] = {
        {{}, IDM_EDIT_SELECT_ALL, "Selected 7 objects."},
        {{kLamp}, IDM_EDIT_SELECT_NONE, "Selected no objects."},
        {{kLamp}, IDM_EDIT_TOGGLE_HIDDEN, "Hid 1 object."},
        {{kLamp}, IDM_EDIT_TOGGLE_HIDDEN, "Unhid 1 object."},
        {{kArm, kLeg}, IDM_EDIT_TOGGLE_HIDDEN, "Hid 1 and unhid 1 objects."},
        {{kBase, kHand, kLamp}, IDM_EDIT_TOGGLE_HIDDEN, "Hid 3 objects."},
        {{}, IDM_EDIT_TOGGLE_HIDDEN, "No object is selected to hide or unhide."},
    };
    for (const auto& step : steps) {
        Command(IDM_EDIT_SELECT_NONE);
        for (int row : step.picked) Pick(row);
        PumpMessages();
        Command(step.command);
        EXPECT_EQ(Status(), step.said) << "command " << step.command;
    }
}

TEST_F(StatusFeedback, EnterInTheFilterSaysHowManyItSelected)
{
    HWND field = App().Filter().Field();
    wchar_t cue[64] = L"";
    SendMessageW(field, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 64);
    EXPECT_STREQ(cue, L"Filter properties") << "the field says what it is for";

    SetWindowTextA(field, "LOD");
    for (int wait = 0; wait < 200 && (App().Filter().Searching() || !App().Filter().Result());
         ++wait) {
        Sleep(10);
        PumpMessages();
    }
    SendMessageA(field, WM_KEYDOWN, VK_RETURN, 0);
    PumpMessages();
    EXPECT_EQ(Status(), "Selected 2 objects.");
    SendMessageA(field, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages();
}

TEST_F(StatusFeedback, ApplyInTheEditorNamesTheNode)
{
    Pick(kLamp);
    PumpMessages();
    App().Utilities().Choose(0);  // the User Properties Editor, first of the two
    SendMessageA(GetDlgItem(CoreInterface::Instance().PanelPage(0), kCreateFloater), BM_CLICK, 0,
                 0);
    PumpMessages();
    HWND floater = FindTopWindow("User Properties");
    ASSERT_NE(floater, nullptr);
    SendMessageA(GetDlgItem(floater, 1002), WM_CHAR, 'x', 0);
    SendMessageA(GetDlgItem(floater, 1000), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(Status(), "Applied the text of 'Lamp'.");
}

TEST_F(StatusFeedback, CountsAreGroupedAsTheLocaleGroupsThem)
{
    std::string scene = "scene 1\n";
    for (int i = 0; i < 1234; ++i) scene += "node 1 \"n" + std::to_string(i) + "\"\n";
    ASSERT_TRUE(App().OpenScene(WriteFile("other.scene", scene)));
    Command(IDM_EDIT_SELECT_ALL);
    EXPECT_EQ(Counts(), "1,234 nodes, 1,234 selected");
    EXPECT_EQ(Status(), "Selected 1,234 objects.");
}

// Accessibility tools name a control by the label just before it among its siblings.
TEST_F(StatusFeedback, EveryFieldIsNamedByTheLabelBeforeIt)
{
    const struct {
        HWND control;
        const char* label;
    } controls[] = {
        {App().Filter().Field(), "Filter:"},
        {GetDlgItem(App().Filter().Window(), kFilterModeId), "Mode:"},
        {List(), "Nodes:"},
        {GetDlgItem(window, kUtilityChooserId), "Utility:"},
    };
    for (const auto& c : controls) {
        ASSERT_NE(c.control, nullptr) << c.label;
        HWND label = GetWindow(c.control, GW_HWNDPREV);
        EXPECT_EQ(ClassOf(label), "Static") << c.label;
        EXPECT_EQ(WindowText(label), c.label);
        EXPECT_EQ(GetWindowLongA(label, GWL_STYLE) & WS_TABSTOP, 0) << c.label << ": not a stop";
    }
}

TEST(HostTexts, NumbersAndMessagesAsTheUserReadsThem)
{
    const struct {
        long long n;
        const char* shown;
    } numbers[] = {{0, "0"}, {999, "999"}, {4021, "4,021"}, {200000, "200,000"},
                   {1234567, "1,234,567"}, {-4021, "-4,021"}};
    for (const auto& c : numbers) EXPECT_EQ(GroupedNumber(c.n), c.shown) << c.n;

    const struct {
        const char* text;
        const char* made;
    } messages[] = {{"%2 before %1", "b before a"}, {"100%% of %1", "100% of a"},
                    {"%3 stays", "%3 stays"}, {"ends in %", "ends in %"}};
    for (const auto& c : messages) EXPECT_EQ(FormatMessageText(c.text, {"a", "b"}), c.made) << c.text;

    EXPECT_EQ(HostText(IDS_APP_NAME), "Scene Host");
    EXPECT_EQ(HostMessage(IDS_SAVE_CHANGES, {"desk.scene"}), "Save changes to desk.scene?");
    EXPECT_EQ(HostText(1), "") << "an id with no string";
}

}  // namespace
}  // namespace scenehost

// The User Properties Editor in the host: the list of selected nodes, the editor with its
// marker and Apply, and the floater window's layout, placement and host registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dialog_answerer.h"
#include "hostutil.h"
#include "test_host.h"

namespace {

const char kCaption[] = "User Properties";
const int kApply = 1000;
const int kList = 1001;
const int kEditor = 1002;

// The host's Interface with a selection of our own: lets a test select what the host never
// would, such as the root or a node of another scene.
class SelectionOverride : public Interface {
public:
    explicit SelectionOverride(std::vector<SceneNode*> nodes) : nodes_(std::move(nodes)) {}
    HWND MainWindow() override { return core().MainWindow(); }
    int SelectedCount() override { return static_cast<int>(nodes_.size()); }
    SceneNode* SelectedNode(int i) override { return nodes_.at(i); }
    SceneNode* RootNode() override { return core().RootNode(); }
    void ClearSelection(int redraw) override { core().ClearSelection(redraw); }
    void SelectNodes(NodeTab& nodes, int select, int redraw) override
    {
        core().SelectNodes(nodes, select, redraw);
    }
    void ShowStatus(const char* text) override { core().ShowStatus(text); }
    void RegisterDialogWindow(HWND window) override { core().RegisterDialogWindow(window); }
    void UnregisterDialogWindow(HWND window) override { core().UnregisterDialogWindow(window); }
    HWND AddPanelPage(HINSTANCE instance, int id, DLGPROC procedure, const char* title,
                      LPARAM param, DWORD flags) override
    {
        return core().AddPanelPage(instance, id, procedure, title, param, flags);
    }
    void DeletePanelPage(HWND page) override { core().DeletePanelPage(page); }
    void RegisterCallback(HostCallback* callback) override { core().RegisterCallback(callback); }
    void UnregisterCallback(HostCallback* callback) override
    {
        core().UnregisterCallback(callback);
    }

private:
    static CoreInterface& core() { return CoreInterface::Instance(); }
    std::vector<SceneNode*> nodes_;
};

class PropEditor : public testing::Test {
protected:
    void SetUp() override
    {
        host.Reset();
        utility = host.Utility("belvost.dlu");
        ASSERT_NE(utility, nullptr);
        // Base{Arm{Hand}, Leg}, Lamp, selected as Lamp, Hand, Leg.
        nodes = host.Build({"1 Base|base", "2 Arm|arm", "3 Hand|hand one\r\nhand two",
                            "2 Leg|leg", "1 Lamp|lamp"});
        base = nodes[0], hand = nodes[2], leg = nodes[3], lamp = nodes[4];
        host.Select({lamp, hand, leg});
        Activate(&host.Core());
        Open();
    }
    void TearDown() override
    {
        if (HWND open = FindTopWindow(kCaption)) SendMessageA(open, WM_COMMAND, IDCANCEL, 0);
        utility->Deactivate(activeInterface, &host.Panel());
        PumpMessages();
        EXPECT_EQ(FindTopWindow(kCaption), nullptr);
        EXPECT_TRUE(AcceleratorsEnabled());
    }

    void Activate(Interface* ip)
    {
        if (activeInterface) utility->Deactivate(activeInterface, &host.Panel());
        activeInterface = ip;
        utility->Activate(ip, &host.Panel());
    }
    void PressCreateFloater()
    {
        SendMessageA(GetDlgItem(host.Core().PanelPage(0), 1001), BM_CLICK, 0, 0);
    }
    void Open()
    {
        PressCreateFloater();
        floater = FindTopWindow(kCaption);
        ASSERT_NE(floater, nullptr);
    }
    void Close() { SendMessageA(floater, WM_COMMAND, IDCANCEL, 0); }

    HWND Control(int id) const { return GetDlgItem(floater, id); }
    std::vector<std::string> Items() const { return ListItems(Control(kList)); }
    SceneNode* ItemNode(int i) const
    {
        return reinterpret_cast<SceneNode*>(SendMessageA(Control(kList), LB_GETITEMDATA, i, 0));
    }
    int Current() const { return static_cast<int>(SendMessageA(Control(kList), LB_GETCURSEL, 0, 0)); }
    std::string Editor() const { return WindowText(Control(kEditor)); }
    bool ApplyEnabled() const { return IsWindowEnabled(Control(kApply)) != FALSE; }

    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c) SendMessageA(Control(kEditor), WM_CHAR, *c, 0);
    }
    void ReplaceAll(const char* text)
    {
        SendMessageA(Control(kEditor), EM_SETSEL, 0, -1);
        SendMessageA(Control(kEditor), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    }
    void Click(int index)
    {
        SendMessageA(Control(kList), LB_SETCURSEL, index, 0);
        SendMessageA(floater, WM_COMMAND, MAKEWPARAM(kList, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Control(kList)));
    }
    void PressApply()
    {
        SendMessageA(floater, WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(kApply)));
    }
    RECT ClientRectOf(int id) const
    {
        RECT rect;
        GetWindowRect(Control(id), &rect);
        MapWindowPoints(nullptr, floater, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    using Strings = std::vector<std::string>;
    TestHost& host = TestHost::Get();
    UtilityObject* utility = nullptr;
    Interface* activeInterface = nullptr;
    std::vector<SceneNode*> nodes;
    SceneNode *base = nullptr, *hand = nullptr, *leg = nullptr, *lamp = nullptr;
    HWND floater = nullptr;
};

using EditorNodeList = PropEditor;
using EditorText = PropEditor;
using EditorFloater = PropEditor;
using StaleItems = PropEditor;

TEST_F(EditorNodeList, ListsSelectedNodesInHierarchyOrderIndentedByDepth)
{
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_EQ(ItemNode(0), hand);
    EXPECT_EQ(ItemNode(1), leg);
    EXPECT_EQ(ItemNode(2), lamp);
    EXPECT_EQ(Current(), 0);
    EXPECT_EQ(Editor(), "hand one\r\nhand two");
    EXPECT_FALSE(ApplyEnabled());

    // The order of selecting plays no part; an unselected parent keeps the child's depth.
    host.Select({leg, lamp, base});
    EXPECT_EQ(Items(), (Strings{"Base", "  Leg", "Lamp"}));
    host.Select({base, leg, lamp});
    EXPECT_EQ(Items(), (Strings{"Base", "  Leg", "Lamp"}));
    EXPECT_EQ(Editor(), "base") << "host selection changes refresh the open floater";
}

TEST_F(EditorNodeList, DeepestNodeOfAVeryDeepChainIsListedWithItsFullIndentation)
{
    const int depth = 100000;
    SceneNode* deepest = nullptr;
    for (int i = 1; i < depth; ++i) deepest = host.GetScene().CreateNode(deepest, "link");
    deepest = host.GetScene().CreateNode(deepest, "Deepest", "bottom");
    ASSERT_NE(deepest, nullptr);
    ASSERT_EQ(deepest->Depth(), depth);
    host.Select({deepest});

    ASSERT_EQ(SendMessageA(Control(kList), LB_GETCOUNT, 0, 0), 1);
    const std::string expected = std::string(2 * (depth - 1), ' ') + "Deepest";
    CStr item;
    ASSERT_TRUE(ListBoxItemText(Control(kList), 0, item));
    ASSERT_EQ(item.Length(), static_cast<int>(expected.size()));
    EXPECT_TRUE(expected == item.data()) << "the item is not its indentation followed by the name";
    EXPECT_EQ(ItemNode(0), deepest);
    EXPECT_EQ(Editor(), "bottom");

    // The nodes beside the chain still come in hierarchy order.
    host.Select({deepest, lamp, hand});
    EXPECT_EQ(SendMessageA(Control(kList), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ItemNode(0), hand);
    EXPECT_EQ(ItemNode(1), lamp);
    EXPECT_EQ(ItemNode(2), deepest);
}

TEST_F(EditorNodeList, NodesOutsideTheRootsChildrenAreNeverListed)
{
    Scene other;
    SceneNode* stranger = other.CreateNode(other.Root(), "Stranger", "elsewhere");
    SelectionOverride selection({host.GetScene().Root(), stranger, leg, other.Root()});
    Activate(&selection);
    PressCreateFloater();
    EXPECT_EQ(Items(), (Strings{"  Leg"}));
    EXPECT_EQ(ItemNode(0), leg);
    EXPECT_EQ(Editor(), "leg");
    Activate(&host.Core());
}

TEST_F(EditorNodeList, EmptyNameGivesAnEmptyItemThatStillCarriesItsNode)
{
    SceneNode* nameless = host.Build({"1 |no name"})[0];
    host.Select({nameless, lamp});
    EXPECT_EQ(Items(), (Strings{"Lamp", ""}));
    EXPECT_EQ(ItemNode(1), nameless);
    Click(1);
    EXPECT_EQ(Editor(), "no name");
}

TEST_F(EditorNodeList, RefreshDropsTheMarkerAndThePendingChange)
{
    Type("x");
    ASSERT_EQ(Items()[0], "    Hand *");
    host.Select({leg, hand});
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg"}));
    EXPECT_EQ(Editor(), "hand one\r\nhand two");
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(NodeText(hand), "hand one\r\nhand two");
}

TEST_F(EditorNodeList, EmptySelectionEmptiesListAndEditorButKeepsApply)
{
    host.Select({});
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(Editor(), "");
    EXPECT_FALSE(ApplyEnabled()) << "a clean editor stays clean";

    host.Select({leg});
    Type("x");
    host.GetScene().ClearSelection();
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(Editor(), "");
    EXPECT_TRUE(ApplyEnabled()) << "a pending change keeps Apply enabled";
    PressApply();
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(NodeText(leg), "leg") << "nothing to write to";
}

TEST_F(EditorText, MarkerApplyAndDiscardAsTheUserSeesThem)
{
    Type("A");
    EXPECT_EQ(Items()[0], "    Hand *");
    EXPECT_TRUE(ApplyEnabled());
    Type("BC");
    EXPECT_EQ(Items(), (Strings{"    Hand *", "  Leg", "Lamp"})) << "one marker only";

    const std::string applied = Editor();
    PressApply();
    EXPECT_EQ(NodeText(hand), applied);
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_EQ(ItemNode(0), hand);
    EXPECT_EQ(Current(), 0);
    EXPECT_FALSE(ApplyEnabled());

    Type("lost");
    EXPECT_EQ(Items()[0], "    Hand *");
    Click(1);
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_EQ(ItemNode(0), hand);
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(NodeText(hand), applied) << "the typed change is discarded";
    EXPECT_EQ(Editor(), "leg");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(EditorText, ApplyWritesExactlyTheEditorsText)
{
    SceneNode* lines = host.Build({"1 Lines|first\r\n\r\n\r\nfourth\r\n"})[0];
    host.Select({lines});
    EXPECT_EQ(Editor(), "first\r\n\r\n\r\nfourth\r\n");
    SendMessageA(Control(kEditor), EM_SETSEL, 7, 7);
    SendMessageA(Control(kEditor), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("second"));
    PressApply();
    EXPECT_EQ(NodeText(lines), "first\r\nsecond\r\n\r\nfourth\r\n");

    ReplaceAll("");
    EXPECT_EQ(Items()[0], "Lines *");
    PressApply();
    EXPECT_EQ(NodeText(lines), "");
    EXPECT_EQ(Items()[0], "Lines");

    // Apply writes even an unchanged text, and leaves a name's own " *" alone.
    SceneNode* star = host.Build({"1 Star *|shine"})[0];
    host.Select({star});
    PressApply();
    EXPECT_EQ(Items()[0], "Star *");
    Type("s");
    EXPECT_EQ(Items()[0], "Star * *");
    PressApply();
    EXPECT_EQ(Items()[0], "Star *");
    EXPECT_EQ(NodeText(star), "sshine");
}

// Changes a node's text as a command's undo step would.
void ChangeAsStep(SceneNode* node, const char* text)
{
    theHold.Begin();
    PutText(node, text);
    theHold.Accept("Other Step");
}

// Undoing or redoing another step never throws an applied text away.
TEST_F(EditorText, ApplyIsOneUndoStepAndKeepsItsItem)
{
    ChangeAsStep(lamp, "lamp changed");
    ASSERT_TRUE(theHold.Undo());
    Click(2);
    SendMessageA(Control(kEditor), EM_REPLACESEL, TRUE,
                 reinterpret_cast<LPARAM>("reviewed=yes\r\n"));
    PressApply();
    EXPECT_EQ(NodeText(lamp), "reviewed=yes\r\nlamp");
    EXPECT_STREQ(theHold.UndoName(), "Edit User Properties");
    EXPECT_EQ(theHold.RedoCount(), 0) << "the redo that would overwrite it is gone";
    EXPECT_EQ(Current(), 2) << "the step's own refresh must not move the current item";
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_EQ(Editor(), "reviewed=yes\r\nlamp");
    EXPECT_FALSE(ApplyEnabled());

    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(NodeText(lamp), "lamp");
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(NodeText(lamp), "reviewed=yes\r\nlamp");
}

TEST_F(EditorText, ApplyWaitsWhileAnotherCommandAsks)
{
    DialogAnswerer answerer;
    answerer.Press(IDOK);
    Type("x");
    theHold.Begin();
    PressApply();
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text,
              "Another command is waiting for an answer. Answer its question first, then press "
              "Apply again.");
    EXPECT_EQ(NodeText(hand), "hand one\r\nhand two");
    EXPECT_EQ(Items()[0], "    Hand *") << "the change stays pending";
    EXPECT_TRUE(ApplyEnabled());
}

// The edit control's default limit would cut a long paste short, and Apply write it cut.
TEST_F(EditorText, TakesATextOfAnyLength)
{
    const std::string pasted(40018, 'p');
    ReplaceAll(pasted.c_str());
    EXPECT_EQ(GetWindowTextLengthA(Control(kEditor)), 40018);
    Type("q");
    PressApply();
    EXPECT_EQ(NodeText(hand), pasted + "q");
}

WNDPROC originalEditProc = nullptr;

// An edit control that reports a change for any text set into it, as some platforms do.
LRESULT CALLBACK NotifyingEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcA(originalEditProc, edit, message, wParam, lParam);
    if (message == WM_SETTEXT)
        SendMessageA(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE),
                     reinterpret_cast<LPARAM>(edit));
    return result;
}

TEST_F(EditorText, TextTheFloaterLoadsIsNoChange)
{
    originalEditProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        Control(kEditor), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NotifyingEditProc)));
    Click(2);
    host.Select({leg, hand});
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg"}));
    EXPECT_FALSE(ApplyEnabled());
    Type("x");
    EXPECT_EQ(Items()[0], "    Hand *") << "the user's first change still counts";
    SetWindowLongPtrA(Control(kEditor), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalEditProc));
}

TEST_F(EditorText, ClosingWithAPendingChangeDiscardsIt)
{
    Type("gone");
    Close();
    Open();
    EXPECT_EQ(NodeText(hand), "hand one\r\nhand two");
    EXPECT_EQ(Items()[0], "    Hand");
    EXPECT_EQ(Editor(), "hand one\r\nhand two");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(EditorFloater, CreateFloaterWhileOpenRebuildsTheListAndOpensNoSecondWindow)
{
    const int callbacks = host.Core().CallbackCount();
    Type("x");
    PressCreateFloater();
    EXPECT_EQ(FindTopWindow(kCaption), floater);
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(host.Core().CallbackCount(), callbacks);
}

TEST_F(EditorFloater, RefresherIsRegisteredExactlyWhileTheWindowExists)
{
    const int open = host.Core().CallbackCount();
    Close();
    EXPECT_EQ(host.Core().CallbackCount(), open - 1);
    host.Select({lamp});  // reaches no closed floater
    Open();
    EXPECT_EQ(host.Core().CallbackCount(), open);
    EXPECT_EQ(Items(), (Strings{"Lamp"}));

    // Destroyed without its close command: the next press still opens a floater.
    DestroyWindow(floater);
    EXPECT_EQ(host.Core().CallbackCount(), open - 1);
    Open();
    EXPECT_TRUE(IsWindow(floater));
    EXPECT_EQ(host.Core().CallbackCount(), open);
}

TEST_F(EditorFloater, LayoutFollowsTheClientAreaAtEverySize)
{
    const RECT apply0 = ClientRectOf(kApply), editor0 = ClientRectOf(kEditor),
               list0 = ClientRectOf(kList);
    const int wA = apply0.right - apply0.left, hA = apply0.bottom - apply0.top;
    const SIZE sizes[] = {{700, 500}, {160, 120}, {90, 60}, {1000, 700}, {420, 330}};
    for (const SIZE& size : sizes) {
        SetWindowPos(floater, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(floater, &client);
        const int w = client.right, h = client.bottom;
        const RECT apply = ClientRectOf(kApply), editor = ClientRectOf(kEditor),
                   list = ClientRectOf(kList);
        SCOPED_TRACE(testing::Message() << "client " << w << " x " << h);
        EXPECT_EQ(apply.left, w - wA - 5);
        EXPECT_EQ(apply.top, h - hA - 5);
        EXPECT_EQ(apply.right - apply.left, wA);
        EXPECT_EQ(apply.bottom - apply.top, hA);
        EXPECT_EQ(editor.left, editor0.left);
        EXPECT_EQ(editor.top, editor0.top);
        EXPECT_EQ(editor.right - editor.left, std::max(0L, w - editor0.left - 5));
        EXPECT_EQ(editor.bottom - editor.top, std::max(0L, h - hA - 10 - editor0.top));
        EXPECT_EQ(list.left, list0.left);
        EXPECT_EQ(list.top, list0.top);
        EXPECT_EQ(list.right - list.left, list0.right - list0.left);
        EXPECT_EQ(list.bottom - list.top, std::max(0L, h - list0.top - 5));
    }
}

TEST_F(EditorFloater, ReopensWhereTheUserLastLeftIt)
{
    // Left exactly at (-1, -1) counts as never moved: the next opening centres.
    SetWindowPos(floater, nullptr, -1, -1, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(floater, WM_EXITSIZEMOVE, 0, 0);
    Close();
    Open();
    RECT main, rect;
    GetWindowRect(host.MainWindow(), &main);
    GetWindowRect(floater, &rect);
    EXPECT_NEAR((rect.left + rect.right) / 2, (main.left + main.right) / 2, 1);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, (main.top + main.bottom) / 2, 1);

    // A move records the size too.
    SetWindowPos(floater, nullptr, 40, 50, 520, 410, SWP_NOZORDER);
    SendMessageA(floater, WM_EXITSIZEMOVE, 0, 0);
    Close();
    Open();
    GetWindowRect(floater, &rect);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 520);
    EXPECT_EQ(rect.bottom - rect.top, 410);
    RECT client;
    GetClientRect(floater, &client);
    EXPECT_EQ(ClientRectOf(kList).bottom, client.bottom - 5) << "laid out at the restored size";

    SetWindowPos(floater, nullptr, -1, -1, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(floater, WM_EXITSIZEMOVE, 0, 0);
}

TEST_F(EditorFloater, ShortcutsAreSuspendedWhileTheEditorHasTheFocus)
{
    SetFocus(Control(kEditor));
    EXPECT_FALSE(AcceleratorsEnabled());
    SetFocus(Control(kList));
    EXPECT_TRUE(AcceleratorsEnabled());

    // Closing with the focus in the editor gives the host its shortcuts back.
    SetFocus(Control(kEditor));
    ASSERT_FALSE(AcceleratorsEnabled());
    Close();
    EXPECT_TRUE(AcceleratorsEnabled());
}

TEST_F(EditorFloater, KeyboardFocusStaysInTheFloaterWhenApplyTurnsItselfOff)
{
    HWND focus = GetFocus();
    EXPECT_TRUE(focus && IsChild(floater, focus) && IsWindowEnabled(focus))
        << "no working control has the focus after opening";

    Type("x");
    ASSERT_TRUE(ApplyEnabled());
    SendMessageA(floater, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(kApply)), TRUE);
    ASSERT_EQ(GetFocus(), Control(kApply));
    SendMessageA(Control(kApply), WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(Control(kApply), WM_KEYUP, VK_SPACE, 0);
    ASSERT_EQ(NodeText(hand), "xhand one\r\nhand two") << "space on Apply applies";
    EXPECT_FALSE(ApplyEnabled());
    focus = GetFocus();
    EXPECT_TRUE(focus && IsChild(floater, focus) && IsWindowEnabled(focus))
        << "no working control has the focus after Apply";
}

TEST_F(EditorFloater, SizingWithoutItsControlsMovesNothing)
{
    DestroyWindow(Control(kEditor));
    const RECT apply = ClientRectOf(kApply), list = ClientRectOf(kList);
    SetWindowPos(floater, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
    const RECT applyAfter = ClientRectOf(kApply), listAfter = ClientRectOf(kList);
    EXPECT_TRUE(EqualRect(&apply, &applyAfter));
    EXPECT_TRUE(EqualRect(&list, &listAfter));
}

TEST_F(StaleItems, NoCurrentItemWritesAndMarksNothing)
{
    SendMessageA(Control(kList), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Type("x");
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    PressApply();
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(NodeText(hand), "hand one\r\nhand two");

    // A change made without a current item put no marker anywhere: choosing an item
    // afterwards must not cut its name.
    SendMessageA(Control(kList), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Type("y");
    Click(1);
    EXPECT_EQ(Items(), (Strings{"    Hand", "  Leg", "Lamp"}));
    EXPECT_EQ(Editor(), "leg");
}

TEST_F(StaleItems, MarkedItemNoLongerInTheList)
{
    Click(2);
    Type("x");
    ASSERT_EQ(Items()[2], "Lamp *");
    SendMessageA(Control(kList), LB_DELETESTRING, 2, 0);
    SendMessageA(Control(kList), LB_DELETESTRING, 1, 0);
    Click(0);
    EXPECT_EQ(Items(), (Strings{"    Hand"}));
    EXPECT_EQ(ItemNode(0), hand);
    EXPECT_EQ(Editor(), "hand one\r\nhand two");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(StaleItems, ItemWithoutNodeIsNeitherReadNorWritten)
{
    SendMessageA(Control(kList), LB_SETITEMDATA, 1, 0);
    Click(1);
    EXPECT_EQ(Editor(), "hand one\r\nhand two") << "nothing to load";
    ReplaceAll("stray");
    PressApply();
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(NodeText(hand), "hand one\r\nhand two");
    EXPECT_EQ(NodeText(leg), "leg");
}

}  // namespace

// The host's Interface as plug-ins meet it: callbacks, status line, dialog windows, panel
// pages, keyboard shortcuts, window centring and module loading.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "hold.h"
#include "hostutil.h"
#include "test_host.h"

namespace {

class ScriptedCallback : public HostCallback {
public:
    void Notify(Interface* ip) override
    {
        ++calls;
        seenInterface = ip;
        if (onNotify) onNotify();
    }
    int calls = 0;
    Interface* seenInterface = nullptr;
    std::function<void()> onNotify;
};

class HostCallbacks : public testing::Test {
protected:
    void SetUp() override { host.Reset(); nodes = host.Build({"1 a", "1 b"}); }
    void TearDown() override
    {
        for (ScriptedCallback* callback : {&first, &second, &third})
            host.Core().UnregisterCallback(callback);
    }
    void ChangeSelection() { host.Select({nodes[host.GetScene().SelectedCount() % 2]}); }

    TestHost& host = TestHost::Get();
    std::vector<SceneNode*> nodes;
    ScriptedCallback first, second, third;
};

TEST_F(HostCallbacks, EverySelectionChangeNotifiesWithTheInterface)
{
    host.Core().RegisterCallback(&first);
    host.Core().RegisterCallback(&first);
    ChangeSelection();
    host.GetScene().ClearSelection();
    EXPECT_EQ(first.calls, 2) << "registered twice, notified once per change";
    EXPECT_EQ(first.seenInterface, GetCOREInterface());
    host.Core().UnregisterCallback(&first);
    ChangeSelection();
    EXPECT_EQ(first.calls, 2);
}

TEST_F(HostCallbacks, NoChangeNoNotification)
{
    host.Core().RegisterCallback(&first);
    host.GetScene().ClearSelection();
    host.GetScene().ClearSelection();
    EXPECT_EQ(first.calls, 0);
}

// A command's step may rewrite texts a plug-in shows; the plug-in hears of it after the step,
// and not of a step that left names and texts alone.
TEST_F(HostCallbacks, AStepThatRewroteTextsNotifiesOthersDoNot)
{
    struct NoRestore : RestoreObj {
        void UndoChange(int) override {}
        void RedoChange() override {}
    };
    auto step = [](const std::function<void()>& change) {
        theHold.Begin();
        theHold.Put(new NoRestore);
        change();
        theHold.Accept("Step");
    };
    host.Core().RegisterCallback(&first);
    theHold.Begin();
    theHold.Put(new NoRestore);
    nodes[0]->SetUserPropText("changed");
    EXPECT_EQ(first.calls, 0) << "not while the command is still running";
    theHold.Accept("Run");
    EXPECT_EQ(first.calls, 1);

    step([&] { nodes[1]->SetHidden(true); });
    EXPECT_EQ(first.calls, 1) << "hiding a node rewrites no text";
    nodes[1]->SetUserPropText("outside any step");
    step([&] { nodes[1]->SetHidden(false); });
    EXPECT_EQ(first.calls, 1) << "a write before the step is not the step's";
    step([&] { nodes[1]->SetName("renamed"); });
    EXPECT_EQ(first.calls, 2) << "names show in the plug-ins too";
    theHold.Clear();
}

// However many selection and text changes a step holds, the step, its undo and its redo each
// reach a plug-in once, when they are over.
TEST_F(HostCallbacks, AStepItsUndoAndItsRedoNotifyOnceEach)
{
    host.Core().RegisterCallback(&first);
    theHold.Begin();
    host.GetScene().ClearSelection();
    ChangeSelection();
    for (SceneNode* node : nodes) {
        PutText(node, "new");
    }
    ChangeSelection();
    EXPECT_EQ(first.calls, 0) << "not while the command is still running";
    theHold.Accept("Run");
    EXPECT_EQ(first.calls, 1);
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(first.calls, 2);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(first.calls, 3);
    theHold.Clear();
}

// The host hands on the user's own pick at once, even while a command waits for an answer.
TEST_F(HostCallbacks, DeliveredChangesReachPlugInsWhileACommandWaits)
{
    host.Core().RegisterCallback(&first);
    theHold.Begin();
    NodeTab picked;
    picked.Append(nodes[1]);
    host.GetScene().PickNodes(picked);
    host.Core().DeliverChanges();
    EXPECT_EQ(first.calls, 1);
    host.Core().DeliverChanges();
    theHold.Cancel();
    EXPECT_EQ(first.calls, 1) << "nothing left to hand on";
}

TEST_F(HostCallbacks, CallbackMayUnregisterItselfOrAnotherDuringNotify)
{
    first.onNotify = [&] {
        host.Core().UnregisterCallback(&first);
        host.Core().UnregisterCallback(&second);
    };
    host.Core().RegisterCallback(&first);
    host.Core().RegisterCallback(&second);
    host.Core().RegisterCallback(&third);
    ChangeSelection();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0) << "unregistered before its turn";
    EXPECT_EQ(third.calls, 1);
    EXPECT_EQ(host.Core().CallbackCount(), 1);
}

TEST_F(HostCallbacks, CallbackRegisteredDuringNotifyWaitsForTheNextChange)
{
    first.onNotify = [&] { host.Core().RegisterCallback(&second); };
    host.Core().RegisterCallback(&first);
    ChangeSelection();
    EXPECT_EQ(second.calls, 0);
    ChangeSelection();
    EXPECT_EQ(second.calls, 1);
}

TEST(HostStatus, KeepsItsOwnCopyOfTheText)
{
    char text[] = "Selected 3 objects.";
    GetCOREInterface()->ShowStatus(text);
    text[0] = 'X';
    EXPECT_STREQ(CoreInterface::Instance().StatusText(), "Selected 3 objects.");
}

TEST(HostDialogWindows, RegistrationIsPairedAndCounted)
{
    TestHost& host = TestHost::Get();
    const int before = host.Core().DialogWindowCount();
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    host.Core().RegisterDialogWindow(window);
    host.Core().RegisterDialogWindow(window);
    EXPECT_TRUE(host.Core().IsDialogWindow(window));
    EXPECT_EQ(host.Core().DialogWindowCount(), before + 1);
    host.Core().UnregisterDialogWindow(window);
    EXPECT_FALSE(host.Core().IsDialogWindow(window));
    DestroyWindow(window);
}

TEST(HostPanel, PagesFailSoftly)
{
    TestHost& host = TestHost::Get();
    const int before = host.Core().PanelPageCount();
    EXPECT_EQ(host.Core().AddPanelPage(GetModuleHandleA(nullptr), 4242, nullptr, "x", 0, 0), nullptr)
        << "no such template";
    host.Core().DeletePanelPage(nullptr);
    EXPECT_EQ(host.Core().PanelPageCount(), before);
}

TEST(HostAccelerators, SuspendAndRestore)
{
    EnableAccelerators();
    DisableAccelerators();
    EXPECT_FALSE(AcceleratorsEnabled());
    EnableAccelerators();
    EXPECT_TRUE(AcceleratorsEnabled());
}

RECT RectOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

TEST(HostCenterWindow, CentresOverTheParentAndStaysOnScreen)
{
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 50, parent,
                                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(CenterWindow(child, parent));
    RECT placed = RectOf(child);
    EXPECT_EQ(placed.left, 250);
    EXPECT_EQ(placed.top, 225);
    EXPECT_EQ(placed.right - placed.left, 100) << "size unchanged";

    SetWindowPos(parent, nullptr, -1000, -1000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CenterWindow(child, parent);
    placed = RectOf(child);
    EXPECT_GE(placed.left, 0);
    EXPECT_GE(placed.top, 0);
    DestroyWindow(child);
    DestroyWindow(parent);
}

TEST(HostPluginLoading, RefusesWhatIsNotAPlugin)
{
    PluginModule module;
    CStr error;
    const std::string missing = ModuleFolder() + "nothere.dlu";
    EXPECT_FALSE(LoadPluginModule(missing.c_str(), module, error));
    EXPECT_NE(std::string(error.data()).find("nothere.dlu: cannot be loaded"), std::string::npos)
        << error.data();

    const std::string library = ModuleFolder() + "hostutil.dll";
    EXPECT_FALSE(LoadPluginModule(library.c_str(), module, error));
    EXPECT_NE(std::string(error.data()).find("not a plug-in module"), std::string::npos)
        << error.data();
    EXPECT_EQ(module.descriptor, nullptr);
}

}  // namespace

// The Find/Replace floater as the user meets it: its buttons, its place on screen, the
// host's shortcuts, the two questions' keys, and the entry in the host's main menu.
#include <gtest/gtest.h>

#include <string>

#include "findreplace_fixture.h"
#include "hostutil.h"

namespace findreplace {
namespace {

using FindReplaceFloater = FloaterTest;

TEST_F(FindReplaceFloater, ButtonsFollowWhatTheFieldsHold)
{
    ASSERT_NE(OpenFloater(), nullptr);
    struct Case {
        const char* find;
        const char* replace;
        bool search, remove, replaceButton, writeAll;
    };
    const Case cases[] = {
        {"", "", false, false, false, false},
        {"lod", "", true, true, false, false},
        {"", "lod=5", false, false, false, true},
        {"lod", "lod=5", true, true, true, true},
        {"", "", false, false, false, false},  // emptying disables again
    };
    for (const Case& c : cases) {
        Type(kFindField, c.find);
        Type(kReplaceField, c.replace);
        const std::string fields = std::string("find '") + c.find + "' replace '" + c.replace + "'";
        EXPECT_EQ(IsWindowEnabled(Item(kSearchSelect)) != 0, c.search) << fields;
        EXPECT_EQ(IsWindowEnabled(Item(kRemove)) != 0, c.remove) << fields;
        EXPECT_EQ(IsWindowEnabled(Item(kReplace)) != 0, c.replaceButton) << fields;
        EXPECT_EQ(IsWindowEnabled(Item(kWriteAll)) != 0, c.writeAll) << fields;
    }
}

TEST_F(FindReplaceFloater, WithoutSelectionOnlySearchAndSelectRuns)
{
    auto nodes = host.Build({"1 A|lod=1"});
    ASSERT_NE(OpenFloater(), nullptr);
    Type(kFindField, "lod");
    Type(kReplaceField, "lod=5");
    for (int button : {kRemove, kReplace, kWriteAll}) {
        answerer.Press(IDOK);
        Click(button);
    }
    ASSERT_EQ(answerer.Seen().size(), 3u);
    for (const SeenDialog& box : answerer.Seen()) {
        EXPECT_EQ(box.text, "No objects selected in the scene.");
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(box.owner, floater);
    }
    EXPECT_EQ(NodeText(nodes[0]), "lod=1");
    EXPECT_EQ(theHold.UndoCount(), 0);
    EXPECT_EQ(WindowText(Item(kFindField)), "lod") << "the fields keep their text";

    Click(kSearchSelect);
    EXPECT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(Selection(), nodes);
}

TEST_F(FindReplaceFloater, CommandOkIsIgnored)
{
    auto nodes = host.Build({"1 A|lod=1\r\nlod=2"});
    host.Select(nodes);
    ASSERT_NE(OpenFloater(), nullptr);
    Type(kFindField, "lod");
    SendMessageA(floater, WM_COMMAND, IDOK, 0);
    PumpMessages();
    EXPECT_TRUE(IsWindow(floater));
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(NodeText(nodes[0]), "lod=1\r\nlod=2");
    EXPECT_EQ(theHold.UndoCount(), 0);
}

TEST_F(FindReplaceFloater, OpensCentredUntilMovedThenWhereTheUserLeftIt)
{
    // Positions outlive the window within a process: start from the never-moved state.
    auto moveTo = [&](int left, int top) {
        SetWindowPos(floater, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SendMessageA(floater, WM_EXITSIZEMOVE, 0, 0);
    };
    auto expectCentred = [&](const char* when) {
        RECT own, owner;
        GetWindowRect(floater, &own);
        GetWindowRect(host.MainWindow(), &owner);
        EXPECT_NEAR((own.left + own.right) / 2, (owner.left + owner.right) / 2, 1) << when;
        EXPECT_NEAR((own.top + own.bottom) / 2, (owner.top + owner.bottom) / 2, 1) << when;
    };
    ASSERT_NE(OpenFloater(), nullptr);
    moveTo(-1, -1);
    CloseFloater();

    ASSERT_NE(OpenFloater(), nullptr);
    expectCentred("first opening");
    RECT first;
    GetWindowRect(floater, &first);
    moveTo(37, 41);
    CloseFloater();

    ASSERT_NE(OpenFloater(), nullptr);
    RECT moved;
    GetWindowRect(floater, &moved);
    EXPECT_EQ(moved.left, 37);
    EXPECT_EQ(moved.top, 41);
    EXPECT_EQ(moved.right - moved.left, first.right - first.left);
    EXPECT_EQ(moved.bottom - moved.top, first.bottom - first.top);
    moveTo(-1, -1);
    CloseFloater();

    ASSERT_NE(OpenFloater(), nullptr);
    expectCentred("after being left at -1, -1");
}

TEST_F(FindReplaceFloater, ShortcutsAreSuspendedWhileAFieldHasTheFocus)
{
    ASSERT_NE(OpenFloater(), nullptr);
    EXPECT_EQ(GetFocus(), Item(kFindField)) << "a new floater starts in the Find field";
    EXPECT_FALSE(AcceleratorsEnabled());
    SetFocus(Item(kReplaceField));
    EXPECT_FALSE(AcceleratorsEnabled());
    SetFocus(host.MainWindow());
    EXPECT_TRUE(AcceleratorsEnabled());

    SetFocus(Item(kFindField));
    EXPECT_FALSE(AcceleratorsEnabled());
    CloseFloater();
    EXPECT_TRUE(AcceleratorsEnabled()) << "closing the floater from a field gives them back";
}

// The questions' keys, met through Remove and Replace runs on one node.
class QuestionKeys : public FloaterTest {
protected:
    void SetUp() override
    {
        FloaterTest::SetUp();
        node = host.Build({"1 A|lod=1\r\nlod=2"})[0];
        host.Select({node});
    }
    bool Changed() { return NodeText(node) != "lod=1\r\nlod=2"; }
    SceneNode* node = nullptr;
};

TEST_F(QuestionKeys, EnterPressesCancelInTheMultiMatchQuestion)
{
    answerer.PressKeys({VK_RETURN});
    Run(kRemove, "lod");
    EXPECT_FALSE(Changed());
    EXPECT_EQ(answerer.Pending(), 0u);
}

TEST_F(QuestionKeys, EnterPressesReplaceInTheConfirmation)
{
    answerer.Press(kIgnore).PressKeys({VK_RETURN});
    Run(kReplace, "lod", "x");
    EXPECT_EQ(NodeText(node), "x\r\nx");
}

TEST_F(QuestionKeys, EscapeDoesNothingInEitherQuestion)
{
    answerer.PressKeys({VK_ESCAPE}, kMultiCancel);
    Run(kRemove, "lod");
    EXPECT_FALSE(Changed()) << "the multiple-match question was not closed by Escape";

    answerer.Press(kIgnore).PressKeys({VK_ESCAPE}, kConfirmCancel);
    Type(kReplaceField, "x");
    Click(kReplace);
    EXPECT_FALSE(Changed()) << "the confirmation was not closed by Escape";
    EXPECT_EQ(answerer.Unanswered(), 0);
}

int MenuEntries(HWND mainWindow)
{
    HMENU tools = GetSubMenu(GetMenu(mainWindow), 2);
    int found = 0;
    for (int i = 0; i < GetMenuItemCount(tools); ++i) found += GetMenuItemID(tools, i) == 32123;
    return found;
}

using MainMenuEntry = FloaterTest;

TEST_F(MainMenuEntry, StandsOnceInTheThirdMenuAndOpensOneFloater)
{
    HMENU tools = GetSubMenu(GetMenu(host.MainWindow()), 2);
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(MenuEntries(host.MainWindow()), 1);
    EXPECT_EQ(GetMenuItemID(tools, 11), 32123u) << "before the host's last item";
    char text[64] = "";
    GetMenuStringA(tools, 11, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Find/Replace Properties...");

    SendMessageA(host.MainWindow(), WM_COMMAND, 32123, 0);
    floater = FindTopWindow(kCaption);
    ASSERT_NE(floater, nullptr);
    EXPECT_EQ(GetWindow(floater, GW_OWNER), host.MainWindow());
    SendMessageA(host.MainWindow(), WM_COMMAND, 32123, 0);
    // Other test processes may have floaters of their own on the same desktop.
    int floaters = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(w) && WindowText(w) == kCaption)
            ++floaters;
    }
    EXPECT_EQ(floaters, 1);
}

// A second copy of the module, so that it can really be unloaded while the host runs.
class ModuleCopy : public FloaterTest {
protected:
    void SetUp() override
    {
        FloaterTest::SetUp();
        char folder[MAX_PATH] = "";
        GetTempPathA(sizeof folder, folder);
        copyPath = std::string(folder) + "tarnwick_copy_" +
                   std::to_string(GetCurrentProcessId()) + ".dlu";
        ASSERT_TRUE(CopyFileA((ModuleFolder() + kModule).c_str(), copyPath.c_str(), FALSE));
        procBefore = GetWindowLongPtrA(host.MainWindow(), GWLP_WNDPROC);
        callbacksBefore = host.Core().CallbackCount();
        CStr error;
        ASSERT_TRUE(LoadPluginModule(copyPath.c_str(), copy, error)) << error.data();
    }
    void TearDown() override
    {
        if (copy.module) FreeLibrary(copy.module);
        DeleteFileA(copyPath.c_str());
        FloaterTest::TearDown();
    }
    void Unload()
    {
        FreeLibrary(copy.module);
        copy.module = nullptr;
        PumpMessages();
    }
    LONG_PTR MainProc() { return GetWindowLongPtrA(host.MainWindow(), GWLP_WNDPROC); }

    std::string copyPath;
    PluginModule copy;
    LONG_PTR procBefore = 0;
    int callbacksBefore = 0;
};

TEST_F(ModuleCopy, WaitsForTheMainMenuBeforeHooking)
{
    HMENU bar = GetMenu(host.MainWindow());
    SetMenu(host.MainWindow(), nullptr);
    host.Core().NotifyCallbacks();
    const LONG_PTR procWithoutMenu = MainProc();
    const int callbacksWithoutMenu = host.Core().CallbackCount();
    SetMenu(host.MainWindow(), bar);
    EXPECT_EQ(procWithoutMenu, procBefore);
    EXPECT_EQ(callbacksWithoutMenu, callbacksBefore + 1) << "asks to be called again";

    host.Core().NotifyCallbacks();
    EXPECT_NE(MainProc(), procBefore);
    EXPECT_EQ(host.Core().CallbackCount(), callbacksBefore);
    EXPECT_EQ(MenuEntries(host.MainWindow()), 1) << "the entry is there already";
}

TEST_F(ModuleCopy, UnloadedBeforeTheHostStartedLeavesNoCallbackBehind)
{
    EXPECT_EQ(host.Core().CallbackCount(), callbacksBefore + 1);
    Unload();
    EXPECT_EQ(host.Core().CallbackCount(), callbacksBefore);
    host.Select(host.Build({"1 A"}));  // would call into the unloaded module
}

TEST_F(ModuleCopy, UnloadTakesItsSubclassAndFloaterAway)
{
    host.Core().NotifyCallbacks();
    EXPECT_NE(MainProc(), procBefore);
    auto* utility = static_cast<UtilityObject*>(copy.descriptor->CreateInstance(0));
    utility->Activate(&host.Core(), &host.Panel());
    SendMessageA(GetDlgItem(host.Core().PanelPage(0), 1001), BM_CLICK, 0, 0);
    utility->Deactivate(&host.Core(), &host.Panel());
    HWND copyFloater = FindTopWindow(kCaption);
    ASSERT_NE(copyFloater, nullptr);

    Unload();
    EXPECT_FALSE(IsWindow(copyFloater));
    EXPECT_EQ(MainProc(), procBefore);
    EXPECT_EQ(host.Core().CallbackCount(), callbacksBefore);
    EXPECT_EQ(MenuEntries(host.MainWindow()), 1) << "the entry belongs to the module that stays";
    SendMessageA(host.MainWindow(), WM_COMMAND, 32123, 0);
    EXPECT_NE(FindTopWindow(kCaption), nullptr);
}

}  // namespace
}  // namespace findreplace

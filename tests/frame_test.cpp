// The plug-in frame as the host meets it: exports, descriptor, string loader, utility object
// and its panel pages, and the opening of the floater.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "hostutil.h"
#include "plugin.h"
#include "test_host.h"

namespace {

struct ModuleValues {
    const char* file;
    const char* description;
    const char* className;
    const char* mainPageTitle;
    ClassKey key;
    const char* floaterCaption;
    int fieldId;  // a field of the floater that pauses the host's shortcuts
};

// Names the module in test listings instead of dumping the structure's bytes.
void PrintTo(const ModuleValues& values, std::ostream* out) { *out << values.file; }

const ModuleValues kTarnwick = {"tarnwick.dlu", "User property manipulation",
                                "Find/Replace Prop", "Parameters", {0x4DB72FEE, 0x69D32D7B},
                                "Find/Replace Properties", 1006};
const ModuleValues kBelvost = {"belvost.dlu", "User properties floater utility",
                               "UserProp Editor", "UserProp Editor", {0x27A23929, 0x76DD4182},
                               "User Properties", 1002};

template <class Proc>
Proc ExportByOrdinal(HMODULE module, int ordinal)
{
    return reinterpret_cast<Proc>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

class ModuleFrame : public testing::TestWithParam<ModuleValues> {
protected:
    void SetUp() override
    {
        host.Reset();
        module = &host.Load(GetParam().file);
        ASSERT_NE(module->descriptor, nullptr);
    }
    void TearDown() override
    {
        if (HWND floater = FindTopWindow(GetParam().floaterCaption))
            SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
        PumpMessages();
    }
    UtilityObject* Utility() { return static_cast<UtilityObject*>(module->descriptor->CreateInstance(0)); }
    void PutAwayAndReopen();
    HWND PageButton()
    {
        return GetDlgItem(host.Core().PanelPage(0), 1001);
    }

    TestHost& host = TestHost::Get();
    const PluginModule* module = nullptr;
};

TEST_P(ModuleFrame, ExportsTheFourEntryPointsByOrdinalAndName)
{
    HMODULE handle = module->module;
    EXPECT_EQ(ExportByOrdinal<void*>(handle, 1),
              reinterpret_cast<void*>(GetProcAddress(handle, "LibDescription")));
    EXPECT_EQ(ExportByOrdinal<void*>(handle, 2),
              reinterpret_cast<void*>(GetProcAddress(handle, "LibNumberClasses")));
    EXPECT_EQ(ExportByOrdinal<void*>(handle, 3),
              reinterpret_cast<void*>(GetProcAddress(handle, "LibClassDesc")));
    EXPECT_EQ(ExportByOrdinal<void*>(handle, 4),
              reinterpret_cast<void*>(GetProcAddress(handle, "LibVersion")));
    for (int ordinal = 1; ordinal <= 4; ++ordinal)
        EXPECT_NE(ExportByOrdinal<void*>(handle, ordinal), nullptr) << "ordinal " << ordinal;
    EXPECT_EQ(ExportByOrdinal<void*>(handle, 5), nullptr);
}

TEST_P(ModuleFrame, EntryPointsAnswerAsTheHostExpects)
{
    HMODULE handle = module->module;
    EXPECT_STREQ(ExportByOrdinal<LibDescriptionProc>(handle, 1)(), GetParam().description);
    EXPECT_EQ(ExportByOrdinal<LibNumberClassesProc>(handle, 2)(), 1);
    auto classDesc = ExportByOrdinal<LibClassDescProc>(handle, 3);
    EXPECT_EQ(classDesc(0), module->descriptor);
    EXPECT_EQ(classDesc(1), nullptr);
    EXPECT_EQ(classDesc(-1), nullptr);
    EXPECT_EQ(ExportByOrdinal<LibVersionProc>(handle, 4)(), 0x0C1C0700ul);
}

TEST_P(ModuleFrame, DescriptorNamesTheUtilityClass)
{
    ClassDescriptor* descriptor = module->descriptor;
    EXPECT_EQ(descriptor->PublicFlag(), 1);
    EXPECT_STREQ(descriptor->DisplayName(), GetParam().className);
    EXPECT_STREQ(descriptor->CategoryName(), "Korvane");
    EXPECT_EQ(descriptor->KindCode(), 0x1020);
    const ClassKey key = descriptor->GetClassKey();
    EXPECT_EQ(key.first, GetParam().key.first);
    EXPECT_EQ(key.second, GetParam().key.second);
    EXPECT_EQ(descriptor->HiddenFromLists(7), 0);
    EXPECT_EQ(descriptor->CreationFlags(7), 0);
}

TEST_P(ModuleFrame, CreateInstanceAlwaysHandsOutTheOneUtility)
{
    void* first = module->descriptor->CreateInstance(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(module->descriptor->CreateInstance(1), first);
    EXPECT_EQ(module->descriptor->CreateInstance(-5), first);
}

TEST_P(ModuleFrame, ActivateAddsBothPagesWithTheirTitles)
{
    Utility()->Activate(&host.Core(), &host.Panel());
    ASSERT_EQ(host.Core().PanelPageCount(), 2);
    EXPECT_STREQ(host.Core().PanelPageTitle(0), GetParam().mainPageTitle);
    EXPECT_STREQ(host.Core().PanelPageTitle(1), "About");
    EXPECT_STREQ(WindowText(PageButton()).c_str(), "Create Floater");
    Utility()->Deactivate(&host.Core(), &host.Panel());
    EXPECT_EQ(host.Core().PanelPageCount(), 0);
}

TEST_P(ModuleFrame, CreateFloaterOpensOneFloaterAndClosesThePanel)
{
    Utility()->Activate(&host.Core(), &host.Panel());
    const int closedBefore = host.Panel().closeCount;
    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    HWND floater = FindTopWindow(GetParam().floaterCaption);
    ASSERT_NE(floater, nullptr);
    EXPECT_EQ(GetWindow(floater, GW_OWNER), host.MainWindow());
    EXPECT_EQ(host.Panel().closeCount, closedBefore + 1);

    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    EXPECT_EQ(FindTopWindow(GetParam().floaterCaption), floater) << "no second floater";
    EXPECT_EQ(host.Panel().closeCount, closedBefore + 2);
    Utility()->Deactivate(&host.Core(), &host.Panel());
}

// A field that goes with its window need not report losing the focus; a floater that goes
// with its owner never sees its close command.
TEST_P(ModuleFrame, FloaterGoneAnyWayGivesTheShortcutsBackAndOpensAgain)
{
    Utility()->Activate(&host.Core(), &host.Panel());
    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    HWND floater = FindTopWindow(GetParam().floaterCaption);
    ASSERT_NE(floater, nullptr);
    SetFocus(host.MainWindow());
    HWND field = GetDlgItem(floater, GetParam().fieldId);
    SendMessageA(floater, WM_COMMAND, MAKEWPARAM(GetParam().fieldId, EN_SETFOCUS),
                 reinterpret_cast<LPARAM>(field));
    ASSERT_FALSE(AcceleratorsEnabled());
    SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(AcceleratorsEnabled());

    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    floater = FindTopWindow(GetParam().floaterCaption);
    ASSERT_NE(floater, nullptr);
    DestroyWindow(floater);
    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    EXPECT_NE(FindTopWindow(GetParam().floaterCaption), nullptr) << "a new floater opens";
    Utility()->Deactivate(&host.Core(), &host.Panel());
}

TEST_P(ModuleFrame, DeactivateAfterThePageIsGoneRemovesTheRest)
{
    Utility()->Activate(&host.Core(), &host.Panel());
    DestroyWindow(host.Core().PanelPage(0));
    Utility()->Deactivate(&host.Core(), &host.Panel());
    EXPECT_EQ(host.Core().PanelPageCount(), 0);
    // The floater stays reachable: the button is gone, so reopening goes through Activate.
    Utility()->Activate(&host.Core(), &host.Panel());
    EXPECT_EQ(host.Core().PanelPageCount(), 2);
    Utility()->Deactivate(&host.Core(), &host.Panel());
}

TEST_P(ModuleFrame, OtherUtilityCallsChangeNothing)
{
    UtilityObject* utility = Utility();
    utility->SelectionChanged(&host.Core(), &host.Panel());
    utility->StartupParameter(CStr("anything"));
    utility->Release();
    EXPECT_EQ(host.Core().PanelPageCount(), 0);
    EXPECT_EQ(module->descriptor->CreateInstance(0), utility);
}

// What a user could see of a floater, and what it holds that a user's next keys would meet.
std::string Look(HWND floater)
{
    RECT rect = {};
    GetWindowRect(floater, &rect);
    std::string look = WindowText(floater) + " at " + std::to_string(rect.left) + "," +
                       std::to_string(rect.top) + " size " + std::to_string(rect.right - rect.left) +
                       "x" + std::to_string(rect.bottom - rect.top) + " focus " +
                       std::to_string(GetDlgCtrlID(GetFocus())) +
                       (AcceleratorsEnabled() ? " shortcuts on" : " shortcuts paused") + "\n";
    for (HWND control = GetWindow(floater, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const std::string kind = ClassOf(control);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        look += std::to_string(GetDlgCtrlID(control)) + " " + kind + " \"" + WindowText(control) +
                "\"" + (style & WS_DISABLED ? " disabled" : "") + (style & WS_VISIBLE ? "" : " hidden");
        if (kind == "Button") look += " type " + std::to_string(style & BS_TYPEMASK);
        if (kind == "Edit") {
            DWORD start = 0, end = 0;
            SendMessageA(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            look += " sel " + std::to_string(start) + "-" + std::to_string(end) +
                    (SendMessageA(control, EM_CANUNDO, 0, 0) ? " can-undo" : "") +
                    (SendMessageA(control, EM_GETMODIFY, 0, 0) ? " modified" : "") + " limit " +
                    std::to_string(SendMessageA(control, EM_GETLIMITTEXT, 0, 0));
        }
        if (kind == "ListBox") look += " items " + std::to_string(ListItems(control).size());
        look += "\n";
    }
    return look;
}

// What a scene may leave in a floater: typed text, a list item, the focus on a button.
void LeaveWorkIn(HWND floater)
{
    for (HWND control = GetWindow(floater, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const std::string kind = ClassOf(control);
        if (kind == "Edit") {
            SetFocus(control);
            SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("left over"));
        } else if (kind == "ListBox") {
            SendMessageA(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("stale"));
        }
    }
    for (HWND control = GetWindow(floater, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT))
        if (ClassOf(control) == "Button" && IsWindowEnabled(control)) SetFocus(control);
}

// Between the scenes of a batch the floater is put away and opened again: the same window,
// as a new one looks, with nothing of the scene before; one it cannot set back is closed.
// With its owner hidden (a script run) it keeps the activation while put away: each opening
// still finds it active, its first field focused and the shortcuts paused, as a new one.
TEST_P(ModuleFrame, FloaterPutAwayBetweenScenesComesBackAsANewOne)
{
    for (const bool ownerShown : {true, false}) {
        SCOPED_TRACE(ownerShown ? "owner shown" : "owner hidden");
        ShowWindow(host.MainWindow(), ownerShown ? SW_SHOW : SW_HIDE);
        ASSERT_NO_FATAL_FAILURE(PutAwayAndReopen());
        if (HWND floater = FindTopWindow(GetParam().floaterCaption))
            SendMessageA(floater, WM_COMMAND, IDCANCEL, 0);
        PumpMessages();
    }
    ShowWindow(host.MainWindow(), SW_SHOW);
}

void ModuleFrame::PutAwayAndReopen()
{
    auto* windows = static_cast<SceneWindows*>(module->descriptor->ExtraInterface(kSceneWindowsInterface));
    ASSERT_NE(windows, nullptr);
    EXPECT_EQ(module->descriptor->ExtraInterface(kSceneWindowsInterface + 1), nullptr);
    Utility()->Activate(&host.Core(), &host.Panel());
    const int callbacks = host.Core().CallbackCount();
    const int dialogs = host.Core().DialogWindowCount();
    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    HWND floater = FindTopWindow(GetParam().floaterCaption);
    ASSERT_NE(floater, nullptr);
    const std::string fresh = Look(floater);

    const struct {
        const char* left;
        void (*leave)(HWND);
        bool kept;
    } kCases[] = {
        {"untouched", [](HWND) {}, true},
        {"with work left in it", LeaveWorkIn, true},
        {"minimised", [](HWND window) { ShowWindow(window, SW_MINIMIZE); }, false},
        {"disabled", [](HWND window) { EnableWindow(window, FALSE); }, false},
    };
    for (const auto& scene : kCases) {
        SCOPED_TRACE(scene.left);
        scene.leave(floater);
        PumpMessages();
        windows->PutAway();
        PumpMessages();
        EXPECT_EQ(FindTopWindow(GetParam().floaterCaption), nullptr);
        EXPECT_EQ(IsWindow(floater) != FALSE, scene.kept);
        EXPECT_TRUE(AcceleratorsEnabled());
        EXPECT_FALSE(GetFocus() && IsChild(floater, GetFocus())) << "a hidden field kept the focus";
        EXPECT_EQ(host.Core().CallbackCount(), callbacks) << "the list no longer follows the selection";
        EXPECT_EQ(host.Core().DialogWindowCount(), dialogs);
        windows->PutAway();  // nothing open: nothing happens

        SendMessageA(PageButton(), BM_CLICK, 0, 0);
        HWND reopened = FindTopWindow(GetParam().floaterCaption);
        ASSERT_NE(reopened, nullptr);
        EXPECT_EQ(reopened == floater, scene.kept);
        EXPECT_EQ(Look(reopened), fresh);
        EXPECT_EQ(GetActiveWindow(), reopened);
        floater = reopened;
    }
    Utility()->Deactivate(&host.Core(), &host.Panel());
}

HWND movesOf = nullptr;  // the window whose moves CountMoves counts
int moves = 0;

LRESULT CALLBACK CountMoves(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == movesOf && sent->message == WM_WINDOWPOSCHANGING &&
        !(reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_NOMOVE))
        ++moves;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void MoveTo(HWND window, int x, int y, bool byUser)
{
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (byUser) SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
}

// A floater opened again where it already stands is not moved; one whose owner moved is
// centred over it again, and one the user moved opens where it was left.
TEST_P(ModuleFrame, FloaterOpenedAgainMovesOnlyWhenItsPlaceChanged)
{
    auto* windows = static_cast<SceneWindows*>(module->descriptor->ExtraInterface(kSceneWindowsInterface));
    Utility()->Activate(&host.Core(), &host.Panel());
    SendMessageA(PageButton(), BM_CLICK, 0, 0);
    HWND floater = movesOf = FindTopWindow(GetParam().floaterCaption);
    ASSERT_NE(floater, nullptr);
    MoveTo(floater, -1, -1, true);  // as never moved: centred on its owner
    HWND owner = host.MainWindow();
    const RECT owner0 = WindowRect(owner);
    const struct {
        const char* before;
        void (*change)(HWND floater, HWND owner);
        int moves, x, y;  // x, y -1: centred on the owner
    } kCases[] = {
        {"first centring", [](HWND, HWND) {}, 1, -1, -1},
        {"nothing changed", [](HWND, HWND) {}, 0, -1, -1},
        {"the owner moved", [](HWND, HWND o) { MoveTo(o, WindowRect(o).left + 40, 30, false); }, 1, -1, -1},
        {"the work area changed", [](HWND f, HWND) { SendMessageA(f, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0); }, 0, -1, -1},
        {"moved by the user", [](HWND f, HWND) { MoveTo(f, 50, 60, true); }, 0, 50, 60},
        {"moved, not by the user", [](HWND f, HWND) { MoveTo(f, 70, 80, false); }, 1, 50, 60},
    };
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountMoves, nullptr, GetCurrentThreadId());
    for (const auto& scene : kCases) {
        SCOPED_TRACE(scene.before);
        scene.change(floater, owner);
        windows->PutAway();
        moves = 0;
        SendMessageA(PageButton(), BM_CLICK, 0, 0);
        ASSERT_EQ(FindTopWindow(GetParam().floaterCaption), floater);
        EXPECT_EQ(moves, scene.moves);
        const RECT own = WindowRect(floater), over = WindowRect(owner);
        EXPECT_NEAR(own.left, scene.x != -1 ? scene.x : (over.left + over.right - (own.right - own.left)) / 2, 1);
        EXPECT_NEAR(own.top, scene.y != -1 ? scene.y : (over.top + over.bottom - (own.bottom - own.top)) / 2, 1);
    }
    UnhookWindowsHookEx(hook);
    MoveTo(floater, -1, -1, true);
    MoveTo(owner, owner0.left, owner0.top, false);
    Utility()->Deactivate(&host.Core(), &host.Panel());
}

INSTANTIATE_TEST_SUITE_P(BothModules, ModuleFrame, testing::Values(kTarnwick, kBelvost),
                         [](const testing::TestParamInfo<ModuleValues>& info) {
                             return std::string(info.param.file).substr(0, 7) == "tarnwic"
                                        ? std::string("tarnwick")
                                        : std::string("belvost");
                         });

typedef char* (*ResStringProc)(int id);

class FrameStrings : public testing::Test {
protected:
    void SetUp() override
    {
        const PluginModule& module = TestHost::Get().Load("testmodules\\frametest.dlu");
        resString = reinterpret_cast<ResStringProc>(
            reinterpret_cast<void*>(GetProcAddress(module.module, "FrameTestResString")));
        ASSERT_NE(resString, nullptr);
    }
    ResStringProc resString = nullptr;
};

TEST_F(FrameStrings, EveryCallFillsTheOneSharedBuffer)
{
    char* first = resString(3);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "Frame Test");
    char* second = resString(4);
    EXPECT_EQ(second, first);
    EXPECT_STREQ(first, "Parameters") << "the first text is overwritten by the second";
}

TEST_F(FrameStrings, MissingIdGivesNull)
{
    EXPECT_EQ(resString(77), nullptr);
    EXPECT_EQ(resString(0), nullptr);
}

TEST_F(FrameStrings, LongTextIsCutTo255Characters)
{
    const char* text = resString(300);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(std::string(text, 10), "0123456789");
}

}  // namespace

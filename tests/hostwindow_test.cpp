// The base of the host's own windows, and the owners of handles.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "handles.h"
#include "hostwindow.h"
#include "test_host.h"

namespace {

class RecordingWindow : public HostWindow {
public:
    HWND Create(HWND parent = nullptr)
    {
        return CreateHostWindow({"HostWindowTest"}, 0, "recording", parent ? WS_CHILD : 0, 0,
                                0, 10, 10, parent, nullptr);
    }
    std::vector<UINT> messages;
    HWND createdAs = nullptr;
    UINT failsAt = 0;  // a message whose handling throws

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        if (message == failsAt) throw std::runtime_error("handling failed");
        if (message == WM_CREATE) createdAs = Window();
        return DefaultHandling(message, wParam, lParam);
    }
};

bool Saw(const RecordingWindow& window, UINT message)
{
    for (UINT seen : window.messages)
        if (seen == message) return true;
    return false;
}

TEST(HostWindow, EachObjectHearsItsOwnWindowFromCreationToDestruction)
{
    RecordingWindow first, second;
    HWND one = first.Create();
    HWND two = second.Create();
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr) << "the class is registered once and serves every window of it";
    EXPECT_EQ(first.createdAs, one) << "the window is known from WM_NCCREATE on";
    EXPECT_EQ(first.messages.front(), static_cast<UINT>(WM_NCCREATE));

    const size_t secondHeard = second.messages.size();
    SendMessageA(one, WM_USER, 0, 0);
    EXPECT_EQ(first.messages.back(), static_cast<UINT>(WM_USER));
    EXPECT_EQ(second.messages.size(), secondHeard);

    DestroyWindow(one);
    EXPECT_TRUE(Saw(first, WM_NCDESTROY));
    EXPECT_EQ(first.Window(), nullptr);
    DestroyWindow(two);
}

TEST(HostWindow, AFailureInAMessageIsReportedAndAFailedCreationMakesNoWindow)
{
    static int reports = 0;
    SetFailureReporter([](Failure, const char*, void*) { ++reports; }, nullptr);
    const struct {
        UINT failsAt;
        bool made;
    } cases[] = {{WM_CREATE, false}, {WM_USER, true}};
    for (const auto& c : cases) {
        reports = 0;
        RecordingWindow window;
        window.failsAt = c.failsAt;
        HWND made = window.Create();
        if (made) SendMessageA(made, WM_USER, 0, 0);
        EXPECT_EQ(made != nullptr, c.made) << c.failsAt;
        EXPECT_EQ(reports, 1) << c.failsAt;
        if (made) {
            EXPECT_EQ(SendMessageA(made, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("still")), TRUE)
                << "the window goes on";
            DestroyWindow(made);
        }
    }
    SetFailureReporter(nullptr, nullptr);
}

TEST(HostWindow, AWindowOutlivingItsObjectOrReplacedIsLeftToTheDefaultHandling)
{
    HWND orphan = nullptr;
    {
        RecordingWindow gone;
        orphan = gone.Create();
    }
    EXPECT_EQ(SendMessageA(orphan, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("still here")), TRUE);
    EXPECT_EQ(WindowText(orphan), "still here");
    DestroyWindow(orphan);

    RecordingWindow window;
    HWND before = window.Create();
    HWND after = window.Create();
    const size_t heard = window.messages.size();
    DestroyWindow(before);
    EXPECT_EQ(window.messages.size(), heard) << "the first window is no longer the object's";
    EXPECT_EQ(window.Window(), after);
    DestroyWindow(after);
}

// Each owner frees its module once, whoever holds it last.
TEST(UniqueHandle, TheLastOwnerFreesTheModule)
{
    const std::string path = ModuleFolder() + "testmodules\\frametest.dlu";
    ASSERT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "no one else has it loaded";
    {
        ModuleHandle first(LoadLibraryA(path.c_str()));
        ASSERT_TRUE(first);
        ModuleHandle second(std::move(first));
        EXPECT_FALSE(first);
        ModuleHandle third;
        third = std::move(second);
        EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
    }
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);

    ModuleHandle released(LoadLibraryA(path.c_str()));
    HMODULE kept = released.Release();
    EXPECT_FALSE(released.Close()) << "nothing left to close";
    EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
    EXPECT_TRUE(ModuleHandle(kept).Close());
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

}  // namespace

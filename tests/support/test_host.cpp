#include "test_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "hostutil.h"
#include "hostwindow.h"
#include "windowprobes.h"

namespace {

const char kMainClass[] = "TestHostMain";

HMENU BuildMainMenu()
{
    HMENU bar = CreateMenu();
    const char* const menus[] = {"&File", "&Edit", "&Tools", "&Help"};
    for (const char* title : menus) {
        HMENU menu = CreatePopupMenu();
        for (int i = 0; i < 12; ++i) {
            char item[32];
            wsprintfA(item, "%s item %d", title + 1, i);
            AppendMenuA(menu, MF_STRING, 40000 + i, item);
        }
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), title);
    }
    return bar;
}

// Stands in for the host's main window: a menu for the plug-ins, nothing of its own.
class StandInWindow : public HostWindow {
public:
    HWND Create()
    {
        return CreateHostWindow({kMainClass}, 0, "Test Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                100, 80, 800, 600, nullptr, BuildMainMenu());
    }

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return DefaultHandling(message, wParam, lParam);
    }
};

StandInWindow standIn;

}  // namespace

TestHost& TestHost::Get()
{
    static TestHost* host = new TestHost;
    return *host;
}

TestHost::TestHost()
{
    mainWindow_ = standIn.Create();
    Core().SetMainWindow(mainWindow_);
    Core().CreatePanelWindow(mainWindow_, 560, 0, 230, 540);
}

std::string ModuleFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

const PluginModule& TestHost::Load(const char* file)
{
    const std::string path = ModuleFolder() + file;
    for (const PluginModule& module : modules_)
        if (path == module.path.data()) return module;
    PluginModule module;
    CStr error;
    EXPECT_TRUE(LoadPluginModule(path.c_str(), module, error)) << error.data();
    modules_.push_back(module);
    // The host tells its plug-ins once that it has started.
    Core().NotifyCallbacks();
    return modules_.back();
}

UtilityObject* TestHost::Utility(const char* file)
{
    const PluginModule& module = Load(file);
    if (!module.descriptor) return nullptr;
    return static_cast<UtilityObject*>(module.descriptor->CreateInstance(0));
}

void TestHost::Reset()
{
    PumpMessages();
    while (theHold.Holding()) theHold.Cancel();
    GetScene().Clear();
    theHold.Clear();
    Core().ShowStatus("");
    EnableAccelerators();
}

std::vector<SceneNode*> TestHost::Build(const std::vector<std::string>& lines)
{
    std::vector<SceneNode*> nodes;
    std::vector<SceneNode*> parents = {GetScene().Root()};
    for (const std::string& line : lines) {
        const size_t space = line.find(' ');
        const size_t bar = line.find('|');
        const int depth = std::stoi(line.substr(0, space));
        const std::string name = line.substr(space + 1, bar == std::string::npos ? std::string::npos : bar - space - 1);
        const std::string text = bar == std::string::npos ? "" : line.substr(bar + 1);
        parents.resize(depth);
        SceneNode* node = GetScene().CreateNode(parents.back(), name.c_str(), text.c_str());
        parents.push_back(node);
        nodes.push_back(node);
    }
    return nodes;
}

void TestHost::Select(const std::vector<SceneNode*>& nodes)
{
    NodeTab selection;
    for (SceneNode* node : nodes) selection.Append(node);
    GetScene().SetSelection(selection);
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (CoreInterface::Instance().TranslateDialogMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string NodeText(const SceneNode* node)
{
    CStr text;
    node->GetUserPropText(text);
    return text.data();
}

std::string ListCellText(HWND list, int row, int column) { return ListViewCellText(list, row, column); }

// The host's Interface: scene and selection, status line, dialog windows and callbacks.
#include "coreinterface.h"

#include <algorithm>
#include <vector>

#include "changes.h"
#include "guard.h"
#include "hold.h"
#include "panel.h"

struct CoreInterface::Impl {
    explicit Impl(ChangeSink& sink) : changes(scene, sink) {}

    Scene scene;
    ChangeGatherer changes;
    HWND mainWindow = nullptr;
    std::vector<HWND> dialogWindows;
    std::vector<HostCallback*> callbacks;
    CStr status;
    StatusListener statusListener = nullptr;
    void* statusContext = nullptr;
    SceneObserver* viewObserver = nullptr;
    UtilityPanelHost panel;
};

CoreInterface& CoreInterface::Instance()
{
    // Never destroyed: plug-ins may still hold it while the process unloads them.
    static CoreInterface* instance = new CoreInterface;
    return *instance;
}

Interface* GetCOREInterface() { return &CoreInterface::Instance(); }

CoreInterface::CoreInterface() : impl_(new Impl(*this)) {}

CoreInterface::~CoreInterface() { delete impl_; }

HWND CoreInterface::MainWindow() { return impl_->mainWindow; }
int CoreInterface::SelectedCount() { return impl_->scene.SelectedCount(); }
SceneNode* CoreInterface::SelectedNode(int i) { return impl_->scene.SelectedNode(i); }
SceneNode* CoreInterface::RootNode() { return impl_->scene.Root(); }
// What a plug-in calls that can fail stops at the module's edge.
void CoreInterface::ClearSelection(int)
{
    Guarded([&] { impl_->scene.ClearSelection(); });
}

void CoreInterface::SelectNodes(NodeTab& nodes, int select, int)
{
    Guarded([&] { impl_->scene.SelectNodes(nodes, select != 0); });
}

void CoreInterface::ShowStatus(const char* text)
{
    Guarded([&] {
        impl_->status = text;
        if (impl_->statusListener) impl_->statusListener(impl_->status, impl_->statusContext);
    });
}

void CoreInterface::RegisterDialogWindow(HWND window)
{
    Guarded([&] {
        if (window && !IsDialogWindow(window)) impl_->dialogWindows.push_back(window);
    });
}

void CoreInterface::UnregisterDialogWindow(HWND window)
{
    auto& windows = impl_->dialogWindows;
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

HWND CoreInterface::AddPanelPage(HINSTANCE instance, int templateId, DLGPROC procedure,
                                 const char* title, LPARAM param, DWORD)
{
    return Guarded<HWND>(nullptr, [&] {
        return impl_->panel.AddPage(instance, templateId, procedure, title, param);
    });
}

void CoreInterface::DeletePanelPage(HWND page) { impl_->panel.DeletePage(page); }

void CoreInterface::RegisterCallback(HostCallback* callback)
{
    Guarded([&] {
        if (callback && !IsCallbackRegistered(callback)) impl_->callbacks.push_back(callback);
    });
}

void CoreInterface::UnregisterCallback(HostCallback* callback)
{
    auto& callbacks = impl_->callbacks;
    callbacks.erase(std::remove(callbacks.begin(), callbacks.end(), callback), callbacks.end());
}

Scene& CoreInterface::GetScene() { return impl_->scene; }
void CoreInterface::SetMainWindow(HWND window) { impl_->mainWindow = window; }

HWND CoreInterface::CreatePanelWindow(HWND parent, int x, int y, int width, int height)
{
    return impl_->panel.Create(parent, x, y, width, height);
}

HWND CoreInterface::PanelWindow() const { return impl_->panel.Window(); }
int CoreInterface::PanelPageCount() const { return impl_->panel.PageCount(); }
HWND CoreInterface::PanelPage(int i) const { return impl_->panel.Page(i); }
const char* CoreInterface::PanelPageTitle(int i) const { return impl_->panel.Title(i); }
const char* CoreInterface::StatusText() const { return impl_->status; }
int CoreInterface::DialogWindowCount() const { return static_cast<int>(impl_->dialogWindows.size()); }

bool CoreInterface::IsDialogWindow(HWND window) const
{
    const auto& windows = impl_->dialogWindows;
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

static bool IsDialogClass(HWND window)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

bool CoreInterface::TranslateDialogMessage(MSG* msg)
{
    if (!msg->hwnd) return false;
    HWND top = GetAncestor(msg->hwnd, GA_ROOT);
    // In the main window only Tab takes the dialog navigation, which also reaches the panel
    // pages inside it; Enter, Escape and the arrows stay with the node list and the pages.
    if (top && top == impl_->mainWindow && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB)
        return IsDialogMessageA(top, msg) != 0;
    if (HWND page = impl_->panel.PageContaining(msg->hwnd)) return IsDialogMessageA(page, msg) != 0;
    if (!top || top == impl_->mainWindow) return false;
    // Registered windows first; other modeless dialogs of the host behave the same way.
    if (IsDialogWindow(top) || IsDialogClass(top)) return IsDialogMessageA(top, msg) != 0;
    return false;
}

int CoreInterface::CallbackCount() const { return static_cast<int>(impl_->callbacks.size()); }

bool CoreInterface::IsCallbackRegistered(HostCallback* callback) const
{
    const auto& callbacks = impl_->callbacks;
    return std::find(callbacks.begin(), callbacks.end(), callback) != callbacks.end();
}

void CoreInterface::NotifyCallbacks()
{
    // A callback may unregister itself or another one: work from a copy and skip those that
    // are gone by the time their turn comes.
    const std::vector<HostCallback*> snapshot = impl_->callbacks;
    // A callback that fails is reported, and the others still hear.
    for (HostCallback* callback : snapshot)
        if (IsCallbackRegistered(callback)) Guarded([&] { callback->Notify(this); });
}

void CoreInterface::SetViewObserver(SceneObserver* observer) { impl_->viewObserver = observer; }

void CoreInterface::SetStatusListener(StatusListener listener, void* context)
{
    impl_->statusListener = listener;
    impl_->statusContext = context;
}

void CoreInterface::DeliverChanges() { impl_->changes.Deliver(); }

// Views first, then the plug-ins.
void CoreInterface::Deliver(const ChangeBatch& batch) noexcept
{
    if (SceneObserver* view = impl_->viewObserver) {
        if (batch.changedNodes == 1) view->NodeChanged(batch.node);
        if (batch.changedNodes > 1) view->NodesChanged();
        if (batch.selectionChanged) view->SelectionChanged();
    }
    if (batch.reload) Guarded([this] { NotifyCallbacks(); });
}

void CoreInterface::SceneRebuilt() noexcept
{
    if (impl_->viewObserver) impl_->viewObserver->SceneRebuilt();
}

void CoreInterface::TextsChanging() noexcept
{
    if (impl_->viewObserver) impl_->viewObserver->TextsChanging();
}

// The host's Interface: scene and selection, status line, dialog windows and callbacks.
#include "coreinterface.h"

#include <algorithm>
#include <vector>

#include "guard.h"
#include "hold.h"
#include "panel.h"

struct CoreInterface::Impl {
    Scene scene;
    HWND mainWindow = nullptr;
    std::vector<HWND> dialogWindows;
    std::vector<HostCallback*> callbacks;
    CStr status;
    StatusListener statusListener = nullptr;
    void* statusContext = nullptr;
    SceneObserver* viewObserver = nullptr;
    UtilityPanelHost panel;

    // Changes gathered while a group is open or a step runs.
    int textChangesAtOpen = 0;  // the scene's count when the group or the step began
    bool stepRunning = false;
    bool selectionChanged = false;
    bool textsRewritten = false;  // by an accepted step, an undo or a redo
    SceneNode* changedNode = nullptr;  // the one changed node, while there is only one
    int changedNodes = 0;

    void NoteRewrites()
    {
        if (scene.TextChanges() != textChangesAtOpen) textsRewritten = true;
    }
    void Forget()
    {
        selectionChanged = textsRewritten = false;
        changedNode = nullptr;
        changedNodes = 0;
    }
};

CoreInterface& CoreInterface::Instance()
{
    // Never destroyed: plug-ins may still hold it while the process unloads them.
    static CoreInterface* instance = new CoreInterface;
    return *instance;
}

Interface* GetCOREInterface() { return &CoreInterface::Instance(); }

CoreInterface::CoreInterface() : impl_(new Impl)
{
    impl_->scene.SetObserver(this);
    theHold.SetObserver(this);
}

CoreInterface::~CoreInterface()
{
    theHold.SetObserver(nullptr);
    delete impl_;
}

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

bool CoreInterface::Gathering() const { return theHold.Holding() > 0 || impl_->stepRunning; }

void CoreInterface::SelectionChanged()
{
    if (Gathering()) {
        impl_->selectionChanged = true;
        return;
    }
    if (impl_->viewObserver) impl_->viewObserver->SelectionChanged();
    NotifyCallbacks();
}

void CoreInterface::NodeChanged(SceneNode* node)
{
    if (!Gathering()) {
        if (impl_->viewObserver) impl_->viewObserver->NodeChanged(node);
        return;
    }
    if (impl_->changedNodes++ == 0) impl_->changedNode = node;
    else if (impl_->changedNode == node) --impl_->changedNodes;
}

void CoreInterface::SceneRebuilt()
{
    impl_->changedNode = nullptr;
    impl_->changedNodes = 0;
    if (impl_->viewObserver) impl_->viewObserver->SceneRebuilt();
}

void CoreInterface::TextsChanging()
{
    if (impl_->viewObserver) impl_->viewObserver->TextsChanging();
}

// Views first, then the plug-ins. A step that rewrote texts a plug-in's window shows has it
// reload them, so that its next write does not put the old text back; other steps (Hide/
// Unhide, say) leave the window and the edit in it alone.
void CoreInterface::DeliverChanges()
{
    Impl& gathered = *impl_;
    SceneObserver* view = gathered.viewObserver;
    const bool selection = gathered.selectionChanged;
    const bool reload = selection || gathered.textsRewritten;
    SceneNode* node = gathered.changedNode;
    const int nodes = gathered.changedNodes;
    gathered.Forget();
    if (view && nodes == 1) view->NodeChanged(node);
    if (view && nodes > 1) view->NodesChanged();
    if (view && selection) view->SelectionChanged();
    if (reload) NotifyCallbacks();
}

void CoreInterface::GroupOpened() { impl_->textChangesAtOpen = impl_->scene.TextChanges(); }

void CoreInterface::StepAccepted() { impl_->NoteRewrites(); }

void CoreInterface::GroupClosed() { DeliverChanges(); }

void CoreInterface::StepRunning()
{
    impl_->stepRunning = true;
    impl_->textChangesAtOpen = impl_->scene.TextChanges();
}

void CoreInterface::StepRan()
{
    impl_->stepRunning = false;
    impl_->NoteRewrites();
    DeliverChanges();
}

// The host side of the Interface: the application and the tests drive the same engine.
#pragma once

#include <windows.h>

#include "changes.h"
#include "hold.h"
#include "hostapi.h"
#include "interface.h"
#include "scene.h"

class CORE_API CoreInterface : public Interface, private ChangeSink {
public:
    static CoreInterface& Instance();

    // Interface
    HWND MainWindow() override;
    int SelectedCount() override;
    SceneNode* SelectedNode(int i) override;
    SceneNode* RootNode() override;
    void ClearSelection(int redraw) override;
    void SelectNodes(NodeTab& nodes, int select, int redraw) override;
    void ShowStatus(const char* text) override;
    void RegisterDialogWindow(HWND window) override;
    void UnregisterDialogWindow(HWND window) override;
    HWND AddPanelPage(HINSTANCE instance, int templateId, DLGPROC procedure, const char* title,
                      LPARAM param, DWORD flags) override;
    void DeletePanelPage(HWND page) override;
    void RegisterCallback(HostCallback* callback) override;
    void UnregisterCallback(HostCallback* callback) override;

    // Host side.
    Scene& GetScene();
    void SetMainWindow(HWND window);
    // The panel's container window; pages are stacked in it top to bottom, each under its
    // title. CreatePanelWindow makes one as a child of parent.
    HWND CreatePanelWindow(HWND parent, int x, int y, int width, int height);
    HWND PanelWindow() const;
    int PanelPageCount() const;
    HWND PanelPage(int i) const;
    const char* PanelPageTitle(int i) const;

    const char* StatusText() const;
    int DialogWindowCount() const;
    bool IsDialogWindow(HWND window) const;
    // Passes msg through the dialog manager when it belongs to a registered window (or any
    // other modeless dialog of this thread); true when it was consumed.
    bool TranslateDialogMessage(MSG* msg);

    int CallbackCount() const;
    bool IsCallbackRegistered(HostCallback* callback) const;
    // Calls Notify of every registered callback; safe when a callback unregisters itself or
    // another one meanwhile.
    void NotifyCallbacks();

    // The application's views listen here; the callbacks above are for plug-ins. While a
    // command's undo group is open, and while an undo or redo runs, the scene's changes are
    // gathered and reach the views and the callbacks once, when it ends.
    void SetViewObserver(SceneObserver* observer);
    // Hands on what was gathered so far: the user's own pick shows at once, even while a
    // command waits for an answer.
    void DeliverChanges();
    typedef void (*StatusListener)(const char* text, void* context);
    void SetStatusListener(StatusListener listener, void* context);

private:
    CoreInterface();
    ~CoreInterface();
    void Deliver(const ChangeBatch& batch) noexcept override;
    void SceneRebuilt() noexcept override;
    void TextsChanging() noexcept override;

    struct Impl;
    Impl* impl_;
};

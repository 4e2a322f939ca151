// What a plug-in reaches of the host: the Interface object, the utility panel and the
// callback through which the host reports selection changes.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "hostapi.h"
#include "scene.h"
#include "tab.h"

class Interface;

class HostCallback {
public:
    // Called at least after every change of the selection while registered, and once when
    // the host has finished starting.
    virtual void Notify(Interface* ip) = 0;

protected:
    ~HostCallback() = default;
};

class UtilityPanel {
public:
    virtual void ClosePanel() = 0;

protected:
    ~UtilityPanel() = default;
};

class Interface {
public:
    virtual HWND MainWindow() = 0;

    virtual int SelectedCount() = 0;
    virtual SceneNode* SelectedNode(int i) = 0;
    virtual SceneNode* RootNode() = 0;
    virtual void ClearSelection(int redraw) = 0;
    virtual void SelectNodes(NodeTab& nodes, int select, int redraw) = 0;

    // A one-line, non-modal message; the host keeps its own copy.
    virtual void ShowStatus(const char* text) = 0;

    // Windows whose keyboard messages the host passes through the dialog manager.
    virtual void RegisterDialogWindow(HWND window) = 0;
    virtual void UnregisterDialogWindow(HWND window) = 0;

    // A page made from a dialog template as a child of the utility panel; the host copies
    // the title during the call.
    virtual HWND AddPanelPage(HINSTANCE instance, int templateId, DLGPROC procedure,
                              const char* title, LPARAM param, DWORD flags) = 0;
    virtual void DeletePanelPage(HWND page) = 0;

    virtual void RegisterCallback(HostCallback* callback) = 0;
    virtual void UnregisterCallback(HostCallback* callback) = 0;

protected:
    ~Interface() = default;
};

// Served from the moment core is loaded, before any plug-in.
CORE_API Interface* GetCOREInterface();

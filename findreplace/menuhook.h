// The "Find/Replace Properties..." entry in the host's third main menu, which opens the
// floater without going through the utility panel.
#pragma once

#include <windows.h>

#include "interface.h"

constexpr UINT FindReplaceCommand = 32123;

// Adds the menu entry and subclasses the host's main window the first time the host calls
// it with a main window and menu to work on; then unregisters itself.
class MenuHook : public HostCallback {
public:
    void Notify(Interface* ip) override;

private:
    void AddEntry(Interface* ip);
};

extern MenuHook theMenuHook;

LRESULT CALLBACK MainWindowHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// At the module's first attach: the host calls the hook once it has loaded its plug-ins.
void RegisterMenuHook();
// When the module is unloaded while the host runs: takes the entry and the subclass away.
void RemoveMenuHook();

// The one main window of a window-test process, set up as the program's entry does: plug-ins
// first, then the window, then the plug-ins learn that the host is up. Never destroyed: the
// plug-ins keep it as the host's main window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coreinterface.h"
#include "mainwindow.h"
#include "test_host.h"

inline MainWindow& App()
{
    static MainWindow* window = [] {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        auto* made = new MainWindow;
        std::vector<std::string> errors;
        made->Utilities().LoadPlugins(ModuleFolder(), errors);
        for (const std::string& error : errors) ADD_FAILURE() << "plug-in: " << error;
        if (!made->Create(GetModuleHandleA(nullptr), SW_SHOW)) ADD_FAILURE() << "no main window";
        CoreInterface::Instance().NotifyCallbacks();
        return made;
    }();
    return *window;
}

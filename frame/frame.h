// The plug-in frame: module entry, exports, class descriptor, string loader and the utility
// object with its two panel pages. One source serves every module; what differs between
// modules is the FrameModule table each of them defines.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "floaterframe.h"
#include "interface.h"
#include "plugin.h"

struct FrameModule {
    int classNameId;        // string id of the class name
    int categoryId;         // string id of the category
    ClassKey classKey;
    int mainPageTemplate;   // dialog id of the "Create Floater" page
    int floaterTemplate;    // dialog id of the floater
    DLGPROC floaterProc;
    HWND* floaterWindow;    // the floater object's window: null while no floater is open
    FloaterFrame* floaterFrame;  // the floater's placement and its window kept between scenes
    // After the "Create Floater" button opened (or found) the floater; may be null.
    void (*afterFloaterButton)(Interface* ip);
    // Once, at the module's first entry notification; may be null.
    void (*firstAttach)();
    // When the module is unloaded by FreeLibrary (not at process exit); may be null.
    void (*unloading)();
};

extern const FrameModule kFrameModule;  // defined by each module

HINSTANCE ModuleInstance();

// Text of string id in one 256-character buffer that the next call overwrites; null before
// the module entry ran or when the id has no text.
char* ResString(int id);

class PanelUtility : public UtilityObject {
public:
    void Activate(Interface* ip, UtilityPanel* utilityPanel) override;
    void Deactivate(Interface* ip, UtilityPanel* utilityPanel) override;
    void SelectionChanged(Interface* ip, UtilityPanel* utilityPanel) override;
    void Release() override;
    void StartupParameter(CStr parameter) override;

    // Opens the floater unless it is open already.
    void OpenFloater();
    static INT_PTR CALLBACK MainPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK AboutPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UtilityPanel* panel = nullptr;
    Interface* hostInterface = nullptr;
    HWND mainPage = nullptr;
    HWND aboutPage = nullptr;
};

extern PanelUtility theUtility;

extern "C" {
const char* LibDescription();
int LibNumberClasses();
ClassDescriptor* LibClassDesc(int index);
unsigned long LibVersion();
}

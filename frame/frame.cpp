#include "frame.h"

#include <commctrl.h>

#include "frame_ids.h"
#include "guard.h"
#include "hostutil.h"

namespace {

HINSTANCE moduleInstance = nullptr;
int onceFlag = 0;
char stringBuffer[256];

class FrameSceneWindows : public SceneWindows {
public:
    void PutAway() override
    {
        Guarded([] {
            kFrameModule.floaterFrame->PutAway(*kFrameModule.floaterWindow, kFrameModule.floaterProc);
        });
    }
};

FrameSceneWindows theSceneWindows;

class FrameDescriptor : public ClassDescriptor {
public:
    // Static and never deleted by the host.
    ~FrameDescriptor() override {}
    int PublicFlag() override { return 1; }
    void* CreateInstance(int) override { return &theUtility; }
    const char* DisplayName() override { return ResString(kFrameModule.classNameId); }
    int KindCode() override { return kUtilityKindCode; }
    ClassKey GetClassKey() override { return kFrameModule.classKey; }
    const char* CategoryName() override { return ResString(kFrameModule.categoryId); }
    void* ExtraInterface(int id) override
    {
        return id == kSceneWindowsInterface ? static_cast<SceneWindows*>(&theSceneWindows) : nullptr;
    }
};

}  // namespace

PanelUtility theUtility;
static FrameDescriptor theDescriptor;

HINSTANCE ModuleInstance() { return moduleInstance; }

char* ResString(int id)
{
    if (!moduleInstance) return nullptr;
    if (LoadStringA(moduleInstance, id, stringBuffer, sizeof stringBuffer) <= 0) return nullptr;
    return stringBuffer;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    moduleInstance = instance;
    // A module that is unloaded while the host runs must leave nothing of its own behind in
    // the host's windows; at process exit (reserved set) nothing is left to protect.
    return Guarded<BOOL>(FALSE, [&] {
        if (reason == DLL_PROCESS_DETACH && !reserved) {
            kFrameModule.floaterFrame->DestroyKept();
            if (kFrameModule.unloading) kFrameModule.unloading();
        }
        if (onceFlag) return TRUE;
        onceFlag = 1;
        InitCustomControls(instance);
        InitCommonControls();
        if (kFrameModule.firstAttach) kFrameModule.firstAttach();
        return TRUE;
    });
}

extern "C" {

// Nothing here can fail; what the host calls through the descriptor and the utility object
// is guarded where it could.
const char* LibDescription() { return ResString(IDS_LIB_DESCRIPTION); }
int LibNumberClasses() { return 1; }
ClassDescriptor* LibClassDesc(int index) { return index == 0 ? &theDescriptor : nullptr; }
unsigned long LibVersion() { return kPluginApiVersion; }

}

void PanelUtility::Activate(Interface* ip, UtilityPanel* utilityPanel)
{
    Guarded([&] {
        panel = utilityPanel;
        hostInterface = ip;
        // The host copies each title during the call: the second load overwrites the first.
        mainPage = ip->AddPanelPage(moduleInstance, kFrameModule.mainPageTemplate, MainPageProc,
                                    ResString(IDS_MAIN_PAGE_TITLE), 0, 0);
        aboutPage = ip->AddPanelPage(moduleInstance, IDD_ABOUT_PAGE, AboutPageProc,
                                     ResString(IDS_ABOUT_PAGE_TITLE), 0, 0);
    });
}

void PanelUtility::Deactivate(Interface* ip, UtilityPanel*)
{
    panel = nullptr;
    hostInterface = nullptr;
    ip->DeletePanelPage(mainPage);
    mainPage = nullptr;
    ip->DeletePanelPage(aboutPage);
    aboutPage = nullptr;
}

void PanelUtility::SelectionChanged(Interface*, UtilityPanel*) {}
void PanelUtility::Release() {}
void PanelUtility::StartupParameter(CStr) {}

void PanelUtility::OpenFloater()
{
    // One floater at most: an open one comes to the front instead, restored if minimised.
    if (HWND open = *kFrameModule.floaterWindow) {
        if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
        return;
    }
    Interface* ip = hostInterface ? hostInterface : GetCOREInterface();
    // The floater's own procedure records the window at WM_INITDIALOG.
    if (kFrameModule.floaterFrame->Reopen(kFrameModule.floaterProc, ip->MainWindow())) return;
    CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(kFrameModule.floaterTemplate),
                       ip->MainWindow(), kFrameModule.floaterProc, 0);
}

INT_PTR CALLBACK PanelUtility::MainPageProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_DESTROY:
        theUtility.mainPage = nullptr;
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CREATE_FLOATER) Guarded([] {
                theUtility.OpenFloater();
                if (kFrameModule.afterFloaterButton)
                    kFrameModule.afterFloaterButton(theUtility.hostInterface);
                if (theUtility.panel) theUtility.panel->ClosePanel();
            });
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK PanelUtility::AboutPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

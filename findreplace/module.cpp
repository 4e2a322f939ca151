// Find/Replace Properties: the module's table for the plug-in frame and its static objects,
// constructed in this order after the frame's utility object and descriptor.
#include "floater.h"
#include "frame.h"
#include "menuhook.h"
#include "resource.h"

FindReplaceFloater theFloater;
MenuHook theMenuHook;

namespace {

// Unloaded while the host runs: no window of the host may be left calling into this
// module's code once it is gone.
void Unloading()
{
    RemoveMenuHook();
    if (theFloater.window) {
        DestroyWindow(theFloater.window);
        theFloater.window = nullptr;
    }
}

}  // namespace

const FrameModule kFrameModule = {
    IDS_CLASS_NAME,
    IDS_CATEGORY,
    {0x4DB72FEE, 0x69D32D7B},
    IDD_MAIN_PAGE,
    IDD_FIND_REPLACE,
    FindReplaceProc,
    &theFloater.window,
    &theFloater.frame,
    nullptr,
    RegisterMenuHook,
    Unloading,
};

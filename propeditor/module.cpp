// belvost.dlu, User Properties Editor: the frame's table and the module's static objects.
#include "floater.h"
#include "frame.h"
#include "nodelist.h"
#include "resource.h"

// Construction order matters: the floater asks the host for its Interface as it is built,
// and the refresher comes after it.
PropEditorFloater theFloater;
NodeListRefresher theNodeListRefresher;

namespace {

// After "Create Floater": the list shows the current selection, also in a floater that
// was open already.
void RefreshAfterFloaterButton(Interface* ip)
{
    theNodeListRefresher.Notify(ip ? ip : GetCOREInterface());
}

}  // namespace

const FrameModule kFrameModule = {
    IDS_CLASS_NAME,
    IDS_CATEGORY,
    {0x27A23929, 0x76DD4182},
    IDD_MAIN_PAGE,
    IDD_PROP_EDITOR,
    PropEditorProc,
    &theFloater.window,
    &theFloater.frame,
    RefreshAfterFloaterButton,
    nullptr,
    nullptr,
};

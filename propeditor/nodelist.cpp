#include "nodelist.h"

#include "floater.h"
#include "nodewalk.h"
#include "resource.h"

namespace {

HWND NodeList() { return GetDlgItem(theFloater.window, IDC_NODE_LIST); }

// Adds node's item when it is still in copy, removing it there. False once copy holds
// nothing more to list: the walk can stop.
bool ListIfSelected(SceneNode* node, NodeTab& copy, int depth)
{
    if (!copy.HasStorage() || copy.Count() == 0) return false;
    if (!node) return true;

    const int found = copy.Find(node);
    if (found >= 0) {
        CStr text;
        text.printf("%*c%s", depth * 2, ' ', node->NodeName());
        // The first level carries no indentation: drop one level's two spaces.
        const char* shown = text.Length() >= 2 ? text.data() + 2 : "";
        HWND list = NodeList();
        const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown));
        if (item >= 0)
            SendMessageA(list, LB_SETITEMDATA, item, reinterpret_cast<LPARAM>(node));
        copy.Delete(found, 1);
    }
    return true;
}

}  // namespace

void NodeListRefresher::Notify(Interface* ip)
{
    if (theFloater.Applying()) return;
    NodeTab copy;
    copy.SetCount(ip->SelectedCount());
    // The count is asked again each time: a copy that no longer fits reports the bad index.
    for (int i = 0; i < ip->SelectedCount(); ++i) copy.Set(i, ip->SelectedNode(i));

    HWND list = NodeList();
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SceneNode* root = ip->RootNode();
    for (int j = 0; root && j < root->ChildCount(); ++j) ListNodeTree(root->Child(j), copy, 1);

    SendMessageA(list, LB_SETCURSEL, 0, 0);
    theFloater.ShowEditorText("");
    theFloater.LoadSelectedText();
    copy.Free();
}

void NodeListRefresher::ListNodeTree(SceneNode* node, NodeTab& copy, int depth)
{
    for (NodeWalk walk(node); SceneNode* each = walk.Next();)
        if (!ListIfSelected(each, copy, depth + walk.Depth())) return;
}

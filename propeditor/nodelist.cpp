#include "nodelist.h"

#include <string>

#include "floater.h"
#include "guard.h"
#include "hostutil.h"
#include "nodewalk.h"
#include "progress.h"
#include "resource.h"

namespace {

// Bytes reserved per item up front: an indented name of a modest depth.
const int kItemBytes = 32;

HWND NodeList() { return GetDlgItem(theFloater.window, IDC_NODE_LIST); }

// The item reads two spaces per level below the first, then the name. text is the caller's
// buffer, reused from item to item.
void AddItem(HWND list, SceneNode* node, int depth, std::string& text)
{
    text.assign(2 * static_cast<size_t>(depth - 1), ' ');
    text += node->NodeName();
    const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (item >= 0) SendMessageA(list, LB_SETITEMDATA, item, reinterpret_cast<LPARAM>(node));
}

}  // namespace

PendingNodes::PendingNodes(Interface* ip)
{
    nodes_.reserve(static_cast<size_t>(ip->SelectedCount()));
    for (int i = 0; i < ip->SelectedCount(); ++i) nodes_.insert(ip->SelectedNode(i));
}

void NodeListRefresher::Notify(Interface* ip)
{
    Guarded([&] { Refresh(ip); });
}

void NodeListRefresher::Refresh(Interface* ip)
{
    if (theFloater.Applying()) return;
    PendingNodes pending(ip);
    HWND list = NodeList();
    {
        RedrawPaused paused(list);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        SendMessageA(list, LB_INITSTORAGE, ip->SelectedCount(), ip->SelectedCount() * kItemBytes);
        SceneNode* root = ip->RootNode();
        for (int j = 0; root && j < root->ChildCount(); ++j)
            ListNodeTree(root->Child(j), pending, 1);
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    theFloater.ShowEditorText("");
    theFloater.LoadSelectedText();
}

void NodeListRefresher::ListNodeTree(SceneNode* node, PendingNodes& pending, int depth)
{
    HWND list = NodeList();
    std::string text;
    int visited = 0;
    for (NodeWalk walk(node); !pending.Empty();) {
        SceneNode* each = walk.Next();
        if (!each) return;
        ReportProgress(visited++, 0);
        if (pending.Take(each)) AddItem(list, each, depth + walk.Depth(), text);
    }
}

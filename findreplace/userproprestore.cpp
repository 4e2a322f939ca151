#include "userproprestore.h"

#include <utility>

UserPropRestore::UserPropRestore(SceneNode* node) : node(node)
{
    if (node) node->GetUserPropText(undoText);
}

UserPropRestore::UserPropRestore(SceneNode* node, CStr&& before)
    : undoText(std::move(before)), node(node)
{
}

UserPropRestore::~UserPropRestore() = default;

// The node takes a copy of the earlier text and hands over its own as the redo text; should
// the copy fail, both are copied the plain way, which keeps the node's text if that fails too.
void UserPropRestore::UndoChange(int saveRedo)
{
    if (!node) return;
    if (saveRedo) {
        CStr text(undoText);
        if (text.Length() == undoText.Length()) {
            node->SwapUserPropText(text);
            redoText = std::move(text);
            return;
        }
        node->GetUserPropText(redoText);
    }
    node->SetUserPropText(undoText);
}

void UserPropRestore::RedoChange()
{
    if (node) node->SetUserPropText(redoText);
}

CStr UserPropRestore::Describe() { return CStr("UserPropRestore"); }

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

// The record keeps only the text the node does not hold: the earlier one while the change
// stands, the later one while it is undone. Texts change places without a copy, so an undo or
// a redo can neither fail for memory nor double what the step holds.
void UserPropRestore::UndoChange(int saveRedo)
{
    if (!node) return;
    if (!saveRedo) {
        node->SetUserPropText(undoText);
        return;
    }
    node->SwapUserPropText(undoText);
    redoText = std::move(undoText);
}

void UserPropRestore::RedoChange()
{
    if (!node) return;
    node->SwapUserPropText(redoText);
    undoText = std::move(redoText);
}

CStr UserPropRestore::Describe() { return CStr("UserPropRestore"); }

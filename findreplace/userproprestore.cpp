#include "userproprestore.h"

UserPropRestore::UserPropRestore(SceneNode* node) : node(node)
{
    if (node) node->GetUserPropText(undoText);
}

UserPropRestore::~UserPropRestore() = default;

void UserPropRestore::UndoChange(int saveRedo)
{
    if (!node) return;
    if (saveRedo) node->GetUserPropText(redoText);
    node->SetUserPropText(undoText);
}

void UserPropRestore::RedoChange()
{
    if (node) node->SetUserPropText(redoText);
}

CStr UserPropRestore::Describe() { return CStr("UserPropRestore"); }

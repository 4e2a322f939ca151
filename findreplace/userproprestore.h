// The undo record of one node's user-property text.
#pragma once

#include "cstr.h"
#include "hold.h"
#include "scene.h"

class UserPropRestore : public RestoreObj {
public:
    // Reads the node's current text: create the record before the node is written.
    explicit UserPropRestore(SceneNode* node);
    // Takes the text before the change as given, for a writer that swaps it out of the node.
    UserPropRestore(SceneNode* node, CStr&& before);
    ~UserPropRestore() override;
    void UndoChange(int saveRedo) override;
    void RedoChange() override;
    CStr Describe() override;

    CStr undoText;  // the text before the change, while the change stands
    CStr redoText;  // the text after it, while the change is undone
    SceneNode* node;
};

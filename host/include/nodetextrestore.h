// The undo record of one node's user-property text, for the host and the plug-ins alike.
// Written inline, so that each module that creates one also deletes it.
#pragma once

#include <new>
#include <utility>

#include "cstr.h"
#include "hold.h"
#include "scene.h"

class NodeTextRestore : public RestoreObj {
public:
    // Reads the node's current text: create the record before the node is written.
    explicit NodeTextRestore(SceneNode* node) : node(node)
    {
        if (node) node->GetUserPropText(undoText);
    }
    // Takes the text before the change as given, for a writer that swaps it out of the node.
    NodeTextRestore(SceneNode* node, CStr&& before) : undoText(std::move(before)), node(node) {}

    // The record keeps only the text the node does not hold: the earlier one while the change
    // stands, the later one while it is undone. Texts change places without a copy, so an
    // undo or a redo, and the cancel of a step that ran out of memory, can neither fail for
    // memory nor double what the step holds.
    void UndoChange(int saveRedo) override
    {
        if (!node) return;
        node->SwapUserPropText(undoText);
        if (saveRedo) redoText = std::move(undoText);
    }
    void RedoChange() override
    {
        if (!node) return;
        node->SwapUserPropText(redoText);
        undoText = std::move(redoText);
    }
    CStr Describe() override { return CStr("NodeTextRestore"); }
    // What the history holds for the record: its texts.
    int SizeHint() override
    {
        const long long bytes = 2LL + undoText.Length() + redoText.Length();
        return bytes > 0x7fffffff ? 0x7fffffff : static_cast<int>(bytes);
    }

    CStr undoText;  // the text before the change, while the change stands
    CStr redoText;  // the text after it, while the change is undone
    SceneNode* node;
};

// Gives node the text as one record of the open step, taking text (left empty). False,
// with the node as it was, when the record cannot be had: no change goes in that cannot be
// undone.
template <class Record = NodeTextRestore>
bool PutNodeText(SceneNode* node, CStr& text)
{
    auto* record = new (std::nothrow) Record(node, CStr());
    if (!record) return false;
    node->SwapUserPropText(text);
    record->undoText = std::move(text);
    if (Hold* history = node->OwnerScene()->History())
        history->Put(record);
    else
        delete record;
    return true;
}

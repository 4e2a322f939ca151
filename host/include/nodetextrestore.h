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
        holdsBefore = false;
    }
    void RedoChange() override
    {
        if (!node) return;
        node->SwapUserPropText(redoText);
        undoText = std::move(redoText);
        holdsBefore = true;
    }
    CStr Describe() override { return CStr("NodeTextRestore"); }
    // What the history holds for the record: its texts. The history sums a step's records as
    // the step ends and after each undo and redo, when a large step's texts have long left
    // the cache: lengths known from the writer are used instead of reading the texts again.
    int SizeHint() override
    {
        const int known = holdsBefore ? beforeLength : afterLength;
        const long long bytes =
            2LL + (known >= 0 ? known : static_cast<long long>(undoText.Length()) + redoText.Length());
        return bytes > 0x7fffffff ? 0x7fffffff : static_cast<int>(bytes);
    }

    CStr undoText;  // the text before the change, while the change stands
    CStr redoText;  // the text after it, while the change is undone
    SceneNode* node;
    // The lengths of the texts before and after the change, where the writer knew them;
    // -1: read from the texts held.
    int beforeLength = -1, afterLength = -1;
    bool holdsBefore = true;  // the change stands: the record holds the text before it
};

// The lengths of a node's text before and after a change, where its writer knows them
// without reading the texts again; -1: not known.
struct TextLengths {
    int before = -1;
    int after = -1;
};

// Gives node the text as one record of the open step, taking text (left empty). False,
// with the node as it was, when the record cannot be had: no change goes in that cannot be
// undone.
template <class Record = NodeTextRestore>
bool PutNodeText(SceneNode* node, CStr& text, TextLengths known = TextLengths())
{
    auto* record = new (std::nothrow) Record(node, CStr());
    if (!record) return false;
    node->SwapUserPropText(text);
    record->undoText = std::move(text);
    // Both texts were just read or written: their lengths cost no cache miss now.
    record->beforeLength = known.before >= 0 ? known.before : record->undoText.Length();
    record->afterLength = known.after >= 0 ? known.after : node->UserPropText().Length();
    if (Hold* history = node->OwnerScene()->History())
        history->Put(record);
    else
        delete record;
    return true;
}

// The work of the Find/Replace commands on a list of nodes, apart from windows: the caller
// takes the nodes, opens and closes the undo group and reports the outcome; the questions
// are asked through MatchQuestions.
#pragma once

#include "cstr.h"
#include "questionids.h"
#include "scene.h"
#include "tab.h"
#include "userproplines.h"

// Answers are the ids of the buttons pressed, 0 when a question could not be asked.
enum MatchAnswer {
    kAnswerNone = 0,
    kMultiMatchCancel = IDC_MULTI_CANCEL,
    kMultiMatchIgnore = IDC_MULTI_IGNORE,
    kMultiMatchIgnoreAll = IDC_MULTI_IGNORE_ALL,
    kConfirmReplace = IDC_CONFIRM_REPLACE,
    kConfirmReplaceAll = IDC_CONFIRM_REPLACE_ALL,
    kConfirmCancel = IDC_CONFIRM_CANCEL,
};

class MatchQuestions {
public:
    // The node has more than one line matching find.
    virtual int AskMultiMatch(SceneNode* node, const CStr& find) = 0;
    // Confirm replacing the node's matching lines.
    virtual int AskReplace(SceneNode* node, const CStr& find, const CStr& replace) = 0;

protected:
    ~MatchQuestions() = default;
};

struct RunOutcome {
    int changed = 0;         // Remove: nodes rewritten; Replace: nodes whose lines were replaced
    int written = 0;         // nodes rewritten by any path (with their undo record)
    bool cancelled = false;  // the user answered Cancel
};

// Depth-first below node (node included): appends every node that is not excluded and has a
// line matching find. Each text is read in place.
void CollectMatchingNodes(SceneNode* node, const CStr& findText, NodeTab& nodes);

// Both runs must run inside an open undo group. When memory runs out they throw
// std::bad_alloc with the group open: cancelling it puts back every node written so far.

// Removes the matching lines from each node.
RunOutcome RemoveMatchingLines(const NodeTab& nodes, const CStr& find, MatchQuestions& ask);

// Replaces the matching lines of each node; with writeAll, every other node gets replace as a
// new last line.
RunOutcome ReplaceMatchingLines(const NodeTab& nodes, const CStr& find, const CStr& replace,
                                bool writeAll, MatchQuestions& ask);

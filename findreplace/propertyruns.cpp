#include "propertyruns.h"

#include <new>
#include <utility>

#include "hold.h"
#include "nodewalk.h"
#include "progress.h"
#include "userproprestore.h"

namespace {

// Node arrays grow by room to spare in proportion to their count, so that long ones grow in
// few steps.
constexpr int kNodeReserve = 10;

// Memory ran out for a node's new text, its lines or its undo record. The run stops: a node
// left out would make the step a part of what the user asked for. The guard at the entry
// cancels the open group, which puts back the nodes written so far, and says so.
[[noreturn]] void OutOfMemory() { throw std::bad_alloc(); }

// Reads the node's text into lines, every line or none.
void ParseWhole(SceneNode* node, UserPropLines& lines)
{
    if (!lines.Parse(node->UserPropText())) OutOfMemory();
}

// A question leaves the host's other windows open, and the node's text may be changed from
// one of them meanwhile. Parses the text again then, so the answer works on the text as it
// now is and the other change is kept.
void ParseAgainIfChanged(SceneNode* node, UserPropLines& lines, const CStr& asked)
{
    if (!(node->UserPropText() == asked)) ParseWhole(node, lines);
}

// Writes the joined lines with the node's undo record, which takes the earlier text as it
// comes out of the node, uncopied: no change goes in that cannot be undone, and no text goes
// in cut short.
void WriteText(SceneNode* node, CStr& text, TextLengths lengths = TextLengths())
{
    if (!PutNodeText<UserPropRestore>(node, text, lengths)) OutOfMemory();
}

void WriteNode(SceneNode* node, const UserPropLines& lines)
{
    CStr text;
    if (!lines.JoinInto(text)) OutOfMemory();
    WriteText(node, text);
}

// Where no question is needed, a node's matching lines are removed (replacement null) or
// replaced straight from its text, without a line list, and the run's outcome counts it.
// Returns how many lines matched; the node is written only when some did and no more than
// mostMatches.
int WriteRewritten(SceneNode* node, const CStr& find, const CStr* replacement, int mostMatches,
                   RunOutcome& outcome)
{
    CStr text;
    TextLengths lengths;
    const int matched =
        RewriteMatchingLines(node->UserPropText(), find, replacement, text, mostMatches, &lengths);
    if (matched < 0) OutOfMemory();
    if (matched == 0 || matched > mostMatches) return matched;
    WriteText(node, text, lengths);
    ++outcome.changed;
    ++outcome.written;
    return matched;
}

// With Ignore All answered any number of matching lines goes without a warning; before, one.
int MostMatchesWithoutWarning(bool ignoreAll) { return ignoreAll ? INT_MAX : 1; }

void AppendLine(UserPropLines& lines, const CStr& text)
{
    const int before = lines.Count();
    lines.Append(text);
    if (lines.Count() == before) OutOfMemory();
}

// The answers below return false when the user stops the run. A question that could not be
// asked, or any answer not listed, lets the node go on.
bool GoOnAfterMultiMatch(MatchQuestions& ask, SceneNode* node, const CStr& find,
                         bool& ignoreAll)
{
    int answer = ask.AskMultiMatch(node, find);
    if (answer == kMultiMatchCancel) return false;
    if (answer == kMultiMatchIgnoreAll) ignoreAll = true;
    return true;
}

bool GoOnAfterConfirm(MatchQuestions& ask, SceneNode* node, const CStr& find,
                      const CStr& replace, bool& replaceAll)
{
    int answer = ask.AskReplace(node, find, replace);
    if (answer == kConfirmCancel) return false;
    if (answer == kConfirmReplaceAll) replaceAll = true;
    return true;
}

// State of one Replace or Write to ALL! run.
struct ReplaceRun {
    ReplaceRun(const CStr& find, const CStr& replace, bool writeAll, MatchQuestions& ask)
        : find(find), replace(replace), writeAll(writeAll), ask(ask)
    {
    }

    const CStr& find;
    const CStr& replace;
    bool writeAll;
    MatchQuestions& ask;
    UserPropLines lines;
    bool ignoreAll = false;
    bool replaceAll = false;
    RunOutcome outcome;

    int Matches() const { return find.Length() > 0 ? lines.CountMatches(find) : 0; }

    // Once Replace All is answered, a node that needs no warning is written straight from its
    // text. False when a warning is due or Write to ALL! extends the node: the line list does.
    bool DoneStraight(SceneNode* node)
    {
        if (!replaceAll || find.Length() == 0) return false;
        const int mostMatches = MostMatchesWithoutWarning(ignoreAll);
        const int matched = WriteRewritten(node, find, &replace, mostMatches, outcome);
        const bool warningDue = matched > mostMatches;
        const bool extensionDue = matched == 0 && writeAll;
        return !warningDue && !extensionDue;
    }

    // False when the user stopped the run at this node.
    bool Visit(SceneNode* node)
    {
        if (!node || node->IsExcluded(0, 0) || DoneStraight(node)) return true;
        // A node without a match changes only when Write to ALL! extends it.
        if (!writeAll && (find.Length() == 0 || !TextHasMatchingLine(node->UserPropText(), find)))
            return true;
        ParseWhole(node, lines);
        int matches = Matches();
        // A text changed elsewhere during a question may have gained a second match: the
        // warning about several matches is then asked after all, before anything is written.
        bool warned = false;
        bool confirmed = false;
        while (matches > 0) {
            const bool warn = !ignoreAll && matches > 1 && !warned;
            const bool confirm = !replaceAll && !confirmed;
            if (!warn && !confirm) break;
            const CStr asked = node->UserPropText();
            if (warn) {
                warned = true;
                if (!GoOnAfterMultiMatch(ask, node, find, ignoreAll)) return false;
            }
            if (confirm) {
                confirmed = true;
                if (!GoOnAfterConfirm(ask, node, find, replace, replaceAll)) return false;
            }
            ParseAgainIfChanged(node, lines, asked);
            matches = Matches();
        }
        // Without a match (or none left after a change made during a question), Write to
        // ALL! extends the node instead.
        if (find.Length() == 0 || lines.ReplaceMatches(find, replace) == 0) {
            if (writeAll) {
                AppendLine(lines, replace);
                WriteNode(node, lines);
                ++outcome.written;
            }
            return true;
        }
        WriteNode(node, lines);
        ++outcome.changed;
        ++outcome.written;
        return true;
    }
};

}  // namespace

void CollectMatchingNodes(SceneNode* node, const CStr& findText, NodeTab& nodes)
{
    int visited = 0;
    for (NodeWalk walk(node); SceneNode* each = walk.Next();) {
        ReportProgress(visited++, 0);
        if (!each->IsExcluded(0, 0) && TextHasMatchingLine(each->UserPropText(), findText))
            nodes.Append(each, kNodeReserve + nodes.Count());
    }
}

RunOutcome RemoveMatchingLines(const NodeTab& nodes, const CStr& find, MatchQuestions& ask)
{
    RunOutcome outcome;
    UserPropLines lines;
    bool ignoreAll = false;
    for (int i = 0; i < nodes.Count(); ++i) {
        ReportProgress(i, nodes.Count());
        PrefetchNodeText(nodes, i);
        SceneNode* node = nodes[i];
        if (!node || node->IsExcluded(0, 0)) continue;
        // Without a warning to give, the lines go straight from the text; a node without a
        // matching line is left as it is.
        const int mostMatches = MostMatchesWithoutWarning(ignoreAll);
        if (WriteRewritten(node, find, nullptr, mostMatches, outcome) <= mostMatches) continue;
        ParseWhole(node, lines);
        const CStr asked = node->UserPropText();
        if (!GoOnAfterMultiMatch(ask, node, find, ignoreAll)) {
            outcome.cancelled = true;
            break;
        }
        ParseAgainIfChanged(node, lines, asked);
        if (lines.RemoveMatches(find) == 0) continue;
        WriteNode(node, lines);
        ++outcome.changed;
        ++outcome.written;
    }
    return outcome;
}

RunOutcome ReplaceMatchingLines(const NodeTab& nodes, const CStr& find, const CStr& replace,
                                bool writeAll, MatchQuestions& ask)
{
    ReplaceRun run(find, replace, writeAll, ask);
    for (int i = 0; i < nodes.Count(); ++i) {
        ReportProgress(i, nodes.Count());
        PrefetchNodeText(nodes, i);
        if (!run.Visit(nodes[i])) {
            run.outcome.cancelled = true;
            break;
        }
    }
    return run.outcome;
}

#include "keyedits.h"

#include <utility>
#include <vector>

#include "hold.h"
#include "nodetextrestore.h"
#include "progress.h"
#include "textlines.h"

namespace {

void AddLine(std::string& text, std::string_view line)
{
    if (!text.empty()) text += "\r\n";
    text += line;
}

struct Rewrite {
    SceneNode* node;
    std::string text;
};

// Writes each new text that differs from the node's, as one step.
int WriteAll(std::vector<Rewrite>& rewrites, const char* stepName)
{
    int changed = 0;
    theHold.Begin();
    for (size_t i = 0; i < rewrites.size(); ++i) {
        ReportProgress(static_cast<int>(i), static_cast<int>(rewrites.size()));
        SceneNode* node = rewrites[i].node;
        const std::string& text = rewrites[i].text;
        if (text == node->UserPropText().data()) continue;
        CStr swapped;
        if (!swapped.Assign(text.data(), static_cast<int>(text.size()))) continue;
        if (!PutNodeText(node, swapped)) continue;  // no change that could not be undone
        ++changed;
    }
    theHold.Accept(stepName);
    return changed;
}

std::vector<Rewrite> RewritesOf(const NodeTab& nodes,
                                const std::function<std::string(const char*)>& rewrite)
{
    std::vector<Rewrite> rewrites;
    rewrites.reserve(nodes.Count());
    for (int i = 0; i < nodes.Count(); ++i)
        if (SceneNode* node = nodes[i]) rewrites.push_back({node, rewrite(node->UserPropText())});
    return rewrites;
}

}  // namespace

bool IsUsableKey(std::string_view key)
{
    return !key.empty() && key.find_first_of("=\r\n") == std::string_view::npos;
}

bool IsUsableValue(std::string_view value)
{
    return value.find_first_of("\r\n") == std::string_view::npos;
}

std::string TextWithValue(const char* text, const TableColumn& column, std::string_view value)
{
    std::string result;
    bool set = false;
    ForEachLine(text, [&](const char* begin, const char* end) {
        const std::string_view line(begin, end - begin);
        if (set || !LineInColumn(begin, end, column)) {
            AddLine(result, line);
            return true;
        }
        set = true;
        AddLine(result, SplitAtFirstEquals(line).key);
        result += '=';
        result += value;
        return true;
    });
    if (!set) {
        AddLine(result, column.key);
        result += '=';
        result += value;
    }
    return result;
}

std::string TextWithoutKey(const char* text, const TableColumn& column)
{
    std::string result;
    ForEachLine(text, [&](const char* begin, const char* end) {
        if (!LineInColumn(begin, end, column)) AddLine(result, std::string_view(begin, end - begin));
        return true;
    });
    return result;
}

std::string TextWithKeyRenamed(const char* text, const TableColumn& column, std::string_view newKey)
{
    std::string result;
    ForEachLine(text, [&](const char* begin, const char* end) {
        const std::string_view line(begin, end - begin);
        if (!LineInColumn(begin, end, column)) {
            AddLine(result, line);
            return true;
        }
        AddLine(result, newKey);
        result += '=';
        result += SplitAtFirstEquals(line).value;
        return true;
    });
    return result;
}

int LinesOfKey(const char* text, std::string_view key)
{
    TableColumn column;
    column.key = std::string(key);
    int lines = 0;
    ForEachLine(text, [&](const char* begin, const char* end) {
        lines += LineInColumn(begin, end, column);
        return true;
    });
    return lines;
}

KeyEditResult SetKeyOn(const NodeTab& nodes, const TableColumn& column, std::string_view value,
                       const char* stepName)
{
    std::vector<Rewrite> rewrites = RewritesOf(
        nodes, [&](const char* text) { return TextWithValue(text, column, value); });
    KeyEditResult result;
    result.changed = WriteAll(rewrites, stepName);
    return result;
}

KeyEditResult RemoveKeyFrom(const NodeTab& nodes, const TableColumn& column, const char* stepName)
{
    std::vector<Rewrite> rewrites =
        RewritesOf(nodes, [&](const char* text) { return TextWithoutKey(text, column); });
    KeyEditResult result;
    result.changed = WriteAll(rewrites, stepName);
    return result;
}

KeyEditResult RenameKeyIn(const NodeTab& nodes, const TableColumn& column, std::string_view newKey,
                          const std::function<CollisionAnswer(SceneNode*)>& ask,
                          const char* stepName)
{
    KeyEditResult result;
    std::vector<Rewrite> rewrites;
    for (int i = 0; i < nodes.Count(); ++i) {
        SceneNode* node = nodes[i];
        if (!node || !LinesOfKey(node->UserPropText(), column.key)) continue;
        std::string renamed = TextWithKeyRenamed(node->UserPropText(), column, newKey);
        if (LinesOfKey(renamed.c_str(), newKey) > 1) {
            switch (ask(node)) {
            case CollisionAnswer::RenameAnyway: break;
            case CollisionAnswer::Skip: ++result.skipped; continue;
            case CollisionAnswer::Cancel: result.cancelled = true; return result;
            }
        }
        rewrites.push_back({node, std::move(renamed)});
    }
    result.changed = WriteAll(rewrites, stepName);
    return result;
}

#include "rowtext.h"

#include "textlines.h"

namespace {

// Deeper nodes share the indentation of this depth: a row's text must not grow with the
// depth, which the scene file allows to be very large.
const int kMaxIndentedDepth = 64;

}  // namespace

std::string NodeRowName(const SceneNode* node)
{
    const int depth = node->Depth() < kMaxIndentedDepth ? node->Depth() : kMaxIndentedDepth;
    std::string name(2 * (depth - 1), ' ');
    return name += node->NodeName();
}

std::string PropertiesCellText(const char* text, const int* matchedLineStarts, int matchCount)
{
    std::string cell;
    int next = 0;  // into matchedLineStarts, which is in line order
    ForEachLine(text, [&](const char* b, const char* e) {
        if (!cell.empty()) cell += "  |  ";
        const bool marked = next < matchCount && matchedLineStarts[next] == b - text;
        if (marked) {
            ++next;
            cell += "\xC2\xBB ";  // »
        }
        cell.append(b, e);
        if (marked) cell += " \xC2\xAB";  // «
        return true;
    });
    return cell;
}

std::string PropertiesTipText(const char* text)
{
    std::string tip;
    ForEachLine(text, [&tip](const char* b, const char* e) {
        if (!tip.empty()) tip += "\r\n";
        tip.append(b, e);
        return true;
    });
    return tip;
}

#include "propertycolumns.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include "textlines.h"

namespace {

struct FoldedHash {
    size_t operator()(std::string_view key) const
    {
        size_t hash = 1469598103934665603u;
        for (char c : key) hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211u;
        return hash;
    }
};
struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const { return EqualIgnoringCase(a, b); }
};

// A column's spellings while the texts are read: most keys have one.
struct Tally {
    std::vector<std::pair<std::string_view, int>> spellings;
    size_t lastRow = static_cast<size_t>(-1);
    void Count(std::string_view spelling)
    {
        for (auto& seen : spellings)
            if (seen.first == spelling) {
                ++seen.second;
                return;
            }
        spellings.emplace_back(spelling, 1);
    }
    std::string_view MostCommon() const
    {
        auto best = spellings.begin();  // the first seen wins a tie
        for (auto it = spellings.begin(); it != spellings.end(); ++it)
            if (it->second > best->second) best = it;
        return best->first;
    }
};

const char kJoin[] = " | ";
const char kMarkOpen[] = "\xC2\xBB ";   // »
const char kMarkClose[] = " \xC2\xAB";  // «

}  // namespace

void PropertyColumns::Build(size_t rows, const RowTexts& textOf)
{
    columns_.clear();
    std::unordered_map<std::string_view, size_t, FoldedHash, FoldedEqual> index;
    std::vector<Tally> tallies;
    std::vector<TableColumn> found;
    TableColumn other;
    other.otherLines = true;
    size_t otherLastRow = static_cast<size_t>(-1);
    // Nodes tend to hold their keys in the same order: the column of the previous node's
    // line at the same place is tried before the index.
    std::vector<size_t> predicted;
    for (size_t row = 0; row < rows; ++row) {
        size_t place = 0;
        ForEachLine(textOf(row), [&](const char* begin, const char* end) {
            const LineKeyValue split = SplitAtFirstEquals(std::string_view(begin, end - begin));
            if (!split.hasEquals) {
                if (otherLastRow != row) ++other.nodes;
                otherLastRow = row;
                return true;
            }
            size_t column;
            if (place < predicted.size() &&
                EqualIgnoringCase(tallies[predicted[place]].spellings.front().first, split.key)) {
                column = predicted[place];
            } else {
                const auto at = index.try_emplace(split.key, found.size());
                if (at.second) {
                    found.emplace_back();
                    tallies.emplace_back();
                }
                column = at.first->second;
                if (place < predicted.size()) predicted[place] = column;
                else predicted.push_back(column);
            }
            ++place;
            Tally& tally = tallies[column];
            tally.Count(split.key);
            if (tally.lastRow != row) ++found[column].nodes;
            tally.lastRow = row;
            return true;
        });
    }
    for (size_t i = 0; i < found.size(); ++i) found[i].key = std::string(tallies[i].MostCommon());
    columns_ = std::move(found);
    if (other.nodes > 0) columns_.push_back(other);
}

int PropertyColumns::Find(std::string_view key) const
{
    for (size_t i = 0; i < columns_.size(); ++i)
        if (!columns_[i].otherLines && EqualIgnoringCase(columns_[i].key, key))
            return static_cast<int>(i);
    return -1;
}

int PropertyColumns::OtherLinesColumn() const
{
    return !columns_.empty() && columns_.back().otherLines ? static_cast<int>(columns_.size() - 1)
                                                           : -1;
}

bool LineInColumn(const char* begin, const char* end, const TableColumn& column)
{
    const LineKeyValue split = SplitAtFirstEquals(std::string_view(begin, end - begin));
    if (column.otherLines) return !split.hasEquals;
    return split.hasEquals && EqualIgnoringCase(split.key, column.key);
}

namespace {

// The part of a line the column shows: the value, or a whole line without '='.
std::string_view Shown(const char* begin, const char* end, const TableColumn& column)
{
    const std::string_view line(begin, end - begin);
    return column.otherLines ? line : SplitAtFirstEquals(line).value;
}

}  // namespace

std::string CellText(const char* text, const TableColumn& column, const int* matchedLineStarts,
                     int matchCount)
{
    std::string cell;
    int lines = 0;
    int next = 0;  // into matchedLineStarts, which is in line order
    ForEachLine(text, [&](const char* begin, const char* end) {
        const int start = static_cast<int>(begin - text);
        while (next < matchCount && matchedLineStarts[next] < start) ++next;
        if (!LineInColumn(begin, end, column)) return true;
        if (lines++ > 0) cell += kJoin;
        const bool marked = next < matchCount && matchedLineStarts[next] == start;
        if (marked) cell += kMarkOpen;
        cell += Shown(begin, end, column);
        if (marked) cell += kMarkClose;
        return true;
    });
    if (lines > 1) cell.insert(0, "[" + std::to_string(lines) + "] ");
    return cell;
}

bool FirstValue(const char* text, const TableColumn& column, std::string_view& value)
{
    return !ForEachLine(text, [&](const char* begin, const char* end) {
        if (!LineInColumn(begin, end, column)) return true;
        value = Shown(begin, end, column);
        return false;
    });
}

ColumnStats StatsOf(size_t rows, const RowTexts& textOf, const TableColumn& column)
{
    ColumnStats stats;
    std::unordered_set<std::string_view> values;
    for (size_t row = 0; row < rows; ++row) {
        bool holds = false;
        ForEachLine(textOf(row), [&](const char* begin, const char* end) {
            if (!LineInColumn(begin, end, column)) return true;
            holds = true;
            values.insert(Shown(begin, end, column));
            return true;
        });
        stats.nodes += holds;
    }
    stats.distinctValues = static_cast<int>(values.size());
    return stats;
}

namespace {

struct SortKey {
    std::string_view text;
    double number = 0;
    int kind = 0;  // 0 a number, 1 a text, 2 no value
    size_t row = 0;
};

bool ReadNumber(std::string_view text, double& number)
{
    if (text.empty() || text.size() > 63) return false;
    char buffer[64];
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    char* end = nullptr;
    number = std::strtod(buffer, &end);
    return end == buffer + text.size() && number == number;  // no NaN: it orders with nothing
}

bool TextBefore(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

}  // namespace

std::vector<size_t> SortedRows(size_t rows, const RowTexts& textOf, const TableColumn& column)
{
    std::vector<SortKey> keys(rows);
    for (size_t row = 0; row < rows; ++row) {
        SortKey& key = keys[row];
        key.row = row;
        if (!FirstValue(textOf(row), column, key.text)) key.kind = 2;
        else key.kind = ReadNumber(key.text, key.number) ? 0 : 1;
    }
    std::stable_sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        if (a.kind == 0) return a.number < b.number;
        return a.kind == 1 && TextBefore(a.text, b.text);
    });
    std::vector<size_t> order(rows);
    for (size_t i = 0; i < rows; ++i) order[i] = keys[i].row;
    return order;
}

#include "propertycolumns.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "textlines.h"

namespace {

const char kJoin[] = " | ";
const char kMarkOpen[] = "\xC2\xBB ";   // »
const char kMarkClose[] = " \xC2\xAB";  // «

}  // namespace

size_t PropertyColumns::FoldedHash::operator()(std::string_view key) const
{
    size_t hash = 1469598103934665603u;
    for (char c : key) hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211u;
    return hash;
}

bool PropertyColumns::FoldedEqual::operator()(std::string_view a, std::string_view b) const
{
    return EqualIgnoringCase(a, b);
}

size_t PropertyColumns::ShapeHash::operator()(const std::vector<int>& lines) const
{
    size_t hash = 1469598103934665603u;
    for (int line : lines) hash = (hash ^ static_cast<unsigned>(line)) * 1099511628211u;
    return hash;
}

void PropertyColumns::Clear()
{
    columns_.clear();
    spellings_.clear();
    spellingIndex_.clear();
    keys_.clear();
    keyIndex_.clear();
    shapes_.clear();
    shapeIndex_.clear();
    rowShapes_.clear();
    otherHolders_ = 0;
}

int PropertyColumns::SpellingOf(std::string_view key)
{
    const auto known = spellingIndex_.find(key);
    if (known != spellingIndex_.end()) return known->second;
    const int id = static_cast<int>(spellings_.size());
    spellings_.emplace_back();
    Spelling& spelling = spellings_.back();
    spelling.text = std::string(key);
    const std::string_view text = spelling.text;
    const auto folded = keyIndex_.try_emplace(text, static_cast<int>(keys_.size()));
    if (folded.second) keys_.emplace_back();
    spelling.key = folded.first->second;
    keys_[spelling.key].spellings.push_back(id);
    spellingIndex_.emplace(text, id);
    return id;
}

// Rows tend to hold the same lines as the row before (like): its shape is tried first.
int PropertyColumns::ShapeOf(const char* text, int like)
{
    const std::vector<int>* before = like >= 0 ? &shapes_[like].lines : nullptr;
    lines_.clear();
    ForEachLine(text, [&](const char* begin, const char* end) {
        const LineKeyValue split = SplitAtFirstEquals(std::string_view(begin, end - begin));
        if (!split.hasEquals) {
            lines_.push_back(kOtherLine);
            return true;
        }
        const size_t place = lines_.size();
        if (before && place < before->size() && (*before)[place] != kOtherLine &&
            spellings_[(*before)[place]].text == split.key)
            lines_.push_back((*before)[place]);
        else
            lines_.push_back(SpellingOf(split.key));
        return true;
    });
    if (before && *before == lines_) return like;
    const auto known = shapeIndex_.find(lines_);
    if (known != shapeIndex_.end()) return known->second;
    Shape shape;
    shape.lines = lines_;
    for (int line : lines_) {
        if (line == kOtherLine) {
            shape.otherLines = true;
            continue;
        }
        const int key = spellings_[line].key;
        if (std::find(shape.keys.begin(), shape.keys.end(), key) == shape.keys.end())
            shape.keys.push_back(key);
    }
    const int id = static_cast<int>(shapes_.size());
    shapes_.push_back(std::move(shape));
    shapeIndex_.emplace(lines_, id);
    return id;
}

void PropertyColumns::Count(int shape, long long rows)
{
    Shape& counted = shapes_[shape];
    counted.rows += rows;
    for (int line : counted.lines)
        if (line != kOtherLine) spellings_[line].lines += rows;
    for (int key : counted.keys) keys_[key].holders += rows;
    if (counted.otherLines) otherHolders_ += rows;
}

// Where each spelling first appears, from the rows' shapes: each shape is looked at once,
// at its first row, until every spelling in use is placed.
void PropertyColumns::FindFirsts()
{
    size_t unplaced = 0;
    for (Spelling& spelling : spellings_) {
        spelling.firstRow = kNowhere;
        unplaced += spelling.lines > 0;
    }
    shapeSeen_.assign(shapes_.size(), 0);
    for (size_t row = 0; row < rowShapes_.size() && unplaced > 0; ++row) {
        const std::uint32_t shape = rowShapes_[row];
        if (shapeSeen_[shape]) continue;
        shapeSeen_[shape] = 1;
        const std::vector<int>& lines = shapes_[shape].lines;
        for (size_t place = 0; place < lines.size(); ++place) {
            if (lines[place] == kOtherLine) continue;
            Spelling& spelling = spellings_[lines[place]];
            if (spelling.firstRow != kNowhere) continue;
            spelling.firstRow = row;
            spelling.firstPlace = place;
            --unplaced;
        }
    }
}

// The keys in use by where they first appear, each shown in its commonest spelling (the
// first seen wins a tie), then the other lines.
void PropertyColumns::MakeColumns()
{
    struct Placed {
        size_t row, place;
        int spelling;
    };
    auto before = [](const Placed& a, const Placed& b) {
        return a.row != b.row ? a.row < b.row : a.place < b.place;
    };
    std::vector<std::pair<Placed, TableColumn>> found;
    for (const Key& key : keys_) {
        if (key.holders <= 0) continue;
        Placed first{kNowhere, 0, -1};
        Placed common = first;
        long long commonLines = 0;
        for (int id : key.spellings) {
            const Spelling& spelling = spellings_[id];
            if (spelling.lines <= 0) continue;
            const Placed at{spelling.firstRow, spelling.firstPlace, id};
            if (before(at, first)) first = at;
            if (spelling.lines > commonLines || (spelling.lines == commonLines && before(at, common))) {
                common = at;
                commonLines = spelling.lines;
            }
        }
        TableColumn column;
        column.key = spellings_[common.spelling].text;
        column.nodes = static_cast<int>(key.holders);
        found.emplace_back(first, std::move(column));
    }
    std::sort(found.begin(), found.end(),
              [&](const auto& a, const auto& b) { return before(a.first, b.first); });
    columns_.clear();
    for (auto& column : found) columns_.push_back(std::move(column.second));
    if (otherHolders_ > 0) {
        TableColumn other;
        other.otherLines = true;
        other.nodes = static_cast<int>(otherHolders_);
        columns_.push_back(other);
    }
}

void PropertyColumns::Build(size_t rows, const RowTexts& textOf)
{
    Clear();
    firstsSought_ = 0;
    rowShapes_.resize(rows);
    int like = -1;
    for (size_t row = 0; row < rows; ++row) {
        like = ShapeOf(textOf(row), like);
        rowShapes_[row] = static_cast<std::uint32_t>(like);
    }
    std::vector<long long> rowsOf(shapes_.size(), 0);
    for (std::uint32_t shape : rowShapes_) ++rowsOf[shape];
    for (size_t shape = 0; shape < rowsOf.size(); ++shape)
        if (rowsOf[shape]) Count(static_cast<int>(shape), rowsOf[shape]);
    FindFirsts();
    MakeColumns();
}

void PropertyColumns::Update(const std::vector<size_t>& changedRows, const RowTexts& textOf)
{
    bool seekFirsts = false;
    for (size_t row : changedRows) {
        if (row >= rowShapes_.size()) continue;
        const int was = static_cast<int>(rowShapes_[row]);
        const int now = ShapeOf(textOf(row), was);
        if (now == was) continue;
        // A row at or before a spelling's first row may move where it first appears.
        for (int shape : {was, now})
            for (int line : shapes_[shape].lines)
                if (line != kOtherLine && row <= spellings_[line].firstRow) seekFirsts = true;
        Count(was, -1);
        Count(now, 1);
        rowShapes_[row] = static_cast<std::uint32_t>(now);
    }
    if (seekFirsts) {
        ++firstsSought_;
        FindFirsts();
    }
    MakeColumns();
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


struct SortCancelled {};

}  // namespace

std::vector<size_t> SortedRows(size_t rows, const RowTexts& textOf, const TableColumn& column)
{
    const std::atomic<bool> never{false};
    std::vector<size_t> order;
    SortRows(rows, textOf, column, never, order);
    return order;
}

bool SortRows(size_t rows, const RowTexts& textOf, const TableColumn& column,
              const std::atomic<bool>& cancel, std::vector<size_t>& order)
{
    const size_t kRowsBetweenLooks = 4096;
    std::vector<SortKey> keys(rows);
    for (size_t row = 0; row < rows; ++row) {
        if (row % kRowsBetweenLooks == 0 && cancel.load(std::memory_order_relaxed)) return false;
        SortKey& key = keys[row];
        key.row = row;
        if (!FirstValue(textOf(row), column, key.text)) key.kind = 2;
        else key.kind = ReadNumber(key.text, key.number) ? 0 : 1;
    }
    // The values are read from the texts while they are compared: a cancel ends it at once.
    try {
        std::stable_sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
            if (cancel.load(std::memory_order_relaxed)) throw SortCancelled();
            if (a.kind != b.kind) return a.kind < b.kind;
            if (a.kind == 0) return a.number < b.number;
            return a.kind == 1 && TextBefore(a.text, b.text);
        });
    } catch (const SortCancelled&) {
        return false;
    }
    order.resize(rows);
    for (size_t i = 0; i < rows; ++i) order[i] = keys[i].row;
    return true;
}

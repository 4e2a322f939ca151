// The property table's columns: every key of the nodes shown, in the order keys first appear,
// and the cells' texts, read from the nodes' texts where they are. A line is split at its
// first '=' into key and value; keys compare ignoring ASCII case and a column shows the
// spelling most nodes use. Lines without '=' share one column after the keys. Plain C++.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct TableColumn {
    std::string key;          // the spelling shown; for the other lines, empty
    bool otherLines = false;  // the column of lines without '='
    int nodes = 0;            // how many rows hold it
};

// The text of row i, ending at its zero; valid while the model is read.
using RowTexts = std::function<const char*(size_t row)>;

// Each row is remembered by its shape: the spellings of its lines in order, shared by every
// row with the same ones. The counts are the shapes' counts, so a change to some rows reads
// only their texts.
class PropertyColumns {
public:
    // One pass over the rows' texts, in hierarchy order.
    void Build(size_t rows, const RowTexts& textOf);
    // The rows (by index) whose texts changed since: only theirs are read again, and the
    // columns come out as a new Build would give them.
    void Update(const std::vector<size_t>& changedRows, const RowTexts& textOf);
    const std::vector<TableColumn>& Columns() const { return columns_; }
    size_t Rows() const { return rowShapes_.size(); }
    // The column of key (compared ignoring case), or -1.
    int Find(std::string_view key) const;
    int OtherLinesColumn() const;  // -1 when every line holds '='
    // How many updates since the Build had to look for where keys first appear again (a pass
    // over the rows' shapes, not their texts): a changed row at or before a key's first row.
    int FirstsSought() const { return firstsSought_; }

private:
    static constexpr int kOtherLine = -1;
    static constexpr size_t kNowhere = static_cast<size_t>(-1);
    struct Spelling {
        std::string text;
        int key = 0;
        long long lines = 0;  // lines of the rows spelling the key so
        size_t firstRow = kNowhere;
        size_t firstPlace = 0;  // the line within firstRow
    };
    struct Key {
        std::vector<int> spellings;
        long long holders = 0;
    };
    struct Shape {
        std::vector<int> lines;  // a spelling per line, or kOtherLine
        std::vector<int> keys;   // each key once
        bool otherLines = false;
        long long rows = 0;
    };
    struct ShapeHash {
        size_t operator()(const std::vector<int>& lines) const;
    };
    struct FoldedHash {
        size_t operator()(std::string_view key) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    void Clear();
    int SpellingOf(std::string_view key);
    int ShapeOf(const char* text, int like);
    void Count(int shape, long long rows);
    void FindFirsts();
    void MakeColumns();

    std::vector<TableColumn> columns_;
    std::deque<Spelling> spellings_;  // a deque: the indexes below see into their texts
    std::unordered_map<std::string_view, int> spellingIndex_;
    std::vector<Key> keys_;
    std::unordered_map<std::string_view, int, FoldedHash, FoldedEqual> keyIndex_;
    std::vector<Shape> shapes_;
    std::unordered_map<std::vector<int>, int, ShapeHash> shapeIndex_;
    std::vector<std::uint32_t> rowShapes_;
    std::vector<std::uint32_t> shapeSeen_;  // FindFirsts' marks
    std::vector<int> lines_;                // ShapeOf's scratch
    long long otherHolders_ = 0;
    int firstsSought_ = 0;
};

// Whether the line [begin, end) belongs to column.
bool LineInColumn(const char* begin, const char* end, const TableColumn& column);

// The node's cell of column: its value, or the values of several lines joined and marked with
// their count ("[2] 1 | 3"); empty when the node lacks the key. Lines the filter matched
// (their offsets into text, in order) are marked as the lines view marks them.
std::string CellText(const char* text, const TableColumn& column,
                     const int* matchedLineStarts = nullptr, int matchCount = 0);
// The first value of column in text, lent from text; false when the node lacks it.
bool FirstValue(const char* text, const TableColumn& column, std::string_view& value);

// How many rows hold column's key, and how many different values they give it (case counts).
struct ColumnStats {
    int nodes = 0;
    int distinctValues = 0;
};
ColumnStats StatsOf(size_t rows, const RowTexts& textOf, const TableColumn& column);

// The rows in the order of column's first values: numbers by value before other texts, texts
// ignoring ASCII case, rows lacking the key last; equal values keep their order.
std::vector<size_t> SortedRows(size_t rows, const RowTexts& textOf, const TableColumn& column);
// The same on a thread of its own: false, with order left unfinished, once cancel is set.
bool SortRows(size_t rows, const RowTexts& textOf, const TableColumn& column,
              const std::atomic<bool>& cancel, std::vector<size_t>& order);

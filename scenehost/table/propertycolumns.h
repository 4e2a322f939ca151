// The property table's columns: every key of the nodes shown, in the order keys first appear,
// and the cells' texts, read from the nodes' texts where they are. A line is split at its
// first '=' into key and value; keys compare ignoring ASCII case and a column shows the
// spelling most nodes use. Lines without '=' share one column after the keys. Plain C++.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TableColumn {
    std::string key;          // the spelling shown; for the other lines, empty
    bool otherLines = false;  // the column of lines without '='
    int nodes = 0;            // how many rows hold it
};

// The text of row i, ending at its zero; valid while the model is read.
using RowTexts = std::function<const char*(size_t row)>;

class PropertyColumns {
public:
    // One pass over the rows' texts.
    void Build(size_t rows, const RowTexts& textOf);
    const std::vector<TableColumn>& Columns() const { return columns_; }
    // The column of key (compared ignoring case), or -1.
    int Find(std::string_view key) const;
    int OtherLinesColumn() const;  // -1 when every line holds '='

private:
    std::vector<TableColumn> columns_;
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

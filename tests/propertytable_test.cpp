// The property table without windows: columns, cells, order, and the key edits with undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "nodechanges.h"
#include "hold.h"
#include "keyedits.h"
#include "propertycolumns.h"
#include "sortworker.h"

namespace {

struct Texts {
    std::vector<std::string> texts;
    RowTexts Of() const
    {
        return [this](size_t row) { return texts[row].c_str(); };
    }
};

std::string Keys(const PropertyColumns& model)
{
    std::string keys;
    for (const TableColumn& column : model.Columns())
        keys += (keys.empty() ? "" : ",") +
                (column.otherLines ? "(other)" : column.key) + ":" + std::to_string(column.nodes);
    return keys;
}

TEST(TableColumns, KeysInFirstOrderFoldedWithTheCommonestSpellingAndOtherLinesLast)
{
    struct Case {
        std::vector<std::string> texts;
        const char* keys;
    } cases[] = {
        {{"LOD=1\r\nexport=static", "export=x\nlod=2\nLOD=3"}, "LOD:2,export:2"},
        {{"lod=1", "lod=2", "LOD=3"}, "lod:3"},
        {{"Lod=1", "LOD=2"}, "Lod:2"},  // a tie: the first spelling seen
        {{"just a note\r\na=1", "b=2=3", "=empty key"}, "a:1,b:1,:1,(other):1"},
        {{"", "\r\n\r\n"}, ""},
    };
    for (const Case& c : cases) {
        Texts texts{c.texts};
        PropertyColumns model;
        model.Build(texts.texts.size(), texts.Of());
        EXPECT_EQ(Keys(model), c.keys);
    }
    Texts texts{{"LOD=1", "note"}};
    PropertyColumns model;
    model.Build(2, texts.Of());
    EXPECT_EQ(model.Find("lod"), 0);
    EXPECT_EQ(model.Find("lo"), -1);
    EXPECT_EQ(model.OtherLinesColumn(), 1);
}

std::string BuiltKeys(const std::vector<std::string>& rows)
{
    Texts texts{rows};
    PropertyColumns model;
    model.Build(rows.size(), texts.Of());
    return Keys(model);
}

// Random lines from a few keys in several spellings, with lines without '=' and blank ones.
std::string RandomText(std::mt19937& random, int keys)
{
    static const char* const spellings[] = {"lod", "LOD", "Lod", "bias", "BIAS", "export",
                                            "a", "b", "c", "d", "e", "f"};
    std::string text;
    const int lines = static_cast<int>(random() % 5);
    for (int i = 0; i < lines; ++i) {
        const int pick = static_cast<int>(random() % (keys + 1));
        if (i) text += random() % 4 ? "\r\n" : "\n\n";
        if (pick == keys) text += "a note";
        else text += std::string(spellings[pick]) + "=" + std::to_string(random() % 3);
    }
    return text;
}

// The columns after changes to some rows, including their first rows, are those a new pass
// over every row gives: order, spelling shown and holders.
TEST(TableColumns, UpdatesFromTheChangedRowsEqualANewPass)
{
    struct Case {
        const char* name;
        int rows, keys, rounds, changedAtMost;
        unsigned seed;
    } cases[] = {
        {"few keys, many spellings", 40, 3, 300, 4, 1},
        {"all keys, single rows", 12, 12, 400, 1, 2},
        {"most rows at once", 30, 6, 200, 30, 3},
        {"one row", 1, 5, 100, 1, 4},
    };
    for (const Case& c : cases) {
        std::mt19937 random(c.seed);
        Texts texts;
        for (int i = 0; i < c.rows; ++i) texts.texts.push_back(RandomText(random, c.keys));
        PropertyColumns model;
        model.Build(texts.texts.size(), texts.Of());
        for (int round = 0; round < c.rounds; ++round) {
            std::vector<size_t> changed;
            const int count = 1 + static_cast<int>(random() % c.changedAtMost);
            for (int i = 0; i < count; ++i) {
                const size_t row = random() % texts.texts.size();
                texts.texts[row] = random() % 5 ? RandomText(random, c.keys) : std::string();
                changed.push_back(row);
            }
            std::sort(changed.begin(), changed.end());
            changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
            model.Update(changed, texts.Of());
            ASSERT_EQ(Keys(model), BuiltKeys(texts.texts)) << c.name << ", round " << round;
        }
    }
}

TEST(TableColumns, OnlyAChangeAtOrBeforeAKeysFirstRowLooksForFirstsAgain)
{
    struct Case {
        const char* name;
        size_t row;
        const char* text;
        int sought;
        const char* keys;
    } cases[] = {
        {"a later row, keys it had", 2, "b=9\r\na=9", 0, "a:2,b:3,c:1"},
        {"a later row, a key seen before", 2, "a=3\r\nb=3\r\nc=2", 0, "a:2,b:3,c:2"},
        {"a later row, a new spelling", 2, "A=1", 1, "a:2,b:2,c:1"},
        {"the first row loses a key", 0, "b=1", 1, "b:3,c:1,a:1"},
        {"the first row's order", 0, "b=1\r\na=1", 1, "b:3,a:2,c:1"},
        {"a key goes", 1, "b=2", 1, "a:2,b:3"},
    };
    for (const Case& c : cases) {
        Texts texts{{"a=1\r\nb=1", "b=2\r\nc=1", "a=3\r\nb=3"}};
        PropertyColumns model;
        model.Build(3, texts.Of());
        texts.texts[c.row] = c.text;
        model.Update({c.row}, texts.Of());
        EXPECT_EQ(model.FirstsSought(), c.sought) << c.name;
        EXPECT_EQ(Keys(model), c.keys) << c.name;
        EXPECT_EQ(Keys(model), BuiltKeys(texts.texts)) << c.name;
    }
}

TEST(TableCells, SingleAbsentRepeatedAndOtherLines)
{
    TableColumn lod{"LOD"}, note{"note"}, other;
    other.otherLines = true;
    struct Case {
        const char* text;
        const TableColumn* column;
        const char* cell;
    } cases[] = {
        {"LOD=2\r\nb=1", &lod, "2"},
        {"b=1", &lod, ""},
        {"LOD=", &lod, ""},
        {"lod=1\r\nx=y\r\nLod=3", &lod, "[2] 1 | 3"},
        {"note=\"two\\nlines\"", &note, "\"two\\nlines\""},
        {"a note\r\nLOD=1\r\nanother", &other, "[2] a note | another"},
        {"LOD=a=b", &lod, "a=b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CellText(c.text, *c.column), c.cell) << c.text;
    const char* text = "LOD=1\r\nLOD=2";
    const int matched[] = {7};
    EXPECT_EQ(CellText(text, lod, matched, 1), "[2] 1 | \xC2\xBB 2 \xC2\xAB");
    Texts rows{{"LOD=1\r\nLOD=2", "LOD=1", "x=1", "lod=3"}};
    const ColumnStats stats = StatsOf(rows.texts.size(), rows.Of(), lod);
    EXPECT_EQ(stats.nodes, 3);
    EXPECT_EQ(stats.distinctValues, 3);
}

TEST(TableOrder, NumbersThenTextsThenAbsentStable)
{
    Texts rows{{"k=10", "k=b", "x=1", "k=9", "k=A", "k=9", "k=-1.5"}};
    const std::vector<size_t> order = SortedRows(rows.texts.size(), rows.Of(), TableColumn{"K"});
    EXPECT_EQ(order, (std::vector<size_t>{6, 3, 5, 0, 4, 1, 2}));
}

// The sort thread orders as the window would; a cancelled sort reports nothing.
TEST(TableOrder, TheSortThreadOrdersAsTheWindowWouldAndACancelReportsNothing)
{
    Scene scene(nullptr);
    std::vector<SceneNode*> rows;
    for (const char* text : {"k=10", "k=b", "x=1", "k=9"})
        rows.push_back(scene.CreateNode(scene.Root(), "n", text));
    struct Case {
        bool cancelled;
        bool reported;
    } cases[] = {{false, true}, {true, false}};
    for (const Case& c : cases) {
        std::vector<std::vector<SceneNode*>> reported;
        SortWorker worker([&](const SortWorker::Job& job) { reported.push_back(job.sorted); });
        auto job = std::make_shared<SortWorker::Job>();
        job->rows = rows;
        job->column = TableColumn{"K"};
        job->cancel = c.cancelled;
        worker.Start(job);
        worker.Wait();
        ASSERT_EQ(reported.size(), c.reported ? 1u : 0u) << c.cancelled;
        if (c.reported) {
            EXPECT_EQ(reported[0], (std::vector<SceneNode*>{rows[3], rows[0], rows[1], rows[2]}));
        }
        EXPECT_EQ(job->finished, c.reported);
    }
}

TEST(KeyEditTexts, OtherLinesStayInOrderAndBreaksAreNormalised)
{
    TableColumn lod{"LOD"}, other;
    other.otherLines = true;
    struct Case {
        const char* name;
        std::string got;
        const char* expected;
    } cases[] = {
        {"set first of two", TextWithValue("a=1\n\nlod=1\rLOD=2", lod, "5"), "a=1\r\nlod=5\r\nLOD=2"},
        {"set where absent", TextWithValue("a=1\r\n", lod, "5"), "a=1\r\nLOD=5"},
        {"set on empty", TextWithValue("", lod, ""), "LOD="},
        {"remove all", TextWithoutKey("LOD=1\r\nlodBias=2\r\nlod=3", lod), "lodBias=2"},
        {"remove other", TextWithoutKey("n1\r\na=1\r\nn2", other), "a=1"},
        {"rename keeps values",
         TextWithKeyRenamed("lod=1\r\nlodBias=2\r\nLOD=3=4", lod, "lodLevel"),
         "lodLevel=1\r\nlodBias=2\r\nlodLevel=3=4"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
    EXPECT_TRUE(IsUsableKey("lodLevel"));
    for (const char* bad : {"", "a=b", "a\nb", "a\r"}) EXPECT_FALSE(IsUsableKey(bad)) << bad;
    EXPECT_FALSE(IsUsableValue("two\r\nlines"));
}

class KeyEditRuns : public ::testing::Test {
protected:
    void SetUp() override
    {
        theHold.Clear();
        for (const char* text : {"LOD=1\r\nx=1", "x=2", "lodLevel=9\r\nlod=2", "lod=3"})
            nodes.Append(scene.CreateNode(scene.Root(), "n", text), 10);
    }
    void TearDown() override { theHold.Clear(); }
    std::vector<std::string> TextsNow() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < nodes.Count(); ++i) texts.push_back(nodes[i]->UserPropText().data());
        return texts;
    }
    void ExpectUndoRedo(const std::vector<std::string>& before, const char* step)
    {
        const std::vector<std::string> after = TextsNow();
        EXPECT_STREQ(theHold.UndoName(), step);
        ASSERT_TRUE(theHold.Undo());
        EXPECT_EQ(TextsNow(), before);
        ASSERT_TRUE(theHold.Redo());
        EXPECT_EQ(TextsNow(), after);
    }
    Scene scene;
    NodeTab nodes;
};

TEST_F(KeyEditRuns, SetAndRemoveAreOneStepEachOverOnlyTheChangedNodes)
{
    const std::vector<std::string> before = TextsNow();
    EXPECT_EQ(SetKeyOn(nodes, TableColumn{"LOD"}, "1", "Set Property").changed, 3);
    EXPECT_EQ(TextsNow(), (std::vector<std::string>{"LOD=1\r\nx=1", "x=2\r\nLOD=1",
                                                    "lodLevel=9\r\nlod=1", "lod=1"}));
    EXPECT_EQ(theHold.RecordCount(0), 3);
    ExpectUndoRedo(before, "Set Property");
    const std::vector<std::string> set = TextsNow();
    EXPECT_EQ(RemoveKeyFrom(nodes, TableColumn{"lod"}, "Remove Key").changed, 4);
    EXPECT_EQ(TextsNow(), (std::vector<std::string>{"x=1", "x=2", "lodLevel=9", ""}));
    ExpectUndoRedo(set, "Remove Key");
    const int steps = theHold.UndoCount();
    EXPECT_EQ(RemoveKeyFrom(nodes, TableColumn{"absent"}, "Remove Key").changed, 0);
    EXPECT_EQ(theHold.UndoCount(), steps) << "nothing changed: no step";
}

// The undo memory limit sees what a key edit holds: the texts it keeps for undo.
TEST_F(KeyEditRuns, AnEditsTextsCountInWhatTheHistoryHolds)
{
    const std::string value(100000, 'v');
    ASSERT_EQ(SetKeyOn(nodes, TableColumn{"note"}, value, "Set Property").changed, 4);
    const std::size_t before = theHold.HeldBytes();
    ASSERT_EQ(RemoveKeyFrom(nodes, TableColumn{"note"}, "Remove Key").changed, 4);
    EXPECT_GE(theHold.HeldBytes() - before, 4u * value.size()) << "the texts before the removal";
}

TEST_F(KeyEditRuns, RenameAsksAboutACollisionFirstAndFollowsEachAnswer)
{
    const std::vector<std::string> before = TextsNow();
    struct Case {
        CollisionAnswer answer;
        int changed, skipped;
        bool cancelled;
        const char* third;
    } cases[] = {
        {CollisionAnswer::RenameAnyway, 3, 0, false, "lodLevel=9\r\nlodLevel=2"},
        {CollisionAnswer::Skip, 2, 1, false, "lodLevel=9\r\nlod=2"},
        {CollisionAnswer::Cancel, 0, 0, true, "lodLevel=9\r\nlod=2"},
    };
    for (const Case& c : cases) {
        std::vector<SceneNode*> asked;
        const KeyEditResult result = RenameKeyIn(
            nodes, TableColumn{"lod"}, "lodLevel",
            [&](SceneNode* node) {
                asked.push_back(node);
                return c.answer;
            },
            "Rename Key");
        EXPECT_EQ(asked, std::vector<SceneNode*>{nodes[2]});
        EXPECT_EQ(result.changed, c.changed);
        EXPECT_EQ(result.skipped, c.skipped);
        EXPECT_EQ(result.cancelled, c.cancelled);
        EXPECT_EQ(TextsNow()[2], c.third);
        if (c.cancelled) {
            EXPECT_EQ(TextsNow(), before) << "cancel writes nothing";
            continue;
        }
        EXPECT_EQ(TextsNow()[0], "lodLevel=1\r\nx=1");
        ExpectUndoRedo(before, "Rename Key");
        ASSERT_TRUE(theHold.Undo());
    }
}

// The table follows the scene's own reports of which nodes changed: after each edit, undo and
// redo, the columns from the changed rows equal those of a new pass.
TEST_F(KeyEditRuns, TheColumnsFollowEditsUndoAndRedoFromTheChangedNodesOnly)
{
    std::mt19937 random(7);
    std::vector<SceneNode*> rows;
    for (int i = 0; i < 60; ++i)
        rows.push_back(scene.CreateNode(scene.Root(), "r", RandomText(random, 6).c_str()));
    for (int i = nodes.Count() - 1; i >= 0; --i)
        rows.insert(rows.begin(), nodes[i]);  // the fixture's nodes first, in scene order
    std::vector<std::string> snapshot;
    const RowTexts textOf = [&](size_t row) { return rows[row]->UserPropText().data(); };
    auto newPass = [&] {
        snapshot.clear();
        for (SceneNode* node : rows) snapshot.push_back(node->UserPropText().data());
        return BuiltKeys(snapshot);
    };
    NodeChanges changes;
    changes.Watch(&scene);
    changes.SetOn(true);
    PropertyColumns model;
    model.Build(rows.size(), textOf);
    const TableColumn keys[] = {{"lod"}, {"BIAS"}, {"export"}, {"a"}, {"new"}};
    enum Kind { kSet, kRemove, kRename, kUndo, kRedo };
    for (int round = 0; round < 120; ++round) {
        NodeTab picked;
        for (SceneNode* node : rows)
            if (random() % 8 == 0) picked.Append(node, 8);
        const TableColumn& column = keys[random() % 5];
        switch (static_cast<Kind>(random() % 5)) {
        case kSet: SetKeyOn(picked, column, std::to_string(random() % 3), "Set Property"); break;
        case kRemove: RemoveKeyFrom(picked, column, "Remove Key"); break;
        case kRename:
            RenameKeyIn(picked, column, keys[random() % 5].key,
                        [](SceneNode*) { return CollisionAnswer::RenameAnyway; }, "Rename Key");
            break;
        case kUndo: theHold.Undo(); break;
        case kRedo: theHold.Redo(); break;
        }
        std::vector<size_t> changed;
        ASSERT_TRUE(changes.TakeRows(rows, changed)) << "round " << round;
        model.Update(changed, textOf);
        ASSERT_EQ(Keys(model), newPass()) << "round " << round;
    }
    for (SceneNode* node : rows) changes.Add(node);
    std::vector<size_t> changed;
    EXPECT_FALSE(changes.TakeRows(rows, changed)) << "every row changed: a new pass is as quick";
    changes.SetOn(false);
    SetKeyOn(nodes, keys[0], "5", "Set Property");
    EXPECT_TRUE(changes.TakeRows(rows, changed));
    EXPECT_TRUE(changed.empty()) << "off, nothing is gathered";
}

}  // namespace

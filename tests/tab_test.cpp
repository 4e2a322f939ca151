#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tab.h"

namespace {

std::vector<int> Contents(const Tab<int>& tab)
{
    std::vector<int> values;
    for (int i = 0; i < tab.Count(); ++i) values.push_back(tab[i]);
    return values;
}

void Fill(Tab<int>& tab, std::initializer_list<int> values)
{
    for (int value : values) tab.Append(value);
}

int Capacity(Tab<int>& tab) { return *tab.Header() ? (*tab.Header())->capacity : 0; }

// Expects exactly one index report, at the array header's own place.
class TabReport {
public:
    TabReport() : before_(AssertReportCount()) {}
    void ExpectOne() const
    {
        EXPECT_EQ(before_ + 1, AssertReportCount());
        EXPECT_EQ(kTabAssertLine, LastAssertLine());
        EXPECT_STREQ("..\\..\\..\\include\\tab", LastAssertFile());
    }

private:
    int before_;
};

}  // namespace

TEST(TabGrowth, GrowsByReserveWhenFull)
{
    Tab<int> tab;
    EXPECT_FALSE(tab.HasStorage());
    EXPECT_EQ(0, tab.Count());

    EXPECT_EQ(0, tab.Append(100, 10));
    EXPECT_EQ(11, Capacity(tab));
    for (int i = 1; i < 11; ++i) EXPECT_EQ(i, tab.Append(100 + i, 10));
    EXPECT_EQ(11, Capacity(tab));

    EXPECT_EQ(11, tab.Append(111, 10));
    EXPECT_EQ(22, Capacity(tab));
    EXPECT_EQ(12, tab.Count());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(100 + i, tab[i]);
}

TEST(TabGrowth, NegativeReserveGrowsExactly)
{
    Tab<int> tab;
    tab.Append(1, -5);
    EXPECT_EQ(1, Capacity(tab));
    tab.Append(2, 0);
    EXPECT_EQ(2, Capacity(tab));
}

TEST(TabGrowth, InsertsSeveralElementsOrZeroes)
{
    Tab<int> tab;
    Fill(tab, {1, 5});
    const int middle[] = {2, 3, 4};
    EXPECT_EQ(1, TBInsertAt(tab.Header(), 1, 3, middle, sizeof(int), 0));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), Contents(tab));
    EXPECT_EQ(5, TBInsertAt(tab.Header(), 5, 2, nullptr, sizeof(int), 0));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 0, 0}), Contents(tab));
}

TEST(TabEdit, InsertsInTheMiddleAndAtTheEnds)
{
    Tab<int> tab;
    Fill(tab, {1, 3});
    EXPECT_EQ(1, tab.Insert(1, 2));
    EXPECT_EQ(0, tab.Insert(0, 0));
    EXPECT_EQ(4, tab.Insert(4, 4));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), Contents(tab));
}

TEST(TabEdit, DeleteShiftsTheRest)
{
    Tab<int> tab;
    Fill(tab, {0, 1, 2, 3, 4, 5});
    EXPECT_EQ(4, tab.Delete(1, 2));
    EXPECT_EQ((std::vector<int>{0, 3, 4, 5}), Contents(tab));
    EXPECT_EQ(3, tab.Delete(3, 1));
    EXPECT_EQ(3, tab.Delete(3, 0));
    EXPECT_EQ((std::vector<int>{0, 3, 4}), Contents(tab));
    EXPECT_EQ(0, tab.Delete(0, 3));
    EXPECT_EQ(0, tab.Count());
}

TEST(TabEdit, SetCountZeroesNewElements)
{
    Tab<int> tab;
    Fill(tab, {7, 8, 9});
    EXPECT_EQ(1, tab.SetCount(1));
    EXPECT_EQ(5, tab.SetCount(5));
    EXPECT_EQ((std::vector<int>{7, 0, 0, 0, 0}), Contents(tab));
    EXPECT_EQ(-1, tab.SetCount(-1));
    EXPECT_EQ(5, tab.Count());

    Tab<int> fresh;
    EXPECT_EQ(0, fresh.SetCount(0));
    EXPECT_EQ(3, fresh.SetCount(3));
    EXPECT_EQ((std::vector<int>{0, 0, 0}), Contents(fresh));
}

TEST(TabEdit, ZfreeReleasesAndNullsThePointer)
{
    Tab<int> tab;
    Fill(tab, {1, 2});
    TabHdr** header = tab.Header();
    zfree(reinterpret_cast<void**>(header));
    EXPECT_EQ(nullptr, *header);
    EXPECT_EQ(0, tab.Count());
    zfree(reinterpret_cast<void**>(header));
    zfree(nullptr);
    EXPECT_EQ(0, tab.Append(9));
}

TEST(TabEdit, FindsFirstEqualElement)
{
    Tab<int> tab;
    EXPECT_EQ(-1, tab.Find(3));
    Fill(tab, {5, 3, 7, 3});
    EXPECT_EQ(1, tab.Find(3));
    EXPECT_EQ(2, tab.Find(7));
    EXPECT_EQ(-1, tab.Find(4));
}

TEST(TabBadIndex, InsertOutsideReportsAndChangesNothing)
{
    Tab<int> tab;
    Fill(tab, {1, 2, 3});
    {
        TabReport report;
        EXPECT_EQ(-1, tab.Insert(4, 9));
        report.ExpectOne();
    }
    {
        TabReport report;
        EXPECT_EQ(-1, tab.Insert(-1, 9));
        report.ExpectOne();
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Contents(tab));
}

TEST(TabBadIndex, DeleteOutsideReportsAndChangesNothing)
{
    Tab<int> tab;
    Fill(tab, {1, 2, 3});
    const int ranges[][2] = {{3, 1}, {2, 2}, {-1, 1}, {0, -1}, {4, 0}};
    for (const auto& range : ranges) {
        TabReport report;
        EXPECT_EQ(3, tab.Delete(range[0], range[1])) << range[0] << "," << range[1];
        report.ExpectOne();
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Contents(tab));
}

TEST(TabBadIndex, ElementAccessReportsAndGivesDefault)
{
    Tab<int> tab;
    Fill(tab, {4});
    const int indexes[] = {1, -1};
    for (int index : indexes) {
        TabReport report;
        EXPECT_EQ(0, tab[index]);
        report.ExpectOne();
    }
    TabReport report;
    tab.Set(5, 1);
    report.ExpectOne();
    EXPECT_EQ((std::vector<int>{4}), Contents(tab));

    Tab<int*> pointers;
    TabReport emptyReport;
    EXPECT_EQ(nullptr, pointers[0]);
    emptyReport.ExpectOne();
}

TEST(TabBadArguments, AreRefusedWithoutChange)
{
    Tab<int> tab;
    Fill(tab, {1, 2});
    int value = 5;
    EXPECT_EQ(-1, TBInsertAt(nullptr, 0, 1, &value, sizeof(int), 0));
    EXPECT_EQ(-1, TBInsertAt(tab.Header(), 0, -1, &value, sizeof(int), 0));
    EXPECT_EQ(-1, TBInsertAt(tab.Header(), 0, 1, &value, 0, 0));
    EXPECT_EQ(-1, TBDelete(nullptr, 0, 1, sizeof(int)));
    EXPECT_EQ(-1, TBDelete(tab.Header(), 0, 1, -4));
    EXPECT_EQ(-1, TBSetCount(nullptr, 1, sizeof(int)));
    EXPECT_EQ(-1, TBSetCount(tab.Header(), 1, 0));
    EXPECT_EQ((std::vector<int>{1, 2}), Contents(tab));
}

TEST(TabBadArguments, SizesThatOverflowAreRefused)
{
    Tab<int> tab;
    Fill(tab, {1, 2});
    EXPECT_EQ(-1, TBInsertAt(tab.Header(), 2, 0x7fffffff, nullptr, sizeof(int), 0));
    EXPECT_EQ((std::vector<int>{1, 2}), Contents(tab));

    // A reserve past the largest count is a hint that cannot be met, not a failure.
    Tab<int> tight;
    tight.Append(1, 0);
    EXPECT_EQ(1, tight.Append(2, 0x7fffffff));
    EXPECT_EQ(2, Capacity(tight));
    EXPECT_EQ((std::vector<int>{1, 2}), Contents(tight));
}

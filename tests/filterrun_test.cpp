// The filter run without windows: the rows a search shows and counts, and the worker thread
// that runs the newest search.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "filterrun.h"
#include "guard.h"
#include "searchworker.h"

namespace {

class RunFilterTest : public testing::Test {
protected:
    void SetUp() override
    {
        base = scene.CreateNode(scene.Root(), "Base", "LOD=1\r\nlodBias=2");
        arm = scene.CreateNode(base, "Arm", "");
        hand = scene.CreateNode(arm, "Hand", "grip=1\r\n\r\nlod=2");
        lamp = scene.CreateNode(scene.Root(), "Lamp", "light=spot");
    }
    FilterResult Run(MatchMode mode, const char* pattern)
    {
        LineMatcher matcher;
        EXPECT_TRUE(matcher.Compile(mode, pattern));
        std::atomic<bool> cancel{false};
        FilterResult result;
        EXPECT_TRUE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
        return result;
    }

    Scene scene;
    SceneNode* base = nullptr;
    SceneNode* arm = nullptr;
    SceneNode* hand = nullptr;
    SceneNode* lamp = nullptr;
};

TEST_F(RunFilterTest, ShowsMatchesWithTheirAncestorsAsContextAndCountsThem)
{
    const FilterResult result = Run(MatchMode::Contains, "lod");
    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].node, base);
    EXPECT_FALSE(result.rows[0].context);
    EXPECT_EQ(result.rows[1].node, arm);
    EXPECT_TRUE(result.rows[1].context) << "shown as the way to Hand";
    EXPECT_EQ(result.rows[2].node, hand);
    EXPECT_EQ(result.rows[2].matchCount, 1);
    EXPECT_EQ(result.matchedLineStarts[result.rows[2].firstMatch], 10) << "where lod=2 starts";
    EXPECT_EQ(result.CountText(), "2 nodes, 3 lines match");
    NodeTab matches;
    result.CollectMatchingNodes(matches);
    ASSERT_EQ(matches.Count(), 2);
    EXPECT_EQ(matches[1], hand);

    EXPECT_EQ(Run(MatchMode::StartsWith, "light").CountText(), "1 node, 1 line matches");
    EXPECT_EQ(Run(MatchMode::StartsWith, "nothing").rows.size(), 0u);
}

TEST_F(RunFilterTest, AncestorsComeBeforeTheirMatchTopDownAndAReusedResultHoldsOnlyItsOwnRows)
{
    LineMatcher matcher;
    ASSERT_TRUE(matcher.Compile(MatchMode::StartsWith, "grip"));
    std::atomic<bool> cancel{false};
    FilterResult result = Run(MatchMode::Contains, "=");  // every node with a text
    ASSERT_TRUE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
    ASSERT_EQ(result.rows.size(), 3u);
    EXPECT_EQ(result.rows[0].node, base);
    EXPECT_TRUE(result.rows[0].context);
    EXPECT_EQ(result.rows[1].node, arm);
    EXPECT_TRUE(result.rows[1].context);
    EXPECT_EQ(result.rows[2].node, hand);
    EXPECT_EQ(result.rows[2].firstMatch, 0);
    EXPECT_EQ(result.matchedLineStarts, std::vector<int>{0});
    EXPECT_EQ(result.CountText(), "1 node, 1 line matches");
}

TEST_F(RunFilterTest, CountsLinesTooComplexAndStopsWhenCancelled)
{
    lamp->SetUserPropText(CStr(std::string(3000, 'a').c_str()));
    EXPECT_EQ(Run(MatchMode::RegularExpression, "(a|aa)*c").CountText(),
              "0 nodes, 0 lines match (1 too complex to search)");

    LineMatcher matcher;
    matcher.Compile(MatchMode::Contains, "lod");
    std::atomic<bool> cancel{true};
    FilterResult result;
    EXPECT_FALSE(RunFilter(*NodeListing::Take(scene), matcher, cancel, result));
}

// The worker as the filter bar drives it: each search it finished, heard on its thread.
class FilterWorker : public RunFilterTest {
protected:
    std::shared_ptr<SearchWorker::Job> Job(unsigned generation, const char* pattern)
    {
        auto job = std::make_shared<SearchWorker::Job>();
        job->nodes = NodeListing::Take(scene);
        EXPECT_TRUE(job->matcher.Compile(MatchMode::RegularExpression, pattern));
        job->generation = generation;
        return job;
    }
    // The generations heard once one of them is wanted, or after ten seconds.
    std::vector<unsigned> HeardOnce(unsigned wanted)
    {
        std::unique_lock<std::mutex> lock(mutex);
        heard.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::find(finished.begin(), finished.end(), wanted) != finished.end();
        });
        return finished;
    }

    std::mutex mutex;
    std::condition_variable heard;
    std::vector<unsigned> finished;
    unsigned failing = 0;  // the generation whose delivery throws
    SearchWorker worker{[this](const SearchWorker::Job& job) {
        std::lock_guard<std::mutex> lock(mutex);
        if (job.generation == failing) throw std::runtime_error("no room for the rows");
        finished.push_back(job.generation);
        heard.notify_all();
    }};
};

TEST_F(FilterWorker, StopReadingWaitsUntilNoSearchReadsTheTextsAndTheNextStillRuns)
{
    // Lines the expression gives up on one after the other: seconds of work if not stopped.
    std::string hostile;
    for (int i = 0; i < 200; ++i) hostile += std::string(3000, 'a') + "\n";
    lamp->SetUserPropText(CStr(hostile.c_str()));
    auto slow = Job(1, "(a|aa)*c");
    worker.Start(slow);
    worker.StopReading();
    EXPECT_FALSE(worker.Reading());

    lamp->SetUserPropText(CStr("light=spot"));
    auto next = Job(2, "^light");
    worker.Start(next);
    EXPECT_EQ(HeardOnce(2), std::vector<unsigned>{2}) << "the stopped search is not heard of";
    EXPECT_FALSE(slow->finished);
    EXPECT_EQ(next->result.CountText(), "1 node, 1 line matches");
}

TEST_F(FilterWorker, AFailedDeliveryIsReportedAndTheThreadGoesOn)
{
    static std::atomic<int> reports{0};
    reports = 0;
    SetFailureReporter([](Failure, const char*, void*) { ++reports; }, nullptr);
    failing = 1;
    worker.Start(Job(1, "^light"));
    for (int wait = 0; wait < 1000 && reports == 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(reports, 1);
    worker.Start(Job(2, "^LOD"));
    EXPECT_EQ(HeardOnce(2), std::vector<unsigned>{2}) << "the next search is still run";
    worker.Stop();
    SetFailureReporter(nullptr, nullptr);
}

}  // namespace

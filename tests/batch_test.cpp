#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "batch.h"

namespace {

using Words = std::vector<std::string>;
using Json = nlohmann::json;

TEST(BatchOptions, OptionsGoAnywhereAndTheirValuesAreChecked)
{
    BatchOptions options;
    std::string problem;
    ASSERT_TRUE(ParseBatchOptions({"--keep-going", "fix.script", "a.gltf", "--report", "-",
                                   "b c.gltf", "--scenes-from", "list.txt", "--show"},
                                  options, problem));
    EXPECT_EQ(options.script, "fix.script");
    EXPECT_EQ(options.scenes, (Words{"a.gltf", "b c.gltf"}));
    EXPECT_EQ(options.report, "-");
    EXPECT_EQ(options.scenesFrom, "list.txt");
    EXPECT_TRUE(options.keepGoing && options.show);

    const struct {
        Words args;
        const char* problem;
    } refused[] = {
        {{}, "scenehost: --script needs a script file (- reads the standard input)"},
        {{"--keep-going"}, "scenehost: --script needs a script file (- reads the standard input)"},
        {{"fix.script", "--report"}, "scenehost: --report needs a file (- for the standard output)"},
        {{"fix.script", "--scenes-from", ""},
         "scenehost: --scenes-from needs a file (- for the standard input)"},
        {{"-", "--scenes-from", "-"},
         "scenehost: the script and the scene list cannot both come from the standard input"},
    };
    for (const auto& each : refused) {
        EXPECT_FALSE(ParseBatchOptions(each.args, options, problem));
        EXPECT_EQ(problem, each.problem);
    }
}

TEST(SceneList, OnePathALineKeptAsWritten)
{
    std::vector<std::string> scenes;
    ScriptSyntaxError error;
    ASSERT_TRUE(ReadSceneList("\xEF\xBB\xBF" "a.gltf\r\n\n lib/my desk.scene \nlib/S\xC3\xA4le/\xE6\x97\xA5.gltf",
                              scenes, error));
    EXPECT_EQ(scenes, (Words{"a.gltf", " lib/my desk.scene ", "lib/S\xC3\xA4le/\xE6\x97\xA5.gltf"}));
    ASSERT_TRUE(ReadSceneList("", scenes, error));
    EXPECT_TRUE(scenes.empty()) << "an empty slice runs no scene";

    const struct {
        std::string list;
        int line;
        const char* problem;
    } refused[] = {
        {std::string("a\nb\0c\n", 6), 2, "a file name cannot hold a NUL byte"},
        {"a\rb\rc\r", 1, "a file name cannot hold a carriage return"},
        {std::string("\xFF\xFE" "a\0\n\0", 6), 0, "the list is UTF-16; save it as UTF-8"},
        {std::string("a\0.\0g\0l\0t\0f\0", 12), 0, "the list is UTF-16; save it as UTF-8"},
    };
    for (const auto& each : refused) {
        EXPECT_FALSE(ReadSceneList(each.list, scenes, error));
        EXPECT_EQ(error.line, each.line);
        EXPECT_EQ(error.message, each.problem);
    }
}

SceneResult Result(const char* file, ScriptExit code, int nodes, bool saved)
{
    SceneResult result;
    result.file = file;
    result.code = code;
    result.nodesChanged = nodes;
    result.saved = saved;
    result.milliseconds = 10.04;
    if (code != kExitPassed) {
        result.line = 4;
        result.message = "fix.script:4: expected \"x\"";
    }
    return result;
}

TEST(BatchReport, ASceneLineSaysHowItWent)
{
    const Json line = Json::parse(ReportSceneLine(Result("lib/S\xC3\xA4le a.gltf", kExitExpectFailed, 3, false)));
    EXPECT_EQ(line, Json::parse(R"({"file": "lib/Säle a.gltf", "result": "failed", "exit": 1,
        "line": 4, "message": "fix.script:4: expected \"x\"", "nodesChanged": 3, "saved": false,
        "ms": 10.0})"));
    const Json unnamed = Json::parse(ReportSceneLine(Result("", kExitPassed, 0, false)));
    EXPECT_TRUE(unnamed["file"].is_null() && unnamed["line"].is_null()) << unnamed;
    const Json odd = Json::parse(ReportSceneLine(Result("bad\xFFname", kExitError, 0, false)));
    EXPECT_EQ(odd["file"], "bad\xEF\xBF\xBDname") << "a name that is not UTF-8 still makes JSON";
    EXPECT_EQ(odd["result"], "error");
}

TEST(BatchReport, TheExitStatusIsTheWorstOutcome)
{
    const struct {
        std::vector<ScriptExit> scenes;
        bool interrupted;
        ScriptExit exit;
    } cases[] = {
        {{}, false, kExitPassed},
        {{kExitPassed, kExitPassed}, false, kExitPassed},
        {{kExitPassed, kExitExpectFailed}, false, kExitExpectFailed},
        {{kExitError, kExitExpectFailed, kExitPassed}, false, kExitError},
        {{kExitPassed}, true, kExitInterrupted},
    };
    for (const auto& each : cases) {
        BatchSummary summary;
        for (ScriptExit code : each.scenes) summary.Add(Result("a", code, 2, code == kExitPassed));
        if (each.interrupted) summary.Interrupted();
        EXPECT_EQ(summary.Exit(), each.exit);
        EXPECT_EQ(Json::parse(summary.Line())["summary"]["exit"], each.exit);
    }
}

std::string Report(const std::vector<SceneResult>& results, int planned, bool closed)
{
    std::string text = ReportStartLine("fix.script", planned);
    BatchSummary summary;
    for (const SceneResult& result : results) {
        text += ReportSceneLine(result);
        summary.Add(result);
    }
    summary.NotRun(planned - static_cast<int>(results.size()));
    return text + (closed ? summary.Line() : "");
}

TEST(ReportJoin, SlicesAddUpToTheLibrary)
{
    ReportJoin join;
    join.Add("000.report", Report({Result("a", kExitPassed, 5, true), Result("b", kExitExpectFailed, 0, false)}, 2, true));
    join.Add("001.report", Report({Result("c", kExitPassed, 7, true)}, 1, true));
    join.Add("002.report", Report({}, 0, true));
    EXPECT_TRUE(join.Problems().empty());
    EXPECT_EQ(std::count(join.SceneLines().begin(), join.SceneLines().end(), '\n'), 3);
    const Json summary = Json::parse(join.Summary().Line())["summary"];
    EXPECT_EQ(summary, Json::parse(R"({"scenes": 3, "ok": 2, "failed": 1, "error": 0,
        "notRun": 0, "nodesChanged": 12, "saved": 2, "ms": 30.0, "interrupted": false,
        "exit": 1})"));
}

TEST(ReportJoin, AKilledOrUnreadableSliceIsCountedAndNamed)
{
    ReportJoin join;
    join.Add("000.report", Report({Result("a", kExitPassed, 5, true)}, 4, false));
    join.Add("001.report", Report({Result("b", kExitPassed, 1, true)}, 1, true) + "{\"file\": \n");
    join.Unreadable("002.report: cannot be opened");
    EXPECT_EQ(join.Problems(),
              (Words{"000.report: the batch ended before its summary line (it was stopped or killed)",
                     "001.report:4: not a line of a scenehost report", "002.report: cannot be opened"}));
    const Json summary = Json::parse(join.Summary().Line())["summary"];
    EXPECT_EQ(summary["scenes"], 2);
    EXPECT_EQ(summary["notRun"], 3) << "the killed slice's scenes it did not get to";
    EXPECT_EQ(summary["exit"], kExitInterrupted);

    ReportJoin stopped;
    stopped.Add("000.report", Report({Result("a", kExitError, 0, false)}, 3, true));
    EXPECT_EQ(Json::parse(stopped.Summary().Line())["summary"]["notRun"], 2)
        << "a slice that stopped at its first failure";
    EXPECT_EQ(stopped.Summary().Exit(), kExitError);
}

}  // namespace

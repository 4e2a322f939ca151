#include "batch.h"

#include <cmath>

#include <nlohmann/json.hpp>


namespace {

using Json = nlohmann::ordered_json;

// File names are the user's bytes: any that are not UTF-8 show as U+FFFD rather than fail.
std::string JsonLine(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

double Tenths(double milliseconds) { return std::round(milliseconds * 10) / 10; }

const char* ResultName(ScriptExit code)
{
    switch (code) {
    case kExitPassed: return "ok";
    case kExitExpectFailed: return "failed";
    default: return "error";
    }
}

// A report line's fields; a missing or mistyped one reads as none.
Json Field(const Json& object, const char* key)
{
    const auto field = object.find(key);
    return field != object.end() ? *field : Json();
}

int IntegerField(const Json& object, const char* key)
{
    const Json field = Field(object, key);
    return field.is_number_integer() ? field.get<int>() : 0;
}

bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value,
               const char* need, std::string& problem)
{
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        problem = "scenehost: " + args[i] + " needs " + need;
        return false;
    }
    value = args[++i];
    return true;
}

}  // namespace

bool ParseBatchOptions(const std::vector<std::string>& args, BatchOptions& options,
                       std::string& problem)
{
    options = BatchOptions();
    bool haveScript = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--show") {
            options.show = true;
        } else if (arg == "--keep-going") {
            options.keepGoing = true;
        } else if (arg == "--report") {
            if (!TakeValue(args, i, options.report, "a file (- for the standard output)", problem))
                return false;
        } else if (arg == "--scenes-from") {
            if (!TakeValue(args, i, options.scenesFrom, "a file (- for the standard input)",
                           problem))
                return false;
        } else if (!haveScript) {
            options.script = arg;
            haveScript = true;
        } else {
            options.scenes.push_back(arg);
        }
    }
    if (!haveScript) {
        problem = "scenehost: --script needs a script file (- reads the standard input)";
        return false;
    }
    if (options.script == "-" && options.scenesFrom == "-") {
        problem = "scenehost: the script and the scene list cannot both come from the standard input";
        return false;
    }
    return true;
}

bool ReadSceneList(const std::string& bytes, std::vector<std::string>& scenes,
                   ScriptSyntaxError& problem)
{
    scenes.clear();
    if (IsUtf16Text(bytes)) {
        problem = {0, "the list is UTF-16; save it as UTF-8"};
        return false;
    }
    FileLines lines(bytes);
    std::string line;
    while (lines.Next(line)) {
        if (line.find('\0') != std::string::npos || line.find('\r') != std::string::npos) {
            const bool nul = line.find('\0') != std::string::npos;
            problem = {lines.Number(), std::string("a file name cannot hold ") +
                                           (nul ? "a NUL byte" : "a carriage return")};
            return false;
        }
        if (!line.empty()) scenes.push_back(line);
    }
    return true;
}

void BatchSummary::Add(const SceneResult& result)
{
    ++scenes_;
    if (result.code == kExitPassed)
        ++ok_;
    else if (result.code == kExitExpectFailed)
        ++failed_;
    else
        ++errors_;
    nodesChanged_ += result.nodesChanged;
    saved_ += result.saved ? 1 : 0;
    milliseconds_ += result.milliseconds;
}

ScriptExit BatchSummary::Exit() const
{
    if (interrupted_) return kExitInterrupted;
    if (errors_ > 0 || trouble_) return kExitError;
    return failed_ > 0 ? kExitExpectFailed : kExitPassed;
}

std::string BatchSummary::Line() const
{
    Json summary;
    summary["scenes"] = scenes_;
    summary["ok"] = ok_;
    summary["failed"] = failed_;
    summary["error"] = errors_;
    summary["notRun"] = notRun_;
    summary["nodesChanged"] = nodesChanged_;
    summary["saved"] = saved_;
    summary["ms"] = Tenths(milliseconds_);
    summary["interrupted"] = interrupted_;
    summary["exit"] = static_cast<int>(Exit());
    return JsonLine(Json{{"summary", summary}});
}

std::string ReportStartLine(const std::string& script, int scenes)
{
    return JsonLine(Json{{"start", Json{{"script", script}, {"scenes", scenes}}}});
}

std::string ReportSceneLine(const SceneResult& result)
{
    Json line;
    line["file"] = result.file.empty() ? Json() : Json(result.file);
    line["result"] = ResultName(result.code);
    line["exit"] = static_cast<int>(result.code);
    line["line"] = result.line > 0 ? Json(result.line) : Json();
    line["message"] = result.message;
    line["nodesChanged"] = result.nodesChanged;
    line["saved"] = result.saved;
    line["ms"] = Tenths(result.milliseconds);
    return JsonLine(line);
}

void ReportJoin::Add(const std::string& name, const std::string& text)
{
    int expected = -1;  // scenes the batch set out to run; -1 before its opening line
    int seen = 0;
    bool closed = false;
    FileLines lines(text);
    std::string line;
    while (lines.Next(line)) {
        if (line.empty()) continue;
        const Json value = Json::parse(line, nullptr, false);
        const std::string where = name + ":" + std::to_string(lines.Number()) + ": ";
        if (!value.is_object()) {
            Problem(where + "not a line of a scenehost report");
        } else if (Field(value, "start").is_object()) {
            expected = IntegerField(Field(value, "start"), "scenes");
        } else if (Field(value, "summary").is_object()) {
            // What the slice's batch left undone, stopped at a failure or by the user.
            const Json summary = Field(value, "summary");
            summary_.NotRun(IntegerField(summary, "notRun"));
            if (Field(summary, "interrupted") == true) summary_.Interrupted();
            closed = true;
        } else if (value.contains("file") && Field(value, "exit").is_number_integer()) {
            SceneResult result;
            const int code = IntegerField(value, "exit");
            result.code = code == 0 ? kExitPassed : code == 1 ? kExitExpectFailed : kExitError;
            result.nodesChanged = IntegerField(value, "nodesChanged");
            result.saved = Field(value, "saved") == true;
            const Json ms = Field(value, "ms");
            result.milliseconds = ms.is_number() ? ms.get<double>() : 0;
            summary_.Add(result);
            lines_ += line + "\n";
            ++seen;
        } else {
            Problem(where + "not a line of a scenehost report");
        }
    }
    if (closed) return;
    summary_.Interrupted();
    if (expected > seen) summary_.NotRun(expected - seen);
    Problem(name + ": the batch ended before its summary line (it was stopped or killed)");
}

void ReportJoin::Unreadable(const std::string& problem) { Problem(problem); }

void ReportJoin::Problem(const std::string& line)
{
    problems_.push_back(line);
    summary_.Trouble();
}

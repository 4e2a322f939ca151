// A script's batch over many scenes, without windows: the command line, the list of scenes,
// the report's JSON lines and the join of the reports that the slices of a library wrote.
#pragma once

#include <string>
#include <vector>

#include "scriptcommands.h"
#include "scriptlanguage.h"

// scenehost --script FILE [SCENE...] [--show] [--keep-going] [--report FILE]
//                         [--scenes-from FILE]
struct BatchOptions {
    std::string script;               // "-" reads the standard input
    std::vector<std::string> scenes;  // named on the command line
    std::string scenesFrom;           // a list of scenes, one a line; "-" the standard input
    std::string report;               // "-" the standard output; "" none
    bool keepGoing = false;
    bool show = false;
};

// False, with the line to print, for a command line that cannot run.
bool ParseBatchOptions(const std::vector<std::string>& args, BatchOptions& options,
                       std::string& problem);

// The paths of a scene list: one a line (LF or CR LF), kept as written, empty lines skipped.
// False, with the line and what is wrong, for a list that cannot be one.
bool ReadSceneList(const std::string& bytes, std::vector<std::string>& scenes,
                   ScriptSyntaxError& problem);

// What one scene's run came to.
struct SceneResult {
    std::string file;  // "" for the run on the empty scene
    ScriptExit code = kExitPassed;
    int line = 0;         // the script's line; 0 when the message names its own place
    std::string message;  // as printed on standard error, without the scene's name
    int nodesChanged = 0;
    bool saved = false;
    double milliseconds = 0;
};

class BatchSummary {
public:
    void Add(const SceneResult& result);
    void NotRun(int scenes) { notRun_ += scenes; }
    void Interrupted() { interrupted_ = true; }
    void Trouble() { trouble_ = true; }  // a report that could not be read, say
    // 3 when interrupted, else 2 when any scene could not be handled, 1 when an expect
    // failed, 0 when every scene passed.
    ScriptExit Exit() const;

    std::string Line() const;  // the report's closing line

private:
    int scenes_ = 0;
    int ok_ = 0;
    int failed_ = 0;
    int errors_ = 0;
    int notRun_ = 0;
    long long nodesChanged_ = 0;
    int saved_ = 0;
    double milliseconds_ = 0;
    bool interrupted_ = false;
    bool trouble_ = false;
};

// The report's opening line, with the number of scenes the batch is to run; then one line
// per scene.
std::string ReportStartLine(const std::string& script, int scenes);
std::string ReportSceneLine(const SceneResult& result);

// Merges the reports of a batch's slices: their scene lines as they are, then one summary of
// them all. A report without its closing line (its batch was killed) counts the scenes it
// did not get to as not run, and the whole as interrupted.
class ReportJoin {
public:
    void Add(const std::string& name, const std::string& text);
    void Unreadable(const std::string& problem);  // a report that could not be read
    const std::string& SceneLines() const { return lines_; }
    const BatchSummary& Summary() const { return summary_; }
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    void Problem(const std::string& line);

    std::string lines_;
    BatchSummary summary_;
    std::vector<std::string> problems_;
};

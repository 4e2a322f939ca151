// The script reader on any bytes: it never crashes, and every word it reads comes back
// unchanged from the script text the runner prints for it. A batch's scene list and the join
// of its reports take the same bytes without crashing.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch.h"
#include "scriptlanguage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> scenes;
    ScriptSyntaxError listError;
    ReadSceneList(text, scenes, listError);
    ReportJoin join;
    join.Add("report", text);
    join.Summary().Line();
    std::vector<ScriptCommand> commands;
    ScriptSyntaxError error;
    if (!ParseScript(text, commands, error)) return 0;
    static Scene scene;
    for (const ScriptCommand& command : commands) {
        for (const std::string& arg : command.args) {
            std::vector<std::string> words;
            std::string problem;
            if (!SplitScriptLine(ScriptWord(arg), words, problem) || words.size() != 1 ||
                words[0] != arg)
                std::abort();
            FindNodeByPath(scene, arg);
        }
    }
    return 0;
}

// Figures for the Find/Replace work on a large scene: the whole-scene search, a removal over
// every node with its undo records, and undo and redo of that step.
//
//   propbench [nodes] [lines-per-node]      (defaults 20000 and 12)
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hold.h"
#include "propertyruns.h"
#include "scene.h"

namespace {

class AlwaysIgnoreAll : public MatchQuestions {
public:
    int AskMultiMatch(SceneNode*, const CStr&) override { return kMultiMatchIgnoreAll; }
    int AskReplace(SceneNode*, const CStr&, const CStr&) override { return kConfirmReplaceAll; }
};

double MegabytesInUse()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / (1024.0 * 1024.0);
}

template <class Work>
double Milliseconds(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BuildScene(Scene& scene, int nodes, int lines)
{
    SceneNode* group = nullptr;
    for (int i = 0; i < nodes; ++i) {
        std::string text;
        for (int line = 0; line < lines; ++line)
            text += (line % 4 == 0 ? "LOD=" : "key" + std::to_string(line) + "=") +
                    std::to_string(i) + "\r\n";
        if (i % 100 == 0) group = scene.CreateNode(nullptr, ("Group" + std::to_string(i)).c_str());
        scene.CreateNode(group, ("Node" + std::to_string(i)).c_str(), text.c_str());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int nodes = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 12;
    if (nodes <= 0 || lines <= 0) {
        std::fprintf(stderr, "propbench: nodes and lines must be positive numbers\n");
        return 2;
    }
    Scene scene;
    const double baseMemory = MegabytesInUse();
    const double buildTime = Milliseconds([&] { BuildScene(scene, nodes, lines); });
    const double sceneMemory = MegabytesInUse();

    NodeTab matches;
    UserPropLines lineList;
    const double searchTime = Milliseconds([&] {
        for (int i = 0; i < scene.Root()->ChildCount(); ++i)
            CollectMatchingNodes(scene.Root()->Child(i), lineList, CStr("lod"), matches);
    });

    NodeTab all;
    scene.CollectNodes(all);
    AlwaysIgnoreAll answers;
    RunOutcome outcome;
    const double removeTime = Milliseconds([&] {
        theHold.Begin();
        outcome = RemoveMatchingLines(all, CStr("lod"), answers);
        theHold.Accept("Remove Property");
    });
    const double undoMemory = MegabytesInUse();
    const double undoTime = Milliseconds([] { theHold.Undo(); });
    const double redoTime = Milliseconds([] { theHold.Redo(); });

    std::printf("scene: %d nodes of %d lines, built in %.0f ms, %.1f MB\n", nodes, lines, buildTime,
                sceneMemory - baseMemory);
    std::printf("search & select walk: %d matching nodes in %.1f ms (%.2f us per node)\n",
                matches.Count(), searchTime, 1000.0 * searchTime / scene.NodeCount());
    std::printf("remove property: %d nodes rewritten in %.1f ms, undo records %.1f MB\n",
                outcome.changed, removeTime, undoMemory - sceneMemory);
    std::printf("undo: %.1f ms, redo: %.1f ms\n", undoTime, redoTime);
    theHold.Clear();
    return 0;
}

// Figures for the user's path on a large scene. The real main window runs with both plug-ins
// loaded from the program's folder; every action is sent as the messages a click or a key
// sends (menu commands, BM_CLICK on the floaters' buttons, WM_SETTEXT into their fields, a
// Ctrl+click on a row), questions are answered Ignore All / Replace All, and each action is
// timed until the application is idle again. A plain std::string scan of the same texts, in
// the same process, is the yardstick.
//
//   hostbench [--sizes 10000,100000,1000000] [--runs 5] [--chain 100000] [--lines 12]
//             [--file-only]      (the scene file's own steps only, without the windows)
//             [--open-and-save]  (those, then through the windows only open and save)
//             [--table-only]     (open, 10,001 nodes selected, then the property table's steps)
//   hostbench --gltf FILE,FILE,... [--peer FIGURES] [--runs 3]
//
// The second form times glTF files (bench/gltfbench.sh makes them and runs it) against one
// SAX pass over the same bytes, with the peer library's figures read from FIGURES. Each scene
// runs in a process of its own, so that its peak memory is its own.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "coreinterface.h"
#include "floaterids.h"
#include "frame_ids.h"
#include "handles.h"
#include "hold.h"
#include "mainwindow.h"
#include "propertyruns.h"
#include "questionanswerer.h"
#include "rapidjson/reader.h"
#include "resource.h"
#include "fileio.h"
#include "sceneformat.h"
#include "scenetext.h"

namespace {

const int kEditorEntry = 1;  // in the utility chooser

struct Options {
    std::vector<int> sizes = {10000, 100000, 1000000};
    int runs = 5;
    int chain = 100000;  // 0: none
    int lines = 12;
    // Set in the process that runs one scene.
    int childNodes = 0;
    bool childChain = false;
    bool fileOnly = false;     // the scene file's steps only, no windows
    bool openAndSave = false;  // those, then open, Select All, Select None and save
    bool tableOnly = false;    // open, then the property table's steps only
    std::string childGltf;
    std::string out;
    std::vector<std::string> gltf;
    std::string peer;
};

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string ProgramPath()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

// --- The generated scene -------------------------------------------------------------------

// Node i's text: lines that Find/Replace commands look for in known shares of the nodes.
std::string NodeText(int i, int lines)
{
    std::string text;
    for (int line = 0; line < lines; ++line) {
        if (line > 0) text += "\r\n";
        switch (line) {
        case 0: text += "LOD=" + std::to_string(i % 4); break;
        case 1: text += "lodBias=" + std::to_string(i % 7); break;
        case 2: text += "export=static"; break;
        case 3: text += i % 20 == 0 ? "tag=hit" : "tag=miss"; break;      // 5 %
        case 4: text += i % 10 == 0 ? "group=ten" : "group=rest"; break;  // 10 %
        default: text += "key" + std::to_string(line) + "=value" + std::to_string(i); break;
        }
    }
    return text;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

// nodes of lines each in groups of a hundred (a top-level node and 99 children), or a chain
// of nodes each the child of the one before.
std::string SceneFile(int nodes, int lines, bool chain, std::vector<std::string>& texts)
{
    std::string file = "scene 1\n";
    texts.clear();
    for (int i = 0; i < nodes; ++i) {
        const int depth = chain ? i + 1 : (i % 100 == 0 ? 1 : 2);
        texts.push_back(chain ? "depth=" + std::to_string(depth) : NodeText(i, lines));
        file += "node " + std::to_string(depth) + " \"Node" + std::to_string(i) + "\"\n";
        file += "props \"" + Escaped(texts.back()) + "\"\n";
    }
    return file;
}

// --- The plain yardstick: the same texts as std::string ------------------------------------

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool BeginsWithIgnoringCase(const char* text, size_t length, const std::string& find)
{
    if (length < find.size()) return false;
    for (size_t i = 0; i < find.size(); ++i)
        if (Lower(text[i]) != Lower(find[i])) return false;
    return true;
}

// Calls line(start, length) for each non-empty line of text.
template <class Line>
void ForEachLine(const std::string& text, Line line)
{
    const char* p = text.c_str();
    while (*p) {
        if (*p == '\r' || *p == '\n') {
            ++p;
            continue;
        }
        const char* start = p;
        while (*p && *p != '\r' && *p != '\n') ++p;
        if (!line(start, static_cast<size_t>(p - start))) return;
    }
}

int PlainSearch(const std::vector<std::string>& texts, const std::string& find)
{
    int found = 0;
    for (const std::string& text : texts) {
        bool match = false;
        ForEachLine(text, [&](const char* line, size_t length) {
            match = BeginsWithIgnoringCase(line, length, find);
            return !match;
        });
        found += match;
    }
    return found;
}

// Rewrites each text without its matching lines (or with them replaced), keeping the old text
// as an undo history would.
int PlainRewrite(std::vector<std::string>& texts, const std::vector<int>& which,
                 const std::string& find, const std::string* replace,
                 std::vector<std::string>& history)
{
    int changed = 0;
    for (int index : which) {
        std::string& text = texts[index];
        std::string rewritten;
        bool any = false;
        ForEachLine(text, [&](const char* line, size_t length) {
            const bool match = BeginsWithIgnoringCase(line, length, find);
            any = any || match;
            if (match && !replace) return true;
            if (!rewritten.empty()) rewritten += "\r\n";
            if (match) rewritten += *replace;
            else rewritten.append(line, length);
            return true;
        });
        if (!any) continue;
        history.push_back(std::move(text));
        text = std::move(rewritten);
        ++changed;
    }
    return changed;
}

// --- Measuring ------------------------------------------------------------------------------

size_t PeakMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize >> 20;
}

// Bytes in use in every heap of the process, block by block.
long long HeapBytesInUse()
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long long bytes = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData + entry.cbOverhead;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

// Each action's figures, in the order the actions first ran.
class Results {
public:
    void Add(const std::string& action, double value) { Values(action).push_back(value); }
    void Set(const std::string& action, double value) { Values(action) = {value}; }
    void Write(const std::string& path) const
    {
        std::ofstream out(path);
        for (const auto& entry : values_) out << entry.first << '\t' << Median(entry.second) << '\n';
    }

private:
    std::vector<double>& Values(const std::string& action)
    {
        for (auto& entry : values_)
            if (entry.first == action) return entry.second;
        values_.emplace_back(action, std::vector<double>());
        return values_.back().second;
    }
    std::vector<std::pair<std::string, std::vector<double>>> values_;
};

class AlwaysAll : public MatchQuestions {
public:
    int AskMultiMatch(SceneNode*, const CStr&) override { return kMultiMatchIgnoreAll; }
    int AskReplace(SceneNode*, const CStr&, const CStr&) override { return kConfirmReplaceAll; }
};

// --- The application as the user drives it --------------------------------------------------

class Session {
public:
    explicit Session(Results& results) : results_(results) {}

    bool Start()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        std::vector<std::string> errors;
        window_.Utilities().LoadPlugins(FolderOf(ProgramPath()), errors);
        for (const std::string& error : errors) std::fprintf(stderr, "hostbench: %s\n", error.c_str());
        if (window_.Utilities().Plugins().size() != 2) {
            std::fprintf(stderr, "hostbench: both plug-ins must lie beside the program\n");
            return false;
        }
        if (!window_.Create(GetModuleHandleA(nullptr), SW_SHOW)) return false;
        CoreInterface::Instance().NotifyCallbacks();
        Pump();
        return true;
    }

    // Every message the action left behind is handled: the application is idle again.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (window_.TranslateKeyboard(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    // answers: the button that answers each question the action asks, in order. Any other
    // question is a failed action, noted and closed.
    double Time(const std::string& action, const std::function<void()>& work,
                const std::vector<int>& answers = {})
    {
        for (int button : answers) answerer_.Queue(0, {AnswerAction::Button(button)});
        const Clock::time_point start = Clock::now();
        work();
        Pump();
        const double elapsed = MillisecondsSince(start);
        results_.Add(action, elapsed);
        answerer_.Settle();
        if (!answerer_.Failure().reason.empty() || answerer_.Pending())
            std::fprintf(stderr, "hostbench: %s: %s\n", action.c_str(),
                         answerer_.Pending() ? "a question did not come"
                                             : answerer_.Failure().reason.c_str());
        answerer_.Reset();
        std::fprintf(stderr, "  %-36s %9.1f ms  %s\n", action.c_str(), elapsed, Status().c_str());
        return elapsed;
    }

    void Command(int id) { SendMessageA(window_.Window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // A click on the header of key's column, until the sorted rows are shown: clicked gets
    // the click's own time, longest the longest the window's thread was away from its
    // messages after it.
    void SortByClick(const std::string& key, double& clicked, double& longest)
    {
        const NodeView& nodes = window_.Nodes();
        NMLISTVIEW click = {};
        click.hdr = {GetDlgItem(Main(), kNodeListId), static_cast<UINT_PTR>(kNodeListId),
                     static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iItem = -1;
        click.iSubItem = nodes.ListColumnOf(nodes.TableModel().Find(key));
        Clock::time_point start = Clock::now();
        SendMessageA(Main(), WM_NOTIFY, kNodeListId, reinterpret_cast<LPARAM>(&click));
        clicked = MillisecondsSince(start);
        longest = 0;
        while (nodes.Sorting()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                start = Clock::now();
                if (!window_.TranslateKeyboard(&msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
                longest = std::max(longest, MillisecondsSince(start));
            }
        }
    }
    void Note(const std::string& action, double value)
    {
        results_.Add(action, value);
        std::fprintf(stderr, "  %-36s %9.1f ms\n", action.c_str(), value);
    }
    std::string Status() const { return CoreInterface::Instance().StatusText(); }
    HWND Main() const { return window_.Window(); }
    MainWindow& Window() { return window_; }

    // Chooses how the node list's filter matches and types a pattern, as a user would, and
    // waits until the rows of that search are shown.
    void Filter(MatchMode mode, const char* pattern)
    {
        FilterBar& bar = window_.Filter();
        SendMessageA(bar.ModeBox(), CB_SETCURSEL, static_cast<int>(mode), 0);
        SendMessageA(bar.Window(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(bar.ModeBox()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(bar.ModeBox()));
        SetWindowTextA(bar.Field(), pattern);
        while (bar.Searching()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            Pump();
        }
    }

    HWND FindReplace()
    {
        if (!IsWindow(findReplace_)) {
            HMENU tools = GetSubMenu(GetMenu(Main()), 2);
            Command(GetMenuItemID(tools, GetMenuItemCount(tools) - 1));
            Pump();
            findReplace_ = FindWindowA(nullptr, "Find/Replace Properties");
        }
        return findReplace_;
    }

    // Types the two fields and clicks a button of the Find/Replace floater.
    void Click(int button, const char* find, const char* replace = "")
    {
        HWND floater = FindReplace();
        SetDlgItemTextA(floater, IDC_FIND_TEXT, find);
        SetDlgItemTextA(floater, IDC_REPLACE_TEXT, replace);
        SendMessageA(GetDlgItem(floater, button), BM_CLICK, 0, 0);
    }

    void ChooseEditorUtility()
    {
        HWND combo = GetDlgItem(Main(), kUtilityChooserId);
        SendMessageA(combo, CB_SETCURSEL, kEditorEntry, 0);
        SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(kUtilityChooserId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        Pump();
    }

    // Ctrl+click on a row, as the mouse sends it.
    void CtrlClickRow(int row)
    {
        HWND list = GetDlgItem(Main(), kNodeListId);
        SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
        RECT rect = {};
        rect.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at);
        SendMessageA(list, WM_LBUTTONUP, MK_CONTROL, at);
    }

private:
    Results& results_;
    QuestionAnswerer answerer_;
    MainWindow window_;
    HWND findReplace_ = nullptr;
};

std::string UndoName(const std::string& action, bool undo)
{
    return action + (undo ? ": undo" : ": redo");
}

// --- One scene, in its own process -----------------------------------------------------------

Scene& TheScene() { return CoreInterface::Instance().GetScene(); }

std::vector<SceneNode*> NodesMatching(const char* find)
{
    NodeTab found;
    SceneNode* root = TheScene().Root();
    for (int i = 0; i < root->ChildCount(); ++i) CollectMatchingNodes(root->Child(i), find, found);
    std::vector<SceneNode*> nodes;
    for (int i = 0; i < found.Count(); ++i) nodes.push_back(found[i]);
    return nodes;
}

NodeTab& Tab(const std::vector<SceneNode*>& nodes, NodeTab& tab)
{
    tab.SetCount(static_cast<int>(nodes.size()));
    for (size_t i = 0; i < nodes.size(); ++i) tab.Set(static_cast<int>(i), nodes[i]);
    return tab;
}

long long TextBytes(const std::vector<SceneNode*>& nodes)
{
    long long bytes = 0;
    for (SceneNode* node : nodes) bytes += node->UserPropText().Length();
    return bytes;
}

// The model's own work, without windows, against the plain scan of the same texts.
void TimeModel(const Options& options, std::vector<std::string> texts, Results& results)
{
    std::vector<int> tenth;
    for (int i = 0; i < options.childNodes; i += 10) tenth.push_back(i);
    const std::vector<SceneNode*> selected = NodesMatching("group=ten");
    NodeTab nodes;
    Tab(selected, nodes);
    AlwaysAll answers;
    for (int run = 0; run < options.runs; ++run) {
        Clock::time_point start = Clock::now();
        const int plainFound = PlainSearch(texts, "tag=hit");
        results.Add("plain search", MillisecondsSince(start));
        start = Clock::now();
        const int modelFound = static_cast<int>(NodesMatching("tag=hit").size());
        results.Add("model search", MillisecondsSince(start));
        if (plainFound != modelFound)
            std::fprintf(stderr, "hostbench: search found %d, plain %d\n", modelFound, plainFound);

        std::vector<std::string> history;
        std::vector<std::string> copy = texts;
        start = Clock::now();
        PlainRewrite(copy, tenth, "lod", nullptr, history);
        results.Add("plain remove", MillisecondsSince(start));
        const std::string replacement = "LOD=0";
        copy = texts;
        history.clear();
        start = Clock::now();
        PlainRewrite(copy, tenth, "LOD=", &replacement, history);
        results.Add("plain replace", MillisecondsSince(start));

        const long long heapBefore = run == 0 ? HeapBytesInUse() : 0;
        const long long changedText = TextBytes(selected);
        start = Clock::now();
        theHold.Begin();
        RemoveMatchingLines(nodes, "lod", answers);
        theHold.Accept("Remove Property");
        results.Add("model remove", MillisecondsSince(start));
        if (run == 0) {
            results.Set("undo memory / changed text", (HeapBytesInUse() - heapBefore) / double(changedText));
            theHold.Undo();
            results.Set("undo memory after an undo / changed text",
                        (HeapBytesInUse() - heapBefore) / double(changedText));
            theHold.Redo();
        }
        theHold.Undo();
        // The plain loop has no earlier step to drop either: the replace is timed without
        // discarding the removal's records, which its step would otherwise do first.
        theHold.Clear();
        start = Clock::now();
        theHold.Begin();
        ReplaceMatchingLines(nodes, "LOD=", "LOD=0", false, answers);
        theHold.Accept("Replace Property");
        results.Add("model replace", MillisecondsSince(start));
        theHold.Undo();
        theHold.Clear();
    }
}

// The node list's filter as typed, each until its rows are shown. The first pattern after a
// change also copies the texts the search runs over.
void TimeFilter(Session& session)
{
    session.Time("filter: first pattern after a change", [&] {
        session.Filter(MatchMode::Contains, "tag=hit");
    });
    session.Time("filter: contains (5 %)", [&] { session.Filter(MatchMode::Contains, "=hit"); });
    session.Time("filter: regular expression (5 %)", [&] {
        session.Filter(MatchMode::RegularExpression, "^tag=h.t$");
    });
    session.Time("filter: regular expression (every node)", [&] {
        session.Filter(MatchMode::RegularExpression, "^key1[01]=");
    });
    session.Time("filter: cleared", [&] { session.Filter(MatchMode::StartsWith, ""); });
}

// The property table with the 10,000 nodes picked before still selected: opened, sorted and
// each key edit over the selection, undone and redone; back where it was after each.
void TimeTable(Session& session)
{
    MainWindow& window = session.Window();
    session.Time("table: View > Property Table", [&] { session.Command(IDM_VIEW_TABLE); });
    double clicked = 0, longest = 0;
    session.Time("table: sort by a column", [&] { session.SortByClick("lodBias", clicked, longest); });
    session.Note("table: sort: the click alone", clicked);
    session.Note("table: sort: longest message after it", longest);
    session.Time("table: hierarchy order again", [&] { window.SortTable(""); });
    struct Edit {
        const char* action;
        const char* step;
        std::function<void()> run;
    };
    const Edit edits[] = {
        {"table: Set Property (10,000 selected)", "Set Property", [&] { window.SetKey("LOD", "9"); }},
        {"table: Remove Key (10,000 selected)", "Remove Key", [&] { window.RemoveKey("lodBias"); }},
        {"table: Rename Key (10,000 selected)", "Rename Key",
         [&] { window.RenameKey("export", "exported", false); }},
    };
    for (const Edit& edit : edits) {
        session.Time(edit.action, edit.run);
        session.Time(UndoName(std::string("table: ") + edit.step, true), [&] { session.Command(IDM_EDIT_UNDO); });
        session.Time(UndoName(std::string("table: ") + edit.step, false), [&] { session.Command(IDM_EDIT_REDO); });
        session.Command(IDM_EDIT_UNDO);
        session.Pump();
    }
    std::fprintf(stderr, "  table: first rows of keys sought again after %d of the 9 changes\n",
                 window.Nodes().TableModel().FirstsSought());
    session.Time("table: back to the lines view", [&] { session.Command(IDM_VIEW_LINES); });
}

// 10,000 nodes spread over the scene's rows.
void PickSpread(Session& session, int nodes)
{
    NodeTab picked;
    const int step = std::max(1, nodes / 10000);
    for (int i = 0, row = 0; i < 10000 && row < nodes; ++i, row += step)
        picked.Append(session.Window().Nodes().NodeAt(row), picked.Count() + 10);
    TheScene().PickNodes(picked);
    CoreInterface::Instance().DeliverChanges();
}

void TimeWindows(const Options& options, const std::string& path, Results& results)
{
    Session session(results);
    if (!session.Start()) std::exit(1);
    const int nodes = options.childNodes;
    for (int run = 0; run < options.runs; ++run) {
        std::fprintf(stderr, "run %d\n", run + 1);
        session.Time("open", [&] { session.Window().OpenScene(path); });
        session.Time("Select All", [&] { session.Command(IDM_EDIT_SELECT_ALL); });
        session.Time("Select None", [&] { session.Command(IDM_EDIT_SELECT_NONE); });
        if (options.childChain || options.openAndSave) {
            session.Time("save", [&] { session.Command(IDM_FILE_SAVE); });
            continue;
        }
        if (options.tableOnly) {  // the selection the full run's table steps start with
            PickSpread(session, nodes);
            session.CtrlClickRow(1);
            session.Pump();
            TimeTable(session);
            continue;
        }
        session.Time("Search & Select (5 %)", [&] { session.Click(IDC_SEARCH_SELECT, "tag=hit"); });
        session.Time(UndoName("Search & Select", true), [&] { session.Command(IDM_EDIT_UNDO); });
        session.Time(UndoName("Search & Select", false), [&] { session.Command(IDM_EDIT_REDO); });

        session.Click(IDC_SEARCH_SELECT, "group=ten");  // 10 % selected for the commands below
        session.Pump();
        // Each command asks once: a node with several matching lines, or a replacement.
        struct Run {
            const char* action;
            int button;
            const char* find;
            const char* replace;
            int menu;
            int answer;
        };
        const Run commands[] = {
            {"Remove Property (10 %)", IDC_REMOVE_PROPERTY, "lod", "", 0, kMultiMatchIgnoreAll},
            {"Replace (10 %)", IDC_REPLACE, "LOD=", "LOD=0", 0, kConfirmReplaceAll},
            {"Write to ALL! (10 %)", IDC_WRITE_ALL, "tag=hit", "tag=written", 0,
             kConfirmReplaceAll},
            {"Hide (10 %)", 0, "", "", IDM_EDIT_TOGGLE_HIDDEN, 0},
        };
        for (const Run& command : commands) {
            std::vector<int> answers;
            if (command.answer) answers.push_back(command.answer);
            session.Time(command.action, [&] {
                if (command.menu) session.Command(command.menu);
                else session.Click(command.button, command.find, command.replace);
            }, answers);
            const std::string name = std::string(command.action).substr(0, std::string(command.action).find(" ("));
            session.Time(UndoName(name, true), [&] { session.Command(IDM_EDIT_UNDO); });
            session.Time(UndoName(name, false), [&] { session.Command(IDM_EDIT_REDO); });
            session.Command(IDM_EDIT_UNDO);  // the scene as it was, for the next command
            session.Pump();
        }

        // 10,000 nodes spread over the scene, then the editor from its panel page.
        PickSpread(session, nodes);
        session.ChooseEditorUtility();
        session.Time("editor opened, 10,000 selected", [&] {
            HWND page = CoreInterface::Instance().PanelPage(0);
            SendMessageA(GetDlgItem(page, IDC_CREATE_FLOATER), BM_CLICK, 0, 0);
        });
        session.Time("one more node selected, editor open", [&] { session.CtrlClickRow(1); });
        if (HWND editor = FindWindowA(nullptr, "User Properties"))
            SendMessageA(editor, WM_COMMAND, IDCANCEL, 0);
        session.Pump();
        TimeFilter(session);
        TimeTable(session);
        session.Time("save", [&] { session.Command(IDM_FILE_SAVE); });
    }
    DestroyWindow(session.Main());
}

// The scene file's own steps, without windows: what open and save spend on the file.
void TimeSceneFile(const Options& options, const std::string& path, Results& results)
{
    const std::string copy = path + ".copy.scene";
    for (int run = 0; run < options.runs; ++run) {
        std::string bytes;
        SceneFileError error;
        FileStamp stamp;
        Clock::time_point start = Clock::now();
        const bool read = ReadWholeFile(path.c_str(), bytes, error, &stamp);
        results.Add("file: read and hash", MillisecondsSince(start));
        start = Clock::now();
        const bool parsed = read && ParseSceneText(bytes, TheScene(), error);
        results.Add("file: parse and build", MillisecondsSince(start));
        start = Clock::now();
        const std::string text = FormatSceneText(TheScene());
        results.Add("file: format", MillisecondsSince(start));
        DeleteFileA(copy.c_str());
        start = Clock::now();
        const bool fresh = WriteFileSafely(copy.c_str(), text, error, &stamp);
        results.Add("file: write a new file", MillisecondsSince(start));
        start = Clock::now();
        const bool over = fresh && WriteFileSafely(copy.c_str(), text, error, &stamp);
        results.Add("file: write over a file", MillisecondsSince(start));
        if (!over || text != bytes)
            std::fprintf(stderr, "hostbench: the scene file's steps failed: %s\n",
                         parsed ? error.message.c_str() : "it was not read back");
    }
    DeleteFileA(copy.c_str());
}

int RunScene(const Options& options)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "hostbench-" +
                             std::to_string(GetCurrentProcessId()) + ".scene";
    std::vector<std::string> texts;
    {
        std::ofstream file(path, std::ios::binary);
        file << SceneFile(options.childNodes, options.lines, options.childChain, texts);
    }
    Results results;
    if (!options.tableOnly) TimeSceneFile(options, path, results);
    if (options.fileOnly || options.openAndSave) {
        if (options.openAndSave) TimeWindows(options, path, results);
        results.Set("peak memory, MB", static_cast<double>(PeakMegabytes()));
        results.Write(options.out);
        DeleteFileA(path.c_str());
        return 0;
    }
    if (!options.childChain && !options.tableOnly) {
        SceneFileError error;
        if (!LoadSceneFile(path.c_str(), TheScene(), error)) {
            std::fprintf(stderr, "hostbench: %s\n", DescribeError(path.c_str(), error).c_str());
            return 1;
        }
        TimeModel(options, texts, results);
    }
    TimeWindows(options, path, results);
    results.Set("peak memory, MB", static_cast<double>(PeakMegabytes()));
    results.Write(options.out);
    DeleteFileA(path.c_str());
    return 0;
}

// --- A glTF file, in its own process ---------------------------------------------------------

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The yardstick: every value of the file seen once, nothing kept.
struct ValueCount : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, ValueCount> {
    size_t values = 0;
    bool Default()
    {
        ++values;
        return true;
    }
};

double SaxPass(const std::string& bytes)
{
    const Clock::time_point start = Clock::now();
    rapidjson::Reader reader;
    rapidjson::StringStream stream(bytes.c_str());
    ValueCount count;
    if (reader.Parse(stream, count).IsError())
        std::fprintf(stderr, "hostbench: the SAX pass stopped at byte %zu\n", reader.GetErrorOffset());
    return MillisecondsSince(start);
}

// scenehost.exe with arguments, the whole process as the user waits for it, timed as row;
// peak: its peak memory in MB.
double TimeProgram(const std::string& arguments, const char* row, double& peak)
{
    std::string command = "\"" + FolderOf(ProgramPath()) + "scenehost.exe\" " + arguments;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const KernelHandle nowhere(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nowhere.Get();  // the node count
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const Clock::time_point start = Clock::now();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "hostbench: scenehost.exe %s could not be started\n", row);
        return 0;
    }
    const KernelHandle thread(process.hThread), child(process.hProcess);
    WaitForSingleObject(child.Get(), INFINITE);
    const double elapsed = MillisecondsSince(start);
    DWORD code = 1;
    GetExitCodeProcess(child.Get(), &code);
    if (code != 0) std::fprintf(stderr, "hostbench: scenehost.exe %s failed (%lu)\n", row, code);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    peak = GetProcessMemoryInfo(child.Get(), &counters, sizeof counters)
               ? static_cast<double>(counters.PeakWorkingSetSize >> 20)
               : 0;
    std::fprintf(stderr, "  %-36s %9.1f ms\n", row, elapsed);
    return elapsed;
}

// The steps of an open and a save without the windows, on a copy of the file: reading it,
// the glTF reading and the scene built, the splice of the same 10 % edit, the safe write.
void TimeGltfFile(const Options& options, const std::string& path, Results& results)
{
    const SceneFormat& format = FormatOf(path.c_str());
    for (int run = 0; run < options.runs; ++run) {
        std::string bytes;
        SavedText text;  // as a save writes it: in pieces, most of them the file as read
        std::vector<std::string> carried;
        SceneFileError error;
        FileStamp stamp;
        std::unique_ptr<SceneDocument> document;
        const bool copied = CopyFileA(options.childGltf.c_str(), path.c_str(), FALSE) != 0;
        Clock::time_point start = Clock::now();
        const bool read = copied && ReadWholeFile(path.c_str(), bytes, error, &stamp);
        results.Add("file: read and hash", MillisecondsSince(start));
        start = Clock::now();
        const bool parsed = read && format.ReadOwned(std::move(bytes), TheScene(), document, error);
        results.Add("file: parse and build", MillisecondsSince(start));
        NodeTab nodes;
        TheScene().CollectNodes(nodes);
        for (int i = 0; i < nodes.Count(); ++i) {
            std::string props = nodes[i]->UserPropText().data();
            const size_t group = props.find("\r\ngroup=");
            if (group == std::string::npos) continue;
            props.erase(group, props.find("\r\n", group + 2) - group);
            nodes[i]->SetUserPropText(CStr(props.c_str()));
        }
        start = Clock::now();
        const bool spliced = parsed && format.WriteSaved(path.c_str(), TheScene(), document.get(),
                                                         text, carried, error);
        results.Add("file: splice", MillisecondsSince(start));
        start = Clock::now();
        const bool written = spliced && WriteFileSafely(path.c_str(), text.pieces, error, &stamp);
        results.Add("file: write over a file", MillisecondsSince(start));
        if (!written)
            std::fprintf(stderr, "hostbench: the glTF file's steps failed: %s\n",
                         error.message.c_str());
    }
    TheScene().Clear();
    DeleteFileA(path.c_str());
}

const char* const kPeakOverRuns = "peak memory over all runs (opens over an earlier scene), MB";
const char* const kOpenProcess = "open, whole process (--script)";

// A copy of the file is opened, 10 % of its nodes (those with a group member) lose that
// member, the removal is undone and done again, and the copy saved; the file itself stays.
// "peak memory" is the process's after the first run: one open, edit and save.
int RunGltfScene(const Options& options)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "hostbench-" +
                             std::to_string(GetCurrentProcessId()) + ".gltf";
    Results results;
    {
        // The yardstick first, so that its bytes are gone before the windows run.
        const std::string bytes = ReadBytes(options.childGltf);
        results.Set("file, MB", bytes.size() / 1048576.0);
        for (int run = 0; run < options.runs; ++run) results.Add("SAX pass", SaxPass(bytes));
    }
    {
        Session session(results);
        if (!session.Start()) return 1;
        for (int run = 0; run < options.runs; ++run) {
            std::fprintf(stderr, "run %d\n", run + 1);
            if (!CopyFileA(options.childGltf.c_str(), path.c_str(), FALSE)) {
                std::fprintf(stderr, "hostbench: %s cannot be copied\n", options.childGltf.c_str());
                return 1;
            }
            session.Time("open", [&] { session.Window().OpenScene(path); });
            results.Set("nodes", TheScene().NodeCount());
            session.Time("Search & Select (10 %)", [&] { session.Click(IDC_SEARCH_SELECT, "group="); });
            session.Time("Remove Property (10 %)", [&] { session.Click(IDC_REMOVE_PROPERTY, "group"); });
            session.Time(UndoName("Remove Property", true), [&] { session.Command(IDM_EDIT_UNDO); });
            session.Command(IDM_EDIT_REDO);
            session.Pump();
            session.Time("save", [&] { session.Command(IDM_FILE_SAVE); });
            // The first run opens into an empty window; the later ones over its scene.
            if (run == 0) results.Set("peak memory, MB", static_cast<double>(PeakMegabytes()));
        }
        DestroyWindow(session.Main());
    }
    results.Set(kPeakOverRuns, static_cast<double>(PeakMegabytes()));
    DeleteFileA(path.c_str());
    TimeGltfFile(options, path, results);
    // The check beside an open in a process of its own, which pays the same start and end.
    const std::string script = path + ".script";
    std::ofstream(script) << "expect modified no\n";
    double checkPeak = 0;  // not every system tells it for a process that has ended
    for (int run = 0; run < options.runs; ++run) {
        double peak = 0;
        results.Add(kOpenProcess, TimeProgram("--script \"" + script + "\" \"" +
                                                  options.childGltf + "\"", kOpenProcess, peak));
        results.Add("--check", TimeProgram("--check \"" + options.childGltf + "\"", "--check", peak));
        checkPeak = std::max(checkPeak, peak);
    }
    DeleteFileA(script.c_str());
    if (checkPeak > 0) results.Set("--check: peak memory, MB", checkPeak);
    results.Write(options.out);
    return 0;
}

// --- The whole run ---------------------------------------------------------------------------

std::string Machine()
{
    char cpu[128] = "unknown CPU";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                      0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof cpu;
        RegQueryValueExA(key, "ProcessorNameString", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(cpu), &size);
        RegCloseKey(key);
    }
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    typedef const char*(CDECL * VersionProc)();
    auto wineVersion = reinterpret_cast<VersionProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return std::string(cpu) + ", " + std::to_string(system.dwNumberOfProcessors) + " cores, " +
           (wineVersion ? std::string("Wine ") + wineVersion() : std::string("Windows"));
}

using Figures = std::vector<std::pair<std::string, double>>;

Figures ReadResults(const std::string& path)
{
    Figures values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            values.emplace_back(line.substr(0, tab), std::atof(line.c_str() + tab + 1));
    }
    return values;
}

bool RunChild(const std::string& arguments, const std::string& out)
{
    std::string command = "\"" + ProgramPath() + "\" " + arguments + " --out \"" + out + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    const KernelHandle thread(process.hThread), child(process.hProcess);
    WaitForSingleObject(child.Get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(child.Get(), &code);
    return code == 0;
}

struct Column {
    std::string title;
    Figures values;

    const double* Find(const std::string& action) const
    {
        for (const auto& value : values)
            if (value.first == action) return &value.second;
        return nullptr;
    }
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Milliseconds and, in brackets, the ratio to the plain yardstick: the plain search for the
// actions, the plain form of the same work for the model's rows.
std::string Figure(const Column& column, const std::string& action)
{
    const double* value = column.Find(action);
    if (!value) return "";
    char text[64];
    if (action.find("memory") != std::string::npos) {
        std::snprintf(text, sizeof text, action.find("MB") != std::string::npos ? "%.0f" : "%.2f",
                      *value);
        return text;
    }
    const double* plain = column.Find(StartsWith(action, "model ") ? "plain " + action.substr(6)
                                                                   : std::string("plain search"));
    if (!plain || *plain <= 0 || StartsWith(action, "plain") || StartsWith(action, "file:"))
        std::snprintf(text, sizeof text, "%.1f", *value);
    else
        std::snprintf(text, sizeof text, "%.1f (%.1f×)", *value, *value / *plain);
    return text;
}

void PrintTable(const std::vector<Column>& columns, const Options& options)
{
    std::printf("%s; median of %d runs, ms (× the plain search of the same scene; model rows: × "
                "their own plain yardstick)\n\n",
                Machine().c_str(), options.runs);
    std::printf("| Action |");
    for (const Column& column : columns) std::printf(" %s |", column.title.c_str());
    std::printf("\n|---|");
    for (size_t i = 0; i < columns.size(); ++i) std::printf("---|");
    std::printf("\n");
    // The actions as they ran, then the model's work, then memory.
    std::vector<std::string> order;
    for (const Column& column : columns)
        for (const auto& value : column.values)
            if (std::find(order.begin(), order.end(), value.first) == order.end())
                order.push_back(value.first);
    auto rank = [](const std::string& name) {
        if (name.find("memory") != std::string::npos) return 2;
        return StartsWith(name, "plain") || StartsWith(name, "model") || StartsWith(name, "file:")
                   ? 1
                   : 0;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    for (const std::string& action : order) {
        std::printf("| %s |", action.c_str());
        for (const Column& column : columns) std::printf(" %s |", Figure(column, action).c_str());
        std::printf("\n");
    }
}

// The glTF table: each time as a ratio to the SAX pass over the same bytes, each peak memory
// as a ratio to the file's size. The peer's figures come from FIGURES lines "nodes, row,
// value" that bench/gltfpeer.mjs printed.
int RunGltf(const Options& options, const std::string& out, const std::string& common)
{
    Figures peer;
    std::vector<double> peerNodes;
    {
        std::ifstream in(options.peer);
        std::string line;
        while (std::getline(in, line)) {
            const size_t first = line.find('\t'), second = line.find('\t', first + 1);
            if (second == std::string::npos) continue;
            peerNodes.push_back(std::atof(line.c_str()));
            peer.emplace_back(line.substr(first + 1, second - first - 1),
                              std::atof(line.c_str() + second + 1));
        }
    }
    std::vector<Column> columns;
    bool complete = true;
    for (const std::string& file : options.gltf) {
        std::fprintf(stderr, "%s\n", file.c_str());
        if (!RunChild("--gltf-scene \"" + file + "\"" + common, out)) {
            std::fprintf(stderr, "hostbench: the run of %s failed\n", file.c_str());
            complete = false;
            continue;
        }
        Column column{"", ReadResults(out)};
        DeleteFileA(out.c_str());
        const double* nodes = column.Find("nodes");
        column.title = std::to_string(nodes ? static_cast<long long>(*nodes) : 0) + " nodes";
        for (size_t i = 0; i < peer.size(); ++i)
            if (nodes && peerNodes[i] == *nodes) column.values.push_back(peer[i]);
        columns.push_back(column);
    }
    const char* const rows[] = {"open", kOpenProcess, "--check", "Search & Select (10 %)",
                                "Remove Property (10 %)", "Remove Property: undo", "save",
                                "file: read and hash", "file: parse and build", "file: splice",
                                "file: write over a file", "SAX pass", "peer: read", "peer: remove", "peer: write",
                                "peak memory, MB", kPeakOverRuns, "--check: peak memory, MB",
                                "peer: peak memory, MB", "file, MB"};
    std::printf("%s; glTF files of bench/gltf_scene.py; median of %d runs, ms (× the SAX pass "
                "over the same bytes; memory: × the file's size)%s\n\n",
                Machine().c_str(), options.runs,
                peer.empty() ? "; the peer's rows are missing (no Node)" : "");
    std::printf("| Action |");
    for (const Column& column : columns) std::printf(" %s |", column.title.c_str());
    std::printf("\n|---|");
    for (size_t i = 0; i < columns.size(); ++i) std::printf("---|");
    std::printf("\n");
    for (const char* row : rows) {
        std::printf("| %s |", row);
        for (const Column& column : columns) {
            const double* value = column.Find(row);
            const double* sax = column.Find("SAX pass");
            const double* size = column.Find("file, MB");
            const bool memory = std::strstr(row, "MB") != nullptr;
            const double* base = memory ? size : sax;
            char text[64] = "";
            if (value && (!base || base == value || *base <= 0))
                std::snprintf(text, sizeof text, memory && base != value ? "%.0f" : "%.1f", *value);
            else if (value)
                std::snprintf(text, sizeof text, memory ? "%.0f (%.1f×)" : "%.1f (%.1f×)", *value,
                              *value / *base);
            std::printf(" %s |", text);
        }
        std::printf("\n");
    }
    return complete ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--file-only" || name == "--open-and-save" || name == "--table-only") {
            (name == "--file-only"       ? options.fileOnly
             : name == "--open-and-save" ? options.openAndSave
                                         : options.tableOnly) = true;
            continue;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) return false;
        ++i;
        if (name == "--sizes") {
            options.sizes.clear();
            std::stringstream list(value);
            std::string size;
            while (std::getline(list, size, ',')) options.sizes.push_back(std::atoi(size.c_str()));
        } else if (name == "--runs") {
            options.runs = std::atoi(value);
        } else if (name == "--chain") {
            options.chain = std::atoi(value);
        } else if (name == "--lines") {
            options.lines = std::atoi(value);
        } else if (name == "--scene" || name == "--chain-scene") {
            options.childNodes = std::atoi(value);
            options.childChain = name == "--chain-scene";
        } else if (name == "--gltf") {
            std::stringstream list(value);
            std::string file;
            while (std::getline(list, file, ',')) options.gltf.push_back(file);
        } else if (name == "--peer") {
            options.peer = value;
        } else if (name == "--gltf-scene") {
            options.childGltf = value;
        } else if (name == "--out") {
            options.out = value;
        } else {
            return false;
        }
    }
    for (int size : options.sizes)
        if (size < 100) return false;
    return options.runs > 0 && options.lines >= 5 && options.chain >= 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: hostbench [--sizes N,N,...] [--runs N] [--chain N] [--lines N] [--file-only] [--open-and-save] [--table-only]"
                             " (sizes of at least 100 nodes, at least 5 lines)\n");
        return 2;
    }
    if (options.childNodes > 0) return RunScene(options);
    if (!options.childGltf.empty()) return RunGltfScene(options);

    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string out = std::string(folder) + "hostbench-" + std::to_string(GetCurrentProcessId());
    const std::string common = " --runs " + std::to_string(options.runs) + " --lines " +
                               std::to_string(options.lines) +
                               (options.fileOnly ? " --file-only" : "") +
                               (options.openAndSave ? " --open-and-save" : "") +
                               (options.tableOnly ? " --table-only" : "");
    std::vector<Column> columns;
    if (!options.gltf.empty()) return RunGltf(options, out, common);
    auto scene = [&](const std::string& title, const std::string& arguments) {
        std::fprintf(stderr, "%s\n", title.c_str());
        if (!RunChild(arguments + common, out)) {
            std::fprintf(stderr, "hostbench: the run of %s failed\n", title.c_str());
            return false;
        }
        columns.push_back({title, ReadResults(out)});
        DeleteFileA(out.c_str());
        return true;
    };
    bool complete = true;
    for (int size : options.sizes)
        complete &= scene(std::to_string(size) + " nodes", "--scene " + std::to_string(size));
    if (options.chain > 0)
        complete &= scene(std::to_string(options.chain) + "-deep chain",
                          "--chain-scene " + std::to_string(options.chain));
    PrintTable(columns, options);
    return complete ? 0 : 1;
}

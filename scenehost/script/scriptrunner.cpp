#include "scriptrunner.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "coreinterface.h"
#include "guard.h"
#include "hold.h"
#include "hosttexts.h"
#include "hostutil.h"
#include "nodewalk.h"
#include "plugin.h"
#include "resource.h"
#include "scriptwindows.h"

namespace {

Scene& TheScene() { return CoreInterface::Instance().GetScene(); }

std::string YesNo(bool yes) { return yes ? "yes" : "no"; }

std::string Words(const std::vector<std::string>& words, std::string (*format)(const std::string&))
{
    std::string joined;
    for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + format(word);
    return joined.empty() ? "(none)" : joined;
}

std::string SelectionPaths()
{
    std::vector<std::string> paths;
    for (int i = 0; i < TheScene().SelectedCount(); ++i)
        paths.push_back(NodePath(TheScene().SelectedNode(i)));
    return Words(paths, ScriptWord);
}

std::string Numbers(int first, int second) { return std::to_string(first) + " " + std::to_string(second); }

int Number(const std::string& word)
{
    int value = 0;
    ParseWholeNumber(word, value);  // checked when the script was read
    return value;
}

// Each node's name, text and hidden flag, hashed, in hierarchy order.
std::vector<std::uint64_t> NodeStates(const Scene& scene)
{
    std::vector<std::uint64_t> states;
    NodeWalk walk(scene.Root());
    walk.Next();  // the root
    while (const SceneNode* node = walk.Next()) {
        const CStr& text = node->UserPropText();
        std::uint64_t hash = HashBytes(node->NodeName(), std::strlen(node->NodeName()) + 1);
        hash = HashBytes(text.data(), text.Length(), hash);
        states.push_back(HashBytes(node->IsHidden() ? "h" : "v", 1, hash));
    }
    return states;
}

int ChangedNodes(const std::vector<std::uint64_t>& before, const std::vector<std::uint64_t>& after)
{
    const size_t common = before.size() < after.size() ? before.size() : after.size();
    size_t changed = (before.size() > after.size() ? before.size() : after.size()) - common;
    for (size_t i = 0; i < common; ++i) changed += before[i] != after[i];
    return static_cast<int>(changed);
}

int MenuPosition(HMENU menu, const std::string& label)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        char text[256] = "";
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        if (ShownLabel(text) == label) return position;
    }
    return -1;
}

// What a user's drag of the caption or the frame sends, so that a window remembers it.
void DragWindow(HWND window, int x, int y, int width, int height, UINT what)
{
    SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(window, nullptr, x, y, width, height, what | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void CloseOtherWindows(HWND mainWindow)
{
    std::vector<HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM lParam) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (window != mainWindow && IsWindowVisible(window))
            SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

}  // namespace

ScriptRunner::ScriptRunner(MainWindow& app, const std::string& folder) : app_(app), folder_(folder) {}

ScriptRunner::Handler ScriptRunner::HandlerFor(ScriptCommandId id)
{
    static const Handler handlers[] = {
#define SCRIPT_COMMAND_HANDLER(handler, name, usage) &ScriptRunner::handler,
        SCRIPT_COMMANDS(SCRIPT_COMMAND_HANDLER)
#undef SCRIPT_COMMAND_HANDLER
    };
    return handlers[static_cast<size_t>(id)];
}

ScriptOutcome ScriptRunner::Run(const std::vector<ScriptCommand>& commands,
                                const std::string& scenePath)
{
    outcome_ = ScriptOutcome();
    line_ = 0;
    StartFresh();
    std::string error;
    if (!scenePath.empty() && !app_.OpenScene(scenePath, &error)) {
        Fail(kExitError, error);
        return outcome_;
    }
    Drain();
    openedNodes_ = NodeStates(TheScene());
    for (const ScriptCommand& command : commands)
        if (!RunCommand(command)) break;
    if (outcome_.code == kExitPassed && answerer_.FirstUnusedLine()) {
        line_ = answerer_.FirstUnusedLine();
        Fail(kExitError, "no question came for this answer");
    }
    outcome_.nodesChanged = ChangedNodes(openedNodes_, NodeStates(TheScene()));
    return outcome_;
}

// Runs one command and what it set off; false once anything failed.
bool ScriptRunner::RunCommand(const ScriptCommand& command)
{
    line_ = command.line;
    if (!IsWindow(app_.Window())) return Fail(kExitError, "the application has closed");
    const int failures = app_.FailureCount();
    const bool ran = (this->*HandlerFor(command.id))(command.args);
    Drain();
    answerer_.Settle();
    const AnswerFailure& failure = answerer_.Failure();
    if (!failure.reason.empty()) {
        outcome_.code = kExitError;
        outcome_.line = failure.line ? failure.line : line_;
        outcome_.message = failure.reason;
        return false;
    }
    // A command that failed midway did not do what the script asked.
    if (app_.FailureCount() != failures) return Fail(kExitError, app_.LastFailure());
    if (!ran) return false;
    // The answers queued before a command are for its questions.
    if (command.id != ScriptCommandId::Answer && answerer_.FirstUnusedLine()) {
        line_ = answerer_.FirstUnusedLine();
        return Fail(kExitError, "no question came for this answer");
    }
    if (command.id == ScriptCommandId::Open || command.id == ScriptCommandId::New)
        openedNodes_ = NodeStates(TheScene());
    return true;
}

void ScriptRunner::Finish()
{
    if (IsWindow(app_.Window())) DestroyWindow(app_.Window());
    Drain();
}

// A fresh scene: no floater, no utility in the panel, no undo history, nothing asked yet.
// A plug-in's floater is put away rather than closed, to come back as a new one would.
void ScriptRunner::StartFresh()
{
    for (const PluginModule& plugin : app_.Utilities().Plugins())
        if (auto* windows = static_cast<SceneWindows*>(
                plugin.descriptor->ExtraInterface(kSceneWindowsInterface)))
            windows->PutAway();
    CloseOtherWindows(app_.Window());
    Drain();
    app_.Utilities().Choose(-1);
    app_.NewScene(false);
    answerer_.Reset();
    checkedQuestions_ = 0;
}

namespace {
const int kDrainLooks = 100;
}  // namespace

void ScriptRunner::Drain()
{
    // A run without the main window shown has nothing to show: its windows are not painted.
    const UINT unpainted = PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    const UINT kinds = IsWindowVisible(app_.Window()) ? 0 : unpainted;
    // PeekMessage can say the queue is empty while a message posted before it still waits
    // (after it handled a message another program's windows sent meanwhile): the queue's
    // own state says whether to look again.
    const UINT waiting = QS_POSTMESSAGE | QS_SENDMESSAGE | QS_INPUT;
    MSG msg;
    for (int look = 0; look < kDrainLooks; ++look) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | kinds)) {
            if (msg.message == WM_QUIT) return;  // the main window has gone
            if (app_.TranslateKeyboard(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!(HIWORD(GetQueueStatus(waiting)) & waiting)) return;
    }
}

bool ScriptRunner::Fail(ScriptExit code, const std::string& reason)
{
    outcome_.code = code;
    outcome_.line = line_;
    outcome_.message = reason;
    return false;
}

bool ScriptRunner::Expect(bool met, const std::string& what, const std::string& got)
{
    return met || Fail(kExitExpectFailed, "expected " + what + ", got " + got);
}

std::string ScriptRunner::FilePath(const std::string& file) const
{
    const bool absolute = (!file.empty() && (file[0] == '/' || file[0] == '\\')) ||
                          (file.size() > 1 && file[1] == ':');
    return absolute ? file : folder_ + file;
}

bool ScriptRunner::FindNode(const std::string& path, SceneNode*& node)
{
    node = paths_.Find(TheScene(), path);
    return node || Fail(kExitError, "no node " + ScriptWord(path));
}

bool ScriptRunner::FindNodes(const Args& paths, NodeTab& nodes)
{
    for (const std::string& path : paths) {
        SceneNode* node = nullptr;
        if (!FindNode(path, node)) return false;
        nodes.Append(node);
    }
    return true;
}

bool ScriptRunner::FindWindow(const std::string& name, HWND& window)
{
    window = name == "panel" ? CoreInterface::Instance().PanelWindow()
                             : FindTopLevelWindow(name, app_.Window());
    return window || Fail(kExitError, "no window " + QuotedText(name));
}

bool ScriptRunner::FindTopLevel(const std::string& name, HWND& window)
{
    if (name == "panel") return Fail(kExitError, "the utility panel is part of the main window");
    return FindWindow(name, window);
}

bool ScriptRunner::FindControl(const Args& args, HWND& control)
{
    HWND window = nullptr;
    if (!FindWindow(args[0], window)) return false;
    control = ::FindControl(window, args[1]);
    const std::string where = args[0] == "panel" ? "the utility panel" : QuotedText(args[0]);
    return control || Fail(kExitError, "no control " + ScriptWord(args[1]) + " in " + where);
}

// A control of the class that a user can reach: enabled, in an enabled window.
bool ScriptRunner::FindUsable(const Args& args, const char* className, HWND& control)
{
    if (!FindControl(args, control)) return false;
    if (ClassOf(control) != className)
        return Fail(kExitError, ScriptWord(args[1]) + " is a " + ClassOf(control) + ", not a " + className);
    if (!IsWindowEnabled(control) || !IsWindowEnabled(GetAncestor(control, GA_ROOT)))
        return Fail(kExitError, ScriptWord(args[1]) + " is disabled");
    return true;
}

bool ScriptRunner::ChooseMenuItem(HMENU menu, int position, const std::string& label)
{
    if (GetMenuState(menu, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED))
        return Fail(kExitError, "the menu item " + QuotedText(label) + " is disabled");
    // The menu posts the command once it has closed.
    PostMessageA(app_.Window(), WM_COMMAND, MAKEWPARAM(GetMenuItemID(menu, position), 0), 0);
    return true;
}

bool ScriptRunner::Menu(const Args& args)
{
    HWND window = app_.Window();
    HMENU menu = GetMenu(window);
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    std::string where = "the menu bar";
    for (size_t level = 0;; ++level) {
        const std::string& label = args[level];
        const int position = MenuPosition(menu, label);
        if (position < 0) return Fail(kExitError, "no menu item " + QuotedText(label) + " in " + where);
        HMENU submenu = GetSubMenu(menu, position);
        if (level + 1 == args.size()) {
            if (submenu) return Fail(kExitError, QuotedText(label) + " opens a menu: name one of its items");
            return ChooseMenuItem(menu, position, label);
        }
        if (!submenu) return Fail(kExitError, QuotedText(label) + " is a command, not a menu");
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(submenu),
                     MAKELPARAM(position, FALSE));
        menu = submenu;
        where = QuotedText(label);
    }
}

bool ScriptRunner::ChooseMenuCommand(UINT id, const char* what)
{
    HWND window = app_.Window();
    HMENU bar = GetMenu(window);
    SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    for (int position = 0; position < GetMenuItemCount(bar); ++position) {
        HMENU menu = GetSubMenu(bar, position);
        if (!menu || GetMenuState(menu, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
        SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(position, FALSE));
        for (int item = 0; item < GetMenuItemCount(menu); ++item)
            if (GetMenuItemID(menu, item) == id) return ChooseMenuItem(menu, item, what);
    }
    return Fail(kExitError, std::string("no menu item for ") + what);
}

void ScriptRunner::ChooseUtility(int entry)
{
    HWND chooser = app_.Utilities().Chooser();
    SendMessageA(chooser, CB_SETCURSEL, entry, 0);
    SendMessageA(GetParent(chooser), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(chooser), CBN_SELCHANGE), reinterpret_cast<LPARAM>(chooser));
}

void ScriptRunner::Print(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool ScriptRunner::New(const Args&) { return app_.NewScene(false) || Fail(kExitError, "no new scene"); }

bool ScriptRunner::Open(const Args& args)
{
    std::string error;
    return app_.OpenScene(FilePath(args[0]), &error) || Fail(kExitError, error);
}

bool ScriptRunner::Save(const Args& args) { return SaveScene(args, false); }

// Also over the scene's file changed on disk since it was opened or saved.
bool ScriptRunner::SaveOverChanges(const Args& args) { return SaveScene(args, true); }

bool ScriptRunner::SaveScene(const Args& args, bool overwriteChanges)
{
    if (args.empty() && app_.ScenePath().empty())
        return Fail(kExitError, "the scene has no file yet: say save FILE");
    std::string error;
    const std::string path = args.empty() ? app_.ScenePath() : FilePath(args[0]);
    if (!app_.SaveSceneAs(path, &error, overwriteChanges)) return Fail(kExitError, error);
    outcome_.saved = true;
    return true;
}

bool ScriptRunner::Select(const Args& args)
{
    NodeTab nodes;
    if (!FindNodes(args, nodes)) return false;
    TheScene().PickNodes(nodes);
    return true;
}

bool ScriptRunner::Hide(const Args& args)
{
    NodeTab nodes;
    if (!FindNodes(args, nodes)) return false;
    app_.SetHidden(nodes, true);
    return true;
}

bool ScriptRunner::Unhide(const Args& args)
{
    NodeTab nodes;
    if (!FindNodes(args, nodes)) return false;
    app_.SetHidden(nodes, false);
    return true;
}

bool ScriptRunner::SetProps(const Args& args)
{
    SceneNode* node = nullptr;
    if (!FindNode(args[0], node)) return false;
    node->SetUserPropText(CStr(args[1].c_str()));
    return true;
}

bool ScriptRunner::Utility(const Args& args)
{
    HWND chooser = app_.Utilities().Chooser();
    const int count = static_cast<int>(SendMessageA(chooser, CB_GETCOUNT, 0, 0));
    std::vector<std::string> entries;
    // Entry 0 is "(none)"; the others read "Name (Category)".
    for (int entry = 1; entry < count; ++entry) {
        CStr text;
        ComboBoxItemText(chooser, entry, text);
        const std::string shown = text.data();
        if (shown == args[0] || shown.substr(0, shown.rfind(" (")) == args[0]) {
            ChooseUtility(entry);
            return true;
        }
        entries.push_back(shown);
    }
    return Fail(kExitError, "no utility " + QuotedText(args[0]) + "; there are " + Words(entries, QuotedText));
}

bool ScriptRunner::ClosePanel(const Args&)
{
    ChooseUtility(0);
    return true;
}

bool ScriptRunner::Click(const Args& args)
{
    HWND button = nullptr;
    if (!FindUsable(args, "Button", button)) return false;
    PressButton(button);
    return true;
}

// As typing over the selected whole text: the field has the focus, and the change is
// reported the way a keystroke's is.
bool ScriptRunner::Type(const Args& args)
{
    HWND field = nullptr;
    if (!FindUsable(args, "Edit", field)) return false;
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(args[2].c_str()));
    return true;
}

bool ScriptRunner::Pick(const Args& args)
{
    HWND list = nullptr;
    if (!FindUsable(args, "ListBox", list)) return false;
    const int index = Number(args[2]);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count)
        return Fail(kExitError, ScriptWord(args[1]) + " has no item " + args[2] + " (it has " +
                           std::to_string(count) + ")");
    SetFocus(list);
    SendMessageA(list, LB_SETCURSEL, index, 0);
    if (GetWindowLongA(list, GWL_STYLE) & LBS_NOTIFY)
        SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    return true;
}

bool ScriptRunner::Answer(const Args& args)
{
    answerer_.Queue(line_, args);
    return true;
}

bool ScriptRunner::Move(const Args& args)
{
    HWND window = nullptr;
    if (!FindTopLevel(args[0], window)) return false;
    DragWindow(window, Number(args[1]), Number(args[2]), 0, 0, SWP_NOSIZE);
    return true;
}

bool ScriptRunner::Size(const Args& args)
{
    HWND window = nullptr;
    if (!FindTopLevel(args[0], window)) return false;
    if (!(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME))
        return Fail(kExitError, QuotedText(args[0]) + " has no sizing border");
    DragWindow(window, 0, 0, Number(args[1]), Number(args[2]), SWP_NOMOVE);
    return true;
}

bool ScriptRunner::Close(const Args& args)
{
    HWND window = nullptr;
    if (!FindTopLevel(args[0], window)) return false;
    if (!(GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU))
        return Fail(kExitError, QuotedText(args[0]) + " has no close box");
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

bool ScriptRunner::View(const Args& args)
{
    return args[0] == "table" ? ChooseMenuCommand(IDM_VIEW_TABLE, "Property Table")
                              : ChooseMenuCommand(IDM_VIEW_LINES, "Lines");
}

bool ScriptRunner::SetKey(const Args& args)
{
    std::string error;
    return app_.SetKey(args[0], args[1], &error) || Fail(kExitError, error);
}

bool ScriptRunner::RemoveKey(const Args& args)
{
    std::string error;
    return app_.RemoveKey(args[0], &error) || Fail(kExitError, error);
}

bool ScriptRunner::RenameKey(const Args& args)
{
    std::string error;
    return app_.RenameKey(args[0], args[1], args.size() > 2, &error) || Fail(kExitError, error);
}

bool ScriptRunner::Sort(const Args& args)
{
    if (!app_.NodeList().TableMode()) return Fail(kExitError, "the node list shows lines: view table first");
    std::string error;
    return app_.SortTable(args[0] == "none" ? "" : args[0], &error) || Fail(kExitError, error);
}

// The key columns' titles as the list's header shows them.
bool ScriptRunner::ExpectColumns(const Args& args)
{
    HWND list = app_.NodeList().Window();
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    Args shown;
    for (int column = 2; app_.NodeList().TableMode() && column < count; ++column) {
        char title[1024] = "";
        LVCOLUMNA item = {};
        item.mask = LVCF_TEXT;
        item.pszText = title;
        item.cchTextMax = sizeof title;
        SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&item));
        shown.push_back(title);
    }
    return Expect(shown == args, "columns " + Words(args, ScriptWord), Words(shown, ScriptWord));
}

// A cell's text as the list draws it.
bool ScriptRunner::ExpectCell(const Args& args)
{
    SceneNode* node = nullptr;
    if (!FindNode(args[0], node)) return false;
    NodeView& view = app_.NodeList();
    if (!view.TableMode()) return Fail(kExitError, "the node list shows lines: view table first");
    const int row = view.RowOf(node);
    if (row < 0) return Fail(kExitError, args[0] + " is not among the rows shown");
    const PropertyColumns& model = view.TableModel();
    int column = model.Find(args[1]);
    if (args[1] == HostText(IDS_TABLE_OTHER_LINES)) column = model.OtherLinesColumn();
    const int listColumn = view.ListColumnOf(column);
    if (listColumn < 0)
        return Fail(kExitError, "no column " + QuotedText(args[1]) + "; there are " +
                                    Words(view.ShownKeys(), QuotedText));
    const std::string cell = ListViewCellText(view.Window(), row, listColumn);
    return Expect(cell == args[2], "cell " + QuotedText(args[2]), QuotedText(cell));
}

bool ScriptRunner::Undo(const Args&) { return ChooseMenuCommand(IDM_EDIT_UNDO, "Undo"); }

bool ScriptRunner::Redo(const Args&) { return ChooseMenuCommand(IDM_EDIT_REDO, "Redo"); }

bool ScriptRunner::ExpectProps(const Args& args)
{
    SceneNode* node = nullptr;
    if (!FindNode(args[0], node)) return false;
    CStr text;
    node->GetUserPropText(text);
    return Expect(args[1] == text.data(), "props " + QuotedText(args[1]), QuotedText(text.data()));
}

bool ScriptRunner::ExpectSelection(const Args& args)
{
    NodeTab nodes;
    if (!FindNodes(args, nodes)) return false;
    Scene& scene = TheScene();
    bool same = nodes.Count() == scene.SelectedCount();
    for (int i = 0; same && i < nodes.Count(); ++i) same = nodes[i] == scene.SelectedNode(i);
    return Expect(same, "selection " + Words(args, ScriptWord), SelectionPaths());
}

bool ScriptRunner::ExpectStatus(const Args& args)
{
    const std::string status = app_.StatusText();
    return Expect(status == args[0], "status " + QuotedText(args[0]), QuotedText(status));
}

bool ScriptRunner::ExpectMessage(const Args& args)
{
    const std::vector<ShownQuestion>& shown = answerer_.Shown();
    const std::string caption = args.size() > 1 ? args[1] : "";
    const std::string what = "message " + QuotedText(args[0]) +
                             (caption.empty() ? "" : " " + QuotedText(caption));
    if (checkedQuestions_ >= shown.size()) return Expect(false, what, "no message");
    checkedQuestions_ = shown.size();
    const ShownQuestion& latest = shown.back();
    const std::string got = QuotedText(latest.text) +
                            (latest.caption.empty() ? "" : " " + QuotedText(latest.caption));
    return Expect(latest.text == args[0] && latest.caption == caption, what, got);
}

bool ScriptRunner::ExpectNoMessage(const Args&)
{
    const std::vector<ShownQuestion>& shown = answerer_.Shown();
    const bool none = checkedQuestions_ >= shown.size();
    checkedQuestions_ = shown.size();
    return Expect(none, "no message", none ? "" : QuotedText(shown.back().text));
}

bool ScriptRunner::ExpectText(const Args& args)
{
    HWND control = nullptr;
    if (!FindControl(args, control)) return false;
    const std::string text = WindowText(control);
    return Expect(text == args[2], "text " + QuotedText(args[2]), QuotedText(text));
}

bool ScriptRunner::ExpectEnabled(const Args& args)
{
    HWND control = nullptr;
    if (!FindControl(args, control)) return false;
    const bool enabled = IsWindowEnabled(control) != FALSE;
    return Expect(YesNo(enabled) == args[2], "enabled " + args[2], YesNo(enabled));
}

bool ScriptRunner::ExpectItems(const Args& args)
{
    HWND list = nullptr;
    if (!FindControl(args, list)) return false;
    if (ClassOf(list) != "ListBox") return Fail(kExitError, ScriptWord(args[1]) + " is not a list box");
    const std::vector<std::string> items = ListItems(list);
    const std::vector<std::string> expected(args.begin() + 2, args.end());
    return Expect(items == expected, "items " + Words(expected, QuotedText), Words(items, QuotedText));
}

bool ScriptRunner::ExpectCurrent(const Args& args)
{
    HWND list = nullptr;
    if (!FindControl(args, list)) return false;
    if (ClassOf(list) != "ListBox") return Fail(kExitError, ScriptWord(args[1]) + " is not a list box");
    const LRESULT current = SendMessageA(list, LB_GETCURSEL, 0, 0);
    const std::string got = std::to_string(current == LB_ERR ? -1 : static_cast<int>(current));
    return Expect(got == std::to_string(Number(args[2])), "current " + args[2], got);
}

bool ScriptRunner::ExpectWindow(const Args& args)
{
    const bool open = args[0] == "panel" ? CoreInterface::Instance().PanelPageCount() > 0
                                         : FindTopLevelWindow(args[0], app_.Window()) != nullptr;
    const std::string state = open ? "open" : "closed";
    return Expect(state == args[1], "window " + QuotedText(args[0]) + " " + args[1], state);
}

bool ScriptRunner::ExpectPosition(const Args& args) { return ExpectPlace(args, "position"); }

bool ScriptRunner::ExpectSize(const Args& args) { return ExpectPlace(args, "size"); }

bool ScriptRunner::ExpectPlace(const Args& args, const std::string& what)
{
    HWND window = nullptr;
    if (!FindTopLevel(args[0], window)) return false;
    const RECT rect = WindowRect(window);
    const std::string got = what == "size"
                                ? Numbers(rect.right - rect.left, rect.bottom - rect.top)
                                : Numbers(rect.left, rect.top);
    const std::string expected = Numbers(Number(args[1]), Number(args[2]));
    return Expect(got == expected, what + " " + expected, got);
}

bool ScriptRunner::ExpectUndo(const Args& args)
{
    const std::string name = theHold.UndoName();
    return Expect(name == args[0], "undo " + QuotedText(args[0]), QuotedText(name));
}

bool ScriptRunner::ExpectRedo(const Args& args)
{
    const std::string name = theHold.RedoName();
    return Expect(name == args[0], "redo " + QuotedText(args[0]), QuotedText(name));
}

bool ScriptRunner::ExpectModified(const Args& args)
{
    const std::string modified = YesNo(TheScene().Modified());
    return Expect(modified == args[0], "modified " + args[0], modified);
}

bool ScriptRunner::PrintProps(const Args& args)
{
    SceneNode* node = nullptr;
    if (!FindNode(args[0], node)) return false;
    CStr text;
    node->GetUserPropText(text);
    Print(QuotedText(text.data()));
    return true;
}

bool ScriptRunner::PrintSelection(const Args&)
{
    Print(SelectionPaths());
    return true;
}

bool ScriptRunner::PrintTree(const Args&)
{
    NodeWalk walk(TheScene().Root());
    walk.Next();  // the root
    while (SceneNode* node = walk.Next()) {
        CStr text;
        node->GetUserPropText(text);
        Print(std::string(2 * (walk.Depth() - 1), ' ') + ScriptWord(node->NodeName()) +
              (node->IsHidden() ? " hidden " : " ") + QuotedText(text.data()));
    }
    return true;
}

bool ScriptRunner::PrintStatus(const Args&)
{
    Print(QuotedText(app_.StatusText()));
    return true;
}

bool ScriptRunner::PrintWindow(const Args& args)
{
    HWND window = nullptr;
    if (!FindWindow(args[0], window)) return false;
    const RECT rect = WindowRect(window);
    Print(QuotedText(args[0]) + " at " + Numbers(rect.left, rect.top) + ", size " +
          Numbers(rect.right - rect.left, rect.bottom - rect.top));
    std::vector<HWND> controls;
    EnumChildWindows(
        window,
        [](HWND control, LPARAM lParam) -> BOOL {
            return Guarded<BOOL>(FALSE, [&] {
                reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(control);
                return TRUE;
            });
        },
        reinterpret_cast<LPARAM>(&controls));
    for (HWND control : controls) {
        // A button shows its text as a script names it; -1 marks a control without an id.
        const std::string kind = ClassOf(control);
        const std::string text = WindowText(control);
        std::string line = "  " + std::to_string(static_cast<short>(GetDlgCtrlID(control))) + " " +
                           kind + " " + QuotedText(kind == "Button" ? ShownLabel(text) : text);
        if (!IsWindowEnabled(control)) line += " disabled";
        if (kind == "ListBox")
            line += " items " + Words(ListItems(control), QuotedText) + " current " +
                    std::to_string(static_cast<int>(SendMessageA(control, LB_GETCURSEL, 0, 0)));
        Print(line);
    }
    return true;
}

#include "mainwindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "hold.h"
#include "hosttexts.h"
#include "dpi.h"
#include "hostutil.h"
#include "progress.h"
#include "resource.h"
#include "sceneformat.h"
#include "windowprobes.h"

namespace {

const char kClassName[] = "SceneHostMain";
// Sizes at 96 DPI.
const int kFirstWidth = 1000;
const int kFirstHeight = 680;
const int kCountsWidth = 220;   // the status line's part with the counts
const int kCountsPadding = 16;  // around the counts' text in its part

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The full path of a file named relative to the current directory, which may change later.
std::string FullPathOf(const std::string& path)
{
    const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

// Some systems let the Open dialog move the current directory whatever its flags say; the
// program's relative paths keep their meaning once the dialog is gone.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept()
    {
        const DWORD size = GetCurrentDirectoryA(0, nullptr);
        folder_.resize(size);
        const DWORD length = size ? GetCurrentDirectoryA(size, &folder_[0]) : 0;
        folder_.resize(length < size ? length : 0);
    }
    ~CurrentDirectoryKept()
    {
        if (!folder_.empty()) SetCurrentDirectoryA(folder_.c_str());
    }
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;

private:
    std::string folder_;
};

OPENFILENAMEA SceneFileDialog(HWND owner, char* file, DWORD fileSize)
{
    static const std::string filter = SceneFileFilter();
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file;
    dialog.nMaxFile = fileSize;
    // Browsing must not move the current directory under relative paths of the program.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return dialog;
}

// Runs the Open or the Save As dialog; the current directory stays where it was.
bool AskForSceneFile(OPENFILENAMEA& dialog, bool save)
{
    CurrentDirectoryKept folder;
    return (save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != FALSE;
}

// UTF-16 text in the program's 8-bit code page.
std::string Narrow(const wchar_t* text)
{
    if (!text) return "";
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

std::string WithStepName(const std::string& command, const std::string& step)
{
    return step.empty() ? command : command + (" " + step);
}

// What a change of the selection to count objects says.
std::string SelectionMessage(int count)
{
    return count == 0 ? HostText(IDS_SELECTED_NONE)
                      : CountMessage(count, IDS_SELECTED_ONE, IDS_SELECTED_MANY);
}

void SetMenuText(HMENU menu, UINT id, const std::string& text, bool enabled)
{
    ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id,
                text.c_str());
}

}  // namespace

bool MainWindow::Start(HINSTANCE instance, int show, std::vector<std::string>& errors)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    utilities_.LoadPlugins(ProgramFolder(), errors);
    return Create(instance, show);
}

bool MainWindow::Create(HINSTANCE instance, int show)
{
    accelerators_ = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    WindowClass mainClass = {kClassName};
    mainClass.menu = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    // The system takes the small icon from the same resource.
    mainClass.icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SCENEHOST));
    // Tab moves through the controls of the window and of the panel pages inside it.
    RECT workArea = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    const SIZE size = FirstWindowSize(DpiOf(nullptr), workArea);
    if (!CreateHostWindow(mainClass, WS_EX_CONTROLPARENT, HostText(IDS_APP_NAME).c_str(),
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                          size.cx, size.cy, nullptr, nullptr))
        return false;
    ShowWindow(window_, show);
    UpdateWindow(window_);
    return true;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    CoreInterface& core = CoreInterface::Instance();
    switch (message) {
    case WM_CREATE:
        core.SetMainWindow(window_);
        core.SetViewObserver(this);
        core.SetStatusListener(StatusShown, this);
        SetFailureReporter(FailureReported, this);
        filter_.Create(window_, kFilterBarId, &core.GetScene());
        nodes_.Create(window_, kNodeListId);
        RestoreView();
        status_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                                  0, 0, 0, 0, window_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)),
                                  GetModuleHandleA(nullptr), nullptr);
        busy_.Attach(window_, status_, WM_APP_IDLE_AGAIN);
        SetProgressListener(&busy_);
        utilities_.Create(window_);
        ApplyDpi(DpiOf(window_));
        UpdateTitle();
        return 0;
    case WM_DPICHANGED: {
        ApplyDpi(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_SIZE:
    case WM_APP_LAYOUT:
        Layout();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) RememberFocus();
        return DefWindowProcA(window_, message, wParam, lParam);
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kUtilityChooserId && HIWORD(wParam) == CBN_SELCHANGE)
            utilities_.ComboChanged();
        else if (LOWORD(wParam) == kFilterBarId) OnFilterBar(HIWORD(wParam));
        else OnCommand(LOWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_INITMENUPOPUP:
        OnInitMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_APP_CLOSE_PANEL:
        utilities_.PanelCloseRequested();
        KeepKeyboardFocus();
        return 0;
    case WM_APP_SYNC_SELECTION:
        nodes_.TakeSelectionInto(core.GetScene());
        core.DeliverChanges();
        return 0;
    case WM_APP_FAILED:
        ShowFailure(static_cast<Failure>(wParam), reinterpret_cast<char*>(lParam));
        return 0;
    case WM_APP_HEADER_MENU:
        TableHeaderMenu({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_APP_SORT_DONE:
        TableSortDone(static_cast<unsigned>(wParam));
        return 0;
    case WM_APP_CELL_EDIT_END:
        if (nodes_.CellEditor() && GetFocus() != nodes_.CellEditor()) nodes_.EndCellEdit();
        return 0;
    case WM_APP_IDLE_AGAIN:
        busy_.Idle(core.StatusText());
        return 0;
    case WM_CLOSE:
        if (!CommandRunning() && ConfirmDiscard()) DestroyWindow(window_);
        return 0;
    case WM_QUERYENDSESSION:
        return !CommandRunning() && ConfirmDiscard();
    case WM_DESTROY:
        utilities_.Choose(-1);
        SetFailureReporter(nullptr, nullptr);
        SetProgressListener(nullptr);
        core.SetStatusListener(nullptr, nullptr);
        core.SetViewObserver(nullptr);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

void MainWindow::RememberFocus()
{
    HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) focused_ = focus;
}

void MainWindow::RestoreFocus()
{
    // The control may be gone since, with the panel page it was on.
    const bool usable = focused_ && IsChild(window_, focused_) && IsWindowVisible(focused_) &&
                        IsWindowEnabled(focused_);
    SetFocus(usable ? focused_ : nodes_.Window());
}

// A panel page that went may have taken the control with the focus along, leaving the keys
// with nowhere to go: the node list takes them then.
void MainWindow::KeepKeyboardFocus()
{
    if (!GetFocus() && GetActiveWindow() == window_) SetFocus(nodes_.Window());
}

void MainWindow::OnCommand(int id)
{
    switch (id) {
    case IDM_FILE_NEW: NewScene(true); break;
    case IDM_FILE_OPEN: ChooseSceneToOpen(); break;
    case IDM_FILE_SAVE: Save(path_.empty()); break;
    case IDM_FILE_SAVE_AS: Save(true); break;
    case IDM_FILE_EXIT: PostMessageA(window_, WM_CLOSE, 0, 0); break;
    case IDM_EDIT_UNDO: UndoOrRedo(true); break;
    case IDM_EDIT_REDO: UndoOrRedo(false); break;
    case IDM_EDIT_SELECT_ALL: SelectAll(true); break;
    case IDM_EDIT_SELECT_NONE: SelectAll(false); break;
    case IDM_EDIT_TOGGLE_HIDDEN: ToggleHiddenOfSelection(); break;
    case IDM_EDIT_FILTER: filter_.Focus(); break;
    case IDM_VIEW_LINES: ShowTable(false); break;
    case IDM_VIEW_TABLE: ShowTable(true); break;
    case IDM_TOOLS_UTILITIES:
        utilities_.Choose(utilities_.Chosen() < 0 && !utilities_.Plugins().empty() ? 0 : -1);
        KeepKeyboardFocus();
        break;
    case IDM_HELP_ABOUT: ShowAbout(); break;
    }
}

void MainWindow::OnInitMenu(HMENU menu)
{
    const bool idle = !theHold.Holding();
    CheckMenuRadioItem(menu, IDM_VIEW_LINES, IDM_VIEW_TABLE,
                       nodes_.TableMode() ? IDM_VIEW_TABLE : IDM_VIEW_LINES, MF_BYCOMMAND);
    if (GetMenuState(menu, IDM_EDIT_UNDO, MF_BYCOMMAND) == static_cast<UINT>(-1)) return;
    SetMenuText(menu, IDM_EDIT_UNDO,
                WithStepName(HostText(IDS_UNDO_ITEM), theHold.UndoName()) + "\tCtrl+Z",
                idle && theHold.UndoCount() > 0);
    SetMenuText(menu, IDM_EDIT_REDO,
                WithStepName(HostText(IDS_REDO_ITEM), theHold.RedoName()) + "\tCtrl+Y",
                idle && theHold.RedoCount() > 0);
}

LRESULT MainWindow::OnNotify(const NMHDR& header)
{
    if (header.code == TTN_GETDISPINFOA && header.hwndFrom == nodes_.TipWindow()) {
        nodes_.FillHeaderTip(*reinterpret_cast<NMTTDISPINFOA*>(const_cast<NMHDR*>(&header)));
        return 0;
    }
    if (header.code == TTN_GETDISPINFOW && header.hwndFrom == nodes_.TipWindow()) {
        nodes_.FillHeaderTip(*reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(&header)));
        return 0;
    }
    if (header.idFrom != kNodeListId) return 0;
    switch (header.code) {
    case LVN_COLUMNCLICK:
        if (nodes_.TableMode())
            TableHeaderClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return 0;
    case NM_CLICK:
    case NM_DBLCLK:
        if (nodes_.TableMode())
            TableClick(reinterpret_cast<const NMITEMACTIVATE&>(header), header.code == NM_DBLCLK);
        return 0;
    case LVN_GETDISPINFOA:
        nodes_.FillRow(*reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(&header)));
        return 0;
    case LVN_ODFINDITEMA: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
        return nodes_.FindRow(find.lvfi.psz ? find.lvfi.psz : "", find.lvfi.flags, find.iStart);
    }
    case LVN_ODFINDITEMW: {  // some systems send the typed text as UTF-16 whatever we asked
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        return nodes_.FindRow(Narrow(find.lvfi.psz), find.lvfi.flags, find.iStart);
    }
    case LVN_ITEMCHANGED:
        nodes_.ItemChanged(reinterpret_cast<const NMLISTVIEW&>(header));
        return 0;
    case LVN_ODSTATECHANGED:
        nodes_.RangeChanged(reinterpret_cast<const NMLVODSTATECHANGE&>(header));
        return 0;
    case NM_CUSTOMDRAW:
        return nodes_.CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
    case LVN_GETINFOTIPA:
        nodes_.GetInfoTip(*reinterpret_cast<NMLVGETINFOTIPA*>(const_cast<NMHDR*>(&header)));
        return 0;
    case LVN_DELETEALLITEMS:
        return TRUE;  // the rows are ours: no report per row
    default:
        return 0;
    }
}

void MainWindow::OnFilterBar(WORD code)
{
    Scene& scene = CoreInterface::Instance().GetScene();
    switch (code) {
    case FBN_CHANGED: nodes_.SetFilter(scene, filter_.Result()); break;
    case FBN_SUBMITTED:
        if (const FilterResult* result = filter_.Result()) {
            NodeTab matches;
            result->CollectMatchingNodes(matches);
            scene.PickNodes(matches);
            CoreInterface::Instance().ShowStatus(SelectionMessage(matches.Count()).c_str());
        }
        break;
    case FBN_DISMISSED: SetFocus(nodes_.Window()); break;
    }
}

SIZE FirstWindowSize(UINT dpi, const RECT& workArea)
{
    const int width = ScaleForDpi(kFirstWidth, dpi);
    const int height = ScaleForDpi(kFirstHeight, dpi);
    const int areaWidth = workArea.right - workArea.left;
    const int areaHeight = workArea.bottom - workArea.top;
    return {width < areaWidth ? width : areaWidth, height < areaHeight ? height : areaHeight};
}

// Fonts and sizes follow the DPI of the monitor the window is on.
void MainWindow::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    GdiObject font(CreateMessageFont(dpi));
    HFONT shown = static_cast<HFONT>(font ? font.Get() : GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(status_, WM_SETFONT, reinterpret_cast<WPARAM>(shown), FALSE);
    filter_.SetDpi(dpi, shown);
    nodes_.SetDpi(dpi, shown);
    utilities_.SetDpi(dpi, shown);
    // The old font goes only now that no window draws with it.
    font_ = std::move(font);
}

HFONT MainWindow::Font() const
{
    return static_cast<HFONT>(font_ ? font_.Get() : GetStockObject(DEFAULT_GUI_FONT));
}

// The counts' part is as wide as its text needs beside the size grip.
void MainWindow::SetStatusParts()
{
    RECT client;
    GetClientRect(window_, &client);
    const std::string counts = StatusBarText(status_, 1);
    int countsWidth = TextExtent(Font(), counts.c_str()).cx + ScaleForDpi(kCountsPadding, dpi_) +
                      SystemMetricForDpi(SM_CXVSCROLL, dpi_);
    if (countsWidth < ScaleForDpi(kCountsWidth, dpi_)) countsWidth = ScaleForDpi(kCountsWidth, dpi_);
    const int parts[] = {client.right - countsWidth > 0 ? client.right - countsWidth : 0, -1};
    SendMessageA(status_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

void MainWindow::Layout()
{
    RECT client;
    GetClientRect(window_, &client);
    SendMessageA(status_, WM_SIZE, 0, 0);
    SetStatusParts();
    RECT statusRect;
    GetWindowRect(status_, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;
    const int height = client.bottom - statusHeight;
    const int panelWidth = utilities_.PanelWidth();
    const int listWidth = client.right - panelWidth > 0 ? client.right - panelWidth : 0;
    const int barHeight = filter_.Height() < height ? filter_.Height() : height;
    MoveWindow(filter_.Window(), 0, 0, listWidth, barHeight, TRUE);
    MoveWindow(nodes_.Window(), 0, barHeight, listWidth, height - barHeight, TRUE);
    utilities_.Layout(listWidth, 0, panelWidth, height);
}

bool MainWindow::CommandRunning()
{
    if (!theHold.Holding()) return false;
    MessageBoxA(window_, HostText(IDS_COMMAND_WAITING).c_str(), HostText(IDS_APP_NAME).c_str(),
                MB_OK | MB_ICONINFORMATION);
    return true;
}

bool MainWindow::ConfirmDiscard()
{
    Scene& scene = CoreInterface::Instance().GetScene();
    if (!scene.Modified()) return true;
    const std::string question = HostMessage(
        IDS_SAVE_CHANGES, {path_.empty() ? HostText(IDS_THE_SCENE) : FileNameOf(path_)});
    switch (MessageBoxA(window_, question.c_str(), HostText(IDS_APP_NAME).c_str(),
                        MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: return Save(path_.empty());
    case IDNO: return true;
    default: return false;
    }
}

bool MainWindow::NewScene(bool askToSave)
{
    if (CommandRunning() || (askToSave && !ConfirmDiscard())) return false;
    replacingScene_ = true;
    const bool cleared = CoreInterface::Instance().GetScene().Clear();
    replacingScene_ = false;
    if (!cleared) return false;
    ForgetFile();
    CoreInterface::Instance().ShowStatus(HostText(IDS_NEW_SCENE).c_str());
    return true;
}

// The scene is no longer any file's: a Save asks for a name.
void MainWindow::ForgetFile()
{
    path_.clear();
    document_.reset();
    stamp_ = FileStamp();
    UpdateTitle();
}

// A file that an interrupted save may have left part new: a script is told, the user asked
// whether to put its earlier text back. False when the file is not to be opened.
bool MainWindow::RecoverInterruptedSave(const std::string& path, std::string* error)
{
    std::string journal;
    SceneFileError found;
    if (!FindInterruptedSave(path.c_str(), true, journal, found)) return true;
    const std::string line = DescribeError(path.c_str(), found);
    if (error) return Failed(line, error);
    const std::string question = HostMessage(IDS_RESTORE_QUESTION, {line});
    switch (MessageBoxA(window_, question.c_str(), HostText(IDS_APP_NAME).c_str(),
                        MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: {
        SceneFileError restore;
        return RestoreFromJournal(path.c_str(), journal, restore) ||
               Failed(DescribeError(path.c_str(), restore), nullptr);
    }
    case IDNO: return true;
    default: return false;
    }
}

bool MainWindow::OpenScene(const std::string& path, std::string* error)
{
    if (CommandRunning() || !RecoverInterruptedSave(path, error)) return false;
    busy_.Start(HostMessage(IDS_OPENING, {FileNameOf(path)}));
    SceneFileError fileError;
    FileStamp stamp;
    replacingScene_ = true;
    Scene& scene = CoreInterface::Instance().GetScene();
    const std::uint64_t before = scene.TreeVersion();
    const bool loaded = LoadSceneFile(path.c_str(), scene, document_, fileError, &stamp);
    replacingScene_ = false;
    if (!loaded) {
        // The old scene is gone once the read began building: a Save must not write the
        // empty scene over the old file.
        if (scene.TreeVersion() != before) ForgetFile();
        return Failed(DescribeError(path.c_str(), fileError), error);
    }
    path_ = FullPathOf(path);
    stamp_ = stamp;
    filter_.SceneChanged(true);
    nodes_.Rebuild(CoreInterface::Instance().GetScene());
    UpdateTitle();
    CoreInterface::Instance().ShowStatus(HostMessage(IDS_OPENED, {FileNameOf(path)}).c_str());
    return true;
}

void MainWindow::ChooseSceneToOpen()
{
    if (CommandRunning() || !ConfirmDiscard()) return;
    char file[MAX_PATH] = "";
    OPENFILENAMEA open = SceneFileDialog(window_, file, sizeof file);
    open.Flags |= OFN_FILEMUSTEXIST;
    if (AskForSceneFile(open, false)) OpenScene(file);
}

bool MainWindow::Save(bool askForName)
{
    std::string path = path_;
    if (askForName) {
        char file[MAX_PATH] = "";
        lstrcpynA(file, path_.c_str(), sizeof file);
        OPENFILENAMEA save = SceneFileDialog(window_, file, sizeof file);
        // A name typed without extension keeps the format of the file that was read.
        save.lpstrDefExt = FormatOf(path_.c_str()).Extension();
        save.Flags |= OFN_OVERWRITEPROMPT;
        if (!AskForSceneFile(save, true)) return false;
        path = FullPathOf(file);
    }
    return SaveTo(path, nullptr);
}

bool MainWindow::SaveSceneAs(const std::string& path, std::string* error, bool overwriteChanges)
{
    if (CommandRunning()) return false;
    return SaveTo(FullPathOf(path), error, overwriteChanges);
}

// Whether to save over a file that another program changed since the scene was read from it
// or saved to it: the user chooses to overwrite it or to save elsewhere; a script is refused.
bool MainWindow::ConfirmOverwriteOfChanges(const std::string& path, std::string* error,
                                           bool& elsewhere)
{
    elsewhere = false;
    if (!ChangedOnDisk(path.c_str(), stamp_)) return true;
    if (error) return Failed(HostMessage(IDS_CHANGED_ON_DISK_SCRIPT, {path}), error);
    const std::string question = HostMessage(IDS_CHANGED_ON_DISK, {path});
    switch (MessageBoxA(window_, question.c_str(), HostText(IDS_APP_NAME).c_str(),
                        MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: return true;
    case IDNO: elsewhere = true; return false;
    default: return false;
    }
}

bool MainWindow::SaveTo(const std::string& path, std::string* error, bool overwriteChanges)
{
    Scene& scene = CoreInterface::Instance().GetScene();
    const bool ownFile = _stricmp(path.c_str(), path_.c_str()) == 0;
    if (ownFile && document_ && document_->SameAsRead(scene, FormatOf(path.c_str())) &&
        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        scene.SetModified(false);
        UpdateTitle();
        CoreInterface::Instance().ShowStatus(
            HostMessage(IDS_NOTHING_TO_SAVE, {FileNameOf(path)}).c_str());
        return true;
    }
    bool elsewhere = false;
    if (ownFile && !overwriteChanges && !ConfirmOverwriteOfChanges(path, error, elsewhere))
        return elsewhere && Save(true);
    busy_.Start(HostMessage(IDS_SAVING, {FileNameOf(path)}));
    SceneFileError fileError;
    FileStamp stamp;
    std::vector<std::string> copied;
    if (!SaveSceneFile(path.c_str(), scene, document_.get(), fileError, &stamp, &copied))
        return Failed(DescribeError(path.c_str(), fileError), error);
    if (document_) document_->Saved(path.c_str());
    path_ = path;
    stamp_ = stamp;
    scene.SetModified(false);
    UpdateTitle();
    std::string files;
    for (const std::string& file : copied) files += (files.empty() ? "" : ", ") + file;
    CoreInterface::Instance().ShowStatus(
        (copied.empty() ? HostMessage(IDS_SAVED, {FileNameOf(path)})
                        : HostMessage(IDS_SAVED_COPIED, {FileNameOf(path), files}))
            .c_str());
    return true;
}

void MainWindow::UndoOrRedo(bool undo)
{
    if (CommandRunning()) return;
    const std::string name = undo ? theHold.UndoName() : theHold.RedoName();
    CoreInterface& core = CoreInterface::Instance();
    busy_.Start(HostMessage(undo ? IDS_UNDOING : IDS_REDOING, {name}));
    // The views and the plug-ins hear of the step's changes once it has run.
    if (!(undo ? theHold.Undo() : theHold.Redo())) return;
    core.ShowStatus(HostMessage(undo ? IDS_UNDONE : IDS_REDONE, {name}).c_str());
    UpdateTitle();  // back where the scene was saved, it counts as unchanged again
}

void MainWindow::SelectAll(bool select)
{
    CoreInterface& core = CoreInterface::Instance();
    NodeTab nodes;
    if (select) core.GetScene().CollectNodes(nodes);
    core.GetScene().PickNodes(nodes);
    core.DeliverChanges();
    core.ShowStatus(SelectionMessage(nodes.Count()).c_str());
}

void MainWindow::ToggleHiddenOfSelection()
{
    Scene& scene = CoreInterface::Instance().GetScene();
    NodeTab selection;
    selection.SetCount(scene.SelectedCount());
    for (int i = 0; i < scene.SelectedCount(); ++i) selection.Set(i, scene.SelectedNode(i));
    ChangeHidden(selection, [](const SceneNode* node) { return !node->IsHidden(); });
}

void MainWindow::SetHidden(const NodeTab& nodes, bool hidden)
{
    ChangeHidden(nodes, [hidden](const SceneNode*) { return hidden; });
}

void MainWindow::ChangeHidden(const NodeTab& nodes,
                              const std::function<bool(const SceneNode*)>& hidden)
{
    if (CommandRunning()) return;
    const HiddenCounts counts = CoreInterface::Instance().GetScene().ChangeHidden(
        nodes, hidden, HostText(IDS_HIDE_STEP).c_str());
    const int hid = counts.hid, unhid = counts.unhid;
    std::string said = HostText(IDS_NOTHING_TO_HIDE);
    if (hid && unhid)
        said = HostMessage(IDS_HID_AND_UNHID, {GroupedNumber(hid), GroupedNumber(unhid)});
    else if (unhid)
        said = CountMessage(unhid, IDS_UNHID_ONE, IDS_UNHID_MANY);
    else if (nodes.Count() > 0)
        said = CountMessage(hid, IDS_HID_ONE, IDS_HID_MANY);
    CoreInterface::Instance().ShowStatus(said.c_str());
}

void MainWindow::ShowAbout()
{
    std::string text = HostText(IDS_ABOUT_TEXT);
    for (const PluginModule& plugin : utilities_.Plugins()) text += DescribePlugin(plugin) + "\n";
    MessageBoxA(window_, text.c_str(), HostText(IDS_ABOUT_TITLE).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void MainWindow::UpdateTitle()
{
    ShowTitle();
    UpdateCounts();
}

void MainWindow::ShowTitle()
{
    const bool modified = CoreInterface::Instance().GetScene().Modified();
    std::string title = HostText(IDS_APP_NAME);
    title += " - " + (path_.empty() ? HostText(IDS_UNTITLED) : FileNameOf(path_));
    if (modified) title += " *";
    // A run over thousands of nodes reports each one; the caption changes at most once.
    if (title == shownTitle_) return;
    shownTitle_ = title;
    SetWindowTextA(window_, title.c_str());
}

void MainWindow::UpdateCounts()
{
    Scene& scene = CoreInterface::Instance().GetScene();
    const std::string counts = HostMessage(
        IDS_COUNTS, {GroupedNumber(scene.NodeCount()), GroupedNumber(scene.SelectedCount())});
    SendMessageA(status_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(counts.c_str()));
    SetStatusParts();
}

bool MainWindow::Failed(const std::string& line, std::string* error)
{
    if (error)
        *error = line;
    else
        MessageBoxA(window_, line.c_str(), HostText(IDS_APP_NAME).c_str(), MB_OK | MB_ICONERROR);
    return false;
}

std::string MainWindow::StatusText() const { return StatusBarText(status_, 0); }

// What the scene tells the views comes in the middle of its work: a failure here is
// reported and goes no further.
void MainWindow::SelectionChanged() noexcept
{
    Guarded([this] {
        const Scene& scene = CoreInterface::Instance().GetScene();
        // A scene being cleared drops its selection just before its nodes: rather than
        // unmark each of its selected rows, the list lets go of them all at once.
        if (replacingScene_ && scene.SelectedCount() == 0)
            nodes_.ShowNoRows(scene);
        else
            nodes_.ShowSelection(scene);
        UpdateCounts();
    });
}

void MainWindow::NodeChanged(SceneNode* node) noexcept
{
    Guarded([this, node] {
        nodes_.ShowNode(node);
        filter_.SceneChanged(false);
        ShowTitle();
    });
}

void MainWindow::NodesChanged() noexcept
{
    Guarded([this] {
        nodes_.ShowAllNodes();
        filter_.SceneChanged(false);
        ShowTitle();
    });
}

void MainWindow::TextsChanging() noexcept
{
    Guarded([this] { filter_.StopReading(); });
}

void MainWindow::SceneRebuilt() noexcept
{
    Guarded([this] {
        filter_.SceneChanged(true);
        nodes_.Rebuild(CoreInterface::Instance().GetScene());
        UpdateTitle();
    });
}

// The first status after steps went for the undo memory limit says how many.
void MainWindow::StatusShown(const char* text, void* context)
{
    auto* self = static_cast<MainWindow*>(context);
    std::string shown = text;
    if (const int dropped = theHold.TakeDroppedSteps())
        shown = dropped == 1 ? HostMessage(IDS_UNDO_DROPPED_ONE, {shown})
                             : HostMessage(IDS_UNDO_DROPPED_MANY,
                                           {shown, GroupedNumber(dropped)});
    SendMessageA(self->status_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

// From any thread, in the middle of handling a message: the status line shows it once this
// window's thread is back in its loop. The detail goes along as a copy of its own.
void MainWindow::FailureReported(Failure failure, const char* detail, void* context)
{
    auto* self = static_cast<MainWindow*>(context);
    char* copy = detail ? static_cast<char*>(std::malloc(std::strlen(detail) + 1)) : nullptr;
    if (copy) std::strcpy(copy, detail);
    if (!PostMessageA(self->window_, WM_APP_FAILED, static_cast<WPARAM>(failure),
                      reinterpret_cast<LPARAM>(copy)))
        std::free(copy);
}

void MainWindow::ShowFailure(Failure failure, char* detail)
{
    const std::string text = failure == Failure::kOutOfMemory ? HostText(IDS_FAILED_MEMORY)
                             : detail ? HostMessage(IDS_FAILED_BECAUSE, {detail})
                                      : HostText(IDS_FAILED);
    std::free(detail);
    ++failureCount_;
    lastFailure_ = text;
    MessageBeep(MB_ICONERROR);
    CoreInterface::Instance().ShowStatus(text.c_str());
}

bool MainWindow::TranslateKeyboard(MSG* msg)
{
    // Only keys make shortcuts: other messages need not ask where the focus is, which under
    // Wine is a round trip to the server. Shortcuts pause while an edit field has the focus,
    // so typing reaches it.
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        if (TableKey(*msg)) return true;
        const HWND focus = GetFocus();
        const bool typing = !AcceleratorsEnabled() || focus == filter_.Field() ||
                            (nodes_.CellEditor() && focus == nodes_.CellEditor());
        if (!typing && TranslateAcceleratorA(window_, accelerators_, msg)) return true;
    }
    return CoreInterface::Instance().TranslateDialogMessage(msg);
}

int MainWindow::RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateKeyboard(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

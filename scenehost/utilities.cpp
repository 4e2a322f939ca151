#include "utilities.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "coreinterface.h"
#include "handles.h"
#include "mainwindowids.h"

namespace {

const int kRowHeight = 24;

std::vector<std::string> PluginFiles(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA((folder + "*.dlu").c_str(), &found));
    if (!search) return files;
    do {
        files.push_back(folder + found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
    std::sort(files.begin(), files.end());
    return files;
}

HFONT UiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

}  // namespace

std::string ProgramFolder()
{
    // The folder may be deeper than MAX_PATH: the buffer grows until the name fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
}

void RestrictDllSearch()
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void UtilityChooser::LoadPlugins(const std::string& folder, std::vector<std::string>& errors)
{
    for (const std::string& file : PluginFiles(folder)) {
        PluginModule plugin;
        CStr error;
        if (LoadPluginModule(file.c_str(), plugin, error))
            plugins_.push_back(plugin);
        else
            errors.push_back(error.data());
    }
}

void UtilityChooser::Create(HWND owner)
{
    owner_ = owner;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    label_ = CreateWindowExA(0, "STATIC", "Utility:", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 0,
                             0, 0, owner, nullptr, instance, nullptr);
    combo_ = CreateWindowExA(0, WC_COMBOBOXA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                             0, 0, 200, owner, reinterpret_cast<HMENU>(kUtilityChooserId),
                             instance, nullptr);
    SendMessageA(label_, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    SendMessageA(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("(none)"));
    for (const PluginModule& plugin : plugins_) {
        CStr entry = plugin.descriptor->DisplayName();
        entry += " (";
        entry += plugin.descriptor->CategoryName();
        entry += ")";
        SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.data()));
    }
    SendMessageA(combo_, CB_SETCURSEL, 0, 0);
    CoreInterface::Instance().CreatePanelWindow(owner, 0, 0, 0, 0);
}

void UtilityChooser::Layout(int x, int y, int width, int height)
{
    MoveWindow(label_, x + 4, y + 4, 44, kRowHeight - 6, TRUE);
    MoveWindow(combo_, x + 50, y + 2, width - 54, 200, TRUE);
    MoveWindow(CoreInterface::Instance().PanelWindow(), x, y + kRowHeight + 4, width,
               height - kRowHeight - 4, TRUE);
}

UtilityObject* UtilityChooser::UtilityAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(plugins_.size())) return nullptr;
    return static_cast<UtilityObject*>(plugins_[index].descriptor->CreateInstance(0));
}

void UtilityChooser::Choose(int index)
{
    if (index == active_) return;
    CoreInterface& core = CoreInterface::Instance();
    if (UtilityObject* current = UtilityAt(active_)) current->Deactivate(&core, this);
    active_ = -1;
    if (UtilityObject* next = UtilityAt(index)) {
        active_ = index;
        next->Activate(&core, this);
    }
    SendMessageA(combo_, CB_SETCURSEL, active_ + 1, 0);
}

void UtilityChooser::ComboChanged()
{
    Choose(static_cast<int>(SendMessageA(combo_, CB_GETCURSEL, 0, 0)) - 1);
}

void UtilityChooser::ClosePanel() { PostMessageA(owner_, WM_APP_CLOSE_PANEL, 0, 0); }

void UtilityChooser::PanelCloseRequested() { Choose(-1); }

std::string DescribePlugin(const PluginModule& plugin)
{
    ClassDescriptor* descriptor = plugin.descriptor;
    const ClassKey key = descriptor->GetClassKey();
    std::string line = plugin.path.data();
    line = line.substr(line.find_last_of("\\/") + 1);
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "kind 0x%04X, key 0x%08X 0x%08X, version 0x%08lX",
                  descriptor->KindCode(), key.first, key.second, plugin.version);
    line += std::string(": \"") + plugin.description.data() + "\"; class \"";
    line += descriptor->DisplayName();
    line += "\", category \"";
    line += descriptor->CategoryName();
    return line + "\", " + numbers;
}

#include "utilities.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "coreinterface.h"
#include "dpi.h"
#include "hosttexts.h"
#include "handles.h"
#include "mainwindowids.h"
#include "resource.h"

namespace {

// Sizes at 96 DPI.
const int kRowHeight = 24;
const int kMargin = 4;
const int kDropDownHeight = 200;
const int kPanelWidth = 250;
const int kMinChooserWidth = 120;

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
    label_ = CreateWindowExA(0, "STATIC", HostText(IDS_CHOOSER_LABEL).c_str(), WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 0,
                             0, 0, owner, nullptr, instance, nullptr);
    combo_ = CreateWindowExA(0, WC_COMBOBOXA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                             0, 0, 200, owner, reinterpret_cast<HMENU>(kUtilityChooserId),
                             instance, nullptr);
    SendMessageA(combo_, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(HostText(IDS_NO_UTILITY).c_str()));
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

void UtilityChooser::SetDpi(UINT dpi, HFONT font)
{
    dpi_ = dpi;
    for (HWND control : {label_, combo_})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    labelWidth_ = TextExtent(font, HostText(IDS_CHOOSER_LABEL).c_str()).cx;
    RECT closed;
    GetWindowRect(combo_, &closed);
    const int row = closed.bottom - closed.top + ScaleForDpi(kMargin, dpi);
    rowHeight_ = row > ScaleForDpi(kRowHeight, dpi) ? row : ScaleForDpi(kRowHeight, dpi);
}

void UtilityChooser::Layout(int x, int y, int width, int height)
{
    const int margin = ScaleForDpi(kMargin, dpi_);
    MoveWindow(label_, x + margin, y + margin / 2, labelWidth_, rowHeight_ - margin, TRUE);
    const int comboLeft = margin + labelWidth_ + margin;
    const int comboWidth = width - comboLeft - margin;
    MoveWindow(combo_, x + comboLeft, y + margin / 2, comboWidth > 0 ? comboWidth : 0,
               ScaleForDpi(kDropDownHeight, dpi_), TRUE);
    MoveWindow(CoreInterface::Instance().PanelWindow(), x, y + rowHeight_ + margin, width,
               height - rowHeight_ - margin, TRUE);
}

int UtilityChooser::PanelWidth() const
{
    // The pages are laid out by the dialog manager in the module's dialog units: the panel
    // is at least as wide as the widest of them.
    CoreInterface& core = CoreInterface::Instance();
    const int margin = ScaleForDpi(kMargin, dpi_);
    int width = ScaleForDpi(kPanelWidth, dpi_);
    for (int i = 0; i < core.PanelPageCount(); ++i) {
        RECT page;
        if (!GetWindowRect(core.PanelPage(i), &page)) continue;
        const int needed = page.right - page.left + 2 * margin;
        if (needed > width) width = needed;
    }
    const int chooser = margin + labelWidth_ + margin + ScaleForDpi(kMinChooserWidth, dpi_) + margin;
    return width > chooser ? width : chooser;
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
    // The pages may need a wider panel.
    SendMessageA(owner_, WM_APP_LAYOUT, 0, 0);
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

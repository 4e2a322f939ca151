// The utility panel of the application: the plug-ins found beside the program, a chooser,
// and the panel in which the chosen utility shows its pages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "interface.h"
#include "plugins.h"

class UtilityChooser : public UtilityPanel {
public:
    // Loads every *.dlu of folder; one line per module that failed goes to errors.
    void LoadPlugins(const std::string& folder, std::vector<std::string>& errors);
    const std::vector<PluginModule>& Plugins() const { return plugins_; }

    void Create(HWND owner);
    // Font and sizes for the DPI the window is shown at.
    void SetDpi(UINT dpi, HFONT font);
    void Layout(int x, int y, int width, int height);
    // The width the panel needs: the chooser's row and the widest page.
    int PanelWidth() const;
    HWND Label() const { return label_; }
    void Choose(int index);  // -1 closes the panel's utility
    int Chosen() const { return active_; }
    HWND Chooser() const { return combo_; }
    void ComboChanged();

    // A utility asks to close the panel from inside its own page's button handler: the page
    // is removed once that handler has returned.
    void ClosePanel() override;
    void PanelCloseRequested();

private:
    UtilityObject* UtilityAt(int index) const;

    std::vector<PluginModule> plugins_;
    HWND owner_ = nullptr;
    HWND label_ = nullptr;
    HWND combo_ = nullptr;
    int active_ = -1;
    UINT dpi_ = 96;
    int labelWidth_ = 0;
    int rowHeight_ = 0;
};

// The folder of the program, where its plug-ins are, with a trailing separator.
std::string ProgramFolder();

// From here on the process loads code only from the program's folder and the system's,
// never from the current folder or the PATH.
void RestrictDllSearch();

// One line per plug-in: what the host learns from its exports and descriptor.
std::string DescribePlugin(const PluginModule& plugin);

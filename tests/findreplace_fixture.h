// What the Find/Replace window tests share: the module loaded into the test host, and the
// floater driven as a user would, through its fields and buttons.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "test_host.h"

namespace findreplace {

constexpr char kModule[] = "tarnwick.dlu";
constexpr char kCaption[] = "Find/Replace Properties";

enum FloaterControl {
    kSearchSelect = 1002,
    kRemove = 1003,
    kReplace = 1004,
    kWriteAll = 1005,
    kFindField = 1006,
    kReplaceField = 1007,
};

enum QuestionButton {
    kMultiCancel = 1007,
    kIgnore = 1008,
    kIgnoreAll = 1009,
    kConfirmReplace = 1012,
    kConfirmReplaceAll = 1013,
    kConfirmCancel = 1014,
};

class FloaterTest : public testing::Test {
protected:
    void SetUp() override
    {
        host.Reset();
        host.Load(kModule);
    }
    void TearDown() override
    {
        CloseFloater();
        host.Reset();
    }

    // Through the utility panel's "Create Floater" button.
    HWND OpenFloater()
    {
        UtilityObject* utility = host.Utility(kModule);
        utility->Activate(&host.Core(), &host.Panel());
        SendMessageA(GetDlgItem(host.Core().PanelPage(0), 1001), BM_CLICK, 0, 0);
        utility->Deactivate(&host.Core(), &host.Panel());
        floater = FindTopWindow(kCaption);
        return floater;
    }
    void CloseFloater()
    {
        while (HWND open = FindTopWindow(kCaption)) SendMessageA(open, WM_COMMAND, IDCANCEL, 0);
        PumpMessages();
        floater = nullptr;
    }

    HWND Item(int id) const { return GetDlgItem(floater, id); }
    // Setting the text notifies the floater as typing does.
    void Type(int field, const char* text) { SetWindowTextA(Item(field), text); }
    void Click(int button) { SendMessageA(Item(button), BM_CLICK, 0, 0); }
    // Opens the floater, fills both fields and presses the button.
    void Run(int button, const char* find, const char* replace = "")
    {
        if (!floater && !OpenFloater()) FAIL() << "no floater";
        Type(kFindField, find);
        Type(kReplaceField, replace);
        Click(button);
    }

    std::string Status() { return host.Core().StatusText(); }
    std::vector<std::string> Texts(const std::vector<SceneNode*>& nodes)
    {
        std::vector<std::string> texts;
        for (SceneNode* node : nodes) texts.push_back(NodeText(node));
        return texts;
    }
    std::vector<SceneNode*> Selection()
    {
        std::vector<SceneNode*> nodes;
        for (int i = 0; i < host.Core().SelectedCount(); ++i)
            nodes.push_back(host.Core().SelectedNode(i));
        return nodes;
    }

    TestHost& host = TestHost::Get();
    DialogAnswerer answerer;
    HWND floater = nullptr;
};

}  // namespace findreplace

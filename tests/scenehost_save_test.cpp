// Saving and closing: Save and Save As, the modified mark in the title, and the question
// about unsaved changes on Exit, Close and the end of the session.
#include <gtest/gtest.h>

#include <string>

#include "scenehost_fixture.h"
#include "scenetext.h"

namespace scenehost {
namespace {

// Puts the current directory back however the test ends.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept() { GetCurrentDirectoryA(sizeof saved_, saved_); }
    ~CurrentDirectoryKept() { SetCurrentDirectoryA(saved_); }
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;

private:
    char saved_[MAX_PATH] = "";
};

std::string CurrentDirectory()
{
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

using SaveAndClose = SceneHostTest;

TEST_F(SaveAndClose, SaveWritesTheFileAndClearsTheMark)
{
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
    node[kLamp]->SetHidden(true);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_FILE_SAVE);
    EXPECT_TRUE(answerer.Seen().empty()) << "the scene has its file: no dialog";
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
    EXPECT_EQ(Status(), "Saved desk.scene");
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos)
        << ReadFile(deskPath);

    ChangeText(kArm, "LOD=4", "Edit Arm");
    Command(IDM_FILE_SAVE);
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *")
        << "an undo after saving is a change";
}

TEST_F(SaveAndClose, UndoingBackToTheSavedStateClearsTheMark)
{
    ChangeText(kArm, "LOD=4", "Edit Arm");
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene") << "back as it was opened";
    EXPECT_FALSE(TheScene().Modified());
    Command(IDM_EDIT_REDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");

    Command(IDM_FILE_SAVE);
    Command(IDM_EDIT_UNDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    Command(IDM_EDIT_REDO);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene") << "back as it was saved";
    EXPECT_FALSE(TheScene().Modified());
}

TEST_F(SaveAndClose, SaveAsWritesTheNamedFileWithItsExtensionAndKeepsIt)
{
    node[kLamp]->SetHidden(true);
    const std::string copy = TestFolder() + "copy";
    answerer.Queue(TypeFileName("Save As", copy));
    Command(IDM_FILE_SAVE_AS);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(WindowText(window), "Scene Host - copy.scene");
    EXPECT_EQ(ReadFile(copy + ".scene"), FormatSceneText(TheScene()));
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\"\n"), std::string::npos)
        << "the file opened before is left as it was";

    node[kLamp]->SetHidden(false);
    Command(IDM_FILE_SAVE);
    EXPECT_EQ(answerer.Seen().size(), 1u) << "Save goes to the new name without asking";
    EXPECT_EQ(ReadFile(copy + ".scene"), FormatSceneText(TheScene()));
}

TEST_F(SaveAndClose, FailedSaveSaysWhyAndKeepsTheMark)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));

    answerer.Press(IDOK);
    Command(IDM_FILE_SAVE);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, path + ": cannot be written");
    EXPECT_EQ(answerer.Seen()[0].icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    EXPECT_TRUE(TheScene().Modified());
    EXPECT_NE(Status(), "Saved desk.scene");
}

TEST_F(SaveAndClose, SaveGoesToTheOpenedFileWhereverTheCurrentDirectoryMoved)
{
    CurrentDirectoryKept kept;
    const std::string moved = TestFolder() + "moved";
    ASSERT_TRUE(CreateDirectoryA(moved.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(TestFolder().c_str()));
    ASSERT_TRUE(App().OpenScene("desk.scene"));
    const std::string folder = CurrentDirectory();

    // Browsing into another folder and cancelling leaves the current directory alone.
    answerer.Queue(TypeFileName("Open", moved));
    Command(IDM_FILE_OPEN);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(CurrentDirectory(), folder);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");

    ASSERT_TRUE(SetCurrentDirectoryA(moved.c_str()));
    SceneNode* lamp = TheScene().Root()->Child(1);  // the nodes of the scene opened again
    ASSERT_STREQ(lamp->NodeName(), "Lamp");
    lamp->SetHidden(true);
    Command(IDM_FILE_SAVE);
    EXPECT_EQ(answerer.Seen().size(), 1u) << "no error, no dialog";
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos)
        << "the file that was opened is the one written";
    EXPECT_EQ(GetFileAttributesA((moved + "\\desk.scene").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene");
}

TEST_F(SaveAndClose, EndingTheSessionAsksLikeClosing)
{
    auto queryEnd = [this] { return SendMessageA(window, WM_QUERYENDSESSION, 0, 0); };
    EXPECT_TRUE(queryEnd()) << "nothing to save: no question";
    EXPECT_TRUE(answerer.Seen().empty());

    node[kLamp]->SetHidden(true);
    answerer.Press(IDCANCEL);
    EXPECT_FALSE(queryEnd()) << "cancelled";
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Save changes to desk.scene?");
    EXPECT_TRUE(TheScene().Modified());

    answerer.Press(IDNO);
    EXPECT_TRUE(queryEnd()) << "changes given up";
    EXPECT_TRUE(TheScene().Modified());
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\"\n"), std::string::npos);

    theHold.Begin();
    answerer.Press(IDOK);
    EXPECT_FALSE(queryEnd()) << "a command waits for an answer";
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Seen()[2].text, kBusyText);

    answerer.Press(IDYES);
    EXPECT_TRUE(queryEnd()) << "saved";
    EXPECT_FALSE(TheScene().Modified());
    EXPECT_NE(ReadFile(deskPath).find("node 1 \"Lamp\" hidden\n"), std::string::npos);
    EXPECT_TRUE(IsWindow(window)) << "the session may still go on";
}

TEST_F(SaveAndClose, EndingTheSessionWhenTheSaveFailsIsRefused)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));
    answerer.Press(IDYES).Press(IDOK);
    EXPECT_FALSE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0));
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].text, path + ": cannot be written");
    EXPECT_TRUE(TheScene().Modified());
}

TEST_F(SaveAndClose, ExitWithChangesAsksAndCancelKeepsTheWindow)
{
    node[kLamp]->SetHidden(true);
    answerer.Press(IDCANCEL);
    Command(IDM_FILE_EXIT);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenDialog& box = answerer.Seen()[0];
    EXPECT_EQ(box.text, "Save changes to desk.scene?");
    EXPECT_EQ(box.caption, kAppName);
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONWARNING));
    for (int button : {IDYES, IDNO, IDCANCEL}) EXPECT_TRUE(box.HasControl(button)) << button;
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(WindowText(window), "Scene Host - desk.scene *");
    EXPECT_TRUE(node[kLamp]->IsHidden());
}

TEST_F(SaveAndClose, CloseAnsweredYesButSaveFailsKeepsTheWindow)
{
    std::string path;
    ASSERT_NO_FATAL_FAILURE(OpenChangedSceneWhoseFolderIsGone(path));

    answerer.Press(IDYES).Press(IDOK);
    SendMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].text, "Save changes to desk.scene?");
    EXPECT_EQ(answerer.Seen()[1].text, path + ": cannot be written");
    ASSERT_TRUE(IsWindow(window)) << "the changes were not saved";
    EXPECT_TRUE(TheScene().Modified());
}

TEST_F(SaveAndClose, CloseWhileACommandIsOpenIsRefused)
{
    node[kLamp]->SetHidden(true);
    theHold.Begin();
    answerer.Press(IDOK);
    SendMessageA(window, WM_CLOSE, 0, 0);
    theHold.Cancel();
    ASSERT_EQ(answerer.Seen().size(), 1u) << "no question about saving";
    EXPECT_EQ(answerer.Seen()[0].text, kBusyText);
    EXPECT_EQ(answerer.Seen()[0].icon, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_TRUE(IsWindow(window));
}

}  // namespace
}  // namespace scenehost

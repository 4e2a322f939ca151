// Every command of scenehost --script in one table: the handler's name in ScriptRunner, the
// command as a script writes it, and the arguments it takes. The reader checks lines against
// the shapes; the runner declares and dispatches one handler per entry, so a command added
// here without its handler does not build.
//
// Arguments: [X] optional, X... one or more, [X...] any number, a|b one of the words, a word
// in lower case itself, KEY|none a key or the word;
// INDEX, X, Y, W and H are whole numbers.
#pragma once

#define SCRIPT_COMMANDS(COMMAND)                                        \
    COMMAND(New, "new", "")                                             \
    COMMAND(Open, "open", "FILE")                                       \
    COMMAND(Save, "save", "[FILE]")                                     \
    COMMAND(SaveOverChanges, "save!", "[FILE]")                         \
    COMMAND(Select, "select", "[PATH...]")                              \
    COMMAND(Hide, "hide", "PATH...")                                    \
    COMMAND(Unhide, "unhide", "PATH...")                                \
    COMMAND(SetProps, "set-props", "PATH TEXT")                         \
    COMMAND(Utility, "utility", "NAME")                                 \
    COMMAND(ClosePanel, "close-panel", "")                              \
    COMMAND(Menu, "menu", "TEXT...")                                    \
    COMMAND(Click, "click", "WINDOW CONTROL")                           \
    COMMAND(Type, "type", "WINDOW CONTROL TEXT")                        \
    COMMAND(Pick, "pick", "WINDOW CONTROL INDEX")                       \
    COMMAND(Answer, "answer", "ACTION...")                              \
    COMMAND(Move, "move", "WINDOW X Y")                                 \
    COMMAND(Size, "size", "WINDOW W H")                                 \
    COMMAND(Close, "close", "WINDOW")                                   \
    COMMAND(Undo, "undo", "")                                           \
    COMMAND(Redo, "redo", "")                                           \
    COMMAND(ExpectProps, "expect props", "PATH TEXT")                   \
    COMMAND(ExpectSelection, "expect selection", "[PATH...]")           \
    COMMAND(ExpectStatus, "expect status", "TEXT")                      \
    COMMAND(ExpectMessage, "expect message", "TEXT [CAPTION]")          \
    COMMAND(ExpectNoMessage, "expect no-message", "")                   \
    COMMAND(ExpectText, "expect text", "WINDOW CONTROL TEXT")           \
    COMMAND(ExpectEnabled, "expect enabled", "WINDOW CONTROL yes|no")   \
    COMMAND(ExpectItems, "expect items", "WINDOW CONTROL [TEXT...]")    \
    COMMAND(ExpectCurrent, "expect current", "WINDOW CONTROL INDEX")    \
    COMMAND(ExpectWindow, "expect window", "WINDOW open|closed")        \
    COMMAND(ExpectPosition, "expect position", "WINDOW X Y")            \
    COMMAND(ExpectSize, "expect size", "WINDOW W H")                    \
    COMMAND(View, "view", "table|lines")                                \
    COMMAND(SetKey, "set-key", "KEY VALUE")                             \
    COMMAND(RemoveKey, "remove-key", "KEY")                             \
    COMMAND(RenameKey, "rename-key", "OLD NEW [all]")                   \
    COMMAND(Sort, "sort", "KEY|none")                                   \
    COMMAND(ExpectColumns, "expect columns", "[KEY...]")                \
    COMMAND(ExpectCell, "expect cell", "PATH KEY TEXT")                 \
    COMMAND(ExpectUndo, "expect undo", "NAME")                          \
    COMMAND(ExpectRedo, "expect redo", "NAME")                          \
    COMMAND(ExpectModified, "expect modified", "yes|no")                \
    COMMAND(PrintProps, "print props", "PATH")                          \
    COMMAND(PrintSelection, "print selection", "")                      \
    COMMAND(PrintTree, "print tree", "")                                \
    COMMAND(PrintStatus, "print status", "")                            \
    COMMAND(PrintWindow, "print window", "WINDOW")

enum class ScriptCommandId {
#define SCRIPT_COMMAND_ID(handler, name, usage) handler,
    SCRIPT_COMMANDS(SCRIPT_COMMAND_ID)
#undef SCRIPT_COMMAND_ID
};

// How a script run ends: the program's exit status.
enum ScriptExit {
    kExitPassed = 0,        // every command ran and every expect held
    kExitExpectFailed = 1,  // an expect did not hold
    kExitError = 2,         // a line, file, node, window, control or question could not be handled
    kExitInterrupted = 3,   // the batch was stopped before its end
};

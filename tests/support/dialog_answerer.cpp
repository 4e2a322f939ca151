#include "dialog_answerer.h"

#include <gtest/gtest.h>

#include "test_host.h"

DialogAnswerer::~DialogAnswerer()
{
    PumpMessages();
    answerer_.Settle();
    EXPECT_EQ(answerer_.Failure().reason, "") << "answering the questions went wrong";
}

DialogAnswerer& DialogAnswerer::Press(int button) { return Queue({{}, button, nullptr}); }

DialogAnswerer& DialogAnswerer::PressKeys(std::vector<int> keys, int thenButton)
{
    return Queue({std::move(keys), thenButton, nullptr});
}

DialogAnswerer& DialogAnswerer::Queue(Answer answer)
{
    std::vector<AnswerAction> actions;
    if (answer.whileOpen)
        actions.push_back(AnswerAction::Run([run = answer.whileOpen](HWND) { run(); }));
    for (int key : answer.keys) actions.push_back(AnswerAction::Key(key));
    if (answer.button) actions.push_back(AnswerAction::Button(answer.button));
    answerer_.Queue(0, std::move(actions));
    return *this;
}

int DialogAnswerer::Unanswered() const
{
    int count = 0;
    for (const SeenDialog& dialog : Seen()) count += dialog.answered ? 0 : 1;
    return count;
}

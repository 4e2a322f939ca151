// The tests' side of the application's question answerer: answers given by control id and
// key, and what each question showed. An answer that goes wrong, or a question that came
// unasked, fails the test.
#pragma once

#include <functional>
#include <vector>

#include "questionanswerer.h"

using SeenDialog = ShownQuestion;

class DialogAnswerer {
public:
    struct Answer {
        std::vector<int> keys;            // virtual keys sent first, e.g. VK_ESCAPE
        int button = 0;                   // then this button is pressed; 0 for none
        std::function<void()> whileOpen;  // runs while the dialog is open, before any key
    };

    ~DialogAnswerer();

    DialogAnswerer& Press(int button);
    DialogAnswerer& PressKeys(std::vector<int> keys, int thenButton = 0);
    DialogAnswerer& Queue(Answer answer);

    const std::vector<SeenDialog>& Seen() const { return answerer_.Shown(); }
    size_t Pending() const { return answerer_.Pending(); }
    int Unanswered() const;

private:
    QuestionAnswerer answerer_;
};

// The question-and-answer object (type 4): when its turn comes in the object pass it pauses the frame, asks
// its question with one button per answer over the frame window, waits for a click on an answer, raises its
// conditions for the answer chosen and goes.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vtrrt {

struct RunObject;

// An answer paragraph with this flag is a correct answer; a paragraph with the shadow flag is drawn over a
// white copy of itself two pixels off.
constexpr std::uint16_t AnswerCorrect = 0x100;
constexpr std::uint16_t ParagraphWhiteShadow = 0x200;
// The dialog's result for a correct answer carries this bit beside the answer's number.
constexpr std::int32_t AnswerCorrectBit = 0x8000;

// Where the box, the question and the answers lie, in the frame window's client coordinates.
struct QuestionLayout {
    win32::RECT box{};
    win32::RECT question{};
    std::vector<win32::RECT> answers;
};

// The box of a question: 8 pixels around and between the question and the first answer, 4 between answers,
// each answer as wide as the inside of the box and 3/2 of its text's height high (the line unit when it has
// none), the box max(64, widest answer + 32) wide at (x, y), reduced and centred to a window narrower than
// it. `questionHeight` measures the question broken into lines of the width it is given.
QuestionLayout LayOutQuestion(std::int32_t x, std::int32_t y, std::int32_t windowWidth,
                              const std::function<int(int width)>& questionHeight,
                              std::span<const win32::SIZE> answerTexts, int lineUnit);

// Asks the object's question over the frame window and waits for an answer: its number (the paragraph's,
// from 1), with AnswerCorrectBit for a correct one; 0 when the loop ended without an answer (a quit command,
// which is posted to the main window again, the window closed or the run asked to end).
std::int32_t RunQuestionDialog(RunObject* object);

// The kind's handle routine: the frame paused around the dialog, the answer's conditions raised, the object
// destroyed at the end of the loop.
int HandleQuestionObject(RunObject* object);

// The dialog of the question being asked now (its frame window and layout), for the tests that answer it;
// null when none is asked.
const QuestionLayout* QuestionAsked();

// The kind's routines, its action and its conditions.
void InstallQuestionRoutines();

} // namespace vtrrt

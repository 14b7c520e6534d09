// Where the game-over frame asks whether to play again, for the demo and its tests.
#pragma once

#include <cstdint>

// Object handle of the question, where its box stands, and its answers' texts.
constexpr std::uint16_t GameOverQuestion = 71;
constexpr int QuestionX = 200, QuestionY = 300;
constexpr char16_t PlayAgainYes[] = u"Yes, play again", PlayAgainNo[] = u"No, back to the title";

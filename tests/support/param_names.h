// Readable names for parameterised tests, so that a test's name says its case and is the same in every run.
#pragma once

#include <string>

namespace test_support {

// A word and a number, the sign spelled out so that the name stays a valid test name ("Bits16",
// "LevelMinus3").
inline std::string Numbered(const std::string& word, long long value) {
    return word + (value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value));
}

} // namespace test_support

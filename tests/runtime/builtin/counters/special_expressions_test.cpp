// The special object's expression functions through the evaluator: each one's result and type, and the edge
// cases of rounding, trigonometry, text of numbers, string parts, searching and the command line.
#include "builtin/special_expressions.h"
#include "special_fixture.h"

#include <cmath>

using namespace specialtest;

namespace {

struct FunctionCase {
    const char* name;
    std::int16_t number;
    std::vector<Argument> arguments;
    TypedValue expected;
    std::u16string text; // for string results
};

FunctionCase Number(const char* name, std::int16_t n, std::vector<Argument> a, std::int32_t v) {
    return {name, n, std::move(a), TypedValue::Int(v), {}};
}
FunctionCase Real(const char* name, std::int16_t n, std::vector<Argument> a, double v) {
    return {name, n, std::move(a), TypedValue::Double(v), {}};
}
FunctionCase Text(const char* name, std::int16_t n, std::vector<Argument> a, std::u16string v) {
    return {name, n, std::move(a), TypedValue::String(nullptr), std::move(v)};
}

class Functions : public SpecialFrame, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(Functions, GiveTheirResultAndType) {
    const FunctionCase& c = GetParam();
    const TypedValue v = Evaluate(Function(c.number, c.arguments));
    ASSERT_EQ(v.type, c.expected.type);
    if (v.IsString())
        EXPECT_EQ(std::u16string(v.Text()), c.text);
    else if (v.IsDouble())
        EXPECT_NEAR(v.real, c.expected.real, 1e-12);
    else
        EXPECT_EQ(v.integer, c.expected.integer);
}

const std::u16string Ones(32, u'1');

INSTANTIATE_TEST_SUITE_P(
    SpecialObject, Functions,
    ::testing::Values(
        // Trigonometry in degrees; the quarter turns are exact.
        Real("Sine180", 10, {180.0}, 0.0), Real("Sine90", 10, {90}, 1.0), Real("Cosine90", 11, {90}, 0.0),
        Real("Cosine270", 11, {270}, 0.0), Real("Cosine0", 11, {0}, 1.0), Real("Tangent45", 12, {45.0}, 1.0),
        Real("ArcCosine", 32, {0}, 90.0), Real("ArcSine", 33, {1}, 90.0), Real("ArcTangent", 34, {1}, 45.0),
        Real("AngleOf", 59, {1, 1}, 45.0), Real("SquareRoot", 13, {16}, 4.0), Real("Log10", 14, {1000}, 3.0),
        Real("NaturalLog", 15, {1}, 0.0), Real("Exponential", 18, {0}, 1.0),
        // Rounding: halves away from zero on the positive side only.
        Number("RoundUpHalf", 48, {2.5}, 3), Number("RoundNegativeHalf", 48, {-2.5}, -2),
        Number("RoundPastNegativeHalf", 48, {-2.6}, -3), Number("RoundDown", 48, {2.4}, 2),
        Number("RoundInteger", 48, {7}, 7), Number("IntegerPart", 28, {-2.7}, -2),
        Real("Absolute", 29, {-3}, 3.0), Real("Ceiling", 30, {1.2}, 2.0), Real("Floor", 31, {-1.2}, -2.0),
        Number("BitwiseNot", 35, {0}, -1),
        // Hexadecimal and binary text of 32 bits.
        Text("HexMinusOne", 16, {-1}, u"0xFFFFFFFF"), Text("Hex", 16, {255}, u"0xFF"),
        Text("HexZero", 16, {0}, u"0x0"), Text("BinaryZero", 17, {0}, u"0b0"),
        Text("Binary", 17, {5}, u"0b101"), Text("BinaryMinusOne", 17, {-1}, u"0b" + Ones),
        // Numbers and text.
        Text("IntegerToText", 4, {-12}, u"-12"), Text("DoubleToText", 4, {1.5}, u"1.5"),
        Text("StringToTextIsEmpty", 4, {u"x"}, u""), Number("TextToInteger", 5, {u"0x10"}, 16),
        Real("TextToDouble", 5, {u"1e3"}, 1000.0), Text("WithDecimals", 58, {2.5, 0, 2}, u"2.50"),
        Text("WithDigits", 58, {3.14159, 3, -1}, u"3.14"),
        // Parts of strings.
        Text("Left", 19, {u"hello", 2}, u"he"), Text("LeftNothing", 19, {u"hello", 0}, u""),
        Text("LeftAll", 19, {u"hello", 99}, u"hello"), Text("Right", 20, {u"hello", 3}, u"llo"),
        Text("RightNegative", 20, {u"hello", -1}, u""), Text("Middle", 21, {u"hello", 1, 3}, u"ell"),
        Text("MiddleFromBelowZero", 21, {u"hello", -2, 2}, u"he"),
        Text("MiddleToTheEnd", 21, {u"hello", 4, 10}, u"o"),
        Text("MiddlePastTheEnd", 21, {u"hello", 9, 2}, u""), Number("Length", 22, {u"hello"}, 5),
        Text("Lower", 51, {u"AbC\u00c9\u0416"}, u"abc\u00e9\u0436"),
        Text("Upper", 52, {u"aBc\u00e9\u0436"}, u"ABC\u00c9\u0416"),
        // Minimum, maximum, ranges and colours.
        Number("MinimumOfIntegers", 40, {3, 4}, 3), Real("MinimumWithADouble", 40, {3, 2.5}, 2.5),
        Number("Maximum", 41, {3, 4}, 4), Number("RangeAbove", 64, {15, 0, 10}, 10),
        Real("RangeOfADouble", 64, {2.5, 0, 10}, 2.5), Number("Colour", 42, {1, 2, 259}, 0x030201),
        Number("Red", 43, {0x030201}, 1), Number("Green", 44, {0x030201}, 2),
        Number("Blue", 45, {0x030201}, 3), Number("Distance", 62, {0, 0, 3, 4}, 5),
        Number("DirectionUp", 63, {0, -1}, 90), Number("DirectionLeft", 63, {-1, 0}, 180),
        Number("DirectionDownRight", 63, {1, 1}, 315),
        // Constants.
        Text("NewLine", 47, {}, u"\r\n"), Text("Empty", 61, {}, u""), Number("Zero25", 25, {}, 0),
        Number("Zero60", 60, {}, 0), Text("SystemName", 67, {}, u"Windows"),
        Number("NoDroppedFiles", 36, {}, 0), Text("DroppedFileBelowZero", 37, {-1}, u""),
        Text("DroppedFilePastTheCount", 37, {0}, u"")),
    [](const auto& info) { return std::string(info.param.name); });

struct FindCase {
    std::int32_t start, first, last;
};

// "abcabc" searched for "bc" from every start.
class FindEveryStart : public SpecialFrame, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindEveryStart, FindsTheOccurrenceAtOrAfterAndAtOrBefore) {
    EXPECT_EQ(Evaluate(Function(53, {u"abcabc", u"bc", GetParam().start})).integer, GetParam().first);
    EXPECT_EQ(Evaluate(Function(54, {u"abcabc", u"bc", GetParam().start})).integer, GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(SpecialObject, FindEveryStart,
                         ::testing::Values(FindCase{-5, -1, -1}, FindCase{-1, -1, -1}, FindCase{0, 1, -1},
                                           FindCase{1, 1, 1}, FindCase{2, 4, 1}, FindCase{3, 4, 1},
                                           FindCase{4, 4, 4}, FindCase{5, -1, 4}, FindCase{6, -1, 4},
                                           FindCase{100, -1, 4}),
                         [](const auto& info) {
                             const std::int32_t s = info.param.start;
                             return s < 0 ? "Minus" + std::to_string(-s) : "From" + std::to_string(s);
                         });

struct ItemCase {
    const char* name;
    std::u16string line, option, item;
};

class CommandLineItems : public ::testing::TestWithParam<ItemCase> {};

TEST_P(CommandLineItems, AreReadPastTheProgramAndQuotes) {
    EXPECT_EQ(CommandLineItem(GetParam().line, GetParam().option), GetParam().item);
}

const std::u16string Line =
    uR"("C:\My Games\vtr.exe"  "first item" -level3 /NAME"Big Bob" "skip -x here" -x=5 -empty -last)";

INSTANTIATE_TEST_SUITE_P(SpecialObject, CommandLineItems,
                         ::testing::Values(ItemCase{"NextItemKeepsItsQuotes", Line, u"", u"\"first item\""},
                                           ItemCase{"NextItemAfterAPlainProgram", u"vtr.exe  -a -b", u"",
                                                    u"-a"},
                                           ItemCase{"NoItemAfterTheProgram", u"vtr.exe", u"", u""},
                                           ItemCase{"ValueRightAfterTheOption", Line, u"level", u"3"},
                                           ItemCase{"AnyCase", Line, u"LEVEL", u"3"},
                                           ItemCase{"QuotedValueWithoutQuotes", Line, u"name", u"Big Bob"},
                                           ItemCase{"QuotedStretchIsPassedOver", Line, u"x", u"=5"},
                                           ItemCase{"OptionWithoutValue", Line, u"empty", u""},
                                           ItemCase{"OptionAtTheEnd", Line, u"last", u""},
                                           ItemCase{"AbsentOption", Line, u"missing", u""},
                                           ItemCase{"UnclosedQuote", u"vtr.exe \"-a1", u"a", u""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpecialFrame, TheCommandLineFunctionsReadTheProcesssLine) {
    EXPECT_EQ(Text(Function(38)), std::u16string(win32::GetCommandLineW()));
    EXPECT_EQ(Text(Function(39, {u""})), CommandLineItem(win32::GetCommandLineW(), u""));
}

TEST_F(SpecialFrame, RandomNumbersComeFromTheFramesGenerator) {
    frame_.Run().randomSeed = 1;
    const std::int32_t expected = static_cast<std::int32_t>((100u * static_cast<std::uint16_t>(31416)) >> 16);
    EXPECT_EQ(Evaluate(Function(1, {100})).integer, expected);
    frame_.Run().randomSeed = 1;
    const std::int32_t between = 10 + static_cast<std::int32_t>((31416u * 11u) >> 16);
    EXPECT_EQ(Evaluate(Function(65, {10, 20})).integer, between);
}

TEST_F(SpecialFrame, DroppedFilesAreReadByIndex) {
    frame_.State().droppedFiles = {u"/tmp/a.txt", u"/tmp/b.txt"};
    EXPECT_EQ(Evaluate(Function(36)).integer, 2);
    EXPECT_EQ(Text(Function(37, {1})), u"/tmp/b.txt");
    EXPECT_EQ(Text(Function(37, {2})), u"");
}

} // namespace

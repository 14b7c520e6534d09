// Numbers as counters and the special object's functions write them, and text read back as numbers.
#include "builtin/number_format.h"

#include <gtest/gtest.h>

#include <string>

using namespace vtrrt;

namespace {

std::string Narrow(const std::u16string& s) {
    return std::string(s.begin(), s.end());
}

constexpr std::uint16_t Significant(int s) {
    return static_cast<std::uint16_t>(FormatFormatted | ((s - 1) << 4));
}
constexpr std::uint16_t Decimals(int d) {
    return static_cast<std::uint16_t>(FormatFixedDecimals | (d << FormatDecimalsShift));
}

struct IntegerCase {
    const char* name;
    std::int32_t value;
    std::uint16_t format;
    const char* text;
};

class IntegerFormat : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFormat, WritesTheDigitsItsFormatAsks) {
    EXPECT_EQ(Narrow(FormatInteger(GetParam().value, GetParam().format)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Counters, IntegerFormat,
                         ::testing::Values(IntegerCase{"Free", 345, 0, "345"},
                                           IntegerCase{"FreeNegative", -42, 0, "-42"},
                                           IntegerCase{"PaddedToThree", 7, 3, "007"},
                                           IntegerCase{"PaddedNegative", -7, 3, "-007"},
                                           IntegerCase{"LastThreeDigits", 12345, 3, "345"},
                                           IntegerCase{"SmallestInteger", INT32_MIN, 0, "-2147483648"},
                                           IntegerCase{"SmallestIntegerCut", INT32_MIN, 2, "-48"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NumberCase {
    const char* name;
    double value;
    std::uint16_t format;
    const char* text;
};

class NumberFormat : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberFormat, WritesTheNumberItsFormatAsks) {
    EXPECT_EQ(Narrow(FormatNumber(GetParam().value, GetParam().format)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, NumberFormat,
    ::testing::Values(
        NumberCase{"GeneralLarge", 1234567, 0, "1.23457e+06"}, NumberCase{"General", 2.5, 0, "2.5"},
        NumberCase{"ThreeSignificant", 123.456, Significant(3), "123"},
        NumberCase{"SixSignificant", 3.14159265, Significant(6), "3.14159"},
        NumberCase{"BelowOneStripsZeros", 0.5, Significant(6), "0.5"},
        NumberCase{"ZeroStripsToZero", 0.0, Significant(3), "0"},
        NumberCase{"FixedDecimals", 3.14159, static_cast<std::uint16_t>(Significant(6) | Decimals(2)),
                   "3.14"},
        NumberCase{"FixedBelowOne", 0.05, static_cast<std::uint16_t>(Significant(6) | Decimals(3)), "0.050"},
        NumberCase{"FixedNegative", -1.25, static_cast<std::uint16_t>(Significant(6) | Decimals(1)), "-1.2"},
        NumberCase{"LeadingZeros", 42, static_cast<std::uint16_t>(Significant(5) | FormatLeadingZeros),
                   "00042"},
        NumberCase{"LeadingZerosNegative", -42,
                   static_cast<std::uint16_t>(Significant(5) | FormatLeadingZeros), "-00042"},
        NumberCase{"LeadingZerosWithDecimals", 3.5,
                   static_cast<std::uint16_t>(Significant(4) | Decimals(1) | FormatLeadingZeros), "003.5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberFormats, AHugeNumberInFixedNotationIsWrittenWhole) {
    const std::u16string text =
        FormatNumber(1e300, static_cast<std::uint16_t>(Significant(16) | Decimals(15)));
    EXPECT_EQ(text.size(), 301u + 1 + 15);
    EXPECT_EQ(Narrow(text.substr(0, 2)), "10");
}

TEST(NumberFormats, NumbersToTextWithDigits) {
    EXPECT_EQ(Narrow(NumberToTextWithDigits(3.14159, 3, -1)), "3.14");
    EXPECT_EQ(Narrow(NumberToTextWithDigits(100, 2, -1)), "1e+02");
    EXPECT_EQ(Narrow(NumberToTextWithDigits(2.5, 0, 2)), "2.50");
    EXPECT_EQ(Narrow(NumberToTextWithDigits(0.05, 0, 3)), "0.050");
    // Fixed notation of a huge number stops at 64 characters rather than run past its room.
    EXPECT_EQ(NumberToTextWithDigits(1e300, 0, 2).size(), 64u);
    EXPECT_EQ(NumberToTextWithDigits(1.5, 0, 1000000).size(), 64u);
}

TEST(NumberFormats, NumbersToTextAsIntegersOrGeneral) {
    EXPECT_EQ(Narrow(NumberToText(TypedValue::Int(-12))), "-12");
    EXPECT_EQ(Narrow(NumberToText(TypedValue::Double(0.125))), "0.125");
    EXPECT_EQ(Narrow(NumberToText(TypedValue::Double(1e20))), "1e+20");
    static char16_t text[] = u"5";
    EXPECT_EQ(NumberToText(TypedValue::String(text)), u"");
}

struct ParseCase {
    const char* name;
    std::u16string text;
    std::int32_t type;
    double value;
};

class TextToNumber : public ::testing::TestWithParam<ParseCase> {};

TEST_P(TextToNumber, ReadsTheNumberAndItsKind) {
    const TypedValue v = StringToNumber(GetParam().text);
    ASSERT_EQ(v.type, GetParam().type);
    EXPECT_DOUBLE_EQ(v.ToDouble(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    SpecialObject, TextToNumber,
    ::testing::Values(
        ParseCase{"Hexadecimal", u"0x1F", TypeInteger, 31}, ParseCase{"HexUpper", u"0X1fz", TypeInteger, 31},
        ParseCase{"Binary", u"0b101", TypeInteger, 5},
        ParseCase{"BinaryStopsAtTwo", u"0B1021", TypeInteger, 2},
        ParseCase{"Exponent", u"1e3", TypeDouble, 1000}, ParseCase{"ExponentD", u"3D2", TypeDouble, 300},
        ParseCase{"SignedExponent", u"25e-1", TypeDouble, 2.5},
        ParseCase{"SecondExponentEnds", u"1e2e3", TypeDouble, 100},
        ParseCase{"Point", u"-1.5", TypeDouble, -1.5},
        ParseCase{"LargestInteger", u"2147483646", TypeInteger, 2147483646},
        ParseCase{"PastTheIntegers", u"2147483647", TypeDouble, 2147483647.0},
        ParseCase{"NegativeInteger", u"-2147483646", TypeInteger, -2147483646},
        ParseCase{"LeadingSpaces", u"   12", TypeInteger, 12},
        ParseCase{"TrailingText", u"12abc", TypeInteger, 12}, ParseCase{"NotANumber", u"abc", TypeInteger, 0},
        ParseCase{"Empty", u"", TypeInteger, 0}, ParseCase{"SignAlone", u"-", TypeInteger, 0},
        ParseCase{"PlusIsNoNumber", u"+5", TypeInteger, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

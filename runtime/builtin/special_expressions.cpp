// The special object's expression functions: random numbers, number and string conversions, string
// functions, trigonometry in degrees, hexadecimal and binary text, colours, the command line, dropped files,
// paths, global values and strings, rounding, case, searching, the clipboard, minimum and maximum.
#include "builtin/special_expressions.h"
#include "builtin/number_format.h"
#include "builtin/special_services.h"
#include "builtin/system_objects.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "startup/event_program.h"
#include "startup/player_globals.h"
#include "startup/shell_services.h"

#include "win32/kernel.h"

#include <algorithm>
#include <cmath>

namespace vtrrt {

using namespace win32;

namespace {

constexpr double DegreesPerRadian = 57.29577951308232;
constexpr std::size_t PathPartUnits = 260;

// The arguments of the function being evaluated: the first read steps past the function's own token, each
// further one past the separator before it; the current token is left on the closing token.
class Arguments {
public:
    TypedValue Next() {
        StepToken();
        TypedValue v{};
        CopyTypedValue(v, *EvaluateExpression());
        return v;
    }
    std::int32_t Int() { return Next().ToInt(); }
    double Real() { return Next().ToDouble(); }
    std::u16string Text() { return std::u16string(Next().Text()); }
};

void SetTopText(std::u16string_view text) {
    static WCHAR empty[1] = {0};
    WCHAR* copy = text.empty() ? nullptr : MakeTemporaryString(text);
    ExpressionTop() = TypedValue::String(copy ? copy : empty);
}

void SetTopReal(double v) {
    ExpressionTop() = TypedValue::Double(v);
}

// The number a token carries after its header: a 32-bit one, or a 16-bit one in a shorter token.
std::int32_t TokenNumber() {
    const std::uint8_t* p = nullptr;
    const std::size_t n = CurrentTokenPayload(&p);
    if (n >= 4) return GetI32(p);
    return n >= 2 ? GetI16(p) : 0;
}

void Random() {
    SetTopInt(RandomBelow(Arguments().Int() & 0xFFFF));
}

void GlobalValueOfNumber() {
    const std::int64_t n = Arguments().Int();
    ExpressionTop() = ReadGlobalValue(n >= 1 ? static_cast<std::int32_t>(n - 1) : -1);
}

void GlobalValueOfToken() {
    ExpressionTop() = ReadGlobalValue(TokenNumber());
}

void GlobalStringOfNumber() {
    const std::int64_t n = Arguments().Int();
    const WCHAR* text = GetGlobalString(CurrentApplication(), n >= 1 ? static_cast<std::int32_t>(n - 1) : -1);
    ExpressionTop() = TypedValue::String(const_cast<WCHAR*>(text));
}

void GlobalStringOfToken() {
    ExpressionTop() =
        TypedValue::String(const_cast<WCHAR*>(GetGlobalString(CurrentApplication(), TokenNumber())));
}

void NumberToString() {
    SetTopText(NumberToText(Arguments().Next()));
}

void StringToNumberExpression() {
    ExpressionTop() = StringToNumber(Arguments().Next().Text());
}

template <int Kind> void PathPart() {
    WCHAR part[PathPartUnits] = {};
    GetApplicationPathPart(Kind, part);
    SetTopText(part);
}

void Sine() {
    const double degrees = Arguments().Real();
    SetTopReal(degrees == 180 ? 0.0 : std::sin(degrees / DegreesPerRadian));
}
void Cosine() {
    const double degrees = Arguments().Real();
    SetTopReal(degrees == 90 || degrees == 270 ? 0.0 : std::cos(degrees / DegreesPerRadian));
}

template <double (*F)(double)> void RealFunction() {
    SetTopReal(F(Arguments().Real()));
}
double TangentOfDegrees(double d) {
    return std::tan(d / DegreesPerRadian);
}
double ArcCosineDegrees(double v) {
    return std::acos(v) * DegreesPerRadian;
}
double ArcSineDegrees(double v) {
    return std::asin(v) * DegreesPerRadian;
}
double ArcTangentDegrees(double v) {
    return std::atan(v) * DegreesPerRadian;
}
double SquareRoot(double v) {
    return std::sqrt(v);
}
double Log10(double v) {
    return std::log10(v);
}
double NaturalLog(double v) {
    return std::log(v);
}
double Exponential(double v) {
    return std::exp(v);
}
double Absolute(double v) {
    return std::fabs(v);
}
double Ceiling(double v) {
    return std::ceil(v);
}
double Floor(double v) {
    return std::floor(v);
}

void HexText() {
    SetTopText(HexadecimalText(Arguments().Int()));
}
void BinaryTextExpression() {
    SetTopText(BinaryText(Arguments().Int()));
}

void LeftPart() {
    Arguments a;
    const std::u16string s = a.Text();
    const std::int32_t count = a.Int();
    SetTopText(count < 1 ? std::u16string() : s.substr(0, static_cast<std::size_t>(count)));
}

void RightPart() {
    Arguments a;
    const std::u16string s = a.Text();
    const std::int32_t count = a.Int();
    if (count < 1) return SetTopText({});
    const std::size_t n = std::min(s.size(), static_cast<std::size_t>(count));
    SetTopText(std::u16string_view(s).substr(s.size() - n));
}

void MiddlePart() {
    Arguments a;
    const std::u16string s = a.Text();
    const std::int64_t start = std::max(a.Int(), 0);
    const std::int64_t count = std::min<std::int64_t>(a.Int(), static_cast<std::int64_t>(s.size()) - start);
    if (count < 1) return SetTopText({});
    SetTopText(
        std::u16string_view(s).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

void Length() {
    SetTopInt(static_cast<std::int32_t>(std::min<std::size_t>(Arguments().Next().Text().size(), INT32_MAX)));
}

void Zero() {
    SetTopInt(0);
}

void IntegerPart() {
    SetTopInt(Arguments().Int());
}

void BitwiseNot() {
    SetTopInt(~Arguments().Int());
}

void DroppedCount() {
    EventRunState* s = State();
    SetTopInt(s ? static_cast<std::int32_t>(s->droppedFiles.size()) : 0);
}

void DroppedName() {
    const std::int32_t index = Arguments().Int();
    EventRunState* s = State();
    if (!s || index < 0 || static_cast<std::size_t>(index) >= s->droppedFiles.size()) return SetTopText({});
    SetTopText(s->droppedFiles[static_cast<std::size_t>(index)]);
}

void CommandLine() {
    SetTopText(GetCommandLineW());
}

void CommandLineItemExpression() {
    SetTopText(CommandLineItem(GetCommandLineW(), Arguments().Text()));
}

template <bool Maximum> void MinimumOrMaximum() {
    Arguments a;
    const TypedValue x = a.Next(), y = a.Next();
    if (x.IsDouble() || y.IsDouble()) {
        const double p = x.ToDouble(), q = y.ToDouble();
        return SetTopReal(Maximum ? std::max(p, q) : std::min(p, q));
    }
    SetTopInt(Maximum ? std::max(x.ToInt(), y.ToInt()) : std::min(x.ToInt(), y.ToInt()));
}

void ColourOf() {
    Arguments a;
    const std::uint32_t red = static_cast<std::uint32_t>(a.Int()) & 0xFF;
    const std::uint32_t green = static_cast<std::uint32_t>(a.Int()) & 0xFF;
    const std::uint32_t blue = static_cast<std::uint32_t>(a.Int()) & 0xFF;
    SetTopInt(static_cast<std::int32_t>(red | (green << 8) | (blue << 16)));
}

template <int Shift> void ColourPart() {
    SetTopInt(static_cast<std::int32_t>((static_cast<std::uint32_t>(Arguments().Int()) >> Shift) & 0xFF));
}

void NewLine() {
    SetTopText(u"\r\n");
}

void Round() {
    const TypedValue v = Arguments().Next();
    SetTopInt(v.IsDouble() ? RoundHalfAway(v.real) : v.ToInt());
}

template <char32_t (*Convert)(char32_t)> void ChangeCase() {
    std::u16string s = Arguments().Text();
    for (char16_t& c : s)
        c = static_cast<char16_t>(Convert(c));
    SetTopText(s);
}

template <bool Last> void FindExpression() {
    Arguments a;
    const std::u16string s = a.Text();
    const std::u16string text = a.Text();
    const std::int32_t start = a.Int();
    SetTopInt(Last ? FindLastText(s, text, start) : FindText(s, text, start));
}

void ClipboardExpression() {
    SetTopText(ClipboardText());
}

void UsablePath() {
    const std::u16string name = Arguments().Text();
    const EmbeddedFileEntry* entry = FindEmbeddedFile(name);
    SetTopText(entry && entry->extractedPath ? std::u16string_view(entry->extractedPath) : name);
}

void NumberWithDigits() {
    Arguments a;
    const double value = a.Real();
    const std::int32_t digits = a.Int();
    const std::int32_t decimals = a.Int();
    SetTopText(NumberToTextWithDigits(value, digits, decimals));
}

void AngleOf() {
    Arguments a;
    const double y = a.Real(), x = a.Real();
    SetTopReal(std::atan2(y, x) * DegreesPerRadian);
}

void EmptyString() {
    SetTopText({});
}

void Distance() {
    Arguments a;
    const double x1 = a.Int(), y1 = a.Int(), x2 = a.Int(), y2 = a.Int();
    SetTopInt(static_cast<std::int32_t>(std::sqrt((y2 - y1) * (y2 - y1) + (x2 - x1) * (x2 - x1))));
}

void DirectionAngle() {
    Arguments a;
    const double x = a.Int(), y = a.Int();
    auto degrees = static_cast<std::int32_t>(std::atan2(-y, x) * DegreesPerRadian);
    if (degrees < 0) degrees += 360;
    SetTopInt(degrees);
}

void Range() {
    Arguments a;
    const TypedValue v = a.Next(), low = a.Next(), high = a.Next();
    if (v.IsDouble() || low.IsDouble() || high.IsDouble())
        return SetTopReal(std::min(std::max(v.ToDouble(), low.ToDouble()), high.ToDouble()));
    SetTopInt(std::min(std::max(v.ToInt(), low.ToInt()), high.ToInt()));
}

void RandomBetween() {
    Arguments a;
    const std::int32_t low = a.Int(), high = a.Int();
    FrameRunState* run = CurrentRunState();
    if (!run) return SetTopInt(low);
    run->randomSeed = static_cast<std::uint16_t>(run->randomSeed * 31415u + 1u);
    const std::uint32_t span = static_cast<std::uint32_t>(std::int64_t{high} - low + 1) & 0xFFFF;
    SetTopInt(static_cast<std::int32_t>(low + ((run->randomSeed * span) >> 16)));
}

void SystemName() {
    SetTopText(u"Windows");
}

} // namespace

std::u16string HexadecimalText(std::int32_t value) {
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    auto bits = static_cast<std::uint32_t>(value);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), Digits[bits & 0xF]);
        bits >>= 4;
    } while (bits);
    return u"0x" + digits;
}

std::u16string BinaryText(std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), (bits & 1) ? u'1' : u'0');
        bits >>= 1;
    } while (bits);
    return u"0b" + digits;
}

std::int32_t RoundHalfAway(double v) {
    const double whole = std::trunc(v), fraction = v - whole;
    double rounded = whole;
    if (fraction >= 0.5) rounded += 1;
    if (fraction < -0.5) rounded -= 1;
    return TypedValue::Double(rounded).ToInt();
}

std::int32_t FindText(std::u16string_view s, std::u16string_view text, std::int32_t start) {
    if (start < 0 || static_cast<std::size_t>(start) >= s.size()) return -1;
    const std::size_t at = s.find(text, static_cast<std::size_t>(start));
    return at == std::u16string_view::npos ? -1 : static_cast<std::int32_t>(at);
}

std::int32_t FindLastText(std::u16string_view s, std::u16string_view text, std::int32_t start) {
    if (start < 0) return -1;
    const std::size_t at = s.rfind(text, std::min(static_cast<std::size_t>(start), s.size()));
    return at == std::u16string_view::npos ? -1 : static_cast<std::int32_t>(at);
}

std::u16string CommandLineItem(std::u16string_view line, std::u16string_view option) {
    std::size_t i = 0;
    const auto skipSpaces = [&] {
        while (i < line.size() && line[i] == u' ')
            ++i;
    };
    // The program, quoted or up to the first space.
    if (i < line.size() && line[i] == u'"') {
        const std::size_t close = line.find(u'"', i + 1);
        i = close == std::u16string_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && line[i] != u' ')
        ++i;
    skipSpaces();
    if (option.empty()) {
        std::size_t end = i;
        if (end < line.size() && line[end] == u'"') {
            const std::size_t close = line.find(u'"', end + 1);
            end = close == std::u16string_view::npos ? line.size() : close + 1;
        }
        while (end < line.size() && line[end] != u' ')
            ++end;
        return std::u16string(line.substr(i, end - i));
    }
    for (; i < line.size(); ++i) {
        if (line[i] == u'"') {
            const std::size_t close = line.find(u'"', i + 1);
            if (close == std::u16string_view::npos) break;
            i = close;
            continue;
        }
        if (line[i] != u'/' && line[i] != u'-') continue;
        const std::u16string_view rest = line.substr(i + 1);
        if (rest.size() < option.size() || !EqualsIgnoringCase(rest.substr(0, option.size()), option))
            continue;
        std::size_t at = i + 1 + option.size();
        if (at >= line.size() || line[at] == u' ') return {};
        if (line[at] == u'"') {
            const std::size_t close = line.find(u'"', at + 1);
            return std::u16string(
                line.substr(at + 1, (close == std::u16string_view::npos ? line.size() : close) - at - 1));
        }
        const std::size_t end = std::min(line.find(u' ', at), line.size());
        return std::u16string(line.substr(at, end - at));
    }
    return {};
}

void InstallSpecialExpressions() {
    static constexpr std::pair<std::int32_t, ExpressionRoutine> Functions[] = {
        {1, Random},
        {2, GlobalValueOfNumber},
        {4, NumberToString},
        {5, StringToNumberExpression},
        {6, PathPart<1>},
        {7, PathPart<2>},
        {8, PathPart<3>},
        {9, PathPart<4>},
        {10, Sine},
        {11, Cosine},
        {12, RealFunction<TangentOfDegrees>},
        {13, RealFunction<SquareRoot>},
        {14, RealFunction<Log10>},
        {15, RealFunction<NaturalLog>},
        {16, HexText},
        {17, BinaryTextExpression},
        {18, RealFunction<Exponential>},
        {19, LeftPart},
        {20, RightPart},
        {21, MiddlePart},
        {22, Length},
        {24, GlobalValueOfToken},
        {25, Zero},
        {26, Zero},
        {27, Zero},
        {28, IntegerPart},
        {29, RealFunction<Absolute>},
        {30, RealFunction<Ceiling>},
        {31, RealFunction<Floor>},
        {32, RealFunction<ArcCosineDegrees>},
        {33, RealFunction<ArcSineDegrees>},
        {34, RealFunction<ArcTangentDegrees>},
        {35, BitwiseNot},
        {36, DroppedCount},
        {37, DroppedName},
        {38, CommandLine},
        {39, CommandLineItemExpression},
        {40, MinimumOrMaximum<false>},
        {41, MinimumOrMaximum<true>},
        {42, ColourOf},
        {43, ColourPart<0>},
        {44, ColourPart<8>},
        {45, ColourPart<16>},
        {47, NewLine},
        {48, Round},
        {49, GlobalStringOfNumber},
        {50, GlobalStringOfToken},
        {51, ChangeCase<FoldCase>},
        {52, ChangeCase<UpperCase>},
        {53, FindExpression<false>},
        {54, FindExpression<true>},
        {55, ClipboardExpression},
        {56, PathPart<5>},
        {57, UsablePath},
        {58, NumberWithDigits},
        {59, AngleOf},
        {60, Zero},
        {61, EmptyString},
        {62, Distance},
        {63, DirectionAngle},
        {64, Range},
        {65, RandomBetween},
        {67, SystemName},
    };
    for (const auto& [number, routine] : Functions)
        SetExpressionRoutine(TypeSpecial, number, routine);
}

} // namespace vtrrt

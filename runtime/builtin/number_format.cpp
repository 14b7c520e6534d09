#include "builtin/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vtrrt {

namespace {

constexpr std::size_t MaxDigitsText = 64;
constexpr std::int32_t LargestTextInteger = 2147483646;

// printf into a string of whatever length the text needs.
[[gnu::format(printf, 1, 2)]] std::string Print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

void DropTrailingDot(std::string& text) {
    if (!text.empty() && text.back() == '.') text.pop_back();
}

// A number with d decimals (d >= 0) or s significant digits (d = -1).
std::string Formatted(double value, int significant, int decimals) {
    if (decimals >= 0) return Print("%.*f", decimals, value);
    std::string text = Print("%.*g", significant, value);
    DropTrailingDot(text);
    return text;
}

} // namespace

std::u16string FormatInteger(std::int32_t value, std::uint16_t format) {
    const int digits = format & FormatMinimumDigits;
    if (digits == 0) return Widen(Print("%d", value));
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(value));
    std::string text = Print("%0*lld", digits, static_cast<long long>(magnitude));
    text = text.substr(text.size() - static_cast<std::size_t>(digits));
    return Widen(value < 0 ? "-" + text : text);
}

std::u16string FormatNumber(double value, std::uint16_t format) {
    if (!(format & FormatFormatted)) return Widen(Print("%g", value));
    const int significant = ((format & FormatSignificantDigits) >> 4) + 1;
    int decimals = -1;
    bool stripZeros = false;
    if (format & FormatFixedDecimals) {
        decimals = format >> FormatDecimalsShift;
    } else if (value > -1 && value < 1) {
        decimals = significant;
        stripZeros = true;
    }
    std::string text;
    if (format & FormatLeadingZeros) {
        std::string body = std::string(static_cast<std::size_t>(significant), '0') +
                           Formatted(std::fabs(value), significant, decimals);
        const std::size_t keep =
            static_cast<std::size_t>(significant) + (body.find('.') != std::string::npos ? 1 : 0);
        if (body.size() > keep) body = body.substr(body.size() - keep);
        text = (std::signbit(value) && value != 0 ? "-" : "") + body;
    } else {
        text = Formatted(value, significant, decimals);
    }
    if (stripZeros && text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        DropTrailingDot(text);
    }
    return Widen(text);
}

std::u16string NumberToText(const TypedValue& value) {
    if (value.IsString()) return {};
    if (value.IsDouble()) return Widen(Print("%g", value.real));
    return Widen(Print("%i", value.integer));
}

std::u16string NumberToTextWithDigits(double value, std::int32_t digits, std::int32_t decimals) {
    // Precisions past the text's own limit would only be cut again.
    constexpr std::int32_t MaxPrecision = static_cast<std::int32_t>(MaxDigitsText);
    std::string text;
    if (decimals != -1)
        text = Print("%.*f", std::clamp(decimals, 0, MaxPrecision), value);
    else
        text = Formatted(value, std::clamp(digits, 0, MaxPrecision), -1);
    if (text.size() > MaxDigitsText) text.resize(MaxDigitsText);
    return Widen(text);
}

TypedValue StringToNumber(std::u16string_view text) {
    std::size_t at = 0;
    if (!text.empty() && text[0] == u' ')
        while (at < text.size() && text[at] == u' ')
            ++at;
    text.remove_prefix(at);
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    if (text.empty() || (text[0] != u'-' && !isDigit(text[0]))) return TypedValue::Int(0);
    if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'b' || text[1] == u'B')) {
        std::uint32_t bits = 0;
        for (std::size_t i = 2; i < text.size() && (text[i] == u'0' || text[i] == u'1'); ++i)
            bits = (bits << 1) | static_cast<std::uint32_t>(text[i] - u'0');
        return TypedValue::Int(static_cast<std::int32_t>(bits));
    }
    if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        std::uint32_t bits = 0;
        for (std::size_t i = 2; i < text.size(); ++i) {
            const char16_t c = text[i];
            int digit = -1;
            if (isDigit(c))
                digit = c - u'0';
            else if (c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0) break;
            bits = (bits << 4) | static_cast<std::uint32_t>(digit);
        }
        return TypedValue::Int(static_cast<std::int32_t>(bits));
    }
    // The number's extent: a sign, digits, points, one exponent letter and the exponent's sign.
    std::string scanned;
    bool real = false, exponent = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isDigit(c) || (c == u'-' && i == 0)) {
            scanned.push_back(static_cast<char>(c));
        } else if (c == u'.') {
            real = true;
            scanned.push_back('.');
        } else if (c == u'e' || c == u'E' || c == u'd' || c == u'D') {
            if (exponent) break;
            real = exponent = true;
            scanned.push_back('e');
        } else if ((c == u'+' || c == u'-') && i > 0 && scanned.back() == 'e') {
            scanned.push_back(static_cast<char>(c));
        } else {
            break;
        }
    }
    const double number = std::strtod(scanned.c_str(), nullptr);
    if (!real && number >= -LargestTextInteger && number <= LargestTextInteger)
        return TypedValue::Int(static_cast<std::int32_t>(number));
    return TypedValue::Double(number);
}

} // namespace vtrrt

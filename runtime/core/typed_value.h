// The 16-byte value of expressions, alterable values and global values (integer, string or double), with
// its conversions, arithmetic and comparisons, and the frame's temporary strings that string results live in.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <string_view>

namespace vtrrt {

constexpr std::int32_t TypeInteger = 0;
constexpr std::int32_t TypeString = 1;
constexpr std::int32_t TypeDouble = 2;

// Comparison operators as stored before an expression in a parameter.
enum ComparisonOperator : int {
    CompareEqual = 0,
    CompareDifferent = 1,
    CompareLowerOrEqual = 2,
    CompareLower = 3,
    CompareGreaterOrEqual = 4,
    CompareGreater = 5,
};

struct TypedValue {
    std::int32_t type;
    std::int32_t reserved;
    union {
        std::int32_t integer;
        win32::WCHAR* string;
        double real;
    };

    static TypedValue Int(std::int32_t v);
    static TypedValue Double(double v);
    static TypedValue String(win32::WCHAR* s);

    bool IsString() const { return type == TypeString; }
    bool IsDouble() const { return type == TypeDouble; }
    // Integer converted, double as is, string 0.0.
    double ToDouble() const;
    // Integer as is, double truncated toward 0 and saturated at the 32-bit limits (NaN gives 0), string 0.
    std::int32_t ToInt() const;
    // The string, a null one read as empty; empty for numbers.
    std::u16string_view Text() const;

    bool IsEqual(const TypedValue& b) const;
    bool IsNotEqual(const TypedValue& b) const;
    bool IsLessOrEqual(const TypedValue& b) const;
    bool IsLess(const TypedValue& b) const;
    bool IsGreaterOrEqual(const TypedValue& b) const;
    bool IsGreater(const TypedValue& b) const;

    // In-place arithmetic on this (the left) value. Strings: only Add of two strings does anything (a new
    // temporary string); every other operation leaves a string left value unchanged.
    void Add(const TypedValue& b);
    void AddNumber(const TypedValue& b);
    void AddInt(std::int32_t b);
    void AddDouble(double b);
    void SubtractNumber(const TypedValue& b);
    void SubtractInt(std::int32_t b);
    void SubtractDouble(double b);
    void Multiply(const TypedValue& b);
    void Divide(const TypedValue& b);
    void Modulo(const TypedValue& b);
    void Power(const TypedValue& b);
    void And(const TypedValue& b);
    void Or(const TypedValue& b);
    void Xor(const TypedValue& b);
    void Negate();
};
static_assert(sizeof(TypedValue) == 16);

// Copies the type, then the 32-bit value (integer, string pointer) or the double; strings are not
// duplicated.
inline void CopyTypedValue(TypedValue& destination, const TypedValue& source) {
    destination.type = source.type;
    if (source.type == TypeDouble)
        destination.real = source.real;
    else if (source.type == TypeString)
        destination.string = source.string;
    else
        destination.integer = source.integer;
}

// Numbers compare as doubles, strings by code units; a string against a number, or an unknown operator,
// is false.
bool CompareTypedValues(const TypedValue& a, const TypedValue& b, int op);
bool CompareValues(const TypedValue& a, const TypedValue& b, int op);
bool CompareIntegers(std::int32_t a, std::int32_t b, int op);

// The list of strings made while a frame ticks; they live until FreeTemporaryStrings.
struct TemporaryStrings {
    win32::WCHAR** items = nullptr;
    std::int32_t capacity = 0;
    std::int32_t count = 0;
};
// Makes `list` the one strings are registered in (null: none, and string results are then empty).
void SetTemporaryStrings(TemporaryStrings* list);
TemporaryStrings* CurrentTemporaryStrings();
// Registers a string allocated with AllocMemory and returns it; when it cannot be registered the string is
// freed and null returned.
win32::WCHAR* AddTemporaryString(win32::WCHAR* string);
// A registered zero-terminated copy of `text`; null when memory runs out.
win32::WCHAR* MakeTemporaryString(std::u16string_view text);
void FreeTemporaryStrings();
// Frees the strings and the list itself (when the frame ends).
void ReleaseTemporaryStrings(TemporaryStrings& list);

// A growable {items, capacity, count} list that grows by 10; false when memory runs out.
struct PointerList {
    void** items = nullptr;
    std::int32_t capacity = 0;
    std::int32_t count = 0;
};
bool AppendToPointerList(PointerList& list, void* pointer);
void FreePointerList(PointerList& list);

} // namespace vtrrt

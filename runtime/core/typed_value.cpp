#include "core/typed_value.h"

#include "vtrs2/memory.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vtrrt {

namespace {

TemporaryStrings* currentStrings = nullptr;

constexpr std::int32_t TemporaryStringStep = 64;
constexpr std::int32_t PointerListStep = 10;

// Two's-complement arithmetic without undefined overflow.
std::int32_t Wrap(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}
std::uint32_t U(std::int32_t v) {
    return static_cast<std::uint32_t>(v);
}

bool IsNumber(const TypedValue& v) {
    return v.type != TypeString;
}

// -1, 0 or 1 by code units.
int CompareText(std::u16string_view a, std::u16string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool ApplyOperator(int order, int op) {
    switch (op) {
    case CompareEqual:
        return order == 0;
    case CompareDifferent:
        return order != 0;
    case CompareLowerOrEqual:
        return order <= 0;
    case CompareLower:
        return order < 0;
    case CompareGreaterOrEqual:
        return order >= 0;
    case CompareGreater:
        return order > 0;
    default:
        return false;
    }
}

// NaN compares false for every ordered operator and "different" for <>.
bool CompareDoubles(double a, double b, int op) {
    switch (op) {
    case CompareEqual:
        return a == b;
    case CompareDifferent:
        return a != b;
    case CompareLowerOrEqual:
        return a <= b;
    case CompareLower:
        return a < b;
    case CompareGreaterOrEqual:
        return a >= b;
    case CompareGreater:
        return a > b;
    default:
        return false;
    }
}

template <typename IntOp, typename DoubleOp>
void Arithmetic(TypedValue& a, const TypedValue& b, IntOp i, DoubleOp d) {
    if (!IsNumber(a) || !IsNumber(b)) return;
    if (a.type == TypeInteger && b.type == TypeInteger) {
        a.integer = i(a.integer, b.integer);
        return;
    }
    const double result = d(a.ToDouble(), b.ToDouble());
    a.type = TypeDouble;
    a.real = result;
}

template <typename Op> void Bitwise(TypedValue& a, const TypedValue& b, Op op) {
    if (!IsNumber(a) || !IsNumber(b)) return;
    const std::int32_t result = Wrap(op(U(a.ToInt()), U(b.ToInt())));
    a.type = TypeInteger;
    a.integer = result;
}

} // namespace

TypedValue TypedValue::Int(std::int32_t v) {
    TypedValue t{};
    t.type = TypeInteger;
    t.integer = v;
    return t;
}

TypedValue TypedValue::Double(double v) {
    TypedValue t{};
    t.type = TypeDouble;
    t.real = v;
    return t;
}

TypedValue TypedValue::String(win32::WCHAR* s) {
    TypedValue t{};
    t.type = TypeString;
    t.string = s;
    return t;
}

double TypedValue::ToDouble() const {
    if (type == TypeInteger) return integer;
    if (type == TypeDouble) return real;
    return 0.0;
}

std::int32_t TypedValue::ToInt() const {
    if (type == TypeInteger) return integer;
    if (type != TypeDouble || std::isnan(real)) return 0;
    if (real >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (real <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(real);
}

std::u16string_view TypedValue::Text() const {
    if (type != TypeString || !string) return {};
    return std::u16string_view(string);
}

bool CompareTypedValues(const TypedValue& a, const TypedValue& b, int op) {
    if (a.IsString() != b.IsString()) return false;
    if (a.IsString()) return ApplyOperator(CompareText(a.Text(), b.Text()), op);
    return CompareDoubles(a.ToDouble(), b.ToDouble(), op);
}

bool TypedValue::IsEqual(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareEqual);
}
bool TypedValue::IsNotEqual(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareDifferent);
}
bool TypedValue::IsLessOrEqual(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareLowerOrEqual);
}
bool TypedValue::IsLess(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareLower);
}
bool TypedValue::IsGreaterOrEqual(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareGreaterOrEqual);
}
bool TypedValue::IsGreater(const TypedValue& b) const {
    return CompareTypedValues(*this, b, CompareGreater);
}

bool CompareValues(const TypedValue& a, const TypedValue& b, int op) {
    switch (op) {
    case CompareEqual:
        return a.IsEqual(b);
    case CompareDifferent:
        return a.IsNotEqual(b);
    case CompareLowerOrEqual:
        return a.IsLessOrEqual(b);
    case CompareLower:
        return a.IsLess(b);
    case CompareGreaterOrEqual:
        return a.IsGreaterOrEqual(b);
    case CompareGreater:
        return a.IsGreater(b);
    default:
        return false;
    }
}

bool CompareIntegers(std::int32_t a, std::int32_t b, int op) {
    return ApplyOperator(a < b ? -1 : (a > b ? 1 : 0), op);
}

void TypedValue::Add(const TypedValue& b) {
    if (IsString() && b.IsString()) {
        const std::u16string_view left = Text(), right = b.Text();
        std::u16string joined;
        joined.reserve(left.size() + right.size());
        joined.append(left).append(right);
        win32::WCHAR* made = MakeTemporaryString(joined);
        static win32::WCHAR empty[1] = {0};
        string = made ? made : empty;
        return;
    }
    AddNumber(b);
}

void TypedValue::AddNumber(const TypedValue& b) {
    Arithmetic(
        *this, b, [](std::int32_t x, std::int32_t y) { return Wrap(U(x) + U(y)); },
        [](double x, double y) { return x + y; });
}

void TypedValue::AddInt(std::int32_t b) {
    AddNumber(Int(b));
}
void TypedValue::AddDouble(double b) {
    AddNumber(Double(b));
}

void TypedValue::SubtractNumber(const TypedValue& b) {
    Arithmetic(
        *this, b, [](std::int32_t x, std::int32_t y) { return Wrap(U(x) - U(y)); },
        [](double x, double y) { return x - y; });
}
void TypedValue::SubtractInt(std::int32_t b) {
    SubtractNumber(Int(b));
}
void TypedValue::SubtractDouble(double b) {
    SubtractNumber(Double(b));
}

void TypedValue::Multiply(const TypedValue& b) {
    Arithmetic(
        *this, b, [](std::int32_t x, std::int32_t y) { return Wrap(U(x) * U(y)); },
        [](double x, double y) { return x * y; });
}

void TypedValue::Divide(const TypedValue& b) {
    // INT_MIN / -1 does not fit: it wraps to INT_MIN as the other integer operations do.
    Arithmetic(
        *this, b,
        [](std::int32_t x, std::int32_t y) {
            if (y == 0) return 0;
            if (y == -1) return Wrap(0u - U(x));
            return x / y;
        },
        [](double x, double y) { return y == 0.0 ? 0.0 : x / y; });
}

void TypedValue::Modulo(const TypedValue& b) {
    Arithmetic(
        *this, b, [](std::int32_t x, std::int32_t y) { return (y == 0 || y == -1) ? 0 : x % y; },
        [](double x, double y) { return y == 0.0 ? 0.0 : std::fmod(x, y); });
}

void TypedValue::Power(const TypedValue& b) {
    const double result = std::pow(ToDouble(), b.ToDouble());
    type = TypeDouble;
    real = result;
}

void TypedValue::And(const TypedValue& b) {
    Bitwise(*this, b, [](std::uint32_t x, std::uint32_t y) { return x & y; });
}
void TypedValue::Or(const TypedValue& b) {
    Bitwise(*this, b, [](std::uint32_t x, std::uint32_t y) { return x | y; });
}
void TypedValue::Xor(const TypedValue& b) {
    Bitwise(*this, b, [](std::uint32_t x, std::uint32_t y) { return x ^ y; });
}

void TypedValue::Negate() {
    if (type == TypeInteger)
        integer = Wrap(0u - U(integer));
    else if (type == TypeDouble)
        real = -real;
}

void SetTemporaryStrings(TemporaryStrings* list) {
    currentStrings = list;
}

TemporaryStrings* CurrentTemporaryStrings() {
    return currentStrings;
}

win32::WCHAR* AddTemporaryString(win32::WCHAR* string) {
    TemporaryStrings* list = currentStrings;
    if (!string) return nullptr;
    if (!list) {
        FreeMemoryBlock(string);
        return nullptr;
    }
    if (list->count == list->capacity) {
        void* block = list->items;
        const auto bytes = static_cast<std::size_t>(list->capacity + TemporaryStringStep) * sizeof(void*);
        const int ok = block ? ReallocMemory(bytes, &block) : AllocMemory(bytes, &block);
        if (!ok) {
            FreeMemoryBlock(string);
            return nullptr;
        }
        list->items = static_cast<win32::WCHAR**>(block);
        list->capacity += TemporaryStringStep;
    }
    list->items[list->count++] = string;
    return string;
}

win32::WCHAR* MakeTemporaryString(std::u16string_view text) {
    void* block = nullptr;
    if (!AllocMemory((text.size() + 1) * sizeof(win32::WCHAR), &block)) return nullptr;
    auto* s = static_cast<win32::WCHAR*>(block);
    if (!text.empty()) std::memcpy(s, text.data(), text.size() * sizeof(win32::WCHAR));
    s[text.size()] = 0;
    return AddTemporaryString(s);
}

void FreeTemporaryStrings() {
    TemporaryStrings* list = currentStrings;
    if (!list) return;
    for (std::int32_t i = 0; i < list->count; ++i)
        FreeMemoryBlock(list->items[i]);
    list->count = 0;
}

void ReleaseTemporaryStrings(TemporaryStrings& list) {
    for (std::int32_t i = 0; i < list.count; ++i)
        FreeMemoryBlock(list.items[i]);
    if (list.items) FreeMemoryBlock(list.items);
    list = TemporaryStrings{};
}

bool AppendToPointerList(PointerList& list, void* pointer) {
    if (list.count == list.capacity) {
        void* block = list.items;
        const auto bytes = static_cast<std::size_t>(list.capacity + PointerListStep) * sizeof(void*);
        const int ok = block ? ReallocMemory(bytes, &block) : AllocMemory(bytes, &block);
        if (!ok) return false;
        list.items = static_cast<void**>(block);
        list.capacity += PointerListStep;
    }
    list.items[list.count++] = pointer;
    return true;
}

void FreePointerList(PointerList& list) {
    if (list.items) FreeMemoryBlock(list.items);
    list = PointerList{};
}

} // namespace vtrrt

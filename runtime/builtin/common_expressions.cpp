// The expressions every object of type 2 and up answers (numbers 1 to 42): its position, box, movement,
// animation, values, flags and strings, ink, font and text colour, action point, distance and angle to a
// point; and four expressions of the special object built the same way (distance, angle, range, random).
#include "builtin/common_objects.h"
#include "builtin/effect_parameters.h"
#include "builtin/object_fonts.h"
#include "builtin/object_state.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/selection.h"
#include "objects/animations.h"
#include "objects/backdrop_layers.h"
#include "objects/movements.h"
#include "objects/physics_movement.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"
#include "startup/ink_effects.h"

#include "vtrs2/banks.h"
#include "vtrs2/effect.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace vtrrt {

namespace {

constexpr double Pi = 3.14159265358979323846;

// A value pushed when the expression's object is missing, of the type its routine gives.
enum class Result { Integer, String, Double };

// The token being evaluated: its object and its arguments. The arguments are read whether or not the object
// exists, so that the evaluator goes on after the function's closing token.
struct Call {
    explicit Call(int arguments) {
        const std::uint8_t* token = CurrentToken();
        constant =
            token && GetI16(token + TokenSizeAt) >= static_cast<std::int16_t>(TokenObjectConstantAt + 2)
                ? GetI16(token + TokenObjectConstantAt)
                : 0;
        for (int i = 0; i < arguments; ++i) {
            StepToken();
            values[i] = *EvaluateExpression();
        }
        object = token ? GetExpressionObject(token) : nullptr;
    }
    std::int32_t Int(int i) const { return values[i].ToInt(); }

    RunObject* object = nullptr;
    std::int32_t constant = 0; // the number some expressions carry in their token
    std::array<TypedValue, 4> values{};
};

void Push(const TypedValue& v) {
    ExpressionTop() = v;
}

void PushString(std::u16string_view text) {
    static win32::WCHAR empty[1] = {0};
    win32::WCHAR* copy = MakeTemporaryString(text);
    Push(TypedValue::String(copy ? copy : empty));
}

void PushNothing(Result type) {
    if (type == Result::String)
        PushString({});
    else if (type == Result::Double)
        Push(TypedValue::Double(0.0));
    else
        SetTopInt(0);
}

// An expression of the object without arguments that gives an integer.
template <std::int32_t (*Read)(RunObject*)> void Plain() {
    Call c(0);
    SetTopInt(c.object ? Read(c.object) : 0);
}

RunObjectExtended* Ext(RunObject* o) {
    return ExtendedOf(o);
}

std::int32_t Y(RunObject* o) {
    return o->y;
}
std::int32_t X(RunObject* o) {
    return o->x;
}
std::int32_t Frame(RunObject* o) {
    const ObjectAnimationBlock* a = AnimationOf(o);
    return a ? a->frame : 0;
}
// The speed and settings, as a movement module answers them for its own movement.
std::int32_t Speed(RunObject* o) {
    return MovementSpeed(o);
}
std::int32_t Acceleration(RunObject* o) {
    return MovementAcceleration(o);
}
std::int32_t Deceleration(RunObject* o) {
    return MovementDeceleration(o);
}
std::int32_t Direction(RunObject* o) {
    return GetObjectDirection(o);
}
std::int32_t Left(RunObject* o) {
    return o->x - o->hotSpotX;
}
std::int32_t Right(RunObject* o) {
    return Left(o) + o->width;
}
std::int32_t Top(RunObject* o) {
    return o->y - o->hotSpotY;
}
std::int32_t Bottom(RunObject* o) {
    return Top(o) + o->height;
}
std::int32_t FixedValue(RunObject* o) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(o->creationNumber) << 16) |
                                     static_cast<std::uint16_t>(o->handle));
}
std::int32_t AnimationNumber(RunObject* o) {
    const ObjectAnimationBlock* a = AnimationOf(o);
    return a ? a->current : 0;
}
std::int32_t MovementNumber(RunObject* o) {
    return (o->objectFlags & ObjectHasMovement) ? CurrentMovementIndex(o) : 0;
}
std::int32_t LayerNumber(RunObject* o) {
    return o->layer + 1;
}
std::int32_t Width(RunObject* o) {
    return o->width;
}
std::int32_t Height(RunObject* o) {
    return o->height;
}
std::int32_t TextColour(RunObject* o) {
    return static_cast<std::int32_t>(GetObjectTextColor(o));
}

std::int32_t SemiTransparency(RunObject* o) {
    const ObjectSpriteBlock* b = SpriteBlockOf(o);
    if (!b) return 0;
    const std::uint32_t code = b->inkEffect & InkCodeBits;
    const auto parameter = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(b->inkParameter));
    if (code == InkSemiTransparent) return static_cast<std::int32_t>(parameter);
    if (code == InkEffectObject) {
        const std::uint32_t k = InkCoefficientOf(o);
        return (k >> 24) != 0 ? static_cast<std::int32_t>((k >> 25) ^ 0x7F) : 128;
    }
    if (b->inkEffect & InkRgbaCoefficient) {
        const std::uint32_t alpha = parameter >> 24;
        return alpha == 0 ? 128 : static_cast<std::int32_t>((255 - alpha) >> 1);
    }
    return 0;
}

std::int32_t AlphaCoefficient(RunObject* o) {
    return 255 - static_cast<std::int32_t>(InkCoefficientOf(o) >> 24);
}

std::int32_t RgbCoefficient(RunObject* o) {
    const std::uint32_t k = InkCoefficientOf(o);
    if (k == NoInkCoefficient) return 0xFFFFFF;
    return static_cast<std::int32_t>(((k & 0xFF) << 16) | (k & 0xFF00) | ((k >> 16) & 0xFF));
}

// The action point's offset from the hot spot of the image the object shows.
win32::POINT ActionPoint(RunObject* o) {
    RunObjectExtended* x = Ext(o);
    win32::POINT p{o->x, o->y};
    ImageInfo info{};
    if (x && (o->objectFlags & ObjectHasAnimation) && x->image &&
        GetTransformedImageInfo(BanksOfApplication(), static_cast<win32::DWORD>(x->image), x->angle,
                                x->scaleX, x->scaleY, &info)) {
        p.x += info.actionX - info.hotX;
        p.y += info.actionY - info.hotY;
    }
    return p;
}
std::int32_t ActionPointX(RunObject* o) {
    return ActionPoint(o).x;
}
std::int32_t ActionPointY(RunObject* o) {
    return ActionPoint(o).y;
}

void AlterableFlag() {
    Call c(1);
    const std::uint32_t* flags = AlterableFlags(c.object);
    SetTopInt(flags && ((*flags >> (c.Int(0) & 31)) & 1) ? 1 : 0);
}

void ObjectCount() {
    const std::uint8_t* token = CurrentToken();
    SetTopInt(token && GetI16(token + TokenSizeAt) >= static_cast<std::int16_t>(TokenObjectResolvedAt + 2)
                  ? InstanceCountOf(GetU16(token + TokenObjectResolvedAt))
                  : 0);
}

void PushValue(RunObject* o, std::int32_t n) {
    // The value's string stays the object's: the expression gives a copy that lives through the loop.
    const TypedValue v = o ? ReadAlterableValue(o, n) : TypedValue::Int(0);
    if (v.IsString())
        PushString(v.Text());
    else
        Push(v);
}

void ValueOfToken() {
    Call c(0);
    PushValue(c.object, c.constant);
}
void ValueOfArgument() {
    Call c(1);
    PushValue(c.object, c.Int(0));
}

void StringOfToken() {
    Call c(0);
    PushString(c.object ? AlterableString(c.object, c.constant) : std::u16string_view{});
}
void StringOfArgument() {
    Call c(1);
    PushString(c.object ? AlterableString(c.object, c.Int(0)) : std::u16string_view{});
}

void FontName() {
    Call c(0);
    win32::LOGFONTW font{};
    if (!c.object || !GetObjectFont(c.object, &font)) return PushString({});
    PushString(std::u16string_view(font.lfFaceName, std::char_traits<char16_t>::length(font.lfFaceName)));
}

void FontSize() {
    Call c(0);
    win32::LOGFONTW font{};
    if (!c.object || !GetObjectFont(c.object, &font)) return SetTopInt(0);
    SetTopInt(static_cast<std::int32_t>(std::abs(font.lfHeight) * 72.0 / ScreenPixelsPerInch() + 0.5));
}

void EffectParameter() {
    Call c(1);
    const ObjectSpriteBlock* b = SpriteBlockOf(c.object);
    PushEffectParameter(b && (b->inkEffect & InkCodeBits) == InkEffectObject
                            ? static_cast<CEffectEx*>(b->inkParameter)
                            : nullptr,
                        c.values[0].Text());
}

double Distance(double dx, double dy) {
    return std::sqrt(dx * dx + dy * dy);
}
// Degrees counter-clockwise (Y up) of a vector, from 0 to 359.
std::int32_t Degrees(double dx, double upward) {
    auto a = static_cast<std::int32_t>(std::atan2(upward, dx) * 180.0 / Pi);
    return a < 0 ? a + 360 : a;
}

void DistanceToPoint() {
    Call c(2);
    if (!c.object) return SetTopInt(0);
    SetTopInt(static_cast<std::int32_t>(
        Distance(c.values[0].ToDouble() - c.object->x, c.values[1].ToDouble() - c.object->y)));
}

void AngleToPoint() {
    Call c(2);
    if (!c.object) return SetTopInt(0);
    SetTopInt(Degrees(c.values[0].ToDouble() - c.object->x, c.object->y - c.values[1].ToDouble()));
}

// Values of a physics movement, asked by the expression's number x 256; 0 without one.
template <Result Type, int Number> void PhysicsValue() {
    Call c(0);
    physics::Request request{};
    request.code = Number << 8;
    if (!c.object || !RequestPhysicsMovement(c.object, request)) return PushNothing(Type);
    if (Type == Result::Double)
        Push(TypedValue::Double(request.realAnswer));
    else
        SetTopInt(request.integerAnswer);
}

// --- the special object's four ---

void DistanceBetween() {
    Call c(4);
    SetTopInt(static_cast<std::int32_t>(Distance(c.values[2].ToDouble() - c.values[0].ToDouble(),
                                                 c.values[3].ToDouble() - c.values[1].ToDouble())));
}

void AngleOf() {
    Call c(2);
    SetTopInt(Degrees(c.values[0].ToDouble(), -c.values[1].ToDouble()));
}

void Range() {
    Call c(3);
    if (c.values[0].IsDouble() || c.values[1].IsDouble() || c.values[2].IsDouble())
        Push(TypedValue::Double(
            std::min(std::max(c.values[0].ToDouble(), c.values[1].ToDouble()), c.values[2].ToDouble())));
    else
        SetTopInt(std::min(std::max(c.Int(0), c.Int(1)), c.Int(2)));
}

void RandomBetween() {
    Call c(2);
    FrameRunState* run = CurrentRunState();
    if (!run) return SetTopInt(c.Int(0));
    run->randomSeed = static_cast<std::uint16_t>(run->randomSeed * 31415u + 1u);
    const auto span = static_cast<std::uint32_t>(c.Int(1) - c.Int(0) + 1) & 0xFFFF;
    SetTopInt(c.Int(0) + static_cast<std::int32_t>((run->randomSeed * span) >> 16));
}

struct CommonExpression {
    std::int16_t number;
    ExpressionRoutine routine;
};

const CommonExpression CommonExpressions[] = {
    {1, Plain<Y>},
    {2, Plain<Frame>},
    {3, Plain<Speed>},
    {4, Plain<Acceleration>},
    {5, Plain<Deceleration>},
    {6, Plain<Direction>},
    {7, Plain<Left>},
    {8, Plain<Right>},
    {9, Plain<Top>},
    {10, Plain<Bottom>},
    {11, Plain<X>},
    {12, Plain<FixedValue>},
    {13, AlterableFlag},
    {14, Plain<AnimationNumber>},
    {15, ObjectCount},
    {16, ValueOfToken},
    {17, Plain<SemiTransparency>},
    {18, Plain<MovementNumber>},
    {19, StringOfToken},
    {20, FontName},
    {21, FontSize},
    {22, Plain<TextColour>},
    {23, Plain<LayerNumber>},
    {24, Plain<MovementGravity>},
    {25, Plain<ActionPointX>},
    {26, Plain<ActionPointY>},
    {27, Plain<AlphaCoefficient>},
    {28, Plain<RgbCoefficient>},
    {29, EffectParameter},
    {30, ValueOfArgument},
    {31, StringOfArgument},
    {32, DistanceToPoint},
    {33, AngleToPoint},
    {35, PhysicsValue<Result::Integer, 35>},
    {36, PhysicsValue<Result::Integer, 36>},
    {37, PhysicsValue<Result::Integer, 37>},
    {38, PhysicsValue<Result::Double, 38>},
    {39, PhysicsValue<Result::Double, 39>},
    {40, Plain<Width>},
    {41, Plain<Height>},
    {42, PhysicsValue<Result::Double, 42>},
};

} // namespace

void InstallCommonExpressionRoutines() {
    for (const CommonExpression& e : CommonExpressions)
        SetCommonExpressionRoutine(e.number, e.routine);
    SetExpressionRoutine(TypeSpecial, 62, DistanceBetween);
    SetExpressionRoutine(TypeSpecial, 63, AngleOf);
    SetExpressionRoutine(TypeSpecial, 64, Range);
    SetExpressionRoutine(TypeSpecial, 65, RandomBetween);
}

} // namespace vtrrt

// The active object's own actions (numbers 80 to 89): pasting itself into the background or adding itself as
// a backdrop, its place among the sprites, a colour replaced in its images, its scales and angle, and one of
// its frames loaded from a file; and its own expressions (80 to 83): a pixel of its image, its scales and
// its angle.
#include "builtin/common_objects.h"
#include "builtin/object_state.h"
#include "builtin/position_parameter.h"
#include "events/dispatch.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/backdrop_layers.h"
#include "objects/backgrounds.h"
#include "objects/image_actions.h"
#include "objects/object_sprites.h"
#include "objects/physics_movement.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "vtrs2/banks.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <cmath>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int FrameFileParameters = 9;

RunObjectExtended* ActiveOf(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    return ExtendedOf(o);
}

std::int32_t IntAt(std::uint8_t* r, int n) {
    return GetIntParameter(ParameterAt(r, n));
}

template <bool Keep> void AddAsBackdrop(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r)) AddLayerBackdrop(o, static_cast<std::uint16_t>(IntAt(r, 0)), Keep);
}

template <void (*Move)(SpriteWindow*, Sprite*)> void Order(std::uint8_t* r) {
    RunObjectExtended* x = ActiveOf(r);
    if (x && x->sprite) Move(SpritesOfFrame(), static_cast<Sprite*>(x->sprite));
}

void ReplaceColour(std::uint8_t* r) {
    if (RunObject* o = ActionObjectOf(r))
        ReplaceObjectColor(o, static_cast<COLORREF>(IntAt(r, 0)), static_cast<COLORREF>(IntAt(r, 1)));
}

// The object's size and hot spot follow its image turned and scaled.
void TakeTransformedSize(RunObjectExtended* x) {
    ImageInfo info{};
    if (!x->image || !GetTransformedImageInfo(BanksOfApplication(), static_cast<DWORD>(x->image), x->angle,
                                              x->scaleX, x->scaleY, &info))
        return;
    x->width = info.width;
    x->height = info.height;
    x->hotSpotX = info.hotX;
    x->hotSpotY = info.hotY;
}

void SetDisplayFlag(RunObject* o, std::uint16_t flag, bool on) {
    if (ObjectSpriteBlock* b = SpriteBlockOf(o))
        b->displayFlags = on ? static_cast<std::uint16_t>(b->displayFlags | flag)
                             : static_cast<std::uint16_t>(b->displayFlags & ~flag);
}

enum class Axes { Both, X, Y };
template <Axes Which> void SetScale(std::uint8_t* r) {
    RunObjectExtended* x = ActiveOf(r);
    if (!x) return;
    const auto scale = static_cast<float>(GetValueParameter(ParameterAt(r, 0)).ToDouble());
    SetDisplayFlag(x, DisplayResample, IntAt(r, 1) != 0);
    const float sx = Which == Axes::Y ? x->scaleX : scale;
    const float sy = Which == Axes::X ? x->scaleY : scale;
    if (sx == x->scaleX && sy == x->scaleY) return;
    x->scaleX = sx;
    x->scaleY = sy;
    TakeTransformedSize(x);
    MarkObjectChanged(x);
}

void SetAngle(std::uint8_t* r) {
    RunObjectExtended* x = ActiveOf(r);
    if (!x) return;
    double degrees = std::fmod(GetValueParameter(ParameterAt(r, 0)).ToDouble(), 360.0);
    if (degrees < 0) degrees += 360.0;
    SetDisplayFlag(x, DisplayAntialias, IntAt(r, 1) != 0);
    const auto angle = static_cast<float>(degrees);
    // A physics body turns instead, and the object with it.
    if (TurnPhysicsBody(x, angle)) return;
    if (angle == x->angle) return;
    x->angle = angle;
    TakeTransformedSize(x);
    MarkObjectChanged(x);
}

void LoadFrameFromFile(std::uint8_t* r) {
    RunObject* o = ActionObjectOf(r);
    if (!o) return;
    const std::uint8_t* p[FrameFileParameters] = {};
    for (int i = 0; i < FrameFileParameters; ++i)
        p[i] = ParameterAt(r, i);
    const std::int32_t direction = DirectionParameter(p[2]);
    LoadObjectFrameFromFile(o, GetStringParameter(p[0]), GetIntParameter(p[1]), direction,
                            GetIntParameter(p[3]), GetIntParameter(p[4]), GetIntParameter(p[5]),
                            GetIntParameter(p[6]), GetIntParameter(p[7]),
                            static_cast<COLORREF>(GetIntParameter(p[8])));
}

// --- expressions ---

// Reads the function's arguments after its own token, then answers for its object.
struct ActiveCall {
    explicit ActiveCall(int arguments) {
        const std::uint8_t* token = CurrentToken();
        for (int i = 0; i < arguments; ++i) {
            StepToken();
            values[i] = EvaluateExpression()->ToInt();
        }
        object = token ? ExtendedOf(GetExpressionObject(token)) : nullptr;
    }
    RunObjectExtended* object = nullptr;
    std::int32_t values[2] = {};
};

void PixelColour() {
    ActiveCall c(2);
    COLORREF colour = 0;
    if (c.object && c.object->image)
        if (auto surface = ImageSurface(static_cast<DWORD>(c.object->image)))
            if (!surface->GetPixel(c.values[0], c.values[1], colour)) colour = 0;
    SetTopInt(static_cast<std::int32_t>(colour));
}

// The physics body's angle when a physics movement holds the object, else its own.
void Angle() {
    ActiveCall c(0);
    float angle = c.object ? c.object->angle : 0.0f;
    if (c.object) PhysicsBodyAngle(c.object, angle);
    ExpressionTop() = TypedValue::Double(angle);
}

template <float RunObjectExtended::*Field> void FloatField() {
    ActiveCall c(0);
    ExpressionTop() = TypedValue::Double(c.object ? c.object->*Field : 0.0);
}

} // namespace

void InstallActiveObjectRoutines() {
    SetActionRoutine(TypeActive, 80, AddAsBackdrop<false>);
    SetActionRoutine(TypeActive, 81, Order<MoveSpriteToFront>);
    SetActionRoutine(TypeActive, 82, Order<MoveSpriteToBack>);
    SetActionRoutine(TypeActive, 83, AddAsBackdrop<true>);
    SetActionRoutine(TypeActive, 84, ReplaceColour);
    SetActionRoutine(TypeActive, 85, SetScale<Axes::Both>);
    SetActionRoutine(TypeActive, 86, SetScale<Axes::X>);
    SetActionRoutine(TypeActive, 87, SetScale<Axes::Y>);
    SetActionRoutine(TypeActive, 88, SetAngle);
    SetActionRoutine(TypeActive, 89, LoadFrameFromFile);
    SetExpressionRoutine(TypeActive, 80, PixelColour);
    SetExpressionRoutine(TypeActive, 81, FloatField<&RunObjectExtended::scaleX>);
    SetExpressionRoutine(TypeActive, 82, FloatField<&RunObjectExtended::scaleY>);
    SetExpressionRoutine(TypeActive, 83, Angle);
}

} // namespace vtrrt

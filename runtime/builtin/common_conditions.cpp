// The conditions every object of type 2 and up answers (numbers -1 to -43), each for one given object (when
// its event is raised for that object) and over the selection: animations, movement states, the play
// area, collisions with backdrops and objects, positions and speeds, alterable values, flags and strings,
// visibility, counts, random picks, path nodes and fonts.
#include "builtin/common_objects.h"
#include "builtin/object_fonts.h"
#include "builtin/object_state.h"
#include "builtin/system_objects.h"
#include "core/frame_run_state.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/animations.h"
#include "objects/movements.h"
#include "objects/object_moved.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/event_program.h"

#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace vtrrt {

namespace {

constexpr int BoldWeight = 600;

// A condition being evaluated: its record, its negation, and its first two parameters' values.
struct Condition {
    explicit Condition(std::uint8_t* r)
        : record(r), negated(IsNegated(r)), p0(ParameterAt(r, 0)), p1(ParameterAt(r, 1)), first(p0),
          second(p1) {}
    bool Negate(bool holds) const { return holds != negated; }
    int Operator() const { return ComparisonOperatorOf(p0); }

    std::uint8_t* record;
    bool negated;
    const std::uint8_t* p0;
    const std::uint8_t* p1;
    PerObjectValue first, second;
};

using ObjectTest = bool (*)(Condition&, RunObject*);

// Over the selection: the objects the test fails are taken out; true when any object is left.
template <ObjectTest Test> int OverSelection(std::uint8_t* r) {
    Condition c(r);
    bool any = false;
    for (RunObject* o = FirstConditionObject(ReferenceOf(r), nullptr); o; o = NextConditionObject()) {
        if (Test(c, o))
            any = true;
        else
            DropConditionObject();
    }
    return any ? 1 : 0;
}

// For one object: an object that passes joins the selection.
template <ObjectTest Test> int ForObject(std::uint8_t* r, RunObject* o) {
    if (!o) return 0;
    Condition c(r);
    if (!Test(c, o)) return 0;
    AddObjectToSelection(o);
    return 1;
}

// --- what the tests read ---

std::int32_t Speed(RunObject* o) {
    return MovementSpeed(o);
}
std::int32_t XOf(RunObject* o) {
    return o->x;
}
std::int32_t YOf(RunObject* o) {
    return o->y;
}
// The movement's settings, as a movement module answers them for its own movement.
std::int32_t Acceleration(RunObject* o) {
    return MovementAcceleration(o);
}
std::int32_t Deceleration(RunObject* o) {
    return MovementDeceleration(o);
}
std::int32_t AnimationFrame(RunObject* o) {
    const ObjectAnimationBlock* a = AnimationOf(o);
    return a ? a->frame : 0;
}
std::int32_t FixedValueOf(RunObject* o) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(o->creationNumber) << 16) |
                                     static_cast<std::uint16_t>(o->handle));
}

template <std::int32_t (*Value)(RunObject*)> bool CompareValue(Condition& c, RunObject* o) {
    return CompareIntegers(Value(o), c.first.IntFor(o), c.Operator());
}

// Border bits of the object's box in the play area: 1 wholly left, 2 wholly right, 4 wholly above, 8
// wholly below.
std::uint32_t BorderCode(const RunObject* o) {
    const FrameRunState* run = o->runState;
    const std::int32_t width = run && run->frame ? run->frame->width : 0;
    const std::int32_t height = run && run->frame ? run->frame->height : 0;
    const std::int32_t left = o->x - o->hotSpotX, top = o->y - o->hotSpotY;
    std::uint32_t code = 0;
    if (left + o->width <= 0) code |= 1;
    if (left >= width) code |= 2;
    if (top + o->height <= 0) code |= 4;
    if (top >= height) code |= 8;
    return code;
}
bool OutOfPlayArea(const RunObject* o) {
    static constexpr std::array<bool, 16> Out{false, true, true, false, true,  true,  true,  false,
                                              true,  true, true, false, false, false, false, false};
    return Out[BorderCode(o)];
}

bool Hidden(RunObject* o) {
    const ObjectSpriteBlock* b = SpriteBlockOf(o);
    return b && (b->displayFlags & DisplayHidden);
}

bool PathStampNow(RunObject* o, std::int32_t stamp) {
    const RunObjectExtended* x = ExtendedOf(o);
    if (!x || x->movementType != MovementPath || stamp == 0 || !o->runState) return false;
    const auto loop = static_cast<std::int32_t>(o->runState->loopCount);
    return stamp == loop || stamp == loop - 1;
}

bool NodeNamed(RunObject* o, Condition& c) {
    if (!o->nodeName) return false;
    const TypedValue name = c.first.For(o);
    return win32::EqualsIgnoringCase(o->nodeName, name.Text());
}

std::uint16_t GroupFlagsNow() {
    EventRunState* s = State();
    return s && s->currentGroup ? GetU16(s->currentGroup + GroupFlags) : 0;
}

// A raised collision of the object under a key: true when it is new in this loop; an old one is true only
// in groups that stop or bounce, which then run only those actions.
bool NewOrRepeated(std::int32_t key, RunObject* o) {
    if (IsNewCollision(key, o)) return true;
    if (!(GroupFlagsNow() & GroupHasCreateOrDestroy)) return false;
    if (EventRunState* s = State()) s->immediateOnly = 1;
    return true;
}

std::uint16_t ObjectParameterReference(const std::uint8_t* p) {
    return p && ParameterCode(p) == ParamObject && GetI16(p) >= 6 ? GetU16(p + ObjectParamResolvedAt)
                                                                  : NoObjectInfo;
}

// --- the tests ---

bool AnimationOver(Condition& c, RunObject* o) {
    const ObjectAnimationBlock* a = AnimationOf(o);
    return a && a->current == c.first.IntFor(o) && a->frameCount == 0;
}
int AnimationOverRaised(std::uint8_t* r, RunObject* o) {
    EventRunState* s = State();
    if (!s || !o || GetIntParameter(ParameterAt(r, 0)) != s->run->animationNumber) return 0;
    AddObjectToSelection(o);
    return 1;
}

bool AnimationPlaying(Condition& c, RunObject* o) {
    const ObjectAnimationBlock* a = AnimationOf(o);
    return c.Negate(a && a->current == c.first.IntFor(o) && a->frameCount != 0);
}

bool Reversing(Condition& c, RunObject* o) {
    return c.Negate(MovementReversing(o));
}
bool Bouncing(Condition& c, RunObject* o) {
    return c.Negate(MovementBouncing(o));
}
bool Stopped(Condition& c, RunObject* o) {
    return c.Negate(Speed(o) == 0);
}

bool Facing(Condition& c, RunObject* o) {
    const std::int32_t d = GetObjectDirection(o);
    if (ParameterCode(c.p0) == ParamDirections && GetI16(c.p0) >= 8)
        return c.Negate((static_cast<std::uint32_t>(GetI32(c.p0 + 4)) >> d) & 1);
    return c.Negate((c.first.IntFor(o) & 31) == d);
}

bool InPlayArea(Condition& c, RunObject* o) {
    return c.Negate(!OutOfPlayArea(o));
}
bool OutOfArea(Condition& c, RunObject* o) {
    return c.Negate(OutOfPlayArea(o));
}

bool HasEntered(Condition& c, RunObject* o) {
    return c.Negate(o->eventFlags & EventFlagEntered);
}
bool HasLeft(Condition& c, RunObject* o) {
    return c.Negate(o->eventFlags & EventFlagLeft);
}
// Entering or leaving, raised by the object's move with the borders it met.
int BorderRaised(std::uint8_t* r, RunObject* o) {
    EventRunState* s = State();
    if (!s || !o) return 0;
    const auto mask = static_cast<std::uint32_t>(GetIntParameter(ParameterAt(r, 0)));
    if (!(static_cast<std::uint32_t>(s->eventParameter1) & mask)) return 0;
    if (!NewOrRepeated(GetU16(r + ConditionIdentifier), o)) return 0;
    AddObjectToSelection(o);
    return 1;
}

bool OverlapsBackdrop(Condition& c, RunObject* o) {
    const RunObjectExtended* x = ExtendedOf(o);
    const bool hit =
        x && TestObjectBackdropCollision(o, static_cast<win32::DWORD>(x->image), x->angle, x->scaleX,
                                         x->scaleY, o->x, o->y, 0, ObstaclesAndPlatforms) != 0;
    return c.Negate(hit);
}
int BackdropRaised(std::uint8_t* r, RunObject* o) {
    if (!o || !NewOrRepeated(GetU16(r + ConditionIdentifier), o)) return 0;
    AddObjectToSelection(o);
    return 1;
}

// Whether the object overlaps objects of another reference, thinning both selections.
int ObjectOverlapCondition(std::uint8_t* r) {
    const bool negated = IsNegated(r);
    const std::uint16_t other = ObjectParameterReference(ParameterAt(r, 0));
    std::int32_t count = 0;
    RunObject* o = FirstConditionObject(ReferenceOf(r), &count);
    if (!o || count == 0) return negated ? 1 : 0;
    const std::vector<std::int16_t> candidates = MemberIndexesOf(other);
    std::vector<RunObject*> partners;
    std::vector<CollisionPair> pairs;
    bool anyLeft = false, anyDropped = false;
    for (; o; o = NextConditionObject()) {
        RunObjectExtended* x = ExtendedOf(o);
        CollectCollidingObjectsAmong(o, x ? static_cast<win32::DWORD>(x->image) : 0, x ? x->angle : 0.0f,
                                     x ? x->scaleX : 1.0f, x ? x->scaleY : 1.0f, o->x, o->y, &candidates,
                                     pairs);
        bool found = false;
        for (const CollisionPair& pair : pairs) {
            RunObject* p = pair.object;
            if (!p || p == o || (p->runFlags & ObjectDisappearing) || !ObjectBelongsTo(other, p)) continue;
            partners.push_back(p);
            found = true;
        }
        if (found != negated) {
            anyLeft = true;
        } else {
            DropConditionObject();
            anyDropped = true;
        }
    }
    if (negated ? anyDropped : !anyLeft) return 0;
    bool remains = false;
    for (RunObject* p = FirstConditionObject(other, nullptr); p; p = NextConditionObject()) {
        const bool partner = std::find(partners.begin(), partners.end(), p) != partners.end();
        if (partner != negated)
            remains = true;
        else
            DropConditionObject();
    }
    return remains ? 1 : 0;
}
int ObjectOverlapForObject(std::uint8_t* r, RunObject*) {
    return ObjectOverlapCondition(r);
}

// A collision raised by a move: the pair must be the event's two object infos, in either order.
int CollisionRaised(std::uint8_t* r, RunObject* o) {
    EventRunState* s = State();
    RunObject* other = s ? ObjectOfHandle(s->otherObject) : nullptr;
    if (!o || !other || other == o) return 0;
    const std::uint16_t first = ReferenceOf(r), second = ObjectParameterReference(ParameterAt(r, 0));
    const bool matches = (ObjectBelongsTo(first, o) && ObjectBelongsTo(second, other)) ||
                         (ObjectBelongsTo(first, other) && ObjectBelongsTo(second, o));
    if (!matches) return 0;
    const std::uint16_t id = GetU16(r + ConditionIdentifier);
    const bool newForObject =
        IsNewCollision(static_cast<std::int32_t>((other->creationNumber << 16) | id), o);
    const bool newForOther = IsNewCollision(static_cast<std::int32_t>((o->creationNumber << 16) | id), other);
    if (!newForObject || !newForOther) {
        if (!(GroupFlagsNow() & GroupHasCreateOrDestroy)) return 0;
        s->immediateOnly = 1;
    }
    AddObjectToSelection(o);
    AddObjectToSelection(other);
    return 1;
}

bool NodeReached(Condition&, RunObject* o) {
    return PathStampNow(o, o->nodeReachedStamp);
}
bool PathEnded(Condition&, RunObject* o) {
    return PathStampNow(o, o->pathEndStamp);
}
bool Raised(Condition&, RunObject*) {
    return true;
}
bool NamedNodeReached(Condition& c, RunObject* o) {
    return PathStampNow(o, o->nodeReachedStamp) && NodeNamed(o, c);
}
bool NamedNode(Condition& c, RunObject* o) {
    return NodeNamed(o, c);
}

bool OutsideWindowBy(Condition& c, RunObject* o) {
    const FrameRunState* run = o->runState;
    if (!run) return false;
    const std::int32_t m = c.first.IntFor(o);
    const std::int32_t left = o->x - o->hotSpotX, top = o->y - o->hotSpotY;
    const bool inside = run->scrollX + m < left &&
                        left + o->width < run->scrollX + run->windowAreaWidth - m && run->scrollY + m < top &&
                        top + o->height < run->scrollY + run->windowAreaHeight - m;
    return c.Negate(!inside);
}

bool FlagOff(Condition& c, RunObject* o) {
    const std::uint32_t* flags = AlterableFlags(o);
    const std::int32_t n = c.first.IntFor(o) & 31;
    return c.Negate(!flags || !((*flags >> n) & 1));
}
bool FlagOn(Condition& c, RunObject* o) {
    const std::uint32_t* flags = AlterableFlags(o);
    const std::int32_t n = c.first.IntFor(o) & 31;
    return c.Negate(flags && ((*flags >> n) & 1));
}

bool IsSingleToken(const std::uint8_t* p, std::int32_t code) {
    if (!p || !IsExpressionParameterCode(ParameterCode(p)) || GetI16(p) < 16) return false;
    const std::uint8_t* first = p + ExpressionParamTokensAt;
    const std::int16_t size = GetI16(first + TokenSizeAt);
    const std::size_t next = ExpressionParamTokensAt + static_cast<std::size_t>(size);
    return GetI32(first + TokenCodeAt) == code && size >= 6 &&
           next + 4 <= static_cast<std::size_t>(GetI16(p)) && GetI32(p + next) == TokenEnd;
}

int FixedValueCondition(std::uint8_t* r) {
    const std::uint8_t* p = ParameterAt(r, 0);
    if (ComparisonOperatorOf(p) == CompareEqual && IsSingleToken(p, TokenGlobalValueCode)) {
        const auto fixed = static_cast<std::uint32_t>(EvaluateExpressionParameter(p)->ToInt());
        SelectObjectByFixedValue(ReferenceOf(r), nullptr, fixed);
        bool any = false;
        for (RunObject* o = FirstConditionObject(ReferenceOf(r), nullptr); o; o = NextConditionObject()) {
            if (static_cast<std::uint32_t>(FixedValueOf(o)) == fixed)
                any = true;
            else
                DropConditionObject();
        }
        return any ? 1 : 0;
    }
    return OverSelection<CompareValue<FixedValueOf>>(r);
}
int FixedValueForObject(std::uint8_t* r, RunObject* o) {
    return ForObject<CompareValue<FixedValueOf>>(r, o);
}

bool CompareAlterableValue(Condition& c, RunObject* o) {
    if (!ValuesBlockOf(o)) return false;
    const std::int32_t n = c.first.IntFor(o);
    if (n < 0) return true;
    return CompareValues(ReadAlterableValue(o, n), c.second.For(o), ComparisonOperatorOf(c.p1));
}

// Values 42 and 43 compare with a constant: the 32-bit integer of code 42, or the double of an expression.
bool CompareAlterableValueWithConstant(Condition& c, RunObject* o) {
    if (!ValuesBlockOf(o)) return false;
    const std::int32_t n = c.first.IntFor(o);
    if (n < 0) return false;
    int op = -1;
    TypedValue constant{};
    if (ParameterCode(c.p1) == 42) {
        if (!GetComparisonParameter(c.p1, &op, &constant)) return false;
    } else {
        op = ComparisonOperatorOf(c.p1);
        constant = c.second.For(o);
    }
    return CompareValues(ReadAlterableValue(o, n), constant, op);
}

bool Invisible(Condition&, RunObject* o) {
    return Hidden(o);
}
bool Visible(Condition&, RunObject* o) {
    return !Hidden(o);
}

int CompareCountInZone(std::uint8_t* r) {
    win32::RECT zone{};
    if (!ZoneOfParameter(ParameterAt(r, 0), zone)) return 0;
    std::int32_t count = 0;
    CountObjectsInZone(ReferenceOf(r), zone, &count);
    return CompareWithExpressionParameter(ParameterAt(r, 1), count) ? 1 : 0;
}
int NoObjectInZone(std::uint8_t* r) {
    win32::RECT zone{};
    if (!ZoneOfParameter(ParameterAt(r, 0), zone)) return 0;
    std::int32_t count = 0;
    CountObjectsInZone(ReferenceOf(r), zone, &count);
    return Negatable(r, count == 0);
}
int CompareCount(std::uint8_t* r) {
    return CompareWithExpressionParameter(ParameterAt(r, 0), InstanceCountOf(ReferenceOf(r))) ? 1 : 0;
}

int NoMoreObjects(std::uint8_t* r) {
    const std::uint16_t ref = ReferenceOf(r);
    return ref != NoObjectInfo && InstanceCountOf(ref) == 0 ? 1 : 0;
}
// Raised while the last instance of an object info is being destroyed (it still counts).
int LastObjectDestroyed(std::uint8_t* r, RunObject* o) {
    if (!o) return 0;
    const std::uint16_t stored = GetU16(r + RecordObjectInfo);
    if (stored & QualifierBit) {
        const std::uint16_t ref = ReferenceOf(r);
        return ref != NoObjectInfo && !MemberIndexesOf(ref).empty() && InstanceCountOf(ref) == 1 ? 1 : 0;
    }
    return static_cast<std::int16_t>(stored) == o->objectInfo ? 1 : 0;
}

int PickAtRandom(std::uint8_t* r) {
    const std::uint16_t ref = ReferenceOf(r);
    std::int32_t count = 0;
    GetNthSelectedObject(ref, -1, &count);
    if (count <= 0) return 0;
    RunObject* o = GetNthSelectedObject(ref, RandomBelow(count), nullptr);
    if (!o) return 0;
    SelectOnlyObject(ref, o);
    return 1;
}

bool CompareAlterableString(Condition& c, RunObject* o) {
    const std::int32_t n = c.first.IntFor(o);
    if (!ValuesBlockOf(o) || n < 0 || n >= AlterableStringCount) return false;
    static win32::WCHAR empty[1] = {0};
    const std::u16string_view text = AlterableString(o, n);
    // The object's string ends with a zero; the comparison only reads it.
    const TypedValue left = TypedValue::String(text.empty() ? empty : const_cast<win32::WCHAR*>(text.data()));
    return CompareValues(left, c.second.For(o), ComparisonOperatorOf(c.p1));
}

template <bool (*Property)(const win32::LOGFONTW&)> bool FontTest(Condition&, RunObject* o) {
    win32::LOGFONTW font{};
    return GetObjectFont(o, &font) && Property(font);
}
bool Bold(const win32::LOGFONTW& f) {
    return f.lfWeight >= BoldWeight;
}
bool Italic(const win32::LOGFONTW& f) {
    return f.lfItalic != 0;
}
bool Underlined(const win32::LOGFONTW& f) {
    return f.lfUnderline != 0;
}
bool StruckOut(const win32::LOGFONTW& f) {
    return f.lfStrikeOut != 0;
}

struct CommonCondition {
    std::int16_t number;
    ConditionRoutine overSelection;
    ConditionOnObjectRoutine oneObject;
};

template <ObjectTest Test> constexpr CommonCondition Both(std::int16_t number) {
    return {number, OverSelection<Test>, ForObject<Test>};
}
// Conditions that count or compare without walking objects answer the same for one object.
template <ConditionRoutine Routine> int IgnoringObject(std::uint8_t* r, RunObject*) {
    return Routine(r);
}
template <ConditionRoutine Routine> constexpr CommonCondition Counting(std::int16_t number) {
    return {number, Routine, IgnoringObject<Routine>};
}

const CommonCondition CommonConditions[] = {
    Both<CompareValue<AnimationFrame>>(-1),
    {-2, OverSelection<AnimationOver>, AnimationOverRaised},
    Both<AnimationPlaying>(-3),
    {-4, ObjectOverlapCondition, ObjectOverlapForObject},
    Both<Reversing>(-5),
    Both<Bouncing>(-6),
    Both<Stopped>(-7),
    Both<Facing>(-8),
    Both<InPlayArea>(-9),
    Both<OutOfArea>(-10),
    {-11, OverSelection<HasEntered>, BorderRaised},
    {-12, OverSelection<HasLeft>, BorderRaised},
    {-13, OverSelection<OverlapsBackdrop>, BackdropRaised},
    {-14, ObjectOverlapCondition, CollisionRaised},
    Both<CompareValue<Speed>>(-15),
    Both<CompareValue<YOf>>(-16),
    Both<CompareValue<XOf>>(-17),
    Both<CompareValue<Deceleration>>(-18),
    Both<CompareValue<Acceleration>>(-19),
    {-20, OverSelection<NodeReached>, ForObject<Raised>},
    {-21, OverSelection<PathEnded>, ForObject<Raised>},
    Both<OutsideWindowBy>(-22),
    Both<OverlapsBackdrop>(-23),
    Both<FlagOff>(-24),
    Both<FlagOn>(-25),
    {-26, FixedValueCondition, FixedValueForObject},
    Both<CompareAlterableValue>(-27),
    Both<Invisible>(-28),
    Both<Visible>(-29),
    Counting<CompareCountInZone>(-30),
    Counting<NoObjectInZone>(-31),
    Counting<CompareCount>(-32),
    {-33, NoMoreObjects, LastObjectDestroyed},
    Counting<PickAtRandom>(-34),
    {-35, OverSelection<NamedNodeReached>, ForObject<NamedNode>},
    Both<CompareAlterableString>(-36),
    Both<FontTest<Bold>>(-37),
    Both<FontTest<Italic>>(-38),
    Both<FontTest<Underlined>>(-39),
    Both<FontTest<StruckOut>>(-40),
    // -41, the object loops' condition, comes with the object loops.
    Both<CompareAlterableValueWithConstant>(-42),
    Both<CompareAlterableValueWithConstant>(-43),
};

} // namespace

TypedValue PerObjectValue::For(RunObject* o) {
    if (state_ == 0) {
        const std::int16_t code = ParameterCode(parameter_);
        const bool constant =
            !IsExpressionParameterCode(code) || IsSingleToken(parameter_, TokenIntegerCode) ||
            IsSingleToken(parameter_, TokenDoubleCode) || IsSingleToken(parameter_, TokenGlobalValueCode);
        state_ = constant ? 1 : 2;
        if (constant) value_ = GetValueParameter(parameter_);
    }
    if (state_ == 1) return value_;
    EventRunState* s = State();
    if (!s) return TypedValue::Int(0);
    RunObject* saved = s->conditionObject;
    s->conditionObject = o;
    const TypedValue v = *EvaluateExpressionParameter(parameter_);
    s->conditionObject = saved;
    return v;
}

int ComparisonOperatorOf(const std::uint8_t* p) {
    if (!p) return -1;
    const std::int16_t code = ParameterCode(p);
    if (code == 42) return GetI16(p) >= 14 ? GetI16(p + ConstantParamComparisonAt) : -1;
    return IsExpressionParameterCode(code) && GetI16(p) >= 6 ? GetU16(p + ExpressionParamComparisonAt) : -1;
}

bool ZoneOfParameter(const std::uint8_t* p, win32::RECT& zone) {
    const StoredParameter parameter(p);
    if (!parameter.HoldsPayload(ZonePayloadBytes)) return false;
    const StoredZone z = ZoneOf(parameter);
    zone = {z.left, z.top, z.right, z.bottom};
    return true;
}

std::uint16_t ReferenceOf(const std::uint8_t* r) {
    return r ? GetU16(r + RecordResolved) : NoObjectInfo;
}

void InstallCommonConditionRoutines() {
    for (const CommonCondition& c : CommonConditions)
        SetCommonConditionRoutine(c.number, c.overSelection, c.oneObject);
}

} // namespace vtrrt

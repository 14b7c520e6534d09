#include "common_objects_fixture.h"

#include "events/event_evaluation.h"
#include "support/scene_fixture.h"

namespace commontest {

namespace {

using displaytest::Picture;

constexpr std::uint32_t ActiveFlags =
    ObjectSavesWindowRect | ObjectHasMovement | ObjectHasAnimation | ObjectHasSprite | ObjectHasValues;

appwriter::ImageItemDesc Image(Picture p, std::int16_t actionX = 0, std::int16_t actionY = 0) {
    appwriter::ImageItemDesc d = displaytest::ImageOf(p);
    d.actionX = actionX;
    d.actionY = actionY;
    return d;
}

std::vector<appwriter::ImageItemDesc> Images() {
    Picture red{8, 8, 0, 0, 0, [](int, int) { return win32::COLORREF{0x0000FF}; }};
    Picture green8{8, 8, 0, 0, 0, [](int, int) { return win32::COLORREF{0x00FF00}; }};
    // Its left half is the transparent colour: it is seen, and collides finely, only on its right half.
    Picture halfBlue{16, 16, 0, 0, 0, [](int x, int) { return win32::COLORREF{x < 8 ? 0u : 0xFF0000u}; }};
    Picture small{4, 4, 0, 0, 0, [](int, int) { return win32::COLORREF{0x00FF00}; }};
    Picture yellow{8, 8, 0, 0, 0, [](int, int) { return win32::COLORREF{0x00FFFF}; }};
    return {Image(red, ActionX, ActionY), Image(green8, ActionX, ActionY), Image(halfBlue), Image(small),
            Image(yellow)};
}

appwriter::AnimationDesc Animation(std::uint16_t number, std::vector<std::uint16_t> images) {
    appwriter::AnimationDesc a;
    a.number = number;
    // Speeds 0: the frames do not move on by themselves.
    a.directions.push_back({0, 0, 0, 0, 0, std::move(images)});
    return a;
}

appwriter::ObjectInfoDesc ActiveObject(std::uint16_t handle, std::u16string name,
                                       std::vector<appwriter::AnimationDesc> animations, bool values = true) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.name = std::move(name);
    o.inkEffect = 0x10000000;
    o.definition.objectFlags = values ? ActiveFlags : (ActiveFlags & ~ObjectHasValues);
    o.definition.animations = std::move(animations);
    appwriter::MovementDesc still;
    o.definition.movements = {still};
    return o;
}

} // namespace

std::vector<Placement> DefaultPlacements() {
    return {{A, 20, 20}, {A, 60, 20}, {A, 100, 20}, {B, 200, 100}, {B, 240, 100}, {C, 280, 20}};
}

EventRecordDesc Rec(std::int16_t type, std::int16_t number, std::vector<EventParameterDesc> parameters,
                    std::uint16_t objectInfo, bool negated) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = objectInfo;
    r.negation = negated ? 1 : 0;
    r.parameters = std::move(parameters);
    // Each condition has an identifier of its own, as in stored programs.
    static std::uint16_t identifiers = 0;
    if (number < 0) r.identifier = ++identifiers ? identifiers : ++identifiers;
    return r;
}

EventRecordDesc Always() {
    EventRecordDesc r = Rec(TypeSpecial, -1);
    r.runFlags = RecordEveryLoop;
    return r;
}

EventGroupDesc Once(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions) {
    conditions.insert(conditions.begin(), {Always(), Rec(TypeSpecial, -6)});
    return Every(std::move(conditions), std::move(actions));
}

EventGroupDesc Every(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions) {
    EventGroupDesc g;
    g.conditions = std::move(conditions);
    g.actions = std::move(actions);
    return g;
}

EventParameterDesc Num(std::int32_t n) {
    return appwriter::ExpressionParameter(22, ExpressionBuilder().Integer(n));
}
EventParameterDesc Expr(ExpressionBuilder e, std::int16_t code) {
    return appwriter::ExpressionParameter(code, std::move(e));
}
EventParameterDesc Compare(int op, ExpressionBuilder e) {
    return appwriter::ExpressionParameter(23, std::move(e), static_cast<std::uint16_t>(op));
}
EventParameterDesc Text(std::u16string text) {
    return appwriter::ExpressionParameter(45, ExpressionBuilder().String(std::move(text)));
}
ExpressionBuilder Of(std::int16_t number, std::uint16_t objectInfo) {
    return ExpressionBuilder().Object(Active, number, objectInfo);
}
ExpressionBuilder OfWith(std::int16_t number, std::uint16_t objectInfo, std::int16_t n) {
    return ExpressionBuilder().Object(Active, number, objectInfo, n);
}
EventRecordDesc SetValue(std::uint16_t info, std::int32_t n, ExpressionBuilder value) {
    return Rec(Active, 31, {Expr(ExpressionBuilder().Integer(n), 53), Expr(std::move(value))}, info);
}
EventRecordDesc Mark(std::uint16_t info) {
    return SetValue(info, MarkValue, ExpressionBuilder().Integer(1));
}

void CommonObjectsTest::Start(EventProgramBuilder& b, const SceneOptions& options) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 200;
    d.header->graphicMode = 8;
    appwriter::ObjectInfoDesc a = ActiveObject(A, u"Alpha", {Animation(1, {1, 2}), Animation(6, {5})});
    a.inkEffect = options.inkOfA;
    a.inkParameter = options.inkParameterOfA;
    a.definition.values = {5, 7};
    a.definition.strings = {u"alpha"};
    a.definition.qualifiers = {1};
    appwriter::ObjectInfoDesc bObject = ActiveObject(B, u"Beta", {Animation(1, {3})});
    bObject.definition.values = {1};
    bObject.definition.qualifiers = {1};
    if (options.boxCollisionsOfB) bObject.definition.collisionWord = 4;
    appwriter::ObjectInfoDesc c = ActiveObject(C, u"Gamma", {Animation(1, {4})}, false);
    appwriter::ObjectInfoDesc spark = ActiveObject(Spark, u"Spark", {Animation(1, {4})});
    backgroundstest::BackdropDesc wall;
    wall.handle = Wall;
    wall.width = wall.height = 40;
    scene::AddObjectsAndImages(d, {a, bObject, c, spark, backgroundstest::BackdropObject(wall)}, Images());
    appwriter::FrameContents contents;
    contents.layers = options.layers;
    std::vector<appwriter::InstanceDesc> instances;
    std::uint16_t n = 1;
    for (const Placement& p : options.placements)
        instances.push_back({n++, p.object, p.x, p.y, 0, 0, p.layer});
    instances.push_back({n++, Wall, 150, 150, 0, 0, 0});
    instances.push_back({n++, Spark, 0, 0, Active, static_cast<std::int16_t>(A), 0});
    contents.instances = instances;
    b.objectInfoCount = 4;
    b.conditionCounts[TypeSpecial + 7] = 110;
    b.conditionCounts[TypeStoryboard + 7] = 10;
    b.conditionCounts[TypeCreate + 7] = 23;
    b.qualifiers = {{Both, Active}};
    contents.events = b.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(320, 200, 0x808080, contents));

    previousClock_ = SetFrameClock(&clock_);
    GetCommandLineOptions().errorBoxes = 0;
    bytes_ = appwriter::WriteApplication(d);
    ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
    ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
}

void CommonObjectsTest::TearDown() {
    scene::EndAndClose(app_);
    if (previousClock_) SetFrameClock(previousClock_);
    GetCommandLineOptions().errorBoxes = 1;
    KindTextRoutines() = {};
}

void CommonObjectsTest::Tick(int n) {
    for (int i = 0; i < n; ++i) {
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int step = 0; step < 100 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++step)
            ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    }
}

std::vector<RunObject*> CommonObjectsTest::Instances(std::uint16_t info) {
    std::vector<RunObject*> out;
    FrameRunState* run = CurrentRunState();
    for (std::int32_t slot = 0; run && slot < run->maxObjects; ++slot)
        if (RunObject* o = run->objects[slot].object; o && o->objectInfo == info && o->creationNumber != 0)
            out.push_back(o);
    std::sort(out.begin(), out.end(),
              [](const RunObject* x, const RunObject* y) { return x->creationNumber < y->creationNumber; });
    return out;
}

std::vector<bool> CommonObjectsTest::Marked(std::uint16_t info) {
    std::vector<bool> out;
    for (RunObject* o : Instances(info))
        out.push_back(Value(o, MarkValue).type == TypeInteger && Value(o, MarkValue).integer == 1);
    return out;
}

TypedValue CommonObjectsTest::Value(RunObject* o, int n) {
    const ObjectValuesBlock* vb = ValuesBlockOf(o);
    if (!vb || n < 0 || n >= vb->count) return TypedValue::Int(-12345);
    return static_cast<const TypedValue*>(vb->values)[n];
}

std::u16string CommonObjectsTest::String(RunObject* o, int n) {
    const ObjectValuesBlock* vb = ValuesBlockOf(o);
    return vb && n >= 0 && n < AlterableStringCount && vb->strings[n] ? vb->strings[n] : u"";
}

} // namespace commontest

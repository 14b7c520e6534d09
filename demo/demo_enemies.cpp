#include "demo_enemies.h"

#include "demo_collect.h"
#include "demo_hud_layout.h"
#include "frame_flow.h"
#include "level_movers.h"

#include "appwriter/byte_writer.h"

#include <cstdlib>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

constexpr std::int16_t ParamComparison = 23, ParamValueIndex = 53;

// The level's own objects the events name: the player and the balls.
constexpr std::uint16_t Player = 6, Ball = 7;
// Object flags: erased where it was (0x04), a movement, an animation, a sprite; alterable values (0x100).
constexpr std::uint32_t EnemyFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t HasValues = 0x100;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Drawn by its kind on an owner-drawn sprite, over what it saved of the background.
constexpr std::uint32_t DrawnFlags = 0x04 | 0x200;
constexpr std::uint16_t DigitsDisplay = 1;
constexpr std::uint16_t PathMovement = 5, ModuleMovement = 14;
// The patrol module knows its movements by this word; its speed and span follow the 14 common bytes.
constexpr std::uint32_t PatrolIdentifier = 0x4C525450;
constexpr std::size_t PatrolSettingsAt = 14;

// Object types, conditions, actions and parameter codes of the events.
constexpr std::int16_t Active = 2, CounterType = 7, SpecialType = -1, StoryboardType = -3, CreateType = -5,
                       PlayerType = -7;
constexpr std::int16_t Always = -1, CompareGlobal = -8, EndOfFrame = -2;
constexpr std::int16_t AnimationOver = -2, MeetsObject = -14, CountOfObjects = -32;
constexpr std::int16_t SetGlobalValue = 3, AddToGlobal = 5;
constexpr std::int16_t SetCounter = 80, ValueOf = 16;
constexpr std::int16_t SetPosition = 1, Destroy = 24, AddToValue = 32, SubtractLives = 7, CreateObject = 0;
constexpr std::int16_t ParamShort = 3, ParamPosition = 16;
constexpr std::uint16_t CompareEqual = 0, CompareLower = 3, CompareGreaterOrEqual = 4;
constexpr std::uint16_t PlayerOne = 0;
constexpr std::uint8_t EveryLoopFlag = 0x20;
// Past those of the level's other collision conditions.
constexpr std::uint16_t FirstCollisionIdentifier = 0x100;
// The animation a standing object shows.
constexpr std::uint16_t Stopped = 0;

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (g << 8) | (b << 16);
}
constexpr std::uint32_t Rgb(const std::uint8_t (&c)[3]) {
    return Rgb(c[0], c[1], c[2]);
}

// An image of width by height on a transparent (black) key, in 32-bit pixels (blue, green, red, 0);
// `colour` gives the RGB of each pixel, 0 for the key.
template <typename Colour> appwriter::ImageItemDesc Paint(int width, int height, Colour colour) {
    appwriter::ImageItemDesc image;
    image.width = static_cast<std::int16_t>(width);
    image.height = static_cast<std::int16_t>(height);
    image.graphicMode = 8;
    image.transparent = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = colour(x, y);
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb), 0});
        }
    return image;
}

// A walker: a purple dome on a flat foot, with a dark rim and two white eyes.
appwriter::ImageItemDesc WalkerImage() {
    return Paint(WalkerSize, WalkerSize, [](int x, int y) -> std::uint32_t {
        const int dx = 2 * x - WalkerSize + 1, dy = 2 * y - WalkerSize + 1;
        // The upper half round, the lower half square.
        const bool inside = dy > 0 || dx * dx + dy * dy <= WalkerSize * WalkerSize;
        if (!inside) return 0;
        const bool rim = x < 1 || x >= WalkerSize - 1 || y >= WalkerSize - 1 ||
                         (dy <= 0 && dx * dx + dy * dy > (WalkerSize - 3) * (WalkerSize - 3));
        if (rim) return Rgb(0x40, 0x10, 0x60);
        if (y >= 6 && y < 9 && ((x >= 5 && x < 8) || (x >= 12 && x < 15))) return Rgb(0xFF, 0xFF, 0xFF);
        return Rgb(WalkerColour);
    });
}

// The bird: a dark body with wings spread up at both ends.
appwriter::ImageItemDesc BirdImage() {
    return Paint(BirdWidth, BirdHeight, [](int x, int y) -> std::uint32_t {
        const int fromMiddle = std::abs(2 * x - BirdWidth + 1) / 2;
        // The wings rise a row every two columns from the body outwards.
        const bool wing =
            y >= BirdHeight / 2 - fromMiddle / 2 - 1 && y <= BirdHeight / 2 - fromMiddle / 2 + 1;
        const bool body = fromMiddle < 4 && y >= BirdHeight / 2 - 2;
        return wing || body ? Rgb(BirdColour) : 0;
    });
}

// Frame n of the sparkle: a four-pointed star whose reach grows and then shrinks.
appwriter::ImageItemDesc SparkleImage(int frame) {
    constexpr std::array<int, SparkleFrames> Reach{3, 5, 7, 8, 6, 4};
    const int reach = Reach[static_cast<std::size_t>(frame)];
    appwriter::ImageItemDesc image = Paint(SparkleSize, SparkleSize, [reach](int x, int y) -> std::uint32_t {
        const int dx = std::abs(2 * x - SparkleSize + 1) / 2, dy = std::abs(2 * y - SparkleSize + 1) / 2;
        const bool point = std::max(dx, dy) < reach && std::min(dx, dy) * 3 < reach - std::max(dx, dy) + 2;
        return point ? Rgb(SparkleColour) : 0;
    });
    image.hotX = image.hotY = SparkleSize / 2;
    return image;
}

// A digit (or sign, point or exponent) of the gem count: the score's cells in the gems' colour.
appwriter::ImageItemDesc CountGlyph(std::size_t glyph) {
    return Paint(DigitWidth, DigitHeight, [glyph](int x, int y) -> std::uint32_t {
        const auto cx = static_cast<std::size_t>(x / DigitScale),
                   cy = static_cast<std::size_t>(y / DigitScale);
        return cx < DigitCells && DigitGlyphs[glyph][cy][cx] == '#' ? Rgb(GemCountColour) : 0;
    });
}

appwriter::ObjectInfoDesc GemCounter(DemoObjects& all) {
    appwriter::CounterDesc digits;
    digits.displayType = DigitsDisplay;
    digits.player = 0;
    for (std::size_t glyph = 0; glyph < DigitGlyphs.size(); ++glyph)
        digits.images.push_back(all.AddImage(CountGlyph(glyph)));
    appwriter::ObjectInfoDesc o;
    o.handle = GemCount;
    o.type = CounterType;
    o.name = u"Gems";
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = DrawnFlags;
    o.definition.typeData = appwriter::CounterData(digits);
    o.definition.counterValues = std::array<std::int32_t, 3>{0, 0, 999};
    return o;
}

appwriter::ObjectInfoDesc ActiveObject(std::uint16_t handle, const char16_t* name,
                                       appwriter::AnimationDesc animation, appwriter::MovementDesc movement) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.name = name;
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = EnemyFlags;
    o.definition.animations = {std::move(animation)};
    o.definition.movements = {std::move(movement)};
    return o;
}

appwriter::AnimationDesc Showing(std::uint16_t number, std::vector<std::uint16_t> images,
                                 std::uint8_t rate = 0, std::uint16_t loops = 0) {
    appwriter::AnimationDesc a;
    a.number = number;
    a.directions.push_back({0, rate, rate, loops, 0, std::move(images)});
    return a;
}

appwriter::MovementDesc Patrol(int span) {
    appwriter::ByteWriter w;
    w.U16(WalkerSpeed);
    w.U16(static_cast<std::uint16_t>(span));
    appwriter::Bytes data(PatrolSettingsAt, 0);
    data.insert(data.end(), w.Data().begin(), w.Data().end());
    appwriter::MovementDesc m;
    m.type = ModuleMovement;
    m.directionMask = 1;
    m.identifier = PatrolIdentifier;
    m.module = PatrolModule;
    m.data = std::move(data);
    return m;
}

// A path of one node `span` pixels to the right, at speed 16 (two pixels a loop), travelled back at its end,
// and again.
appwriter::MovementDesc ToAndFro(int span) {
    appwriter::ByteWriter w;
    for (std::uint16_t v : {1, 0, 100})
        w.U16(v);
    for (std::uint8_t v : {1, 0, 1, 0, 0, 18, 16, 0})
        w.U8(v);
    for (int v : {span, 0, 16384, 0, span, 0, 0})
        w.U16(static_cast<std::uint16_t>(v));
    appwriter::MovementDesc m;
    m.type = PathMovement;
    m.directionMask = 1;
    m.data = w.Data();
    return m;
}

appwriter::EventRecordDesc On(std::int16_t type, std::int16_t number, std::uint16_t object,
                              std::vector<appwriter::EventParameterDesc> parameters = {}) {
    appwriter::EventRecordDesc r = Record(type, number, std::move(parameters));
    r.objectInfo = object;
    return r;
}

appwriter::EventParameterDesc Integer(std::int16_t code, std::int32_t n) {
    return appwriter::ExpressionParameter(code, appwriter::ExpressionBuilder().Integer(n));
}

appwriter::EventRecordDesc SetGlobal(int value, std::int32_t to) {
    return Record(SpecialType, SetGlobalValue,
                  {appwriter::ShortParameter(ParamShort, static_cast<std::int16_t>(value)),
                   Integer(ParamExpression, to)});
}

appwriter::PositionDesc At(int x, int y) {
    appwriter::PositionDesc at;
    at.x = static_cast<std::int16_t>(x);
    at.y = static_cast<std::int16_t>(y);
    return at;
}

// Every few seconds, while there are fewer walkers than the most, one appears at the spawn point; the
// first of each point appears at once. The time is counted in loops, in a global value of the point's (0 as
// the application starts).
std::vector<appwriter::EventGroupDesc> SpawnAt(const SpawnPoint& point, int loops, int countValue,
                                               std::int16_t layer) {
    // Back to 0 when the level ends, not when it starts: a position loaded in the level starts the frame's
    // events again, and its count must go on from where it was saved.
    appwriter::EventGroupDesc starts;
    starts.conditions = {Record(StoryboardType, EndOfFrame)};
    starts.actions = {SetGlobal(countValue, 0)};
    appwriter::EventRecordDesc due =
        Record(SpecialType, CompareGlobal,
               {appwriter::ShortParameter(ParamShort, static_cast<std::int16_t>(countValue)),
                appwriter::ExpressionParameter(ParamComparison, appwriter::ExpressionBuilder().Integer(0),
                                               CompareEqual)});
    due.runFlags = EveryLoopFlag;
    appwriter::EventRecordDesc few =
        On(Active, CountOfObjects, Walker,
           {appwriter::ExpressionParameter(
               ParamComparison, appwriter::ExpressionBuilder().Integer(MostWalkers), CompareLower)});
    appwriter::EventGroupDesc spawn;
    spawn.conditions = {due, few};
    appwriter::PositionDesc at = At(point.x, point.y);
    at.layer = layer;
    spawn.actions = {On(CreateType, CreateObject, Walker, {appwriter::CreateParameter(Walker, at)})};
    appwriter::EventRecordDesc always = Record(SpecialType, Always);
    always.runFlags = EveryLoopFlag;
    appwriter::EventGroupDesc count;
    count.conditions = {always};
    count.actions = {Record(SpecialType, AddToGlobal,
                            {appwriter::ShortParameter(ParamShort, static_cast<std::int16_t>(countValue)),
                             Integer(ParamExpression, 1)})};
    appwriter::EventRecordDesc over =
        Record(SpecialType, CompareGlobal,
               {appwriter::ShortParameter(ParamShort, static_cast<std::int16_t>(countValue)),
                appwriter::ExpressionParameter(ParamComparison, appwriter::ExpressionBuilder().Integer(loops),
                                               CompareGreaterOrEqual)});
    over.runFlags = EveryLoopFlag;
    appwriter::EventGroupDesc again;
    again.conditions = {over};
    again.actions = {SetGlobal(countValue, 0)};
    return {starts, spawn, count, again};
}

// The player loses a life when it meets one of `enemy` and starts again where it started, out of reach.
appwriter::EventGroupDesc Hurts(std::uint16_t enemy) {
    appwriter::EventGroupDesc g;
    appwriter::EventRecordDesc meets =
        On(Active, MeetsObject, Player, {appwriter::ObjectParameter(enemy, Active)});
    // A collision is new to each condition that names its pair by the condition's own identifier, so that
    // the balls' bounce off the player does not use it up.
    meets.identifier = static_cast<std::uint16_t>(FirstCollisionIdentifier + enemy);
    g.conditions = {meets};
    g.actions = {On(PlayerType, SubtractLives, PlayerOne, {Integer(ParamExpression, 1)}),
                 On(Active, SetPosition, Player,
                    {appwriter::PositionParameter(ParamPosition, At(PlayerStartX, PlayerStartY))})};
    return g;
}

} // namespace

void AddEnemyObjects(appwriter::ApplicationDescription& d, DemoObjects& all) {
    // The walkers move on the module the runtime ships beside its program (and packs with the demo).
    if (!d.movementModules) d.movementModules.emplace();
    d.movementModules->push_back(PatrolModule);

    const std::uint16_t walkerImage = all.AddImage(WalkerImage());
    all.objects.push_back(
        ActiveObject(Walker, u"Walker", Showing(Stopped, {walkerImage}), Patrol(WalkerSpan)));
    const std::uint16_t birdImage = all.AddImage(BirdImage());
    all.objects.push_back(ActiveObject(Bird, u"Bird", Showing(Stopped, {birdImage}), ToAndFro(BirdSpan)));

    std::vector<std::uint16_t> frames;
    for (int frame = 0; frame < SparkleFrames; ++frame)
        frames.push_back(all.AddImage(SparkleImage(frame)));
    // Played once, a frame every ten loops or so.
    all.objects.push_back(
        ActiveObject(Sparkle, u"Sparkle", Showing(Stopped, frames, 10, 1), appwriter::MovementDesc{}));

    all.objects.push_back(GemCounter(all));

    // The player keeps its count of gems in an alterable value.
    for (appwriter::ObjectInfoDesc& o : all.objects)
        if (o.handle == Player) o.definition.objectFlags |= HasValues;
}

std::vector<appwriter::EventGroupDesc> PlaceEnemies(std::vector<appwriter::InstanceDesc>& level,
                                                    std::int16_t playLayer, std::int16_t displayLayer) {
    // The walkers and sparkles are placed under the player, so that the frame knows them but creates none
    // at its start.
    level.push_back({0, Bird, BirdX, BirdY, 0, 0, playLayer});
    level.push_back({0, GemCount, GemCountRight, GemCountBottom, 0, 0, displayLayer});
    level.push_back({0, Walker, 0, 0, Active, static_cast<std::int16_t>(Player), playLayer});
    level.push_back({0, Sparkle, 0, 0, Active, static_cast<std::int16_t>(Player), playLayer});

    appwriter::EventGroupDesc fades;
    fades.conditions = {On(Active, AnimationOver, Sparkle, {appwriter::ShortParameter(ParamShort, Stopped)})};
    fades.actions = {On(Active, Destroy, Sparkle)};
    std::vector<appwriter::EventGroupDesc> events;
    for (std::size_t i = 0; i < WalkerSpawns.size(); ++i)
        for (appwriter::EventGroupDesc& g : SpawnAt(WalkerSpawns[i], SpawnLoops * static_cast<int>(i + 1),
                                                    FirstSpawnCountValue + static_cast<int>(i), playLayer))
            events.push_back(std::move(g));
    for (std::uint16_t enemy : {Walker, Bird, Ball})
        events.push_back(Hurts(enemy));
    events.push_back(fades);
    return events;
}

std::vector<appwriter::EventRecordDesc> GemCollectedActions() {
    appwriter::PositionDesc middle = At(GemSize / 2, GemSize / 2);
    middle.parent = Gem;
    middle.parentType = Active;
    middle.layer = PlayLayer;
    return {On(CreateType, CreateObject, Sparkle, {appwriter::CreateParameter(Sparkle, middle)}),
            On(Active, AddToValue, Player,
               {Integer(ParamValueIndex, GemsCollectedValue), Integer(ParamExpression, 1)}),
            On(CounterType, SetCounter, GemCount,
               {appwriter::ExpressionParameter(
                   ParamExpression,
                   appwriter::ExpressionBuilder().Object(Active, ValueOf, Player, GemsCollectedValue))})};
}

#include "demo_levels.h"

#include "demo_collect.h"
#include "demo_enemies.h"
#include "demo_extensions.h"
#include "demo_hud.h"
#include "frame_flow.h"
#include "level_layout.h"
#include "level_movers.h"

#include <algorithm>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

// The backdrops of each level: its sky, its ground tile, its platform, its hill and the depth under the
// ground.
struct LevelBackdrops {
    std::uint16_t sky, ground, platform, hill, depth;
};
constexpr LevelBackdrops Level1Backdrops{2, 3, 4, 41, 49};
constexpr LevelBackdrops Level2Backdrops{42, 43, 44, 48, 50};

constexpr std::uint16_t Obstacle = 1, PlatformObstacle = 2;
constexpr std::uint16_t Rectangle = 2, Ellipse = 3;
constexpr std::uint16_t SolidFill = 1, GradientFill = 2;
// Object flags: erased where it was (0x04), a movement (it stays still), an animation, a sprite.
constexpr std::uint32_t StillFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Frame flag: the display stays inside the play area.
constexpr std::uint32_t ClampsDisplay = 0x4;
// Layer flags: shown, and scrolled by its coefficients.
constexpr std::uint32_t Shown = 0x10, ScrollsByCoefficient = 0x1 | 0x2;

// Conditions and actions of the levels' own events.
constexpr std::int16_t Special = -1, Always = -1, Storyboard = -3, Active = 2;
constexpr std::int16_t CentreDisplayX = 8, OverlapsObject = -4, XExpression = 11;
constexpr std::uint8_t EveryLoop = 0x20;
constexpr std::uint16_t Player = 6;

constexpr std::uint32_t Colour(const Rgb3& c) {
    return c[0] | (c[1] << 8) | (c[2] << 16);
}

appwriter::ObjectInfoDesc Shape(std::uint16_t handle, const char16_t* name, std::int32_t width,
                                std::int32_t height, std::uint16_t obstacle,
                                std::uint16_t shape = Rectangle) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = 0;
    o.name = name;
    o.definition.type = 0;
    o.definition.shape = shape;
    o.definition.obstacle = obstacle;
    o.definition.width = width;
    o.definition.height = height;
    return o;
}

std::vector<appwriter::ObjectInfoDesc> Backdrops(const LevelBackdrops& h, const LevelLayout& l) {
    appwriter::ObjectInfoDesc sky = Shape(h.sky, u"Sky", SkyWidth, SkyHeight, 0);
    sky.definition.fillType = GradientFill; // top to bottom
    sky.definition.colour1 = Colour(l.skyTop);
    sky.definition.colour2 = Colour(l.skyBottom);
    sky.definition.vertical = 1;
    appwriter::ObjectInfoDesc ground =
        Shape(h.ground, u"Ground", GroundTile, LevelHeight - GroundY, Obstacle);
    ground.definition.fillType = SolidFill;
    ground.definition.colour1 = Colour(l.ground);
    appwriter::ObjectInfoDesc platform =
        Shape(h.platform, u"Platform", PlatformWidth, PlatformHeight, PlatformObstacle);
    platform.definition.fillType = SolidFill;
    platform.definition.colour1 = Colour(l.platform);
    platform.definition.borderWidth = 2;
    platform.definition.borderColour = Colour(l.platformBorder);
    appwriter::ObjectInfoDesc hill = Shape(h.hill, u"Hill", HillWidth, HillHeight, 0, Ellipse);
    hill.definition.fillType = SolidFill;
    hill.definition.colour1 = Colour(l.hill);
    // A frame that keeps the display inside it is not filled with its background colour: what is seen
    // through a pit is this band of that colour, over the feet of the hills.
    appwriter::ObjectInfoDesc depth = Shape(h.depth, u"Depth", SkyWidth, LevelHeight - GroundY, 0);
    depth.definition.fillType = SolidFill;
    depth.definition.colour1 = Colour(l.background);
    return {sky, ground, platform, hill, depth};
}

// The exit: a door of dark wood round a lit doorway, on a transparent (black) key.
appwriter::ImageItemDesc ExitImage() {
    appwriter::ImageItemDesc image;
    image.width = ExitWidth;
    image.height = ExitHeight;
    image.graphicMode = 8;
    image.transparent = 0;
    for (int y = 0; y < ExitHeight; ++y)
        for (int x = 0; x < ExitWidth; ++x) {
            const bool frame = x < 4 || x >= ExitWidth - 4 || y < 4;
            const Rgb3 c = frame ? Rgb3{0x50, 0x30, 0x18} : Rgb3{0xFF, 0xE8, 0x80};
            image.pixels.insert(image.pixels.end(), {c[2], c[1], c[0], 0});
        }
    return image;
}

appwriter::ObjectInfoDesc ExitObject(DemoObjects& all) {
    appwriter::ObjectInfoDesc exit;
    exit.handle = Exit;
    exit.name = u"Exit";
    exit.inkEffect = KeyedInk;
    exit.definition.objectFlags = StillFlags;
    appwriter::AnimationDesc still;
    still.number = 1;
    still.directions.push_back({0, 0, 0, 0, 0, {all.AddImage(ExitImage())}});
    exit.definition.animations = {still};
    exit.definition.movements = {appwriter::MovementDesc{}};
    return exit;
}

DemoLevel Level(const LevelLayout& l, const LevelBackdrops& h, std::uint16_t name, std::int32_t next,
                const char16_t* title) {
    DemoLevel level;
    appwriter::FrameContents& c = level.contents;
    c.layers = {{Shown | ScrollsByCoefficient, HillsCoefficient, 1.0f, 0, 0, u"Hills"},
                {Shown, 1.0f, 1.0f, 0, 0, u"Play"},
                {Shown | ScrollsByCoefficient, 0.0f, 0.0f, 0, 0, u"Display"}};
    std::vector<appwriter::InstanceDesc>& placed = *c.instances;
    placed.push_back({0, h.sky, 0, 0, 0, 0, HillsLayer});
    for (int x : l.hills)
        placed.push_back({0, h.hill, x, HillY, 0, 0, HillsLayer});
    placed.push_back({0, h.depth, 0, GroundY, 0, 0, HillsLayer});
    for (int tile = 0; tile * GroundTile < l.width; ++tile)
        if (std::find(l.pits.begin(), l.pits.end(), tile) == l.pits.end())
            placed.push_back({0, h.ground, tile * GroundTile, GroundY, 0, 0, PlayLayer});
    for (const auto& [x, y] : l.platforms)
        placed.push_back({0, h.platform, x, y, 0, 0, PlayLayer});
    placed.push_back({0, Exit, l.exitX(), LevelLayout::ExitY, 0, 0, PlayLayer});

    level.events = LevelFlow();
    for (const appwriter::EventGroupDesc& g : PlaceMovers(placed, PlayLayer))
        level.events.push_back(g);
    for (const appwriter::EventGroupDesc& g : PlaceGems(placed, PlayLayer))
        level.events.push_back(g);
    PlaceHud(placed, name, DisplayLayer);
    for (const appwriter::EventGroupDesc& g : PlaceEnemies(placed, PlayLayer, DisplayLayer))
        level.events.push_back(g);
    for (const appwriter::EventGroupDesc& g : PlaceExtensions(placed, DisplayLayer))
        level.events.push_back(g);

    // Every loop the display centres on the player, as far as the play area goes.
    appwriter::EventGroupDesc follow;
    appwriter::EventRecordDesc always = Record(Special, Always);
    always.runFlags = EveryLoop;
    follow.conditions = {always};
    follow.actions = {
        Record(Storyboard, CentreDisplayX,
               {appwriter::ExpressionParameter(
                   ParamExpression, appwriter::ExpressionBuilder().Object(Active, XExpression, Player))})};
    level.events.push_back(follow);
    // The player reaching the exit goes on.
    appwriter::EventRecordDesc reaches =
        Record(Active, OverlapsObject, {appwriter::ObjectParameter(Exit, Active)});
    reaches.objectInfo = Player;
    reaches.runFlags = EveryLoop;
    appwriter::EventGroupDesc leave;
    leave.conditions = {reaches};
    leave.actions = {JumpTo(next)};
    level.events.push_back(leave);

    c.fadeIn = BlackFade();
    c.fadeOut = BlackFade();
    level.frame = appwriter::DescribeFrame(l.width, LevelHeight, Colour(l.background), c,
                                           appwriter::StringForm::Wide, ClampsDisplay);
    level.frame.name = title;
    return level;
}

} // namespace

void AddLevelObjects(appwriter::ApplicationDescription& d, DemoObjects& all) {
    for (const appwriter::ObjectInfoDesc& o : Backdrops(Level1Backdrops, Level1Layout))
        all.objects.push_back(o);
    for (const appwriter::ObjectInfoDesc& o : Backdrops(Level2Backdrops, Level2Layout))
        all.objects.push_back(o);
    all.objects.push_back(ExitObject(all));
    AddMoverObjects(d, all);
    AddGemObject(all);
    AddHudObjects(d, all.objects, all.images, {{LevelName, u"Level 1"}, {Level2Name, u"Level 2"}});
    AddExtensionList(d);
    for (const appwriter::ObjectInfoDesc& extension : ExtensionObjects())
        all.objects.push_back(extension);
    AddEnemyObjects(d, all);
}

std::vector<DemoLevel> DescribeLevels() {
    // The last level's exit wins the game: the title comes back.
    return {Level(Level1Layout, Level1Backdrops, LevelName, Level2Frame, u"Level 1"),
            Level(Level2Layout, Level2Backdrops, Level2Name, TitleFrame, u"Level 2")};
}

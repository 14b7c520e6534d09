// Describes the demo game and writes its application data to the file named on the command line.
//
//   demo_game OUTPUT
#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "demo_collect.h"
#include "demo_extensions.h"
#include "demo_hud.h"
#include "demo_menu.h"
#include "demo_sounds.h"
#include "frame_flow.h"
#include "level_movers.h"

#include <cmath>

#include <iostream>

namespace {

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (g << 8) | (b << 16);
}

constexpr std::uint16_t Spinner = 1;
constexpr int SpinnerSize = 32;
constexpr int SpinnerFrames = 4;
// Object flags: erased where it was (0x04), a movement (it stays still), an animation, a sprite.
constexpr std::uint32_t ActiveFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t KeyedInk = 0x10000000;

// Frame n of the spinner: a disc whose quarter in colour turns a quarter each frame, on a transparent
// (black) square. 32-bit pixels: blue, green, red, 0.
appwriter::ImageItemDesc SpinnerImage(int frame) {
    appwriter::ImageItemDesc image;
    image.width = image.height = SpinnerSize;
    image.hotX = image.hotY = SpinnerSize / 2;
    image.graphicMode = 8;
    image.transparent = 0;
    const double pi = std::acos(-1.0);
    for (int y = 0; y < SpinnerSize; ++y)
        for (int x = 0; x < SpinnerSize; ++x) {
            const double dx = x - 15.5, dy = y - 15.5;
            std::uint32_t rgb = 0;
            if (dx * dx + dy * dy <= 15.0 * 15.0) {
                const int quarter = static_cast<int>(std::floor((std::atan2(-dy, dx) + pi) / (pi / 2))) % 4;
                rgb = quarter == frame ? Rgb(0xFF, 0xD0, 0x20) : Rgb(0xE0, 0x30, 0x30);
            }
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb), 0});
        }
    return image;
}

constexpr const char16_t* LevelTitle = u"Level 1";

// The level's backdrops: a sky in a gradient, solid ground, and platforms to stand on.
constexpr std::uint16_t Sky = 2, Ground = 3, Platform = 4;
constexpr std::uint16_t Obstacle = 1, PlatformObstacle = 2;

appwriter::ObjectInfoDesc Shape(std::uint16_t handle, const char16_t* name, std::int32_t width,
                                std::int32_t height, std::uint16_t obstacle) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = 0;
    o.name = name;
    o.definition.type = 0;
    o.definition.shape = 2; // rectangle
    o.definition.obstacle = obstacle;
    o.definition.width = width;
    o.definition.height = height;
    return o;
}

std::vector<appwriter::ObjectInfoDesc> LevelBackdrops() {
    appwriter::ObjectInfoDesc sky = Shape(Sky, u"Sky", 640, 360, 0);
    sky.definition.fillType = 2; // gradient, top to bottom
    sky.definition.colour1 = Rgb(0x20, 0x50, 0xC0);
    sky.definition.colour2 = Rgb(0xB0, 0xD8, 0xFF);
    sky.definition.vertical = 1;
    appwriter::ObjectInfoDesc ground = Shape(Ground, u"Ground", 640, 120, Obstacle);
    ground.definition.fillType = 1;
    ground.definition.colour1 = Rgb(0x70, 0x48, 0x20);
    appwriter::ObjectInfoDesc platform = Shape(Platform, u"Platform", 120, 16, PlatformObstacle);
    platform.definition.fillType = 1;
    platform.definition.colour1 = Rgb(0x40, 0xB0, 0x40);
    platform.definition.borderWidth = 2;
    platform.definition.borderColour = Rgb(0x10, 0x50, 0x10);
    return {sky, ground, platform};
}

std::vector<appwriter::InstanceDesc> LevelPlacements() {
    return {{1, Sky, 0, 0, 0, 0, 0},
            {2, Ground, 0, 360, 0, 0, 0},
            {3, Platform, 80, 280, 0, 0, 0},
            {4, Platform, 300, 220, 0, 0, 0},
            {5, Platform, 480, 150, 0, 0, 0}};
}

// The title's glass panel: a pale square drawn with the blend ink at half strength, so that the
// background shows through it. Stored image 5, object 5.
constexpr std::uint16_t Panel = 5;
constexpr int PanelSize = 64;
constexpr std::uint32_t PanelColour = Rgb(0xF0, 0xF0, 0xE0);
constexpr std::uint32_t BlendInk = 1;
constexpr std::uint32_t HalfSeen = 64;

appwriter::ObjectInfoDesc AddInkedPanel(std::vector<appwriter::ImageItemDesc>& images) {
    appwriter::ImageItemDesc image;
    image.width = image.height = PanelSize;
    image.hotX = image.hotY = PanelSize / 2;
    image.graphicMode = 8;
    for (int i = 0; i < PanelSize * PanelSize; ++i)
        image.pixels.insert(image.pixels.end(), {static_cast<std::uint8_t>(PanelColour >> 16),
                                                 static_cast<std::uint8_t>(PanelColour >> 8),
                                                 static_cast<std::uint8_t>(PanelColour), 0});
    images.push_back(image);
    appwriter::ObjectInfoDesc panel;
    panel.handle = Panel;
    panel.name = u"Panel";
    panel.inkEffect = KeyedInk | BlendInk;
    panel.inkParameter = HalfSeen;
    panel.definition.objectFlags = ActiveFlags;
    appwriter::AnimationDesc still;
    still.number = 1;
    still.directions.push_back({0, 0, 0, 0, 0, {static_cast<std::uint16_t>(images.size())}});
    panel.definition.animations = {still};
    panel.definition.movements = {appwriter::MovementDesc{}};
    return panel;
}

// The title's spinners turn at a quarter of the frame rate: one frame every four loops.
void AddSpinners(DemoObjects& all) {
    appwriter::ObjectInfoDesc spinner;
    spinner.handle = Spinner;
    spinner.name = u"Spinner";
    spinner.inkEffect = KeyedInk;
    spinner.definition.objectFlags = ActiveFlags;
    appwriter::AnimationDesc walking;
    walking.number = 1;
    walking.directions.push_back({0, 25, 25, 0, 0, {1, 2, 3, 4}});
    spinner.definition.animations = {walking};
    spinner.definition.movements = {appwriter::MovementDesc{}};
    for (int frame = 0; frame < SpinnerFrames; ++frame)
        all.AddImage(SpinnerImage(frame));
    const appwriter::ObjectInfoDesc panel = AddInkedPanel(all.images);
    all.objects.push_back(spinner);
    all.objects.push_back(panel);
    for (const appwriter::ObjectInfoDesc& backdrop : LevelBackdrops())
        all.objects.push_back(backdrop);
}

void WriteObjects(appwriter::ApplicationDescription& d, const DemoObjects& all) {
    const appwriter::BankPayload bank = appwriter::WriteImageBank(all.images);
    std::vector<std::uint32_t> offsets = bank.offsets;
    offsets.insert(offsets.begin(), 0); // stored image 0 is none
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(all.objects, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, bank.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
}

// The title fades in from white over three seconds, through the cross-fade of the runtime's transition
// module (packed with the demo as vtrtrans.dll); File > Restart plays it again.
constexpr std::uint32_t TitleFadeFrom = Rgb(0xFF, 0xFF, 0xFF);

void AddTitleFade(appwriter::FrameContents& title) {
    appwriter::TransitionDesc fade;
    fade.identifier = 1; // cross-fade
    fade.duration = 3000;
    fade.flags = 0x1; // from a plain colour
    fade.colour = TitleFadeFrom;
    title.fadeIn = appwriter::TransitionPayload(fade, appwriter::StringForm::Wide);
}

appwriter::ApplicationDescription DemoGame() {
    appwriter::ApplicationDescription d;
    d.name = u"Demo";
    d.aboutText = u"Five spinners, a glass panel and a tune on a title, and a level with a player who "
                  u"collects gems and bouncing balls.";
    d.copyright = u"Written with the application writer.";
    d.header->windowWidth = 640;
    d.header->windowHeight = 480;
    d.header->frameRate = 60;
    d.header->graphicMode = 8; // true colour
    const std::vector<appwriter::EventGroupDesc> menuEvents = AddDemoMenu(d);
    DemoObjects all;
    AddSpinners(all);
    // A shown layer (flag 0x10); the title places five spinners in a row above the middle.
    appwriter::FrameContents title;
    title.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}};
    appwriter::FrameContents level = title;
    level.instances = LevelPlacements();
    std::vector<appwriter::EventGroupDesc> levelEvents = AddLevelMovers(d, all, *level.instances);
    for (const appwriter::EventGroupDesc& group : AddDemoCollect(all, *level.instances))
        levelEvents.push_back(group);
    // The level's display of score, lives and name, over the movers.
    AddDemoHud(d, all.objects, all.images, level, LevelTitle);
    for (const appwriter::ObjectInfoDesc& extension : ExtensionObjects())
        all.objects.push_back(extension);
    WriteObjects(d, all);
    std::vector<appwriter::InstanceDesc> spinners;
    for (std::uint16_t i = 0; i < 5; ++i)
        spinners.push_back({static_cast<std::uint16_t>(i + 1), Spinner, 80 + 120 * i, 120, 0, 0, 0});
    spinners.push_back({6, Panel, 320, 300, 0, 0, 0});
    title.instances = spinners;
    std::vector<appwriter::EventGroupDesc> levelExtras = levelEvents;
    for (const appwriter::EventGroupDesc& group : AddExtensions(d, level))
        levelExtras.push_back(group);
    levelExtras.insert(levelExtras.end(), menuEvents.begin(), menuEvents.end());
    AddFrameFlow(title, level, AddDemoSounds(d), levelExtras, static_cast<std::uint16_t>(all.objects.size()));
    AddTitleFade(title);
    appwriter::FrameDesc first = appwriter::DescribeFrame(640, 480, Rgb(0x20, 0x60, 0xC0), title);
    first.name = u"Title";
    appwriter::FrameDesc second = appwriter::DescribeFrame(640, 480, Rgb(0x30, 0xA0, 0x40), level);
    second.name = LevelTitle;
    d.frames = {first, second};
    return d;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: demo_game OUTPUT [LEVEL-FIRST-OUTPUT]\n";
        return 2;
    }
    appwriter::ApplicationDescription game = DemoGame();
    if (!appwriter::ApplicationWriter(game).WriteFile(argv[1])) {
        std::cerr << "demo_game: cannot write " << argv[1] << "\n";
        return 1;
    }
    // The same game starting at its level, for the end-to-end test of the level's picture.
    if (argc == 3) {
        std::swap(game.frames[0], game.frames[1]);
        if (!appwriter::ApplicationWriter(game).WriteFile(argv[2])) {
            std::cerr << "demo_game: cannot write " << argv[2] << "\n";
            return 1;
        }
    }
    return 0;
}

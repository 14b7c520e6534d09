// Describes the demo game and writes its application data to the file named on the command line; with more
// names, the same game starting at its first level and at its game-over frame, and copies of the first which
// record the level's input into a file or play such a recording back.
//
//   demo_game OUTPUT [LEVEL-FIRST-OUTPUT [GAME-OVER-FIRST-OUTPUT]] [--record OUTPUT RECORDING]
//             [--replay OUTPUT RECORDING]
#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "attract.h"
#include "demo_levels.h"
#include "demo_menu.h"
#include "demo_replay.h"
#include "demo_sounds.h"
#include "frame_flow.h"
#include "game_over.h"
#include "how_to_play.h"
#include "title_panel.h"
#include "title_texts.h"

#include <bit>
#include <cmath>

#include <filesystem>
#include <iostream>
#include <string_view>

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

// The title's glass panel: a pale square drawn through the effect bank's tint, whose coefficient lets the
// background show through it by half. Stored image 5, object 5.
constexpr std::uint16_t Panel = 5;
constexpr int PanelSize = TitlePanelSize;
constexpr std::uint32_t PanelColour = TitlePanelColour;
constexpr std::uint32_t EffectInk = 13;
constexpr std::uint32_t TintEffect = 0;

// The effect bank: the panel's tint.
std::vector<appwriter::Bytes> EffectBank() {
    appwriter::EffectEntryDesc tint;
    tint.name = "Tint";
    tint.source = TitlePanelEffectText;
    const char* name = TitlePanelEffectNames;
    for (int i = 0; i < TitlePanelEffectParameters; ++i, name += std::string_view(name).size() + 1) {
        tint.names.emplace_back(name);
        tint.kinds.push_back(1); // float
    }
    return {appwriter::EffectEntry(tint)};
}

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
    panel.inkEffect = KeyedInk | EffectInk;
    panel.inkParameter = TitlePanelCoefficient;
    panel.effectIndex = TintEffect;
    for (const auto& colour : {TitlePanelTintFrom, TitlePanelTintTo})
        for (float channel : colour)
            panel.effectValues.push_back(std::bit_cast<std::uint32_t>(channel));
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

appwriter::ApplicationDescription DemoGame(const InputTape* tape = nullptr) {
    appwriter::ApplicationDescription d;
    d.name = u"Demo";
    d.aboutText =
        u"Five spinners, a glass panel and a tune on a title, and two scrolling levels where a player "
        u"collects gems beside bouncing balls and runs for the exit.";
    d.copyright = u"Written with the application writer.";
    d.header->windowWidth = 640;
    d.header->windowHeight = 480;
    d.header->frameRate = 60;
    d.header->graphicMode = 8; // true colour
    const std::vector<appwriter::EventGroupDesc> menuEvents = AddDemoMenu(d);
    d.effects = EffectBank();
    DemoObjects all;
    AddSpinners(all);
    AddLevelObjects(d, all);
    AddGameOverObjects(all);
    AddTitleTexts(all);
    AddHowToPlayObjects(all);
    AddAttractObjects(all, AttractFrame - 1);
    WriteObjects(d, all);
    const auto objectInfos = static_cast<std::uint16_t>(all.objects.size());

    // A shown layer; the title places five spinners in a row above the middle and the glass panel below,
    // between the game's name and what starts it.
    appwriter::FrameContents title;
    title.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}};
    std::vector<appwriter::InstanceDesc> spinners;
    for (std::uint16_t i = 0; i < 5; ++i)
        spinners.push_back({static_cast<std::uint16_t>(i + 1), Spinner, 80 + 120 * i, 120, 0, 0, 0});
    spinners.push_back({6, Panel, TitlePanelX, TitlePanelY, 0, 0, 0});
    PlaceTitleTexts(spinners, 7);
    PlaceAttractBox(spinners, 9);
    title.instances = spinners;
    std::vector<appwriter::EventGroupDesc> titleEvents = TitleFlow();
    for (const appwriter::EventGroupDesc& group : AddDemoSounds(d))
        titleEvents.push_back(group);
    titleEvents.push_back(ShowHowToPlay());
    SetFrameEvents(title, titleEvents, objectInfos);
    AddTitleFade(title);
    appwriter::FrameDesc first = appwriter::DescribeFrame(640, 480, Rgb(0x20, 0x60, 0xC0), title);
    first.name = u"Title";
    d.frames = {first};

    std::vector<DemoLevel> levels = DescribeLevels();
    if (tape) AddInputTape(*tape, levels[0].contents, levels[0].frame.flags, levels[0].events);
    for (DemoLevel& level : levels) {
        // Each placed object its own handle, in the order placed.
        std::uint16_t n = 1;
        for (appwriter::InstanceDesc& placed : *level.contents.instances)
            placed.handle = n++;
        // The File menu's saving, loading and pausing act on the levels.
        level.events.insert(level.events.end(), menuEvents.begin(), menuEvents.end());
        level.events.push_back(ShowHowToPlay());
        SetFrameEvents(level.contents, level.events, objectInfos);
        appwriter::FrameDesc frame =
            appwriter::DescribeFrame(level.frame.width, level.frame.height, level.frame.background,
                                     level.contents, appwriter::StringForm::Wide, level.frame.flags);
        frame.name = level.frame.name;
        d.frames.push_back(frame);
    }
    d.frames.push_back(DescribeGameOver(objectInfos));
    d.frames.push_back(DescribeHowToPlay(objectInfos));
    d.frames.push_back(DescribeAttract(Spinner, objectInfos));
    // Jumps name frames by handle: here each frame's handle is its index.
    d.frameHandles = std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5};
    return d;
}

// The same game starting at its first level, for the tests of the level: the title moves second and the
// frame handles follow, so that every jump still reaches the frame it names.
appwriter::ApplicationDescription LevelFirst(appwriter::ApplicationDescription game) {
    std::swap(game.frames[0], game.frames[1]);
    game.frameHandles = std::vector<std::uint16_t>{1, 0, 2, 3, 4, 5};
    return game;
}

// The same game starting at its game-over frame, for the end-to-end test of its question: the title moves
// fourth and the handles follow.
appwriter::ApplicationDescription GameOverFirst(appwriter::ApplicationDescription game) {
    std::swap(game.frames[0], game.frames[3]);
    game.frameHandles = std::vector<std::uint16_t>{3, 1, 2, 0, 4, 5};
    return game;
}

bool Write(const appwriter::ApplicationDescription& game, const char* file) {
    if (appwriter::ApplicationWriter(game).WriteFile(file)) return true;
    std::cerr << "demo_game: cannot write " << file << "\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> plain;
    struct Copy {
        const char* output;
        InputTape tape;
    };
    std::vector<Copy> copies;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--record" || arg == "--replay") && i + 2 < argc) {
            // The recording is named by its absolute path: the runtime opens it from wherever it runs.
            const std::u16string file = std::filesystem::absolute(argv[i + 2]).u16string();
            copies.push_back({argv[i + 1], arg == "--record" ? InputTape{file, {}} : InputTape{{}, file}});
            i += 2;
        } else if (!arg.starts_with("--") && copies.empty()) {
            plain.push_back(arg);
        } else {
            plain.clear();
            break;
        }
    }
    if (plain.empty() || plain.size() > 3) {
        std::cerr << "usage: demo_game OUTPUT [LEVEL-FIRST-OUTPUT [GAME-OVER-FIRST-OUTPUT]] "
                     "[--record OUTPUT RECORDING] [--replay OUTPUT RECORDING]\n";
        return 2;
    }
    const appwriter::ApplicationDescription game = DemoGame();
    if (!Write(game, argv[1])) return 1;
    if (plain.size() >= 2 && !Write(LevelFirst(game), argv[2])) return 1;
    if (plain.size() == 3 && !Write(GameOverFirst(game), argv[3])) return 1;
    for (const Copy& copy : copies)
        if (!Write(LevelFirst(DemoGame(&copy.tape)), copy.output)) return 1;
    return 0;
}

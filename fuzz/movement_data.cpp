// Runs arbitrary bytes as the stored data of a movement (static, mouse, race car, eight directions, ball,
// path, platform, physics, or the patrol module's, whose part the runtime hands to the module) of an active
// object in a running frame: the frame plays with
// the arrow keys the input holds, then every movement action is called on the object with a value of the
// input, each followed by more loops.
//
// Input: byte 0 picks the movement type, byte 1 holds the keys (bits 1-4) and moving-at-start (bit 0), bytes
// 2-5 the allowed start directions, bytes 6-7 the actions' value, the rest the type's own data. An empty
// first corpus folder receives one seed per type, laid out as each type stores its data.
#include "frame_run.h"
#include "quiet_target.h"

#include "objects/movements.h"
#include "objects/path_movement.h"

#include "appwriter/byte_writer.h"
#include "win32/window_testing.h"

#include <SDL.h>

#include <array>
#include <cmath>
#include <cstring>

using namespace vtrrt;

namespace {

constexpr std::array<std::uint16_t, 9> Types = {MovementStatic,          MovementMouse,   MovementRaceCar,
                                                MovementEightDirections, MovementBall,    MovementPath,
                                                MovementPlatform,        MovementPhysics, MovementExtension};
constexpr std::uint32_t PatrolIdentifier = 0x4C525450;
constexpr std::size_t HeaderBytes = 8;
constexpr std::size_t MaxDataBytes = 2048;

appwriter::Bytes Words(std::initializer_list<std::uint16_t> words) {
    appwriter::ByteWriter w;
    for (std::uint16_t v : words)
        w.U16(v);
    return w.Data();
}

// A path of straight segments: the header (node count, two words, loop, return, reverse, pad), then each
// node with the size of the one before it, its size, speed, direction, offsets, unit vector x 16384,
// length, pause and name.
appwriter::Bytes Path() {
    struct Node {
        std::uint8_t speed;
        std::int16_t dx, dy, pause;
        std::u16string name;
    };
    const Node nodes[] = {{20, 30, 0, 0, u"a"}, {40, 0, -25, 5, u""}, {10, -30, 25, 0, u"end"}};
    appwriter::ByteWriter w;
    w.U16(3);
    w.U16(0);
    w.U16(100);
    w.U8(1);
    w.U8(0);
    w.U8(1);
    w.U8(0);
    std::uint8_t previous = 0;
    for (const Node& n : nodes) {
        const double length = std::hypot(double(n.dx), double(n.dy));
        const auto size = static_cast<std::uint8_t>(16 + 2 * (n.name.size() + 1));
        const int direction =
            static_cast<int>(std::lround(std::atan2(-double(n.dy), double(n.dx)) / (2 * M_PI) * 32));
        w.U8(previous);
        w.U8(size);
        w.U8(n.speed);
        w.U8(static_cast<std::uint8_t>((direction + 32) & 31));
        w.U16(static_cast<std::uint16_t>(n.dx));
        w.U16(static_cast<std::uint16_t>(n.dy));
        w.U16(static_cast<std::uint16_t>(std::lround(n.dx / length * 16384)));
        w.U16(static_cast<std::uint16_t>(std::lround(n.dy / length * 16384)));
        w.U16(static_cast<std::uint16_t>(std::lround(length)));
        w.U16(static_cast<std::uint16_t>(n.pause));
        for (char16_t c : n.name)
            w.U16(c);
        w.U16(0);
        previous = size;
    }
    return w.Data();
}

// Each type's data as its tests lay it out.
appwriter::Bytes SeedData(std::uint16_t type) {
    switch (type) {
    case MovementMouse:
        return Words({0xFFE0, 32, 0xFFE0, 32});
    case MovementRaceCar:
        return Words({60, 20, 30, 50, 0, 3, 1});
    case MovementEightDirections: {
        appwriter::Bytes data = Words({50, 30, 20, 0});
        const appwriter::Bytes mask = Words({0x5555, 0x5555});
        data.insert(data.end(), mask.begin(), mask.end());
        return data;
    }
    case MovementBall:
        return Words({40, 3, 2, 100, 10});
    case MovementPath:
        return Path();
    case MovementPlatform:
        return Words({16, 50, 50, 3, 50, 40});
    case MovementExtension: {
        // The module's part starts 14 bytes after the common part: the patrol's speed and span.
        appwriter::Bytes data(14, 0);
        const appwriter::Bytes settings = Words({4, 12});
        data.insert(data.end(), settings.begin(), settings.end());
        return data;
    }
    default:
        return {};
    }
}

void Seeds(const std::filesystem::path& folder) {
    for (std::size_t i = 0; i < Types.size(); ++i) {
        std::vector<std::uint8_t> input = {
            static_cast<std::uint8_t>(i), 0x01 | 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 25, 0};
        const appwriter::Bytes data = SeedData(Types[i]);
        input.insert(input.end(), data.begin(), data.end());
        framerun::WriteFile(folder / ("type" + std::to_string(Types[i])), input);
    }
}

void HoldKeys(std::uint8_t bits) {
    constexpr SDL_Scancode Keys[] = {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, SDL_SCANCODE_LEFT,
                                     SDL_SCANCODE_RIGHT};
    for (int k = 0; k < 4; ++k) {
        if (!(bits & (2 << k))) continue;
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = win32::testing::SdlWindowId(Services().mainWindow);
        e.key.state = SDL_PRESSED;
        e.key.keysym.scancode = Keys[k];
        e.key.keysym.sym = SDL_GetKeyFromScancode(Keys[k]);
        SDL_PushEvent(&e);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    framerun::ModulesFromProgramFolder({"vtrpatrol.mvx"});
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderBytes || size > HeaderBytes + MaxDataBytes) return 0;
    appwriter::MovementDesc m;
    m.type = Types[data[0] % Types.size()];
    m.player = 0;
    m.movingAtStart = data[1] & 1;
    m.options = static_cast<std::uint8_t>(data[1] >> 5);
    std::memcpy(&m.directionMask, data + 2, 4);
    std::int16_t value = 0;
    std::memcpy(&value, data + 6, 2);
    m.data.assign(data + HeaderBytes, data + size);
    framerun::StageDesc stage;
    if (m.type == MovementExtension) {
        m.identifier = PatrolIdentifier;
        m.module = u"vtrpatrol";
        stage.movementModules = {u"vtrpatrol"};
    }
    stage.movements = {m};
    const std::vector<std::uint8_t> bytes = framerun::WriteStage(stage);
    framerun::Run run(bytes);
    if (!run.Running()) return 0;
    HoldKeys(data[1]);
    if (!run.Loops(20)) return 0;
    for (int row = 0; row < MovementActionRows; ++row) {
        RunObject* object = CurrentRunState()->objects[0].object;
        if (!object) break;
        CallMovementAction(static_cast<MovementRow>(row), object, value);
        if (!run.Loops(4)) return 0;
    }
    if (m.type == MovementPath)
        if (RunObject* object = CurrentRunState()->objects[0].object) {
            PathJumpToNode(object, u"end");
            PathGotoNode(object, u"a");
            run.Loops(4);
        }
    return 0;
}

// Reads arbitrary bytes as a saved position into a running frame: ball, path, eight-direction and patrol
// movers and a gauge, run for some loops first. What the parse accepts is applied to the frame, which then
// runs on and is torn down; a load that fails leaves the frame for the run's end to free.
//
// An empty first corpus folder receives the positions the frame itself writes after 3 and after 40 loops.
#include "frame_run.h"
#include "quiet_target.h"

#include "objects/movements.h"
#include "persist/saved_positions.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace vtrrt;

namespace {

constexpr std::int16_t GaugeType = 32;
constexpr std::uint32_t PatrolIdentifier = 0x4C525450;

const std::filesystem::path& PositionPath() {
    static const std::filesystem::path path = "/tmp/vtr-fuzz-position-" + std::to_string(getpid()) + ".vpp";
    return path;
}

void RemoveFile() {
    std::error_code ignored;
    std::filesystem::remove(PositionPath(), ignored);
}

appwriter::Bytes Words(std::initializer_list<std::uint16_t> words) {
    appwriter::ByteWriter w;
    for (std::uint16_t v : words)
        w.U16(v);
    return w.Take();
}

appwriter::MovementDesc Movement(std::uint16_t type, appwriter::Bytes data) {
    appwriter::MovementDesc m;
    m.type = type;
    m.directionMask = 1;
    m.data = std::move(data);
    return m;
}

// Two nodes out and back, looping.
appwriter::Bytes LoopingPath() {
    appwriter::ByteWriter w;
    w.U16(2);
    w.U16(0);
    w.U16(100);
    w.U8(1);
    w.U8(0);
    w.U8(0);
    w.U8(0);
    const std::int16_t dxs[] = {20, -20};
    std::uint8_t previous = 0;
    for (std::int16_t dx : dxs) {
        w.U8(previous);
        w.U8(18);
        w.U8(30);
        w.U8(dx > 0 ? 0 : 16);
        w.U16(static_cast<std::uint16_t>(dx));
        w.U16(0);
        w.U16(static_cast<std::uint16_t>(dx > 0 ? 16384 : -16384));
        w.U16(0);
        w.U16(20);
        w.U16(0);
        w.U16(0);
        previous = 18;
    }
    return w.Take();
}

const std::vector<std::uint8_t>& Application() {
    static const std::vector<std::uint8_t> bytes = [] {
        framerun::StageDesc stage;
        appwriter::Bytes patrol(14, 0);
        const appwriter::Bytes settings = Words({4, 12});
        patrol.insert(patrol.end(), settings.begin(), settings.end());
        appwriter::MovementDesc module = Movement(MovementExtension, patrol);
        module.identifier = PatrolIdentifier;
        module.module = u"vtrpatrol";
        appwriter::Bytes eight = Words({50, 30, 20, 0, 0xFFFF, 0xFFFF});
        stage.movements = {Movement(MovementBall, Words({40, 3, 2, 100, 0})),
                           Movement(MovementPath, LoopingPath()), Movement(MovementEightDirections, eight),
                           module};
        stage.movementModules = {u"vtrpatrol"};
        stage.extensions = {{0, u"vtrgauge", u""}};
        appwriter::ByteWriter gauge;
        for (std::int32_t v : {40, 8, 0x0000FF, 0xFF0000, 3, 10})
            gauge.I32(v);
        stage.extensionObjects = {{GaugeType, appwriter::ExtensionData(2, gauge.Take())}};
        return framerun::WriteStage(stage);
    }();
    return bytes;
}

void Seeds(const std::filesystem::path& folder) {
    framerun::Run run(Application());
    for (const int loops : {3, 37}) {
        if (!run.Loops(loops)) __builtin_trap();
        framerun::WriteFile(folder / ("after" + std::to_string(run.LoopCount())),
                            WriteApplicationPosition(CurrentRunState()->positionStamp));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    framerun::ModulesFromProgramFolder({"vtrpatrol.mvx", "vtrgauge.vxe"});
    PositionPath();
    std::atexit(RemoveFile);
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1 << 20)) return 0;
    framerun::WriteFile(PositionPath(), {data, data + size});
    framerun::Run run(Application());
    if (!run.Loops(10)) return 0;
    const std::u16string path = PositionPath().u16string();
    if (LoadApplicationPosition(path.c_str()) == PositionLoad::Applied) run.Loops(10);
    return 0;
}

// Hands arbitrary bytes to an extension as its object's stored data, the way a frame creates its
// extension objects: the definition's type data is the input, whole (the data's size, version and the
// extension's own bytes), and the runtime's gauge module creates, runs and draws the object for some
// loops; the running frame's position is then written and read back into it, which hands the gauge its
// saved state.
//
// An empty first corpus folder receives gauge data of both versions laid out as the gauge stores them.
#include "frame_run.h"
#include "quiet_target.h"

#include "persist/saved_positions.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace vtrrt;

namespace {

constexpr std::int16_t GaugeType = 32;

const std::filesystem::path& PositionPath() {
    static const std::filesystem::path path = "/tmp/vtr-fuzz-extension-" + std::to_string(getpid()) + ".vpp";
    return path;
}

void RemoveFile() {
    std::error_code ignored;
    std::filesystem::remove(PositionPath(), ignored);
}

// Width, height, back and bar colours, value; version 2 adds the maximum.
appwriter::Bytes GaugeData(std::uint32_t version, std::int32_t value, std::int32_t maximum) {
    appwriter::ByteWriter w;
    for (std::int32_t v : {40, 8, 0x0000FF, 0xFF0000, value})
        w.I32(v);
    if (version >= 2) w.I32(maximum);
    return appwriter::ExtensionData(version, w.Take());
}

void Seeds(const std::filesystem::path& folder) {
    framerun::WriteFile(folder / "version2", GaugeData(2, 3, 10));
    framerun::WriteFile(folder / "version2-over", GaugeData(2, 12, 10));
    framerun::WriteFile(folder / "version1", GaugeData(1, 5, 0));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    framerun::ModulesFromProgramFolder({"vtrgauge.vxe"});
    PositionPath();
    std::atexit(RemoveFile);
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    framerun::StageDesc stage;
    stage.extensions = {{0, u"vtrgauge", u""}};
    stage.extensionObjects = {{GaugeType, appwriter::Bytes(data, data + size)}};
    const std::vector<std::uint8_t> bytes = framerun::WriteStage(stage);
    framerun::Run run(bytes);
    if (!run.Loops(5)) return 0;
    const std::u16string path = PositionPath().u16string();
    if (SaveApplicationPosition(path.c_str()) == 1) {
        LoadApplicationPosition(path.c_str());
        run.Loops(2);
    }
    return 0;
}

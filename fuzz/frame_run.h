// Runs written application data as the program runs it, headless: a library context, the main and frame
// windows, the application started and its first frame played loop by loop on a clock that moves only when
// the frame waits, then everything torn down again. Targets whose bytes are only read by a running frame
// (movement data, positions applied to a frame) go through it.
#pragma once

#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "objects/animations.h"
#include "startup/runtime_files.h"

#include "seed_folder.h"

#include "support/scene.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "plugin/run_object.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace framerun {

using namespace vtrrt;

using scene::QuietRun;

// One run of an application. The bytes must outlive it: the data stream reads them in place.
class Run {
public:
    explicit Run(const std::vector<std::uint8_t>& bytes) : run_(clock_) {
        started_ =
            run_.Start(bytes, {u"/fuzz/app.vtg", 7, {}}) && RunApplicationStep(run_.Application(), 0) == 1;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // True while the frame runs.
    bool Running() const { return started_ && CurrentRunState(); }
    // Up to `loops` more loops of the frame; false once it has ended.
    bool Loops(int loops) {
        for (int n = 0; n < loops; ++n) {
            if (!Running()) return false;
            const std::int64_t count = CurrentRunState()->loopCount;
            for (int i = 0; i < 100 && CurrentRunState() && CurrentRunState()->loopCount == count; ++i)
                if (RunApplicationStep(run_.Application(), 0) != 1) {
                    started_ = false;
                    return false;
                }
        }
        return Running();
    }
    ApplicationRecord* Application() const { return run_.Application(); }
    std::int64_t LoopCount() const { return Running() ? CurrentRunState()->loopCount : -1; }

private:
    scene::SteppedClock clock_{5000};
    scene::FrameRun run_;
    bool started_ = false;
};

// An application of one frame, 320 x 240: an active object of one 8 x 8 image for each movement given,
// placed 40 pixels apart, then an object of extension type 32 + n for each extension datum (the definition's
// type data, whole), and the event program given. The extensions and movement modules listed are loaded
// from the run's temporary folder.
struct StageDesc {
    std::vector<appwriter::MovementDesc> movements;
    std::vector<std::pair<std::int16_t, appwriter::Bytes>> extensionObjects; // type, type data
    std::vector<appwriter::ExtensionDesc> extensions;
    std::vector<std::u16string> movementModules;
    appwriter::Bytes events;
};

inline std::vector<std::uint8_t> WriteStage(const StageDesc& stage) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = 320;
    d.header->windowHeight = 240;
    d.header->graphicMode = 8;
    d.header->frameRate = 50;
    d.header->controlKeys[0] = {0x26, 0x28, 0x25, 0x27, 0x11, 0x20, 0, 0};
    if (!stage.extensions.empty()) d.extensions = stage.extensions;
    if (!stage.movementModules.empty()) d.movementModules = stage.movementModules;
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (const appwriter::MovementDesc& m : stage.movements) {
        appwriter::ObjectInfoDesc o;
        o.name = u"Mover";
        o.definition.objectFlags =
            ObjectSavesWindowRect | ObjectHasAnimation | ObjectHasSprite | ObjectHasMovement;
        appwriter::AnimationDesc walking;
        walking.number = AnimationWalking;
        walking.directions.push_back({0, 0, 100, 0, 0, {1}});
        o.definition.animations = {walking};
        o.definition.movements = {m};
        objects.push_back(o);
    }
    for (const auto& [type, data] : stage.extensionObjects) {
        appwriter::ObjectInfoDesc o;
        o.type = type;
        o.name = u"Ext";
        o.definition.objectFlags = ObjectHasSprite;
        o.definition.typeData = data;
        objects.push_back(o);
    }
    appwriter::FrameContents contents;
    contents.layers[0].flags = 0x10;
    std::vector<appwriter::InstanceDesc> instances;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        objects[i].handle = static_cast<std::uint16_t>(i + 1);
        const auto n = static_cast<std::int32_t>(i);
        instances.push_back(
            {static_cast<std::uint16_t>(i + 1), objects[i].handle, 40 + 40 * n, 60 + 10 * n, 0, 0, 0});
    }
    appwriter::ImageItemDesc image;
    image.width = image.height = 8;
    image.graphicMode = 8;
    image.pixels.assign(8 * 8 * 4, 0x40);
    scene::AddObjectsAndImages(d, objects, {image});
    contents.instances = instances;
    contents.events = stage.events;
    d.frames.push_back(appwriter::DescribeFrame(320, 240, 0x00302010, contents));
    return appwriter::WriteApplication(d);
}

// The folder of the target's program, ended by '/': the plug-ins are built beside it.
inline std::u16string ProgramFolder() {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    folder.erase(folder.find_last_of('/') + 1);
    return {folder.begin(), folder.end()};
}

// The modules built beside the target stand for the run's temporary folder. Those named are kept mapped
// for the whole process: the fuzzer counts coverage in them, and a module the run frees and loads again
// would leave its counters unmapped under it.
inline void ModulesFromProgramFolder(std::initializer_list<const char*> kept = {}) {
    GetRuntimeFiles().tempFolder = ProgramFolder();
    const std::u16string folder = ProgramFolder();
    for (const char* file : kept) {
        const std::string path = std::string(folder.begin(), folder.end()) + file;
        if (!dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE)) __builtin_trap();
    }
}

} // namespace framerun

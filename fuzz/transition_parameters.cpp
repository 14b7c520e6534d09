// Hands arbitrary bytes to the runtime's transition module as a transition's parameter block, the way a
// frame's fade or an object's appearing transition hands its descriptor's block over, and steps the
// transition over surfaces of sizes the input gives until it is done (at most 64 steps).
//
// Input: byte 0 the identifier (its low two bits), bytes 1-3 the widths and heights of the target, source
// and destination (low and high nibbles, 1 to 16), the rest the parameter block. An empty first corpus
// folder receives blocks of the module's form: none, a step count, a step count with more bytes behind it.
#include "frame_run.h"
#include "quiet_target.h"

#include "objects/transition_modules.h"

#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

using namespace vtrrt;

namespace {

constexpr std::size_t HeaderBytes = 4;
constexpr int MaxSteps = 64;

void Seeds(const std::filesystem::path& folder) {
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> seeds = {
        {"fade-by-time", {1, 0x88, 0x88, 0x88}},
        {"fade-in-5-steps", {1, 0x77, 0x77, 0x77, 5, 0, 0, 0}},
        {"wipe-in-3-steps", {2, 0x3F, 0x3F, 0x3F, 3, 0, 0, 0, 0xAA, 0xBB}},
        {"wipe-sizes-differ", {2, 0x12, 0xF3, 0x81, 9, 0, 0, 0}},
        {"unknown", {3, 0x11, 0x11, 0x11, 1, 0}},
    };
    for (const auto& [name, bytes] : seeds)
        framerun::WriteFile(folder / name, bytes);
}

bool Make(cSurface& s, std::uint8_t size) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeMemory, DriverKindNone);
    return prototype && s.Create((size & 15) + 1, (size >> 4) + 1, prototype);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    framerun::ModulesFromProgramFolder({"vtrtrans.dll"});
    if (!LoadTransitionModule(u"vtrtrans")) __builtin_trap();
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderBytes || size > 4096) return 0;
    TransitionDescriptor d{};
    d.identifier = data[0] & 3;
    d.duration = 0;
    d.moduleName = u"vtrtrans";
    d.parameters = {data + HeaderBytes, size - HeaderBytes};
    transition::Object* t = CreateTransitionObject(d);
    if (!t) return 0;
    cSurface target, source, destination;
    if (Make(target, data[1]) && Make(source, data[2]) && Make(destination, data[3])) {
        TransitionInterfaceLevel(t);
        TransitionCapabilities(t);
        StartTransition(t, 0);
        for (int i = 0; i < MaxSteps && !TransitionDone(t); ++i) {
            transition::ChangedRects changed = nullptr;
            StepTransition(t, &target, &source, &destination, 0, &changed);
        }
        EndTransition(t, false);
    }
    DestroyTransition(t);
    return 0;
}

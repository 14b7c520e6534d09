// Reads arbitrary bytes as a frame's chunk list, in 8-bit and UTF-16 applications: frames are read from the
// application data only when they start, long after the application itself was accepted. The application
// holds two active objects, a backdrop and an effect bank whose effect takes an image, so that a frame's
// instances, layers and effects name things that exist.
//
// The fades' transition descriptors are read as the frame's start reads them. An empty first corpus folder
// receives, for each string form, plain and compressed, the chunk list of a
// frame that holds every chunk the frame loader reads, cut from application data the writer wrote.
#include "startup/frame_loader.h"
#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "frame_run.h"
#include "objects/transition_modules.h"
#include "quiet_target.h"

#include "appwriter/application_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <vector>

using namespace vtrrt;

namespace {

// The application's objects, images and effects; `rich` gives its frame every chunk the loader reads.
appwriter::ApplicationDescription Describe(bool wide, bool rich, bool compressed) {
    appwriter::ApplicationDescription d;
    d.form = wide ? appwriter::StringForm::Wide : appwriter::StringForm::Ansi;
    appwriter::EffectEntryDesc effect;
    effect.name = "Blend";
    effect.source = "uniform sampler2D mask; uniform float amount;";
    effect.kinds = {3, 1, 0};
    effect.names = {"mask", "amount", "steps"};
    d.effects = std::vector<appwriter::Bytes>{appwriter::EffectEntry(effect)};
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (std::uint16_t handle : {1, 2}) {
        appwriter::ObjectInfoDesc o;
        o.handle = handle;
        o.name = u"Active";
        appwriter::AnimationDesc walking;
        walking.number = 1;
        walking.directions.push_back({0, 0, 100, 0, 0, {1}});
        o.definition.animations = {walking};
        o.definition.movements = {appwriter::MovementDesc{}};
        if (handle == 2) {
            o.inkEffect = 13;
            o.effectIndex = 0;
            o.effectValues = {0xEEEE0002, 0xEEEE3F00, 0xEEEE0007};
        }
        objects.push_back(o);
    }
    appwriter::ObjectInfoDesc backdrop;
    backdrop.handle = 3;
    backdrop.type = 1;
    backdrop.name = u"Backdrop";
    backdrop.definition.width = backdrop.definition.height = 4;
    backdrop.definition.image = 1;
    objects.push_back(backdrop);
    const appwriter::BankPayload bank =
        appwriter::WriteImageBank({appwriter::ImageItemDesc{}, appwriter::ImageItemDesc{}});
    std::vector<std::uint32_t> offsets = bank.offsets;
    offsets.insert(offsets.begin(), 0);
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0, appwriter::WriteObjectInfos(objects, d.form, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, bank.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    appwriter::FrameContents contents;
    if (rich) {
        contents.layers = {appwriter::LayerDesc{0x10}, appwriter::LayerDesc{0x10, 0.5f, 0.5f, 0, 0, u"Far"}};
        contents.instances = std::vector<appwriter::InstanceDesc>{
            {1, 1, 10, 10, 0, 0, 0}, {2, 2, 50, 20, 0, 0, 1}, {3, 3, 0, 0, 0, 0, 0}, {4, 1, 80, 90, 2, 1, 1}};
        contents.virtualRect = std::array<std::int32_t, 4>{0, 0, 640, 400};
        appwriter::EventProgramBuilder events;
        events.objectInfoCount = 3;
        contents.events = events.ChunkPayload();
        contents.string3343 = u"recorded.dat";
        contents.randomSeed = 1234;
        contents.moveTimerBase = 20;
        appwriter::TransitionDesc fade;
        fade.parameters = {5, 0, 0, 0};
        contents.fadeIn = appwriter::TransitionPayload(fade, d.form);
        fade.identifier = 2;
        fade.flags = 1;
        fade.colour = 0x00FF00;
        fade.parameters = {};
        contents.fadeOut = appwriter::TransitionPayload(fade, d.form);
        contents.layerEffects =
            std::vector<appwriter::EffectDesc>{{13, 0, 0, {2, 0x3F000000, 4}}, {1, 64, 0, {}}};
        contents.effect = appwriter::EffectDesc{13, 0, 0, {1, 0, 0}};
        contents.chunkFlags = compressed ? 1 : 0;
    }
    appwriter::FrameDesc frame = appwriter::DescribeFrame(320, 200, 0, contents, d.form);
    if (rich) {
        frame.name = u"Level";
        frame.palette = appwriter::PalettePayload(std::array<std::array<std::uint8_t, 4>, 256>{});
    }
    d.frames.push_back(frame);
    return d;
}

// One application of each string form, loaded once; only its data stream changes per input.
ApplicationRecord* Application(bool wide) {
    static std::vector<std::uint8_t> bytes[2];
    static ApplicationRecord* apps[2] = {nullptr, nullptr};
    const int i = wide ? 1 : 0;
    if (!apps[i]) {
        bytes[i] = appwriter::WriteApplication(Describe(wide, false, false));
        CInputMemFile* stream = NewInputMemFile();
        stream->Attach(bytes[i].data(), static_cast<win32::LONG>(bytes[i].size()));
        apps[i] = LoadApplicationFromStream(stream, nullptr, 0, nullptr, nullptr, 0, 0);
        if (!apps[i]) __builtin_trap();
    }
    return apps[i];
}

// The rich frame's chunk list: the bytes from its first sub-chunk, where the loader starts a frame.
void Seeds(const std::filesystem::path& folder) {
    for (const bool wide : {false, true})
        for (const bool compressed : {false, true}) {
            const std::vector<std::uint8_t> bytes =
                appwriter::WriteApplication(Describe(wide, true, compressed));
            CInputMemFile* stream = NewInputMemFile();
            stream->Attach(bytes.data(), static_cast<win32::LONG>(bytes.size()));
            ApplicationRecord* app = LoadApplicationFromStream(stream, nullptr, 0, nullptr, nullptr, 0, 0);
            if (!app || app->framesCounted < 1) __builtin_trap();
            std::vector<std::uint8_t> input{static_cast<std::uint8_t>(wide ? 1 : 0)};
            input.insert(input.end(), bytes.begin() + app->frameOffsets[0], bytes.end());
            CloseApplication(app);
            framerun::WriteFile(
                folder / (std::string(wide ? "wide" : "ansi") + (compressed ? "-compressed" : "")), input);
        }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    GetCommandLineOptions().errorBoxes = 0;
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    ApplicationRecord* app = Application(data[0] & 1);
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(data + 1, static_cast<win32::LONG>(size - 1));
    CInputFile* kept = app->dataStream;
    app->dataStream = stream;
    SetCurrentApplication(app);
    FrameRecord* frame = LoadFrameChunks();
    if (frame) {
        // The fades' descriptors, as the frame's start and end read them: a parameter block lies inside.
        for (const FrameBlock* fade : {&frame->fadeIn, &frame->fadeOut})
            if (fade->data)
                if (const auto d = ReadTransitionDescriptor({fade->data, fade->size});
                    d && !d->parameters.empty())
                    if (d->parameters.data() < fade->data ||
                        d->parameters.data() + d->parameters.size() > fade->data + fade->size)
                        __builtin_trap();
        CreateLayerEffects();
        while (NextFrameItemToCreate()) {
        }
        FreeFrame(frame);
    }
    app->dataStream = kept;
    stream->Delete();
    return 0;
}

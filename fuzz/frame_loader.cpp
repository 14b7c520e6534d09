// Reads arbitrary bytes as a frame's chunk list, in 8-bit and UTF-16 applications: frames are read from the
// application data only when they start, long after the application itself was accepted.
#include "startup/frame_loader.h"
#include "quiet_target.h"
#include "shell/command_line.h"
#include "shell/runtime_services.h"
#include "startup/application_loader.h"

#include "appwriter/application_writer.h"
#include "appwriter/frame_writer.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <vector>

using namespace vtrrt;

namespace {

// One application of each string form, loaded once; only its data stream changes per input.
ApplicationRecord* Application(bool wide) {
    static std::vector<std::uint8_t> bytes[2];
    static ApplicationRecord* apps[2] = {nullptr, nullptr};
    const int i = wide ? 1 : 0;
    if (!apps[i]) {
        appwriter::ApplicationDescription d;
        d.form = wide ? appwriter::StringForm::Wide : appwriter::StringForm::Ansi;
        d.frames.push_back(appwriter::DescribeFrame(320, 200, 0));
        bytes[i] = appwriter::WriteApplication(d);
        CInputMemFile* stream = NewInputMemFile();
        stream->Attach(bytes[i].data(), static_cast<win32::LONG>(bytes[i].size()));
        apps[i] = LoadApplicationFromStream(stream, nullptr, 0, nullptr, nullptr, 0, 0);
        if (!apps[i]) __builtin_trap();
    }
    return apps[i];
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    CloseTargetStderr(argc, argv);
    GetCommandLineOptions().errorBoxes = 0;
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
        CreateLayerEffects();
        while (NextFrameItemToCreate()) {
        }
        FreeFrame(frame);
    }
    app->dataStream = kept;
    stream->Delete();
    return 0;
}

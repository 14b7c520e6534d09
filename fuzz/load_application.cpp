// Loads arbitrary bytes as application data held in memory. Seeds: the sample applications of appsamples.
#include "app/application_loader.h"
#include "core/command_line.h"
#include "quiet_target.h"

#include "vtrs2/streams.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    CloseTargetStderr(argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    vtrrt::GetCommandLineOptions().errorBoxes = 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x7FFFFFFF) return 0;
    CInputMemFile* stream = NewInputMemFile();
    if (!stream) return 0;
    stream->Attach(data, static_cast<win32::LONG>(size));
    int code = 0;
    vtrrt::ApplicationRecord* app =
        vtrrt::LoadApplicationFromStream(stream, u"/fuzz/app.vtg", 0, nullptr, nullptr, 0, 0, &code);
    vtrrt::CloseApplication(app);
    return 0;
}

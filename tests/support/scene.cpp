#include "support/scene.h"

#include "app/application_loader.h"
#include "core/command_line.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"

#include "vtrs2/streams.h"

#include <cstdlib>

namespace scene {

using namespace vtrrt;

void AddObjectsAndImages(appwriter::ApplicationDescription& d,
                         const std::vector<appwriter::ObjectInfoDesc>& objects,
                         const std::vector<appwriter::ImageItemDesc>& images) {
    const appwriter::BankPayload bank = appwriter::WriteImageBank(images);
    std::vector<std::uint32_t> offsets = bank.offsets;
    offsets.insert(offsets.begin(), 0); // stored index 0 holds nothing
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    d.extra.push_back({appwriter::ChunkImageBank, 0, bank.items});
    d.extra.push_back({appwriter::ChunkImageOffsets, 0, appwriter::WriteBankOffsets(offsets)});
}

void QuietRun() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    GetCommandLineOptions().errorBoxes = 0;
}

bool StartLoaded(ApplicationRecord& app) {
    SetCurrentApplication(&app);
    return CreateMainWindow(app) == 0 && CreateFrameWindow(Services().mainWindow, 0x42000000, 4) == 0 &&
           StartApplication(&app) == 1;
}

void EndStarted(ApplicationRecord& app) {
    FreeLoadedFrame(app);
    EndApplication(&app);
}

void CloseWindows() {
    DestroyMainWindow();
    SetCurrentApplication(nullptr);
}

FrameRun::FrameRun(FrameClock& clock) : previous_(SetFrameClock(&clock)) {}

FrameRun::~FrameRun() {
    Stop();
    SetFrameClock(previous_);
}

bool FrameRun::Start(const std::vector<std::uint8_t>& bytes, const Options& options) {
    if (CreateLibraryContext(nullptr) != 0) return false;
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(bytes.data(), static_cast<win32::LONG>(bytes.size()));
    app_ = LoadApplicationFromStream(stream, options.path, options.pathLength, nullptr, nullptr, 0, 0);
    if (!app_) return false;
    if (options.beforeStart) options.beforeStart(*app_);
    return StartLoaded(*app_);
}

bool FrameRun::StartFile(const std::u16string& path) {
    if (CreateLibraryContext(nullptr) != 0) return false;
    app_ = LoadApplication(path.c_str(), 0, nullptr, nullptr, 0, 0);
    return app_ && StartLoaded(*app_);
}

void FrameRun::Stop() {
    if (app_) {
        EndStarted(*app_);
        CloseApplication(app_);
        app_ = nullptr;
    }
    CloseWindows();
}

} // namespace scene

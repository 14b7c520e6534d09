#include "shell/sound_services.h"

#include "shell/application_state_machine.h"
#include "shell/frame_run_state.h"
#include "shell/header_flags.h"
#include "shell/runtime_services.h"
#include "startup/application_record.h"
#include "startup/runtime_files.h"

#include "vtrs2/image_filters.h"
#include "vtrs2/sound.h"
#include "vtrs2/sound_channels.h"
#include "win32/mm.h"

namespace vtrrt {

using namespace win32;

namespace {

// Filters are looked for as every packed module is: the run's temporary folder.
constexpr DWORD ScanOption = 3;

} // namespace

void StartSoundServices() {
    RuntimeServices& services = Services();
    const std::u16string& folder = GetRuntimeFiles().runtimeTempFolder;
    if (!services.imageFilters && (services.imageFilters = NewImageFilterMgr()))
        services.imageFilters->Scan(folder.c_str(), ScanOption);
    if (!services.soundFilters && (services.soundFilters = NewSoundFilterMgr()))
        services.soundFilters->Scan(folder.c_str(), ScanOption);
    if (!services.soundManager && services.soundFilters) {
        services.soundManager = CreateSoundManagerForWindow(services.soundFilters, services.mainWindow);
        if (services.soundManager) services.soundManager->Register(nullptr);
    }
}

void ShutdownSound() {
    RuntimeServices& services = Services();
    if (AppContext* context = services.libraryContext) {
        StopSound(context, SoundKindMusic, nullptr);
        StopSound(context, SoundKindSample, nullptr);
    }
    if (CSoundManager* manager = services.soundManager) {
        manager->StopSounds(1);
        manager->Delete();
        services.soundManager = nullptr;
    }
    if (CSoundFilterMgr* filters = services.soundFilters) {
        filters->FreeFilters();
        filters->Delete();
        services.soundFilters = nullptr;
    }
    if (CImageFilterMgr* filters = services.imageFilters) {
        filters->FreeFilters();
        filters->Delete();
        services.imageFilters = nullptr;
    }
}

void SetApplicationChannels(const ApplicationRecord& app) {
    if (AppContext* context = Services().libraryContext)
        SetChannelCount(context, (app.header.flags1 & HeaderAllSoundChannels) ? SoundChannelCount : 1);
}

void StopAllSamples() {
    if (AppContext* context = Services().libraryContext) StopSound(context, SoundKindSample, nullptr);
}

void StopMusic() {
    if (AppContext* context = Services().libraryContext) StopSound(context, SoundKindMusic, nullptr);
}

LRESULT OnMusicNotice(WPARAM notice) {
    const ApplicationRecord* app = CurrentApplication();
    const bool frameRunning = app && CurrentRunState() && app->runState == StateRunFrame;
    if (frameRunning && notice != MCI_NOTIFY_ABORTED)
        if (AppContext* context = Services().libraryContext)
            StopSound(context, SoundKindMusic, MusicEndNotice());
    return 0;
}

} // namespace vtrrt

#include "builtin/sound_services.h"
#include "core/upcalls.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "startup/runtime_files.h"
#include "startup/sound_items.h"

#include "vtrs2/image_filters.h"
#include "vtrs2/memory.h"
#include "vtrs2/sound.h"
#include "vtrs2/sound_channels.h"
#include "win32/mm.h"

namespace vtrrt {

using namespace win32;

namespace {

// Filters are looked for as every packed module is: the run's temporary folder.
constexpr DWORD ScanOption = 3;
// Play flags the runtime adds: the sound's buffer is made the usual way (the command line's NODS leaves it
// out), and it plays on when another window is active (the application's header asks for it).
constexpr DWORD PlayUsualBuffer = 0x100;
constexpr DWORD MusicFileRequest = SoundKindMusic << PlayKindShift;
constexpr std::int32_t MusicRequestFile = -1;

bool IsFileName(DWORD flags) {
    return (flags & PlayWideName) != 0;
}

// Replaces a remembered name; a copy that cannot be made forgets the old one all the same.
void Remember(WCHAR*& slot, const WCHAR* name) {
    FreeMemory(&slot);
    slot = HeapCopy(name);
}

} // namespace

void StartSoundServices() {
    RuntimeServices& services = Services();
    const std::u16string folder = ModuleSearchFolder();
    if (!services.imageFilters && (services.imageFilters = NewImageFilterMgr()))
        services.imageFilters->Scan(folder.c_str(), ScanOption);
    if (!services.soundFilters && (services.soundFilters = NewSoundFilterMgr()))
        services.soundFilters->Scan(folder.c_str(), ScanOption);
    GetSoundManager();
}

CSoundManager* GetSoundManager() {
    RuntimeServices& services = Services();
    if (!services.soundManager && services.soundFilters) {
        services.soundManager = CreateSoundManagerForWindow(services.soundFilters, services.mainWindow);
        if (services.soundManager) services.soundManager->Register(nullptr);
    }
    return services.soundManager;
}

void ReleaseSoundManager() {
    RuntimeServices& services = Services();
    if (AppContext* context = services.libraryContext) StopSound(context, SoundKindSample, nullptr);
    if (CSoundManager* manager = services.soundManager) {
        manager->StopSounds(1);
        manager->Delete();
        services.soundManager = nullptr;
    }
}

void ShutdownSound() {
    RuntimeServices& services = Services();
    if (AppContext* context = services.libraryContext) StopSound(context, SoundKindMusic, nullptr);
    ReleaseSoundManager();
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

bool SamplesEnabled() {
    return (Services().flags & RuntimeSamplesOn) != 0;
}

bool MusicEnabled() {
    return (Services().flags & RuntimeMusicOn) != 0;
}

void PlaySample(SoundReference sound, DWORD flags, int loops, int channel) {
    RuntimeServices& services = Services();
    if (!SamplesEnabled() || !sound || !services.libraryContext) return;
    if (!GetCommandLineOptions().noDirectSoundOption) flags |= PlayUsualBuffer;
    ApplicationRecord* app = CurrentApplication();
    if (app && (app->header.flags3 & HeaderSoundsGlobalFocus)) flags |= PlayGlobalFocus;
    PlaySoundItemW(GetSoundManager(), services.libraryContext, sound, services.mainWindow, flags, loops,
                   channel);
    const auto* name = static_cast<const WCHAR*>(sound);
    if (app && IsFileName(flags) && channel >= 1 && channel <= RememberedChannels && name[0])
        Remember(app->channelSampleFiles[channel - 1], name);
}

void PlayMusic(SoundReference sound, DWORD flags, int loops) {
    RuntimeServices& services = Services();
    if (!MusicEnabled() || !sound || !services.libraryContext) return;
    if (FrameRunState* run = CurrentRunState()) {
        run->musicRequestHandle = IsFileName(flags)
                                      ? MusicRequestFile
                                      : static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(sound));
        run->musicRequestFlags = IsFileName(flags) ? MusicFileRequest | (flags & PlayLoops) : flags;
        run->musicRequestLoops = loops;
    }
    PlaySoundItemW(GetSoundManager(), services.libraryContext, sound, services.mainWindow, flags, loops, 0);
    if (ApplicationRecord* app = CurrentApplication(); app && IsFileName(flags))
        Remember(app->musicFile, static_cast<const WCHAR*>(sound));
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

// The sound device base: its managers, the process-wide sound lock, and the 50 ms service timer with the
// busy flag that lets a tick skip instead of wait.
#include "sound_internal.h"

#include "vtrs2/sound_testing.h"
#include "win32/kernel.h"

using namespace win32;

namespace {

constexpr UINT ServicePeriod = 50;
constexpr UINT ServiceResolution = 10;
constexpr DWORD BusyRetryMs = 100;

// Built on first use and never destroyed, so that a tick arriving while the process ends finds it.
CRITICAL_SECTION& Lock() {
    static CRITICAL_SECTION* section = [] {
        auto* s = new CRITICAL_SECTION;
        InitializeCriticalSection(s);
        return s;
    }();
    return *section;
}

CSoundAPI* device = nullptr;
DWORD (*serviceClock)() = nullptr;

} // namespace

namespace sound {

void EnterSoundLock() {
    EnterCriticalSection(&Lock());
}

void LeaveSoundLock() {
    LeaveCriticalSection(&Lock());
}

CSoundAPI* Device() {
    return device;
}

void SetDevice(CSoundAPI* d) {
    device = d;
}

DWORD ServiceClock() {
    return serviceClock ? serviceClock() : timeGetTime();
}

DWORD AverageBytesPerSecond(const WAVEFORMATEX& f) {
    const DWORD bytes = f.nAvgBytesPerSec ? f.nAvgBytesPerSec : f.nSamplesPerSec * f.nBlockAlign;
    return bytes ? bytes : 1;
}

} // namespace sound

void SetSoundServiceClock(DWORD (*clock)()) {
    serviceClock = clock;
}

SoundLock::SoundLock() {
    sound::EnterSoundLock();
}

SoundLock::~SoundLock() {
    sound::LeaveSoundLock();
}

CSoundAPI::CSoundAPI(CSoundFilterMgr* filters)
    : busy_(0), timerRunning_(0), timerId_(0), managerCount_(0), filters_(filters) {}

CSoundAPI::~CSoundAPI() {
    StopTimer();
}

void CSoundAPI::Delete() {
    delete this;
}

void CSoundAPI::StopAll() {
    int cursor = managers_.GetHead();
    while (auto* manager = static_cast<CSoundManager*>(managers_.Next(cursor)))
        manager->StopSounds(1);
}

void CSoundAPI::ServiceManagers() {
    int cursor = managers_.GetHead();
    while (auto* manager = static_cast<CSoundManager*>(managers_.Next(cursor)))
        manager->UpdateSounds();
}

void CSoundAPI::AddManager(CSoundManager* manager) {
    if (!managers_.Find(manager)) managers_.Add(manager);
}

void CSoundAPI::RemoveManager(CSoundManager* manager) {
    if (const int index = managers_.Find(manager)) managers_.Remove(index);
}

int CSoundAPI::AnyManagerPlays() {
    SoundLock lock;
    int cursor = managers_.GetHead();
    while (auto* manager = static_cast<CSoundManager*>(managers_.Next(cursor)))
        if (manager->IsAnySoundPlaying()) return 1;
    return 0;
}

void CSoundAPI::SoundTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* api = reinterpret_cast<CSoundAPI*>(user);
    if (api->busy_.exchange(1) == 1) return;
    {
        SoundLock lock;
        api->ServiceManagers();
    }
    api->busy_.store(0);
}

int CSoundAPI::StartTimer() {
    SoundLock lock;
    if (!timerRunning_) {
        busy_.store(0);
        timerId_ = timeSetEvent(ServicePeriod, ServiceResolution, &CSoundAPI::SoundTimerProc,
                                reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
        timerRunning_ = timerId_ != 0;
    }
    return timerRunning_;
}

void CSoundAPI::TakeBusyFlag() {
    while (busy_.exchange(1) == 1)
        Sleep(BusyRetryMs);
}

void CSoundAPI::StopTimer() {
    if (!timerRunning_) return;
    TakeBusyFlag();
    SoundLock lock;
    if (!timerRunning_) return;
    timeKillEvent(timerId_);
    timerId_ = 0;
    timerRunning_ = 0;
}

void CSoundAPI::SuspendService() {
    if (timerRunning_) TakeBusyFlag();
}

void CSoundAPI::ResumeService() {
    if (timerRunning_) busy_.store(0);
}

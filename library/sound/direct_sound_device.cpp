// The DirectSound device and a window's sound manager with its primary buffer.
#include "direct_sound.h"

#include <new>

using namespace win32;

namespace {

// Primary buffer descriptions, tried in turn.
constexpr DWORD PrimaryFlags[] = {0x4011, 0x11, 0x1};

} // namespace

namespace sound {

CSoundAPI* CreateDirectSoundDevice(CSoundFilterMgr* filters) {
    return new (std::nothrow) CDSSoundAPI(filters);
}

} // namespace sound

CDSSoundAPI::CDSSoundAPI(CSoundFilterMgr* filters)
    : CSoundAPI(filters), userCount_(0), primaryHolders_(0), directSound_(nullptr), window_(nullptr) {}

CDSSoundAPI::~CDSSoundAPI() {
    StopTimer();
    ReleaseDirectSound();
}

CSoundManager* CDSSoundAPI::CreateSoundManager(HWND window) {
    return new (std::nothrow) CDSSoundManager(this, window);
}

void CDSSoundAPI::StopAll() {
    CSoundAPI::StopAll();
    int cursor = Managers().GetHead();
    while (auto* manager = static_cast<CDSSoundManager*>(Managers().Next(cursor)))
        manager->ReleasePrimary();
    ReleaseDirectSound();
}

int CDSSoundAPI::GetOutputFormat(const WAVEFORMATEX* decoder, WAVEFORMATEX* output) {
    if (!decoder || !output) return 0;
    *output = *decoder;
    return 1;
}

IDirectSound* CDSSoundAPI::EnsureDirectSound(HWND window) {
    SoundLock lock;
    if (directSound_) return directSound_;
    if (FAILED(DirectSoundCreate(nullptr, &directSound_, nullptr))) {
        directSound_ = nullptr;
        return nullptr;
    }
    directSound_->SetCooperativeLevel(window ? window : window_, DSSCL_PRIORITY);
    return directSound_;
}

void CDSSoundAPI::ReleaseDirectSound() {
    SoundLock lock;
    if (directSound_) directSound_->Release();
    directSound_ = nullptr;
}

CDSSoundManager::CDSSoundManager(CDSSoundAPI* device, HWND window)
    : CSoundManager(device), dsDevice_(device), primary_(nullptr), window_(nullptr) {
    SoundLock lock;
    if (!dsDevice_->Window()) dsDevice_->SetWindow(window);
}

CDSSoundManager::~CDSSoundManager() {
    // The sounds go first: their buffers belong to the device object released below.
    StopSounds(1);
    for (int cursor = GetSoundListHead(); cursor; cursor = GetSoundListHead())
        GetNextSound(cursor)->Close();
    if (registered_) {
        Unregister();
        SoundLock lock;
        ReleasePrimary();
        if (--dsDevice_->PrimaryHolders() == 0) dsDevice_->ReleaseDirectSound();
        --dsDevice_->UserCount();
    }
    SoundLock lock;
    if (dsDevice_->ManagerCount() == 1) dsDevice_->SetWindow(nullptr);
}

int CDSSoundManager::Register(HWND window) {
    SoundLock lock;
    if (registered_) return 1;
    if (dsDevice_->UserCount()++ == 0) {
        // The first user makes sure a device can be had at all.
        IDirectSound* probe = nullptr;
        if (FAILED(DirectSoundCreate(nullptr, &probe, nullptr))) {
            --dsDevice_->UserCount();
            return 0;
        }
        probe->Release();
    }
    window_ = window ? window : dsDevice_->Window();
    IDirectSound* directSound = dsDevice_->EnsureDirectSound(window_);
    if (!directSound) {
        --dsDevice_->UserCount();
        return 0;
    }
    for (DWORD flags : PrimaryFlags) {
        DSBUFFERDESC description{sizeof(DSBUFFERDESC), flags, 0, 0, nullptr};
        if (SUCCEEDED(directSound->CreateSoundBuffer(&description, &primary_, nullptr))) break;
        primary_ = nullptr;
    }
    ++dsDevice_->PrimaryHolders();
    return CSoundManager::Register(window_);
}

void CDSSoundManager::Unregister() {
    CSoundManager::Unregister();
}

CSound* CDSSoundManager::CreateSound() {
    return new (std::nothrow) CDSSound(this);
}

void CDSSoundManager::RemoveSound(CSound* sound) {
    CSoundManager::RemoveSound(sound);
}

void CDSSoundManager::ReleasePrimary() {
    SoundLock lock;
    if (primary_) primary_->Release();
    primary_ = nullptr;
}

// The sounds of one window: loading, the list, and the operations over every sound.
#include "sound_internal.h"

using namespace win32;

CSoundManager::CSoundManager(CSoundAPI* device) : device_(device), registered_(0), reserved_(0) {
    if (device_) {
        SoundLock lock;
        ++device_->ManagerCount();
    }
}

CSoundManager::~CSoundManager() {
    StopSounds(1);
    for (int cursor = sounds_.GetHead(); cursor;) {
        auto* sound = static_cast<CSound*>(sounds_.GetAt(cursor));
        sound->Close();
        cursor = sounds_.GetHead();
    }
    if (registered_) CSoundManager::Unregister();
    if (device_) {
        SoundLock lock;
        --device_->ManagerCount();
    }
}

int CSoundManager::Register(HWND) {
    if (!device_) return 0;
    SoundLock lock;
    if (!registered_) device_->AddManager(this);
    registered_ = 1;
    return 1;
}

void CSoundManager::Unregister() {
    if (!device_ || !registered_) return;
    SoundLock lock;
    device_->RemoveManager(this);
    registered_ = 0;
}

void CSoundManager::Delete() {
    delete this;
}

void CSoundManager::RemoveSound(CSound* sound) {
    SoundLock lock;
    if (const int index = sounds_.Find(sound)) sounds_.Remove(index);
}

CSound* CSoundManager::LoadSound(CInputFile* stream, int ownsStream, DWORD flags) {
    if (!stream) return nullptr;
    CSound* sound = CreateSound();
    if (!sound) return nullptr;
    if (sound->Open(stream, ownsStream, flags) != 0) {
        // The stream stays the caller's: the sound never took it.
        delete sound;
        return nullptr;
    }
    if (device_) device_->SuspendService();
    bool added = false;
    {
        SoundLock lock;
        added = sounds_.Add(sound) != 0;
    }
    if (device_) device_->ResumeService();
    if (!added) {
        delete sound;
        return nullptr;
    }
    return sound;
}

void CSoundManager::StopSounds(int all) {
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        if (all || sound->IsPlaying() || sound->IsPaused()) sound->Stop(all, 1);
    if (all && device_ && !device_->AnyManagerPlays()) device_->StopTimer();
}

int CSoundManager::IsAnySoundPlaying() {
    SoundLock lock;
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        if (sound->IsPlaying() || sound->IsPaused()) return 1;
    return 0;
}

void CSoundManager::PauseAll() {
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        if (sound->IsPlaying() && !sound->IsPaused()) sound->Pause();
}

void CSoundManager::ResumeAll() {
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        if (sound->IsPaused()) sound->Resume();
}

void CSoundManager::PlayAll() {
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        if (!sound->IsPlaying()) sound->Play();
}

void CSoundManager::StopTimerIfIdle() {
    if (device_ && !device_->AnyManagerPlays()) device_->StopTimer();
}

void CSoundManager::UpdateSounds() {
    SoundLock lock;
    int cursor = sounds_.GetHead();
    while (auto* sound = static_cast<CSound*>(sounds_.Next(cursor)))
        sound->Update();
}

CSoundFilterMgr* CSoundManager::GetFilterMgr() {
    return device_ ? device_->GetFilterMgr() : nullptr;
}

int CSoundManager::GetSoundCount() {
    return sounds_.GetCount();
}

int CSoundManager::HasSounds() {
    return sounds_.GetCount() > 0;
}

int CSoundManager::GetSoundListHead() {
    return sounds_.GetHead();
}

CSound* CSoundManager::GetNextSound(int& cursor) {
    return static_cast<CSound*>(sounds_.Next(cursor));
}

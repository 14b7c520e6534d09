// The DirectSound back end: the device, a window's manager with its primary buffer, and sounds played from
// one whole secondary buffer or streamed through a 1.2-second ring that the service timer refills.
#pragma once

#include "sound_internal.h"

#include "win32/dsound.h"

class CDSSoundManager;

class CDSSoundAPI : public CSoundAPI {
public:
    explicit CDSSoundAPI(CSoundFilterMgr* filters);
    ~CDSSoundAPI() override;

    CSoundManager* CreateSoundManager(win32::HWND window) override;
    void StopAll() override;
    int GetOutputFormat(const win32::WAVEFORMATEX* decoder, win32::WAVEFORMATEX* output) override;

    // The device object, made when there is none; null when DirectSound cannot be had.
    win32::IDirectSound* EnsureDirectSound(win32::HWND window);
    win32::IDirectSound* DirectSound() { return directSound_; }
    void ReleaseDirectSound();
    win32::HWND Window() { return window_; }
    void SetWindow(win32::HWND window) { window_ = window; }
    int& UserCount() { return userCount_; }
    int& PrimaryHolders() { return primaryHolders_; }

private:
    int userCount_;
    int primaryHolders_;
    win32::IDirectSound* directSound_;
    // The hidden window that owns the cooperative level is not made: the layer has no cooperative levels.
    win32::HWND window_;
};

class CDSSoundManager : public CSoundManager {
public:
    CDSSoundManager(CDSSoundAPI* device, win32::HWND window);
    ~CDSSoundManager() override;

    int Register(win32::HWND window) override;
    void Unregister() override;
    CSound* CreateSound() override;
    void RemoveSound(CSound* sound) override;

    CDSSoundAPI* Device() { return dsDevice_; }
    win32::IDirectSoundBuffer* Primary() { return primary_; }
    void ReleasePrimary();

private:
    CDSSoundAPI* dsDevice_;
    win32::IDirectSoundBuffer* primary_;
    win32::HWND window_;
};

class CDSSound : public CSound {
public:
    explicit CDSSound(CDSSoundManager* manager);
    ~CDSSound() override;

    int Play() override;
    int Pause() override;
    int Resume() override;
    int Stop(int releaseBuffer, int lockService) override;
    int IsPlaying() override;
    int SetVolume(int volume) override;
    int SetPan(int pan) override;
    int SetFrequency(win32::DWORD frequency) override;
    int Seek(std::uint64_t position, int lockService) override;
    int SetFormat(const win32::WAVEFORMATEX* format, std::uint64_t size, int forceStreaming) override;
    int FillBuffer() override;
    int Update() override;
    std::uint64_t GetPlayPosition() override;

private:
    bool MakeBuffer();
    void ReleaseBuffer();
    void RaisePrimaryFormat();
    void SendSettings();
    // Reads into a region with the end-of-data rule; the data bytes written.
    win32::DWORD FillRegion(win32::BYTE* region, win32::DWORD bytes);
    // Fills `bytes` of the ring from the write cursor; the data bytes written, or -1 when it cannot lock.
    std::int64_t FillRing(win32::DWORD bytes);
    void FillSilence(win32::BYTE* region, win32::DWORD bytes);
    void SilenceRing(win32::DWORD bytes);
    win32::DWORD RingDistance(win32::DWORD from, win32::DWORD to) const;
    win32::DWORD ConsumedPerSecond();
    bool GapSinceLastService();
    void RecoverFromGap();

    CDSSoundManager* dsManager_;
    win32::DWORD writeCursor_;
    std::int64_t bytesToPlay_;
    int dataEnded_;
    win32::IDirectSoundBuffer* buffer_;
    win32::DWORD lastPlayCursor_;
    std::int64_t bytesPlayed_;
    win32::DWORD lastService_;
};

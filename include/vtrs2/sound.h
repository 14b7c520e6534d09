// The exported sound classes: the sound device with its managers and 50 ms service timer, the sounds of a
// window, one sound fed by a decoder, the decoder base class that sound-filter plug-ins derive from, and the
// manager of "*.sft" sound filters, which also makes the device.
#pragma once

#include "vtrs2/containers.h"
#include "vtrs2/export.h"
#include "vtrs2/filters.h"
#include "win32/mm.h"

#include <atomic>
#include <cstdint>

class CInputFile;
class CSound;
class CSoundAPI;
class CSoundFilter;
class CSoundFilterMgr;
class CSoundManager;

// CSound::Open flags.
constexpr win32::DWORD SoundOpenStreamed = 0x1; // stream through the ring buffer even when it fits one
constexpr win32::DWORD SoundOpenGlobalFocus = 0x2;

// CSound::Open results besides 0.
constexpr int SoundNoDecoder = 2;

// A sound's volume 0..1000 in hundredths of a decibel: 2000 x log10(v / 1000) truncated, -10000 for 0 and
// below, 0 from 1000 up.
VTRS2_API win32::LONG VolumeToDirectSound(int volume);
// 0 keeps the buffer's own rate; other rates are clamped to 100..100000.
VTRS2_API win32::DWORD FrequencyToDirectSound(win32::DWORD frequency);

// Converts one block of PCM frames: every `step`-th native frame, written `repeat` times.
using PcmConverter = void (*)(const win32::BYTE* in, win32::BYTE* out, win32::DWORD frames, win32::DWORD step,
                              win32::DWORD repeat);
// The converter between two PCM layouts (8 or 16 bits, 1 or 2 channels), null when none is needed or known.
VTRS2_API PcmConverter SelectPcmConverter(int inBits, int inChannels, int outBits, int outChannels);

// A decoder made by a sound-filter plug-in. The plug-in sets the native format and answers the operations
// from Release to Read in native bytes; the library reads through ReadConverted in the output format.
class VTRS2_API CSoundFilter {
public:
    CSoundFilter();
    virtual ~CSoundFilter();
    CSoundFilter(const CSoundFilter&) = delete;
    CSoundFilter& operator=(const CSoundFilter&) = delete;

    // Destroys the decoder.
    virtual void Release() = 0;
    // 0 when the decoder reads the stream (and has set the native format).
    virtual int Open(CInputFile* stream) = 0;
    virtual void Close() = 0;
    // Bytes of native data.
    virtual std::uint64_t GetLength() = 0;
    // Kept so that the operations after it keep their slots; answers 0.
    virtual int Reserved();
    // 0 on success; a position beyond the length goes to the end.
    virtual int Seek(std::uint64_t position) = 0;
    // 0 on success with `count` bytes read (fewer than `size` at the end), else an error.
    virtual int Read(void* buffer, win32::DWORD size, win32::DWORD* count) = 0;
    // 0, or 2 when no conversion to the format is known (the output format then stays the native one).
    virtual int SetOutputFormat(const win32::WAVEFORMATEX* format);

    const win32::WAVEFORMATEX* GetFormat() const { return &outputFormat_; }
    const win32::WAVEFORMATEX* GetSourceFormat() const { return &nativeFormat_; }
    // Output bytes; fewer than `size` only at the end of the data.
    int ReadConverted(void* buffer, win32::DWORD size, win32::DWORD* count);
    // The length and positions in output bytes.
    std::uint64_t GetConvertedLength();
    int SeekConverted(std::uint64_t position);

protected:
    win32::WAVEFORMATEX outputFormat_;
    win32::WAVEFORMATEX nativeFormat_; // set by the plug-in in Open

private:
    int ReadGroups(win32::BYTE* out, win32::DWORD groups, win32::DWORD& written);

    win32::DWORD converting_;
    float ratio_; // output bytes per native byte
    win32::BYTE* conversionBuffer_;
    PcmConverter converter_;
    win32::DWORD step_;
    win32::DWORD repeat_;
    win32::DWORD conversionBytes_;
    // The output frame of a repeated native frame whose copies did not all fit the last read.
    win32::BYTE carry_[4];
    win32::DWORD carryLeft_;
};

// One sound: a decoder, its position in output bytes, volume, pan, frequency and loops, played by a device.
class VTRS2_API CSound {
public:
    explicit CSound(CSoundManager* manager);
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    virtual int Play() = 0;
    virtual int Pause() = 0;
    virtual int Resume() = 0;
    virtual int Stop(int releaseBuffer, int lockService) = 0;
    virtual int IsPlaying() = 0;
    // 0..1000
    virtual int SetVolume(int volume) = 0;
    // -1000..1000
    virtual int SetPan(int pan) = 0;
    // Samples per second; 0 is the decoder's own rate.
    virtual int SetFrequency(win32::DWORD frequency) = 0;
    virtual int Seek(std::uint64_t position, int lockService) = 0;
    virtual ~CSound();
    // 0, SoundNoDecoder, or 2 for a format other than PCM.
    virtual int Open(CInputFile* stream, int ownsStream, win32::DWORD flags);
    virtual int SetFormat(const win32::WAVEFORMATEX* format, std::uint64_t size, int forceStreaming);
    virtual int FillBuffer() = 0;
    virtual int Update() = 0;
    virtual std::uint64_t GetPlayPosition() = 0;

    // Removes the sound from its manager, deletes an owned stream, releases the decoder and the sound.
    void Close();
    // Milliseconds; 0 without a decoder.
    win32::DWORD GetDuration();
    win32::DWORD GetPosition();
    void SetPosition(win32::DWORD milliseconds);
    win32::DWORD GetFrequency();
    // Count 0 loops for ever; returns the count.
    int SetLoopCount(int loop, int count);
    int GetLoopsLeft();
    int IsLooping();
    int IsFinished();
    int IsPaused() { return paused_; }
    void GetFormat(win32::WAVEFORMATEX* format);
    CSoundFilter* GetDecoder() { return decoder_; }

protected:
    std::uint64_t Length();
    win32::DWORD BytesPerSecond();

    CSoundManager* manager_;
    CSoundFilter* decoder_;
    std::uint64_t current_; // output bytes
    std::uint64_t start_;   // taken by the next Play, then 0
    CInputFile* stream_;
    int ownsStream_;
    int volume_;
    int pan_;
    win32::DWORD frequency_;
    std::uint8_t loopSet_;
    std::uint8_t loopInUse_;
    int loopCountSet_;
    int loopsLeft_;
    win32::DWORD reserved_;
    int playing_;
    int paused_;
    int wholeBuffer_;
    win32::DWORD bufferSize_;
    int ended_;
    int globalFocus_;
};

// The sounds of one window.
class VTRS2_API CSoundManager {
public:
    explicit CSoundManager(CSoundAPI* device);
    virtual ~CSoundManager();
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    // Joins the device's list; 1, or 0 when the device cannot be used.
    virtual int Register(win32::HWND window);
    virtual void Unregister();
    virtual void Delete();
    virtual CSound* CreateSound() = 0;
    virtual void RemoveSound(CSound* sound);

    // A new sound over the stream, or null (the stream is then the caller's again).
    CSound* LoadSound(CInputFile* stream, int ownsStream, win32::DWORD flags);
    // Every sound (all = 1) or every playing or paused one is stopped; with all, the timer stops when no
    // manager of the device plays.
    void StopSounds(int all);
    int IsAnySoundPlaying();
    void PauseAll();
    void ResumeAll();
    void PlayAll();
    void StopTimerIfIdle();
    void UpdateSounds();
    CSoundFilterMgr* GetFilterMgr();
    CSoundAPI* GetDevice() { return device_; }
    int GetSoundCount();
    int HasSounds();
    int GetSoundListHead();
    CSound* GetNextSound(int& cursor);

protected:
    CSoundAPI* device_;
    int registered_;
    win32::DWORD reserved_;
    CIndexList sounds_;
};

// A sound device: its managers and the service timer that refills streamed sounds.
class VTRS2_API CSoundAPI {
public:
    explicit CSoundAPI(CSoundFilterMgr* filters);
    virtual ~CSoundAPI();
    CSoundAPI(const CSoundAPI&) = delete;
    CSoundAPI& operator=(const CSoundAPI&) = delete;

    virtual CSoundManager* CreateSoundManager(win32::HWND window) = 0;
    virtual void StopAll();
    // The output format for a decoder's format; 1 when one was chosen.
    virtual int GetOutputFormat(const win32::WAVEFORMATEX* decoder, win32::WAVEFORMATEX* output) = 0;
    virtual void Delete();
    virtual void ServiceManagers();

    // 1 when the timer runs.
    int StartTimer();
    void StopTimer();
    // Keeps the timer's service out (never called with the sound lock held), and lets it in again.
    void SuspendService();
    void ResumeService();
    // With the sound lock held.
    void AddManager(CSoundManager* manager);
    void RemoveManager(CSoundManager* manager);
    CIndexList& Managers() { return managers_; }
    int AnyManagerPlays();
    CSoundFilterMgr* GetFilterMgr() { return filters_; }
    int& ManagerCount() { return managerCount_; }

private:
    static void SoundTimerProc(win32::UINT id, win32::UINT, win32::DWORD_PTR user, win32::DWORD_PTR,
                               win32::DWORD_PTR);
    void TakeBusyFlag();

    CIndexList managers_;
    std::atomic<win32::LONG> busy_;
    int timerRunning_;
    win32::UINT timerId_;
    int managerCount_;
    CSoundFilterMgr* filters_;
};

// The manager of "*.sft" sound filters; the first one scanned in the process makes the sound device.
class VTRS2_API CSoundFilterMgr : public CFilterMgr {
public:
    CSoundFilterMgr();
    ~CSoundFilterMgr() override;

    void Scan(const win32::WCHAR* folder, win32::DWORD option);
    void ScanA(const char* folder, win32::DWORD option);
    // The last manager of the process also deletes the device.
    void FreeFilters() override;
    // A decoder that reads the stream, with its output format set to its own; null when none does.
    CSoundFilter* OpenDecoder(CInputFile* stream);

private:
    int counted_;
};

VTRS2_API CSoundFilterMgr* NewSoundFilterMgr();
// The device's manager for the window, or null without a device.
VTRS2_API CSoundManager* CreateSoundManagerForWindow(CSoundFilterMgr* filters, win32::HWND window);

// The process-wide sound lock (re-entrant), taken around the lists, registration, the device and the timer.
class VTRS2_API SoundLock {
public:
    SoundLock();
    ~SoundLock();
    SoundLock(const SoundLock&) = delete;
    SoundLock& operator=(const SoundLock&) = delete;
};

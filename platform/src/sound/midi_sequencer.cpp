// The MCI "sequencer" device: Standard MIDI Files played by FluidSynth with a General MIDI SoundFont into the
// layer's mix, the player timed by the samples rendered so that it keeps pace with what is heard.
#include "sound/fluid_library.h"
#include "sound/mixer.h"

#include "win32/mm.h"
#include "win32/user.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace win32 {

namespace {

using detail::Fluid;
using detail::Mixer;
using detail::MixRate;

// Debian's General MIDI SoundFonts, the small one first.
constexpr const char* SoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};
constexpr std::size_t RenderFrames = 512;
constexpr std::size_t MidiHeaderBytes = 14;
// A file larger than this is no MIDI tune.
constexpr DWORD MaxMidiBytes = 16u << 20;

// One synthesizer with its SoundFont loaded; loading takes long, so a closed device leaves its synthesizer
// for the next one.
struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    ~Synth() {
        if (synth) Fluid()->delete_fluid_synth(synth);
        if (settings) Fluid()->delete_fluid_settings(settings);
    }
};

void SilenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            Fluid()->fluid_set_log_function(level, nullptr, nullptr);
    });
}

std::unique_ptr<Synth> MakeSynth() {
    if (!Fluid()) return nullptr;
    SilenceFluidLog();
    auto made = std::make_unique<Synth>();
    made->settings = Fluid()->new_fluid_settings();
    if (!made->settings) return nullptr;
    Fluid()->fluid_settings_setnum(made->settings, "synth.sample-rate", MixRate);
    Fluid()->fluid_settings_setstr(made->settings, "player.timing-source", "sample");
    Fluid()->fluid_settings_setint(made->settings, "synth.threadsafe-api", 0);
    made->synth = Fluid()->new_fluid_synth(made->settings);
    if (!made->synth) return nullptr;
    for (const char* path : SoundFonts)
        if (Fluid()->fluid_is_soundfont(path) &&
            Fluid()->fluid_synth_sfload(made->synth, path, 1) != FLUID_FAILED)
            return made;
    return nullptr;
}

enum class Mode { Stopped, Playing, Paused };

class SequencerDevice final : public detail::MixSource {
public:
    SequencerDevice(MCIDEVICEID id, std::vector<std::uint8_t> file, std::unique_ptr<Synth> synth)
        : id_(id), file_(std::move(file)), synth_(std::move(synth)) {}
    ~SequencerDevice() override { DropPlayer(); }

    std::unique_ptr<Synth> TakeSynth() {
        DropPlayer();
        Fluid()->fluid_synth_system_reset(synth_->synth);
        return std::move(synth_);
    }

    // The commands, each with the mixer's lock held.
    MCIERROR Play(DWORD flags, const MCI_PLAY_PARMS* p);
    MCIERROR Pause(DWORD flags, DWORD_PTR callback);
    MCIERROR Stop(DWORD flags, DWORD_PTR callback);
    MCIERROR Status(DWORD flags, MCI_STATUS_PARMS* p);
    void Close() { EndNotice(MCI_NOTIFY_ABORTED); }

    void MixInto(float* out, std::size_t frames) override;

private:
    DWORD PositionMs() const { return static_cast<DWORD>(frames_ * 1000 / MixRate); }
    void DropPlayer() {
        if (!player_) return;
        Fluid()->fluid_player_stop(player_);
        Fluid()->delete_fluid_player(player_);
        player_ = nullptr;
    }
    bool Restart();
    void Render(float* left, float* right, std::size_t frames);
    void EndNotice(WPARAM notice) {
        if (!noticeWindow_) return;
        PostMessageW(noticeWindow_, MM_MCINOTIFY, notice, static_cast<LPARAM>(id_));
        noticeWindow_ = nullptr;
    }

    MCIDEVICEID id_;
    std::vector<std::uint8_t> file_;
    std::unique_ptr<Synth> synth_;
    fluid_player_t* player_ = nullptr;
    Mode mode_ = Mode::Stopped;
    bool atEnd_ = false;
    std::uint64_t frames_ = 0; // rendered while playing, from the start of the file
    HWND noticeWindow_ = nullptr;
    std::vector<float> left_, right_;
};

HWND NoticeWindow(DWORD_PTR callback) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(callback));
}

void Notify(DWORD flags, DWORD_PTR callback, MCIDEVICEID id) {
    if (flags & MCI_NOTIFY)
        PostMessageW(NoticeWindow(callback), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id));
}

bool SequencerDevice::Restart() {
    DropPlayer();
    Fluid()->fluid_synth_system_reset(synth_->synth);
    frames_ = 0;
    atEnd_ = false;
    player_ = Fluid()->new_fluid_player(synth_->synth);
    if (!player_) return false;
    if (Fluid()->fluid_player_add_mem(player_, file_.data(), file_.size()) != FLUID_OK ||
        Fluid()->fluid_player_play(player_) != FLUID_OK) {
        DropPlayer();
        return false;
    }
    return true;
}

void SequencerDevice::Render(float* left, float* right, std::size_t frames) {
    Fluid()->fluid_synth_write_float(synth_->synth, static_cast<int>(frames), left, 0, 1, right, 0, 1);
    if (mode_ != Mode::Playing) return;
    frames_ += frames;
    // The tune ends with its last event; the player itself goes on a while for notes to ring out.
    if (player_ && (Fluid()->fluid_player_get_status(player_) == FLUID_PLAYER_DONE ||
                    (Fluid()->fluid_player_get_total_ticks(player_) > 0 &&
                     Fluid()->fluid_player_get_current_tick(player_) >=
                         Fluid()->fluid_player_get_total_ticks(player_)))) {
        mode_ = Mode::Stopped;
        atEnd_ = true;
        EndNotice(MCI_NOTIFY_SUCCESSFUL);
    }
}

MCIERROR SequencerDevice::Play(DWORD flags, const MCI_PLAY_PARMS* p) {
    if ((flags & (MCI_NOTIFY | MCI_FROM)) && !p) return MCIERR_MISSING_PARAMETER;
    EndNotice(MCI_NOTIFY_SUPERSEDED);
    if (flags & MCI_FROM) {
        const DWORD from = p->dwFrom;
        if (!player_ || from != PositionMs()) {
            if (!Restart()) return MCIERR_INVALID_FILE;
            // Played silently up to the position asked for, so that notes held across it sound on.
            const std::uint64_t target = static_cast<std::uint64_t>(from) * MixRate / 1000;
            mode_ = Mode::Playing;
            while (frames_ < target && mode_ == Mode::Playing) {
                const std::size_t step =
                    static_cast<std::size_t>(std::min<std::uint64_t>(RenderFrames, target - frames_));
                left_.resize(step);
                right_.resize(step);
                Render(left_.data(), right_.data(), step);
            }
        }
    } else if (!player_ && !atEnd_ && !Restart()) {
        return MCIERR_INVALID_FILE;
    }
    if (flags & MCI_NOTIFY) noticeWindow_ = NoticeWindow(p->dwCallback);
    if (atEnd_) {
        // Played from the end: finished at once.
        mode_ = Mode::Stopped;
        EndNotice(MCI_NOTIFY_SUCCESSFUL);
        return 0;
    }
    mode_ = Mode::Playing;
    return 0;
}

MCIERROR SequencerDevice::Pause(DWORD flags, DWORD_PTR callback) {
    if (mode_ == Mode::Playing) {
        mode_ = Mode::Paused;
        Fluid()->fluid_synth_all_sounds_off(synth_->synth, -1);
        EndNotice(MCI_NOTIFY_ABORTED);
    }
    Notify(flags, callback, id_);
    return 0;
}

MCIERROR SequencerDevice::Stop(DWORD flags, DWORD_PTR callback) {
    if (mode_ != Mode::Stopped) {
        mode_ = Mode::Stopped;
        Fluid()->fluid_synth_all_sounds_off(synth_->synth, -1);
    }
    EndNotice(MCI_NOTIFY_ABORTED);
    Notify(flags, callback, id_);
    return 0;
}

MCIERROR SequencerDevice::Status(DWORD flags, MCI_STATUS_PARMS* p) {
    if (!p || !(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    switch (p->dwItem) {
    case MCI_STATUS_POSITION:
        p->dwReturn = PositionMs();
        break;
    case MCI_STATUS_MODE:
        p->dwReturn = mode_ == Mode::Playing  ? MCI_MODE_PLAY
                      : mode_ == Mode::Paused ? MCI_MODE_PAUSE
                                              : MCI_MODE_STOP;
        break;
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    Notify(flags, p->dwCallback, id_);
    return 0;
}

void SequencerDevice::MixInto(float* out, std::size_t frames) {
    // A stopped or paused device is silent; a finished tune still lets its last notes ring out. A device that
    // has played nothing yet is silent whatever its synthesizer, which may be the one a closed device left:
    // its count of voices still holds that tune's until the synthesizer renders again.
    if (mode_ == Mode::Paused) return;
    if (mode_ == Mode::Stopped &&
        (!player_ || Fluid()->fluid_synth_get_active_voice_count(synth_->synth) == 0))
        return;
    left_.resize(RenderFrames);
    right_.resize(RenderFrames);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t step = std::min(RenderFrames, frames - done);
        Render(left_.data(), right_.data(), step);
        for (std::size_t i = 0; i < step; ++i) {
            out[2 * (done + i)] += left_[i];
            out[2 * (done + i) + 1] += right_[i];
        }
        done += step;
    }
}

struct Devices {
    std::map<MCIDEVICEID, std::unique_ptr<SequencerDevice>> open;
    std::unique_ptr<Synth> spare;
    MCIDEVICEID nextId = 1;
};

// Reached with the mixer's lock held; never destroyed, like the mixer.
Devices& OpenDevices() {
    static auto* devices = new Devices;
    return *devices;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) {
                   return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

bool NamesMidiFile(std::u16string_view name) {
    for (std::u16string_view ext : {u".mid", u".midi", u".rmi"})
        if (name.size() > ext.size() && EqualsNoCase(name.substr(name.size() - ext.size()), ext)) return true;
    return false;
}

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

// The file's chunk list, walked before the synthesizer sees it: a header chunk of at least 6 bytes first,
// every chunk inside the file, at least one track. A tail too short for a chunk head is padding.
bool ChunksInsideFile(const std::vector<std::uint8_t>& bytes) {
    constexpr std::size_t ChunkHeadBytes = 8, HeaderDataBytes = 6;
    std::size_t at = 0;
    int tracks = 0;
    while (bytes.size() - at >= ChunkHeadBytes) {
        const std::uint32_t length = BigEndian32(bytes, at + 4);
        if (length > bytes.size() - at - ChunkHeadBytes) return false;
        const bool header = std::equal(bytes.begin() + at, bytes.begin() + at + 4, "MThd");
        if ((at == 0) != header || (header && length < HeaderDataBytes)) return false;
        if (std::equal(bytes.begin() + at, bytes.begin() + at + 4, "MTrk")) ++tracks;
        at += ChunkHeadBytes + length;
    }
    return tracks > 0;
}

MCIERROR ReadMidiFile(LPCWSTR name, std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return MCIERR_FILE_NOT_FOUND;
    const DWORD size = GetFileSize(file, nullptr);
    MCIERROR result = 0;
    if (size == INVALID_FILE_SIZE || size < MidiHeaderBytes || size > MaxMidiBytes) {
        result = MCIERR_INVALID_FILE;
    } else {
        bytes.resize(size);
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), size, &read, nullptr) || read != size) result = MCIERR_INVALID_FILE;
    }
    CloseHandle(file);
    if (result == 0 && !ChunksInsideFile(bytes)) result = MCIERR_INVALID_FILE;
    return result;
}

MCIERROR Open(DWORD flags, MCI_OPEN_PARMSW* p) {
    if (!p || !(flags & MCI_OPEN_ELEMENT) || !p->lpstrElementName) return MCIERR_MISSING_PARAMETER;
    const std::u16string_view element(p->lpstrElementName);
    if (flags & MCI_OPEN_TYPE) {
        if (!p->lpstrDeviceType || !EqualsNoCase(p->lpstrDeviceType, u"sequencer"))
            return MCIERR_INVALID_DEVICE_NAME;
    } else if (!NamesMidiFile(element)) {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    std::vector<std::uint8_t> bytes;
    if (const MCIERROR e = ReadMidiFile(p->lpstrElementName, bytes)) return e;
    if (!Mixer::Get().Start()) return MCIERR_HARDWARE;
    std::unique_ptr<Synth> synth;
    {
        std::lock_guard guard(Mixer::Get().Lock());
        synth = std::move(OpenDevices().spare);
    }
    // Made outside the mixer's lock: loading the SoundFont takes a while.
    if (!synth) synth = MakeSynth();
    if (!synth) {
        Mixer::Get().Stop();
        return MCIERR_HARDWARE;
    }
    std::lock_guard guard(Mixer::Get().Lock());
    Devices& devices = OpenDevices();
    const MCIDEVICEID id = devices.nextId++;
    auto device = std::make_unique<SequencerDevice>(id, std::move(bytes), std::move(synth));
    Mixer::Get().Add(device.get());
    devices.open[id] = std::move(device);
    p->wDeviceID = id;
    Notify(flags, p->dwCallback, id);
    return 0;
}

void Close(SequencerDevice& device, MCIDEVICEID id, DWORD flags, DWORD_PTR parameters) {
    Devices& devices = OpenDevices();
    device.Close();
    Mixer::Get().Remove(&device);
    auto synth = device.TakeSynth();
    if (!devices.spare) devices.spare = std::move(synth);
    devices.open.erase(id);
    if (parameters) Notify(flags, reinterpret_cast<MCI_GENERIC_PARMS*>(parameters)->dwCallback, id);
}

DWORD_PTR CallbackOf(DWORD_PTR parameters) {
    return parameters ? reinterpret_cast<MCI_GENERIC_PARMS*>(parameters)->dwCallback : 0;
}

} // namespace

MCIERROR mciSendCommandW(MCIDEVICEID id, UINT message, DWORD_PTR flags32, DWORD_PTR parameters) {
    const auto flags = static_cast<DWORD>(flags32);
    if (message == MCI_OPEN) return Open(flags, reinterpret_cast<MCI_OPEN_PARMSW*>(parameters));
    if (message == MCI_CLOSE) {
        {
            std::lock_guard guard(Mixer::Get().Lock());
            auto found = OpenDevices().open.find(id);
            if (found == OpenDevices().open.end()) return MCIERR_INVALID_DEVICE_ID;
            Close(*found->second, id, flags, parameters);
        }
        // The device was a user of the mix.
        Mixer::Get().Stop();
        return 0;
    }
    std::lock_guard guard(Mixer::Get().Lock());
    Devices& devices = OpenDevices();
    auto found = devices.open.find(id);
    if (found == devices.open.end()) return MCIERR_INVALID_DEVICE_ID;
    SequencerDevice& device = *found->second;
    switch (message) {
    case MCI_PLAY:
        return device.Play(flags, reinterpret_cast<const MCI_PLAY_PARMS*>(parameters));
    case MCI_PAUSE:
        return device.Pause(flags, CallbackOf(parameters));
    case MCI_STOP:
        return device.Stop(flags, CallbackOf(parameters));
    case MCI_STATUS:
        return device.Status(flags, reinterpret_cast<MCI_STATUS_PARMS*>(parameters));
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

} // namespace win32

// The one MIDI music of a context through the MCI sequencer: opening and playing with an end notice,
// replaying loops on the notice, pausing at a position and resuming from it, closing.
#include "channels_internal.h"

#include "vtrs2/memory.h"
#include "win32/mm.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

constexpr DWORD ProtectionBits = PlayProtected | PlayForced;

DWORD_PTR NoticeTarget(HWND window) {
    return reinterpret_cast<DWORD_PTR>(window);
}

MCIERROR PlayFrom(MCIDEVICEID device, HWND window, const DWORD* from) {
    MCI_PLAY_PARMS play{NoticeTarget(window), from ? *from : 0, 0};
    return mciSendCommandW(device, MCI_PLAY, MCI_NOTIFY | (from ? MCI_FROM : 0),
                           reinterpret_cast<DWORD_PTR>(&play));
}

// Open music still sounding: a tune that has played to its end no longer holds the device.
bool StillSounding(const AppContext* context) {
    if (context->music.deviceId == -1) return false;
    MCI_STATUS_PARMS status{0, 0, MCI_STATUS_MODE, 0};
    if (mciSendCommandW(static_cast<MCIDEVICEID>(context->music.deviceId), MCI_STATUS, MCI_STATUS_ITEM,
                        reinterpret_cast<DWORD_PTR>(&status)) != 0)
        return false;
    return status.dwReturn != MCI_MODE_STOP;
}

void ClearRecord(AppContext* context) {
    MusicRecord& m = context->music;
    m.item = 0;
    m.flags = 0;
    m.window = nullptr;
    m.loopsLeft = 0;
    m.paused = 0;
    m.savedPosition = 0;
}

} // namespace

namespace sound {

std::u16string MusicItemFileName(ContextBanks* banks, DWORD handle) {
    const auto* item = reinterpret_cast<const SoundItem*>(GetBankItem(banks, BankSounds, handle));
    if (!item) return {};
    std::u16string name(item->header.dataSize / sizeof(WCHAR), u'\0');
    std::memcpy(name.data(), BankItemData(&item->header), name.size() * sizeof(WCHAR));
    name.resize(std::char_traits<char16_t>::length(name.c_str()));
    return name;
}

void CloseMusic(AppContext* context) {
    MusicRecord& m = context->music;
    if (m.deviceId != -1) mciSendCommandW(static_cast<MCIDEVICEID>(m.deviceId), MCI_CLOSE, 0, 0);
    m.deviceId = -1;
    FreeMemory(&context->musicName);
}

bool MusicLoaded(const AppContext* context) {
    return context->music.item != 0 || context->musicName != nullptr;
}

bool MusicMatches(const AppContext* context, SoundReference sound) {
    const MusicRecord& m = context->music;
    if (IsNameReference(sound))
        return context->musicName && SameFileName(context->musicName, NameOfReference(sound));
    const DWORD handle = HandleOfReference(sound);
    return handle && m.item == handle && !(m.flags & (PlayAnsiName | PlayWideName));
}

int PlayMusic(AppContext* context, SoundReference sound, std::u16string_view element, HWND window,
              DWORD flags, int loops, bool ansiEntry) {
    MusicRecord& m = context->music;
    if ((m.flags & ProtectionBits) && !(flags & PlayForced) && StillSounding(context)) return PlayFailed;
    CloseMusic(context);
    ClearRecord(context);
    if (element.empty()) return PlayFailed;
    WCHAR* name = CopyName(element);
    if (!name) return PlayFailed;
    MCI_OPEN_PARMSW open{0, 0, u"sequencer", name, nullptr};
    if (const MCIERROR e = mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                                           reinterpret_cast<DWORD_PTR>(&open))) {
        FreeMemory(&name);
        return static_cast<int>(e);
    }
    if (const MCIERROR e = PlayFrom(open.wDeviceID, window, nullptr)) {
        mciSendCommandW(open.wDeviceID, MCI_CLOSE, 0, 0);
        FreeMemory(&name);
        return static_cast<int>(e);
    }
    m.deviceId = static_cast<std::int32_t>(open.wDeviceID);
    m.loopsLeft = loops;
    const bool named = (flags & PlayWideName) != 0;
    // The ANSI entry keeps its flags as given, naming its file with 0x40.
    m.flags = ansiEntry ? (flags & ~PlayWideName) | PlayAnsiName : flags | (named ? PlayWideName : 0);
    m.window = window;
    context->musicName = name;
    m.item = named ? reinterpret_cast<std::uintptr_t>(name) : HandleOfReference(sound);
    return PlayStarted;
}

// The end notice: loops replay from the start, the last one closes the music.
void MusicEnded(AppContext* context) {
    MusicRecord& m = context->music;
    bool replay = false;
    if (m.flags & PlayLoops) {
        if (m.loopsLeft == 0) {
            replay = true;
        } else {
            replay = m.loopsLeft != 1;
            --m.loopsLeft;
        }
    }
    if (!replay) {
        CloseMusic(context);
        ClearRecord(context);
        return;
    }
    if (m.deviceId != -1) {
        const DWORD start = 0;
        PlayFrom(static_cast<MCIDEVICEID>(m.deviceId), m.window, &start);
        return;
    }
    if (!context->musicName) return;
    // Played again from the record's own copy of the name, which the new play replaces.
    const std::u16string name = context->musicName;
    const DWORD flags = (m.flags & ~PlayAnsiName) | PlayWideName | (SoundKindMusic << PlayKindShift);
    PlaySoundItemW(nullptr, context, name.c_str(), m.window, flags, m.loopsLeft, 0);
}

void StopMusic(AppContext* context, SoundReference sound) {
    if (sound == MusicEndNotice()) {
        MusicEnded(context);
        return;
    }
    CloseMusic(context);
    ClearRecord(context);
}

DWORD PauseMusic(AppContext* context) {
    MusicRecord& m = context->music;
    if (m.deviceId == -1 || m.paused) return 0;
    const auto device = static_cast<MCIDEVICEID>(m.deviceId);
    MCI_STATUS_PARMS status{0, 0, MCI_STATUS_POSITION, 0};
    m.savedPosition =
        mciSendCommandW(device, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) == 0
            ? static_cast<DWORD>(status.dwReturn)
            : 0;
    MCI_GENERIC_PARMS pause{0};
    const MCIERROR e = mciSendCommandW(device, MCI_PAUSE, 0, reinterpret_cast<DWORD_PTR>(&pause));
    if (e == 0) m.paused = 1;
    return e;
}

DWORD ResumeMusic(AppContext* context) {
    MusicRecord& m = context->music;
    if (m.deviceId == -1 || !m.paused) return 0;
    const auto device = static_cast<MCIDEVICEID>(m.deviceId);
    const MCIERROR e = PlayFrom(device, m.window, m.savedPosition ? &m.savedPosition : nullptr);
    if (e == 0) {
        m.paused = 0;
        m.savedPosition = 0;
    }
    return e;
}

} // namespace sound

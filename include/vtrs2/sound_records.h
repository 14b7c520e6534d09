// The records of the plain sound interface: bank-1 sound items, the 32 channels of an application context
// and its music.
#pragma once

#include "vtrs2/banks.h"
#include "win32/types.h"

#include <cstdint>

class CSound;

constexpr int SoundChannelCount = 32;

// Kinds in the low 4 bits of an item's kind word, and of the play flags' bits 16..19.
constexpr win32::DWORD SoundKindMask = 0xF;
constexpr win32::DWORD SoundKindSample = 1;
constexpr win32::DWORD SoundKindMusic = 2;
// The data is still in the application file (a SoundFileReference), to be read when first played.
constexpr win32::DWORD SoundInFile = 0x10;
// The sample is streamed from the application file each time it plays.
constexpr win32::DWORD SoundStreamedFromFile = 0x20;
// Adder flag: an equal item already there is shared instead; not kept in the item.
constexpr win32::DWORD SoundDeduplicate = 0x10000;

// A bank-1 item: the common header, then these words, the wide name and the data.
struct SoundItem {
    BankItemHeader header; // data begins 28 + 2 x name length bytes from the start
    win32::DWORD checksum; // 16 significant bits
    win32::DWORD kind;
    win32::DWORD reserved;
    win32::DWORD nameLength; // (characters + 4) & ~3: name and terminator fill whole 8-byte units
};
static_assert(sizeof(SoundItem) == 28);

inline const win32::WCHAR* SoundItemName(const SoundItem* item) {
    return reinterpret_cast<const win32::WCHAR*>(item + 1);
}

// What the program hands to AddSoundItemW as the data of an item whose payload stays in the application
// file: a block of `size` bytes at `position` (the wide name of `nameLength` characters, then the sound),
// stored plainly or, when `compressed`, as a u32 compressed length and a zlib stream. A file of
// INVALID_HANDLE_VALUE is opened by `fileName`.
struct SoundFileDescriptor {
    win32::HANDLE file;
    win32::DWORD position;
    win32::DWORD size;
    win32::DWORD nameLength;
    win32::DWORD compressed;
    const win32::WCHAR* fileName;
};

// The data of such an item: the descriptor's fields, with the file name copied behind them (zero-terminated,
// empty when the file is opened by handle). Item data is not aligned for it: it is copied out to be read.
struct SoundFileReference {
    win32::HANDLE file;
    win32::DWORD position;
    win32::DWORD size;
    win32::DWORD nameLength;
    win32::DWORD compressed;
};

struct SoundItemInfo {
    win32::DWORD checksum;
    win32::DWORD refCount;
    // Data size plus the name: in bytes for the wide form, characters for the ANSI form.
    win32::DWORD size;
    win32::DWORD kind;
    win32::DWORD reserved;
    win32::DWORD nameLength;
};

// Play flags (the low 16 bits are kept in the channel or music record).
constexpr win32::DWORD PlayProtected = 0x01;
constexpr win32::DWORD PlayForced = 0x02; // may take a protected or busy channel
constexpr win32::DWORD PlayLoops = 0x10;  // the loop count is used
constexpr win32::DWORD PlayGlobalFocus = 0x20;
constexpr win32::DWORD PlayAnsiName = 0x40;
constexpr win32::DWORD PlayWideName = 0x80;
constexpr int PlayKindShift = 16;
// Channel flags beyond the play flags.
constexpr win32::DWORD ChannelReserved = 0x10000;

struct SoundChannel {
    win32::DWORD handle;    // the bank-1 handle played; 0 when free or playing a file
    void* fileName;         // a heap copy of the file played: ANSI with PlayAnsiName, wide with PlayWideName
    win32::DWORD flags;     // low 16 bits: the play flags; ChannelReserved
    CSound* sound;          // null when free
    std::int32_t volume;    // 0..100
    std::int32_t pan;       // -100..100
    win32::DWORD frequency; // samples per second; 0 is the sound's own
};

// The one MIDI music of a context, played through the MCI sequencer.
struct MusicRecord {
    std::int32_t deviceId; // -1 when closed
    // The bank handle (0xFFFF and below), or the context's copy of the file name.
    std::uintptr_t item;
    win32::DWORD flags;     // the play flags; PlayLoops, PlayAnsiName, PlayWideName
    win32::HWND window;     // where the end notice goes
    std::int32_t loopsLeft; // 0: for ever
    std::int32_t paused;
    win32::DWORD savedPosition; // milliseconds, from the pause
};

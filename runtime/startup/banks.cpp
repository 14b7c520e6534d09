#include "startup/banks.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/runtime_services.h"
#include "startup/chunk_reader.h"
#include "startup/object_infos.h"
#include "startup/sound_items.h"

#include "vtrs2/banks.h"
#include "vtrs2/fonts.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint32_t BuildWithShiftedOffsets = 283;
constexpr std::uint32_t OffsetShift = 256;
constexpr std::size_t ImageHeaderBytes = 32;
constexpr std::uint8_t ImageDataDeflated = 0x08;
constexpr std::uint8_t ImagePackingBits = 0x07;
constexpr std::size_t FontRecordWide = 104;
constexpr std::size_t FontRecordNarrow = 72;
// No item of the application data is larger; a size above it is damage, not a reason to allocate.
constexpr std::uint32_t MaxItemBytes = 64u << 20;
// zlib never inflates beyond about 1032 times its input; a larger stated size is damage.
constexpr std::uint64_t MaxInflateRatio = 1032;

bool PlausibleInflatedSize(std::uint32_t size, std::size_t packed) {
    return size <= MaxItemBytes && size <= MaxInflateRatio * packed + 64;
}

bool ValidKind(int kind) {
    return kind >= 0 && kind < AppBankCount;
}

// What is left in the stream; a stated size beyond it is damage, not a reason to allocate.
std::size_t Remaining(CInputFile& s) {
    const LONG at = s.GetPosition();
    const LONG end = s.Seek(0, SeekFromEnd);
    s.Seek(at, SeekFromStart);
    return end > at ? static_cast<std::size_t>(end - at) : 0;
}

bool ReadBytes(CInputFile& s, std::vector<std::uint8_t>& out, std::uint32_t size) {
    if (size > MaxItemBytes || size > Remaining(s)) return false;
    out.resize(size);
    return size == 0 || s.Read(out.data(), static_cast<LONG>(size)) == StreamOk;
}

// A little-endian field read whole from the stream.
template <typename T> bool ReadField(CInputFile& s, T& v) {
    return vtrformat::ReadFieldFrom(
               [&s](std::uint8_t* bytes, std::size_t n) { return s.Read(bytes, static_cast<LONG>(n)); }, v) ==
           StreamOk;
}

// The item's bytes: as stored, or inflated from {u32 size, u32 compressed size, zlib stream}.
bool ReadItem(ApplicationBanks& b, std::size_t fixedBytes, std::vector<std::uint8_t>& out) {
    CInputFile& s = *b.stream;
    if (!b.itemsCompressed) return ReadBytes(s, out, static_cast<std::uint32_t>(fixedBytes));
    std::uint32_t size = 0, packed = 0;
    if (!ReadField(s, size)) return false;
    // The compressed size is looked at first, so that a damaged one allocates nothing; the block reader then
    // reads it again.
    const LONG block = s.GetPosition();
    if (!ReadField(s, packed) || !PlausibleInflatedSize(size, packed) || packed > Remaining(s)) return false;
    s.Seek(block, SeekFromStart);
    out.resize(size);
    return ReadCompressedBlock(out.data(), size, s) == 0;
}

std::uint32_t LoadImage(ApplicationBanks& b) {
    std::vector<std::uint8_t> item;
    CInputFile& s = *b.stream;
    std::uint32_t dataSize = 0;
    if (b.itemsCompressed) {
        if (!ReadItem(b, 0, item)) return 0;
    } else {
        if (!ReadBytes(s, item, ImageHeaderBytes)) return 0;
    }
    ByteReader r(item);
    std::int16_t width = 0, height = 0, hotX = 0, hotY = 0, actionX = 0, actionY = 0;
    std::uint8_t mode = 0, flags = 0;
    std::uint32_t transparent = 0;
    if (!r.Skip(8) || !r.U32(dataSize) || !r.I16(width) || !r.I16(height) || !r.U8(mode) || !r.U8(flags) ||
        !r.Skip(2) || !r.I16(hotX) || !r.I16(hotY) || !r.I16(actionX) || !r.I16(actionY) ||
        !r.U32(transparent))
        return 0;
    if (dataSize == 0) return 0;
    std::vector<std::uint8_t> pixels;
    if (b.itemsCompressed) {
        if (dataSize > r.Left()) return 0;
        pixels.assign(item.begin() + static_cast<std::ptrdiff_t>(r.Position()),
                      item.begin() + static_cast<std::ptrdiff_t>(r.Position() + dataSize));
    } else if (!ReadBytes(s, pixels, dataSize)) {
        return 0;
    }
    if (flags & ImageDataDeflated) {
        if (pixels.size() < 4) return 0;
        const std::uint32_t size =
            static_cast<std::uint32_t>(pixels[0] | (pixels[1] << 8) | (pixels[2] << 16)) |
            (static_cast<std::uint32_t>(pixels[3]) << 24);
        if (!PlausibleInflatedSize(size, pixels.size() - 4)) return 0;
        std::vector<std::uint8_t> inflated(size);
        if (InflateBlock(inflated.data(), size, pixels.data() + 4,
                         static_cast<std::uint32_t>(pixels.size() - 4)))
            return 0;
        pixels = std::move(inflated);
        flags &= static_cast<std::uint8_t>(~ImageDataDeflated);
    }
    const bool blank = width < 1 || height < 1;
    if (blank) {
        width = height = 8;
        flags &= static_cast<std::uint8_t>(~ImagePackingBits);
    }
    // Unpacked pixels must cover the image; the library would size the item before it looks.
    if (!blank && !(flags & ImagePackingBits)) {
        const DWORD needed = GetImageDataSize(width, height, mode);
        if (needed == 0 || pixels.size() < needed) return 0;
    }
    const std::uint32_t loadFlags = b.noPacking ? ImageLoadFlagsNoPacking : ImageLoadFlags;
    const DWORD addFlags = (static_cast<DWORD>(flags) << 8) | mode | (loadFlags & 0xF0);
    return AddImage(b.library, b.targetMode, width, height, hotX, hotY, actionX, actionY, transparent,
                    addFlags, blank ? nullptr : pixels.data(), blank ? 0 : pixels.size(), nullptr);
}

std::uint32_t LoadFont(ApplicationBanks& b) {
    std::vector<std::uint8_t> record;
    const std::size_t bytes = b.unicode ? FontRecordWide : FontRecordNarrow;
    if (!ReadItem(b, bytes, record) || record.size() < bytes) return 0;
    return b.unicode ? AddFont(b.library, 0, record.data()) : AddFontA(b.library, 0, record.data());
}

void LibraryAddRef(ApplicationBanks& b, int kind, std::uint32_t handle) {
    if (kind == AppBankImages) AddImageRef(b.library, handle);
    if (kind == AppBankFonts) AddFontRef(b.library, handle);
    if (kind == AppBankSounds || kind == AppBankMusic) AddSoundItemReference(b, handle);
}

void LibraryRelease(ApplicationBanks& b, int kind, std::uint32_t handle) {
    if (kind == AppBankImages) ReleaseImage(b.library, handle);
    if (kind == AppBankFonts) ReleaseFont(b.library, handle);
    if (kind == AppBankSounds || kind == AppBankMusic) ReleaseSoundItemReference(b, kind, handle);
}

int LibraryBank(int kind) {
    return kind == AppBankImages ? BankImages : kind == AppBankFonts ? BankFonts : BankSounds;
}

// Releases every reference this application holds on the item and forgets it.
void Forget(ApplicationBanks& b, int kind, std::uint16_t index) {
    AppBank& bank = b.banks[kind];
    const std::uint32_t handle = bank.forward[index];
    for (; bank.held[index] > 0; --bank.held[index])
        LibraryRelease(b, kind, handle);
    SetBankMapping(b, kind, index, 0);
    if (handle < bank.reverse.size()) bank.reverse[handle] = NoStoredIndex;
}

} // namespace

bool ReadBankItemBytes(ApplicationBanks& banks, std::size_t fixedBytes, std::vector<std::uint8_t>& out) {
    return banks.stream && ReadItem(banks, fixedBytes, out);
}

bool ReadBankStreamBytes(ApplicationBanks& banks, std::uint32_t size, std::vector<std::uint8_t>& out) {
    return banks.stream && ReadBytes(*banks.stream, out, size);
}

void ReadBankChunk(ApplicationBanks& banks, int kind, std::uint32_t payloadPosition) {
    if (!ValidKind(kind)) return;
    banks.banks[kind].present = true;
    banks.banks[kind].payloadPosition = payloadPosition;
}

bool ReadBankOffsets(ApplicationBanks& banks, int kind, std::span<const std::uint8_t> payload) {
    if (!ValidKind(kind)) return false;
    AppBank& bank = banks.banks[kind];
    const std::size_t count = payload.size() / 4;
    // Stored indexes are 16-bit and 0xFFFF means none.
    if (count >= NoStoredIndex) return false;
    const bool shifted = banks.build > BuildWithShiftedOffsets && banks.itemsCompressed;
    try {
        bank.offsets.assign(count, 0);
        bank.hasItem.assign(count, 0);
        bank.forward.assign(count + 1, 0);
        bank.held.assign(count + 1, 0);
        bank.reverse.assign(ReverseMapStep, NoStoredIndex);
    } catch (const std::bad_alloc&) {
        return false;
    }
    ByteReader r(payload);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t offset = 0;
        r.U32(offset);
        if (offset == 0) continue;
        // An item may sit at the very start of the bank payload: presence is kept apart from the offset.
        if (shifted) {
            if (offset < OffsetShift) continue;
            offset -= OffsetShift;
        }
        bank.offsets[i] = offset + bank.payloadPosition;
        bank.hasItem[i] = 1;
    }
    return true;
}

bool SetBankMapping(ApplicationBanks& banks, int kind, std::uint16_t index, std::uint32_t handle) {
    if (!ValidKind(kind)) return false;
    AppBank& bank = banks.banks[kind];
    // Handles travel as 16 bits; a larger one cannot be mapped rather than wrap onto another item.
    if (index >= bank.offsets.size() || handle >= NoStoredIndex) return false;
    if (handle >= bank.reverse.size()) {
        try {
            bank.reverse.resize(handle + ReverseMapStep, NoStoredIndex);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    bank.forward[index] = static_cast<std::uint16_t>(handle);
    if (handle) bank.reverse[handle] = index;
    return true;
}

std::uint16_t StoredIndexOfHandle(const ApplicationBanks& banks, int kind, std::uint32_t handle) {
    if (!ValidKind(kind)) return NoStoredIndex;
    const AppBank& bank = banks.banks[kind];
    return handle < bank.reverse.size() ? bank.reverse[handle] : NoStoredIndex;
}

ContextBanks* CurrentLibraryBanks() {
    const ApplicationRecord* app = CurrentApplication();
    return app && app->banks ? app->banks->library : nullptr;
}

std::uint32_t HandleOfStoredIndex(const ApplicationBanks& banks, int kind, std::uint16_t index) {
    if (!ValidKind(kind)) return 0;
    const AppBank& bank = banks.banks[kind];
    return index < bank.offsets.size() ? bank.forward[index] : 0;
}

std::uint32_t LoadBankItem(ApplicationBanks& banks, int kind, std::uint16_t index) {
    if (!ValidKind(kind)) return 0;
    AppBank& bank = banks.banks[kind];
    if (index == NoStoredIndex || index >= bank.offsets.size()) return 0;
    if (const std::uint32_t handle = bank.forward[index]) {
        AddBankItemReference(banks, kind, handle);
        return handle;
    }
    if (!bank.present || !bank.hasItem[index] || !banks.stream || !banks.library) return 0;
    if (banks.stream->Seek(static_cast<LONG>(bank.offsets[index]), SeekFromStart) !=
        static_cast<LONG>(bank.offsets[index]))
        return 0;
    std::uint32_t handle = 0;
    try {
        if (kind == AppBankImages) handle = LoadImage(banks);
        if (kind == AppBankFonts) handle = LoadFont(banks);
        if (kind == AppBankSounds || kind == AppBankMusic) handle = LoadSoundBankItem(banks, kind);
    } catch (const std::bad_alloc&) {
        handle = 0;
    }
    if (!handle) return 0;
    if (!SetBankMapping(banks, kind, index, handle)) {
        LibraryRelease(banks, kind, handle);
        return 0;
    }
    bank.held[index] = 1;
    return handle;
}

void AddBankItemReference(ApplicationBanks& banks, int kind, std::uint32_t handle) {
    const std::uint16_t index = StoredIndexOfHandle(banks, kind, handle);
    if (index == NoStoredIndex) return;
    LibraryAddRef(banks, kind, handle);
    ++banks.banks[kind].held[index];
}

void ReleaseBankItem(ApplicationBanks& banks, int kind, std::uint32_t handle) {
    const std::uint16_t index = StoredIndexOfHandle(banks, kind, handle);
    if (index == NoStoredIndex || banks.banks[kind].held[index] == 0) return;
    LibraryRelease(banks, kind, handle);
    if (--banks.banks[kind].held[index] == 0) Forget(banks, kind, index);
}

std::uint32_t GetBankItemReferenceCount(const ApplicationBanks& banks, int kind, std::uint32_t handle) {
    if (!ValidKind(kind) || !banks.library) return 0;
    const BankItemHeader* item = GetBankItem(banks.library, LibraryBank(kind), handle);
    return item ? item->refCount : 0;
}

int LoadFrameBankItems(ApplicationBanks& banks, const FrameBankUses& uses,
                       bool (*isPlaying)(int kind, std::uint32_t handle)) {
    try {
        for (int k = 0; k < AppBankCount; ++k) {
            AppBank& bank = banks.banks[k];
            bank.useCounts.assign(bank.offsets.size() + 1, 0);
            for (std::uint16_t index : uses.indexes[k])
                if (index < bank.offsets.size()) ++bank.useCounts[index];
        }
    } catch (const std::bad_alloc&) {
        return ErrorOutOfMemory;
    }
    for (int k = 0; k < AppBankCount; ++k) {
        AppBank& bank = banks.banks[k];
        if (banks.library) LockBank(banks.library, LibraryBank(k));
        for (std::size_t i = 0; i < bank.offsets.size(); ++i) {
            const auto index = static_cast<std::uint16_t>(i);
            const std::uint32_t handle = bank.forward[i];
            if (!handle) continue;
            if (GetBankItemReferenceCount(banks, k, handle) == 0) {
                // The library no longer has it: forget it and load it again if it is used.
                bank.held[i] = 0;
                SetBankMapping(banks, k, index, 0);
                if (handle < bank.reverse.size()) bank.reverse[handle] = NoStoredIndex;
                continue;
            }
            const std::uint32_t use = bank.useCounts[i];
            if (use == 0) {
                const bool sound = k == AppBankSounds || k == AppBankMusic;
                if (!(sound && isPlaying && isPlaying(k, handle))) Forget(banks, k, index);
                continue;
            }
            // Only this application's own references move; what others hold stays.
            for (; bank.held[i] < use; ++bank.held[i])
                LibraryAddRef(banks, k, handle);
            for (; bank.held[i] > use; --bank.held[i])
                LibraryRelease(banks, k, handle);
        }
        for (std::size_t i = 0; i < bank.offsets.size(); ++i) {
            const std::uint32_t use = bank.useCounts[i];
            if (use == 0 || bank.forward[i]) continue;
            const std::uint32_t handle = LoadBankItem(banks, k, static_cast<std::uint16_t>(i));
            if (!handle) continue;
            for (; bank.held[i] < use; ++bank.held[i])
                LibraryAddRef(banks, k, handle);
        }
        if (banks.library) UnlockBank(banks.library, LibraryBank(k));
        bank.useCounts.clear();
        bank.useCounts.shrink_to_fit();
    }
    return 0;
}

bool HoldRuntimeImage(ApplicationBanks& banks, std::uint32_t handle, std::uint32_t references) {
    if (handle == 0) return false;
    try {
        if (banks.runtimeImages.size() <= handle) banks.runtimeImages.resize(handle + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    banks.runtimeImages[handle] += references;
    return true;
}

void ReleaseImageUse(ApplicationBanks& banks, std::uint32_t handle) {
    if (handle < banks.runtimeImages.size() && banks.runtimeImages[handle] > 0) {
        --banks.runtimeImages[handle];
        if (banks.library) ReleaseImage(banks.library, handle);
        return;
    }
    ReleaseBankItem(banks, AppBankImages, handle);
}

void FreeBanks(ApplicationBanks& banks) {
    for (std::size_t handle = 0; handle < banks.runtimeImages.size(); ++handle)
        for (; banks.runtimeImages[handle] > 0; --banks.runtimeImages[handle])
            if (banks.library) ReleaseImage(banks.library, static_cast<std::uint32_t>(handle));
    banks.runtimeImages.clear();
    for (int k = 0; k < AppBankCount; ++k) {
        AppBank& bank = banks.banks[k];
        for (std::size_t i = 0; i < bank.offsets.size(); ++i)
            if (bank.forward[i]) Forget(banks, k, static_cast<std::uint16_t>(i));
        bank = AppBank{};
    }
}

} // namespace vtrrt

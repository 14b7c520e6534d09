// Bank-1 sound and music items: adding with the checksum, sharing, finding by name, and their data.
#include "channels_internal.h"

#include "vtrs2/compat.h"
#include "vtrs2/memory.h"
#include "vtrs2/rle_codec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace win32;

namespace {

constexpr DWORD StoredKindBits = 0xFFFF;
constexpr UINT SystemCodePage = 0;

DWORD StoredNameLength(std::size_t characters) {
    return static_cast<DWORD>((characters + 4) & ~std::size_t{3});
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return Lower(x) == Lower(y); });
}

SoundItem* ItemOf(ContextBanks* banks, DWORD handle) {
    auto* item = reinterpret_cast<SoundItem*>(GetBankItem(banks, BankSounds, handle));
    if (!item || item->header.headerSize < sizeof(SoundItem)) return nullptr;
    return item;
}

std::u16string_view NameOf(const SoundItem* item) {
    const WCHAR* name = SoundItemName(item);
    std::size_t n = 0;
    while (n < item->nameLength && name[n])
        ++n;
    return {name, n};
}

// Over the kind, reserved word and name length (as the ANSI name's), then the ANSI name with its terminator,
// (ANSI length & ~3) + 16 bytes in all from a zero-padded copy, then the data.
DWORD SoundChecksum(const SoundItem* item) {
    char* ansi = ToNarrowString(std::u16string(NameOf(item)).c_str(), SystemCodePage);
    const std::size_t length = ansi ? std::strlen(ansi) : 0;
    std::vector<BYTE> head((length & ~std::size_t{3}) + 16, 0);
    const DWORD words[3] = {item->kind, item->reserved, static_cast<DWORD>((length + 4) & ~std::size_t{3})};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            head[static_cast<std::size_t>(i * 4 + b)] = static_cast<BYTE>(words[i] >> (8 * b));
    if (ansi) std::memcpy(head.data() + 12, ansi, length);
    FreeString(ansi);
    const DWORD sum = ComputeItemChecksum(head.data(), head.size());
    return ContinueChecksum(BankItemData(&item->header), item->header.dataSize, sum);
}

// Data of an in-file item: the descriptor's fields and, for a file opened by name, the name copied behind.
bool ReferenceData(const void* data, DWORD size, std::vector<BYTE>& out) {
    if (!data || size < sizeof(SoundFileDescriptor)) return false;
    SoundFileDescriptor d;
    std::memcpy(&d, data, sizeof d);
    const std::u16string name = d.file == INVALID_HANDLE_VALUE && d.fileName ? d.fileName : u"";
    if (d.file == INVALID_HANDLE_VALUE && name.empty()) return false;
    out.assign(sizeof(SoundFileReference) + (name.size() + 1) * sizeof(WCHAR), 0);
    const SoundFileReference r{d.file, d.position, d.size, d.nameLength, d.compressed};
    std::memcpy(out.data(), &r, sizeof r);
    std::memcpy(out.data() + sizeof r, name.c_str(), name.size() * sizeof(WCHAR));
    return true;
}

// Builds the item in place at `handle` (0 adds a new one).
DWORD StoreItem(ContextBanks* banks, DWORD kind, DWORD handle, const WCHAR* name, const void* data,
                DWORD size) {
    if (!banks) return 0;
    std::vector<BYTE> reference;
    if (kind & (SoundInFile | SoundStreamedFromFile)) {
        if (!ReferenceData(data, size, reference)) return 0;
        data = reference.data();
        size = static_cast<DWORD>(reference.size());
    } else if (!data && size) {
        return 0;
    }
    const std::u16string text = name ? name : u"";
    const DWORD nameLength = StoredNameLength(text.size());
    const DWORD headerSize = sizeof(SoundItem) + nameLength * sizeof(WCHAR);
    const DWORD made =
        handle ? ReplaceBankItem(banks, BankSounds, handle, headerSize, size, BankItemZeroFill, nullptr)
               : AddBankItem(banks, BankSounds, headerSize, size, BankItemZeroFill, nullptr);
    SoundItem* item = ItemOf(banks, made);
    if (!item) return 0;
    if (handle && item->header.refCount == 0) item->header.refCount = 1;
    item->kind = kind & StoredKindBits;
    item->nameLength = nameLength;
    std::memcpy(const_cast<WCHAR*>(SoundItemName(item)), text.data(), text.size() * sizeof(WCHAR));
    if (size) std::memcpy(BankItemData(&item->header), data, size);
    item->checksum = SoundChecksum(item);
    if (!handle && (kind & SoundDeduplicate)) {
        if (const DWORD same = FindDuplicateBankItem(banks, BankSounds, &item->header)) {
            AddBankItemRef(banks, BankSounds, same);
            ReleaseBankItem(banks, BankSounds, made);
            return same;
        }
    }
    return made;
}

template <typename Call> auto WithWideName(const char* name, Call call) {
    WCHAR* wide = name ? ToWideString(name, -1) : nullptr;
    const auto result = call(wide);
    FreeString(wide);
    return result;
}

} // namespace

DWORD AddSoundItemW(ContextBanks* banks, DWORD kind, const WCHAR* name, const void* data, DWORD size) {
    try {
        return StoreItem(banks, kind, 0, name, data, size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

DWORD AddSoundItemA(ContextBanks* banks, DWORD kind, const char* name, const void* data, DWORD size) {
    return WithWideName(name,
                        [&](const WCHAR* wide) { return AddSoundItemW(banks, kind, wide, data, size); });
}

DWORD ReplaceSoundItemW(ContextBanks* banks, DWORD kind, DWORD handle, const WCHAR* name, const void* data,
                        DWORD size) {
    if (!handle) return 0;
    sound::StopChannelsOfItem(banks, handle);
    try {
        return StoreItem(banks, kind & ~SoundDeduplicate, handle, name, data, size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

DWORD ReplaceSoundItemA(ContextBanks* banks, DWORD kind, DWORD handle, const char* name, const void* data,
                        DWORD size) {
    return WithWideName(
        name, [&](const WCHAR* wide) { return ReplaceSoundItemW(banks, kind, handle, wide, data, size); });
}

LONG ReleaseSoundItem(ContextBanks* banks, DWORD handle) {
    if (const SoundItem* item = ItemOf(banks, handle); item && item->header.refCount <= 1)
        sound::StopChannelsOfItem(banks, handle);
    return ReleaseBankItem(banks, BankSounds, handle);
}

LONG AddRefSoundItem(ContextBanks* banks, DWORD handle) {
    return AddBankItemRef(banks, BankSounds, handle);
}

DWORD FindSoundItemW(ContextBanks* banks, DWORD kind, const WCHAR* name) {
    if (!banks || !name) return 0;
    const DWORD last = GetBankCapacity(banks, BankSounds);
    for (DWORD h = 1; h <= last; ++h) {
        const SoundItem* item = ItemOf(banks, h);
        if (item && (item->kind & SoundKindMask) == (kind & SoundKindMask) && SameName(NameOf(item), name))
            return h;
    }
    return 0;
}

DWORD FindSoundItemA(ContextBanks* banks, DWORD kind, const char* name) {
    return WithWideName(name, [&](const WCHAR* wide) { return FindSoundItemW(banks, kind, wide); });
}

DWORD GetSoundItemData(ContextBanks* banks, DWORD handle, void* buffer) {
    SoundItem* item = ItemOf(banks, handle);
    if (!item) return 0;
    if (buffer) std::memcpy(buffer, BankItemData(&item->header), item->header.dataSize);
    return item->header.dataSize;
}

const void* GetSoundItemDataPointer(ContextBanks* banks, DWORD handle) {
    SoundItem* item = ItemOf(banks, handle);
    return item ? BankItemData(&item->header) : nullptr;
}

int GetSoundItemInfo(ContextBanks* banks, DWORD handle, SoundItemInfo* info) {
    SoundItem* item = ItemOf(banks, handle);
    if (!item || !info) return 0;
    *info = SoundItemInfo{item->checksum,
                          item->header.refCount,
                          item->header.dataSize + item->nameLength * static_cast<DWORD>(sizeof(WCHAR)),
                          item->kind,
                          0,
                          item->nameLength};
    return 1;
}

int GetSoundItemInfoA(ContextBanks* banks, DWORD handle, SoundItemInfo* info) {
    if (!GetSoundItemInfo(banks, handle, info)) return 0;
    info->size -= info->nameLength; // the name counted in characters
    return 1;
}

int GetSoundItemNameW(ContextBanks* banks, DWORD handle, WCHAR* buffer, int capacity) {
    SoundItem* item = ItemOf(banks, handle);
    if (!item || !buffer || capacity < 1) return 0;
    const std::u16string_view name = NameOf(item);
    const std::size_t n = std::min(name.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, name.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return 1;
}

int GetSoundItemNameA(ContextBanks* banks, DWORD handle, char* buffer, int capacity) {
    SoundItem* item = ItemOf(banks, handle);
    if (!item || !buffer || capacity < 1) return 0;
    char* ansi = ToNarrowString(std::u16string(NameOf(item)).c_str(), -1);
    if (!ansi) return 0;
    const std::size_t n = std::min(std::strlen(ansi), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, ansi, n);
    buffer[n] = 0;
    FreeString(ansi);
    return 1;
}

int SetSoundItemKind(ContextBanks* banks, DWORD handle, DWORD kind) {
    SoundItem* item = ItemOf(banks, handle);
    if (!item) return 0;
    item->kind = (item->kind & ~SoundKindMask) | (kind & SoundKindMask);
    return 1;
}

#include "startup/sound_items.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "startup/runtime_files.h"

#include "vtrs2/app_context.h"
#include "vtrs2/memory.h"
#include "vtrs2/sound_channels.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <string>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::size_t SoundHeaderBytes = 24;
// Sound flags honoured in UTF-16 data: the data stays in the application file.
constexpr std::uint32_t StoredInFile = 0x10;
constexpr std::uint32_t StreamedFromFile = 0x20;

// Extracted music files are numbered across the whole program.
int& MusicFileCounter() {
    static int counter = 0;
    return counter;
}

AppContext* Context() {
    return Services().libraryContext;
}

struct SoundHeader {
    std::uint32_t dataSize = 0; // the name and the sound
    std::uint32_t flags = 0;
    std::uint32_t nameLength = 0; // characters
};

bool ReadHeader(ByteReader& r, SoundHeader& h) {
    return r.Skip(8) && r.U32(h.dataSize) && r.U32(h.flags) && r.Skip(4) && r.U32(h.nameLength);
}

// The item's name and sound, whichever way the bank stores it; `wideName` says how the name is held.
bool ReadSoundItem(ApplicationBanks& b, SoundHeader& h, std::vector<std::uint8_t>& body,
                   std::size_t& bodyAt) {
    std::vector<std::uint8_t> item;
    if (!ReadBankItemBytes(b, SoundHeaderBytes, item)) return false;
    ByteReader r(item);
    if (!ReadHeader(r, h)) return false;
    if (b.itemsCompressed) {
        if (h.dataSize > r.Left()) return false;
        bodyAt = r.Position();
        body = std::move(item);
        return true;
    }
    bodyAt = 0;
    return ReadBankStreamBytes(b, h.dataSize, body);
}

std::u16string NameOf(std::span<const std::uint8_t> bytes, bool wide) {
    std::u16string name;
    if (wide) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            name.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    } else {
        name.assign(bytes.begin(), bytes.end());
    }
    const std::size_t end = name.find(u'\0');
    return end == std::u16string::npos ? name : name.substr(0, end);
}

std::u16string Decimal(int value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

ApplicationRecord* OwnerOf(const ApplicationBanks& banks) {
    ApplicationRecord* app = CurrentApplication();
    return app && app->banks == &banks ? app : nullptr;
}

// A sample left in the application file: the library reads it itself, through a handle of its own.
std::uint32_t AddFileSample(ApplicationBanks& b, const SoundHeader& h, LONG headerEnd) {
    ApplicationRecord* app = OwnerOf(b);
    if (!app || !app->dataFilePath || !app->dataFilePath[0]) return 0;
    const SoundFileDescriptor d{INVALID_HANDLE_VALUE,
                                app->dataBaseOffset + static_cast<DWORD>(headerEnd),
                                h.dataSize,
                                h.nameLength,
                                0,
                                app->dataFilePath};
    const DWORD kind = SoundKindSample | (h.flags & StreamedFromFile ? SoundStreamedFromFile : SoundInFile);
    return AddSoundItemW(b.library, kind, nullptr, &d, sizeof d);
}

std::uint32_t AddSample(ApplicationBanks& b, const SoundHeader& h, std::span<const std::uint8_t> body) {
    const std::size_t nameBytes = static_cast<std::size_t>(h.nameLength) * (b.unicode ? 2 : 1);
    if (nameBytes > body.size()) return 0;
    const auto data = body.subspan(nameBytes);
    const std::u16string name = NameOf(body.first(nameBytes), b.unicode);
    if (b.unicode)
        return AddSoundItemW(b.library, SoundKindSample, name.c_str(), data.data(),
                             static_cast<DWORD>(data.size()));
    const std::string narrow(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(nameBytes));
    return AddSoundItemA(b.library, SoundKindSample, narrow.c_str(), data.data(),
                         static_cast<DWORD>(data.size()));
}

bool WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> data) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        data.empty() || (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                         written == data.size());
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

// Music: written to "Mid<n>.mid" in the application's music folder and added with the file's path as data.
std::uint32_t AddMusic(ApplicationBanks& b, const SoundHeader& h, std::span<const std::uint8_t> body) {
    ApplicationRecord* app = OwnerOf(b);
    if (!app) return 0;
    // Stored plainly the name is UTF-16 whatever the data's form; inflated, it follows the data.
    const bool wide = !b.itemsCompressed || b.unicode;
    const std::size_t nameBytes = static_cast<std::size_t>(h.nameLength) * (wide ? 2 : 1);
    if (nameBytes > body.size()) return 0;
    if (!app->musicFolder) {
        std::u16string folder;
        if (CreateTempFolder(folder) != 0) return 0;
        app->musicFolder = HeapCopy(folder);
        if (!app->musicFolder) return 0;
    }
    const std::u16string path =
        std::u16string(app->musicFolder) + u"Mid" + Decimal(MusicFileCounter()++) + u".mid";
    if (!WriteWholeFile(path, body.subspan(nameBytes))) return 0;
    const std::u16string name = NameOf(body.first(nameBytes), wide);
    const std::uint32_t handle = AddSoundItemW(b.library, SoundKindMusic, name.c_str(), path.c_str(),
                                               static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
    if (!handle) DeleteFileW(path.c_str());
    return handle;
}

} // namespace

WCHAR* HeapCopy(std::u16string_view text) {
    WCHAR* copy = nullptr;
    if (!AllocMemory((text.size() + 1) * sizeof(WCHAR), &copy)) return nullptr;
    std::char_traits<char16_t>::copy(copy, text.data(), text.size());
    copy[text.size()] = 0;
    return copy;
}

std::uint32_t LoadSoundBankItem(ApplicationBanks& b, int kind) {
    if (!b.stream || !b.library) return 0;
    const LONG itemAt = b.stream->GetPosition();
    SoundHeader h;
    if (kind == AppBankSounds && b.unicode && !b.itemsCompressed) {
        // The flags decide whether the body is read at all.
        std::vector<std::uint8_t> header;
        if (!ReadBankStreamBytes(b, SoundHeaderBytes, header)) return 0;
        ByteReader r(header);
        if (!ReadHeader(r, h)) return 0;
        if (h.flags & (StoredInFile | StreamedFromFile))
            return AddFileSample(b, h, itemAt + static_cast<LONG>(SoundHeaderBytes));
        b.stream->Seek(itemAt, SeekFromStart);
    }
    std::vector<std::uint8_t> body;
    std::size_t bodyAt = 0;
    if (!ReadSoundItem(b, h, body, bodyAt)) return 0;
    const auto span = std::span<const std::uint8_t>(body).subspan(bodyAt, h.dataSize);
    return kind == AppBankMusic ? AddMusic(b, h, span) : AddSample(b, h, span);
}

void AddSoundItemReference(ApplicationBanks& banks, std::uint32_t handle) {
    AddRefSoundItem(banks.library, handle);
}

void ReleaseSoundItemReference(ApplicationBanks& banks, int kind, std::uint32_t handle) {
    std::u16string extracted;
    SoundItemInfo info{};
    if (kind == AppBankMusic && GetSoundItemInfo(banks.library, handle, &info) && info.refCount == 1 &&
        (info.kind & SoundKindMask) == SoundKindMusic) {
        extracted.resize(GetSoundItemData(banks.library, handle, nullptr) / sizeof(char16_t));
        GetSoundItemData(banks.library, handle, extracted.data());
        extracted.resize(std::char_traits<char16_t>::length(extracted.c_str()));
    }
    ReleaseSoundItem(banks.library, handle);
    if (!extracted.empty()) DeleteFileW(extracted.c_str());
}

bool IsApplicationSoundPlaying(int, std::uint32_t handle) {
    AppContext* context = Context();
    return context && IsSoundPlaying(context, SoundHandle(handle)) != 0;
}

void StopApplicationSounds(ApplicationRecord& app) {
    AppContext* context = Context();
    if (!context) return;
    for (WCHAR* file : app.channelSampleFiles)
        if (file) StopSound(context, SoundKindSample, file);
    if (app.musicFile && IsSoundPlaying(context, app.musicFile))
        StopSound(context, SoundKindMusic, app.musicFile);
    if (!app.banks) return;
    for (int kind : {AppBankSounds, AppBankMusic}) {
        const AppBank& bank = app.banks->banks[kind];
        for (std::uint16_t handle : bank.forward) {
            if (!handle) continue;
            if (kind == AppBankSounds)
                StopSound(context, SoundKindSample, SoundHandle(handle));
            else if (IsSoundPlaying(context, SoundHandle(handle)))
                StopSound(context, SoundKindMusic, SoundHandle(handle));
        }
    }
}

void FreeRememberedSounds(ApplicationRecord& app) {
    for (WCHAR*& file : app.channelSampleFiles)
        FreeMemory(&file);
    FreeMemory(&app.musicFile);
}

void StopFrameSounds(ApplicationRecord& app) {
    if (!(app.header.flags2 & HeaderKeepSounds)) StopApplicationSounds(app);
}

} // namespace vtrrt

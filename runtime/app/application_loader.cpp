#include "app/application_loader.h"

#include "persist/global_object_store.h"

#include "events/extension_host.h"
#include "objects/movement_modules.h"

#include "startup/banks.h"
#include "startup/frame_loader.h"
#include "startup/object_infos.h"

#include "core/byte_reader.h"
#include "startup/chunk_cipher.h"
#include "startup/chunk_reader.h"
#include "startup/stored_text.h"

#include "core/command_line.h"
#include "core/error_message.h"
#include "core/runtime_services.h"
#include "shell/full_screen.h"
#include "startup/display_mode.h"
#include "startup/loader_environment.h"
#include "startup/player_globals.h"
#include "startup/sound_items.h"

#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "vtrformat/codes.h"

using namespace win32;

namespace vtrrt {

using namespace vtrformat;

namespace {

constexpr DWORD WindowStyleWithIcon = 0x80000000u;
// Absolute position (0x20), MDI child (0x100000), drawn into the parent's surface (0x4000000).
constexpr std::uint32_t SubAppPlacementOptions = 0x4100020;
constexpr std::int32_t SubAppDriverDisplay = 2;
// A frame with this flag has a password further on: its header alone does not end the scan.
constexpr std::size_t FrameHeaderBytes = 16;
constexpr std::uint32_t DefaultReadEncoding = 0;
constexpr std::uint32_t DefaultWriteEncoding = 3;

// What one load keeps between chunks and never hands to the record.
struct LoadState {
    ApplicationRecord* app;
    CInputFile* stream;
    DWORD windowStyle;
    // 8-bit name and copyright as stored: the key is built from them, so they stay 8-bit until then.
    std::vector<std::uint8_t> storedName;
    std::vector<std::uint8_t> storedCopyright;
    bool nameWaiting = false;
    bool copyrightWaiting = false;
    bool keyBuilt = false;
    int passwordCount = 0;
};

using ChunkHandler = int (*)(LoadState&, const ChunkHeader&);

void FreeFramePasswords(ApplicationRecord& app) {
    if (!app.framePasswords) return;
    for (std::int32_t i = 0; i < app.frameTableEntries; ++i)
        FreeMemory(&app.framePasswords[i]);
    FreeMemory(&app.framePasswords);
}

void FreeFrameTables(ApplicationRecord& app) {
    FreeFramePasswords(app);
    FreeMemory(&app.frameOffsets);
    app.frameTableEntries = 0;
}

bool Unicode(const LoadState& st) {
    return st.app->unicode != 0;
}

// Reads a chunk into a block the caller frees.
struct ChunkBlock {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ~ChunkBlock() { FreeMemory(&data); }
    std::span<const std::uint8_t> Bytes() const { return {data, size}; }
    KeptChunk Release() {
        KeptChunk kept{data, size};
        data = nullptr;
        size = 0;
        return kept;
    }
};

int Read(LoadState& st, const ChunkHeader& h, ChunkBlock& block, bool withKey) {
    return ReadChunk(*st.stream, h, &block.data, &block.size, withKey ? st.app->key : nullptr);
}

void FreeKept(KeptChunk& kept) {
    FreeMemory(&kept.data);
    kept.size = 0;
}

int Keep(LoadState& st, const ChunkHeader& h, KeptChunk& into, bool withKey) {
    ChunkBlock block;
    if (int code = Read(st, h, block, withKey)) return code;
    FreeKept(into);
    into = block.Release();
    return LoadOk;
}

// Replaces a string field by the chunk's text made UTF-16.
int ReadText(LoadState& st, const ChunkHeader& h, WCHAR*& field, bool withKey) {
    ChunkBlock block;
    if (int code = Read(st, h, block, withKey)) return code;
    WCHAR* text = StoredTextToWide(block.Bytes(), Unicode(st), st.app->codePage);
    if (!text) return ErrorOutOfMemory;
    FreeMemory(&field);
    field = text;
    return LoadOk;
}

std::u16string_view View(const WCHAR* s) {
    return s ? std::u16string_view(s) : std::u16string_view();
}

std::vector<char16_t> UnitsOf(const std::vector<std::uint8_t>& stored) {
    return std::vector<char16_t>(stored.begin(), stored.end());
}

int ConvertWaiting(LoadState& st, bool waiting, const std::vector<std::uint8_t>& stored, WCHAR*& field) {
    if (!waiting) return LoadOk;
    WCHAR* text = StoredTextToWide(stored, false, st.app->codePage);
    if (!text) return ErrorOutOfMemory;
    FreeMemory(&field);
    field = text;
    return LoadOk;
}

int ConvertWaitingTexts(LoadState& st) {
    if (int code = ConvertWaiting(st, st.nameWaiting, st.storedName, st.app->name)) return code;
    st.nameWaiting = false;
    if (int code = ConvertWaiting(st, st.copyrightWaiting, st.storedCopyright, st.app->copyright))
        return code;
    st.copyrightWaiting = false;
    return LoadOk;
}

// Name and copyright: in 8-bit data they wait for the key, which is built from their stored bytes.
int ReadKeyText(LoadState& st, const ChunkHeader& h, WCHAR*& field, std::vector<std::uint8_t>& stored,
                bool& waiting) {
    if (Unicode(st)) return ReadText(st, h, field, false);
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    const auto text = StoredTextBytes(block.Bytes(), false);
    stored.assign(text.begin(), text.end());
    waiting = true;
    return st.keyBuilt ? ConvertWaitingTexts(st) : LoadOk;
}

int OnHeader(LoadState& st, const ChunkHeader& h) {
    ApplicationRecord& app = *st.app;
    std::array<std::uint8_t, AppHeaderSize> bytes{};
    if (int code = ReadChunkInto(*st.stream, h, bytes.data(), AppHeaderSize, nullptr)) return code;
    ParseApplicationHeader(bytes, app.header);
    if (!app.parent && (app.header.flags2 & AppFlags2NoCloseCommand))
        GetCommandLineOptions().noCloseCommand = 1;
    // Every frame needs at least its own chunk header, which bounds a sane frame count.
    const std::int64_t frames = app.header.frameCount;
    if (frames < 0 || frames > static_cast<std::int64_t>(st.stream->GetSize()) / 8) return StreamDataError;
    // A repeated header chunk replaces the tables of the first.
    FreeFrameTables(app);
    const std::size_t entries = std::max<std::size_t>(1, static_cast<std::size_t>(frames));
    if (!AllocZeroedMemory(entries * sizeof(std::uint32_t), &app.frameOffsets)) return ErrorOutOfMemory;
    app.frameTableEntries = static_cast<std::int32_t>(frames);
    app.framesCounted = 0;
    if (!(app.header.flags2 & AppFlags2NoPasswords))
        AllocZeroedMemory(entries * sizeof(WCHAR*), &app.framePasswords);
    if (!app.key && !AllocZeroedMemory(ApplicationKeySize, &app.key)) return ErrorOutOfMemory;
    // Themes have no meaning on this platform, so the header's theme bit asks nothing here.
    if (app.header.flags1 & AppFlags1Effects) app.effectsFlag = 1;
    return LoadOk;
}

int OnName(LoadState& st, const ChunkHeader& h) {
    return ReadKeyText(st, h, st.app->name, st.storedName, st.nameWaiting);
}

int OnCopyright(LoadState& st, const ChunkHeader& h) {
    return ReadKeyText(st, h, st.app->copyright, st.storedCopyright, st.copyrightWaiting);
}

int OnProjectPath(LoadState& st, const ChunkHeader& h) {
    ApplicationRecord& app = *st.app;
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    if (!app.key && !AllocZeroedMemory(ApplicationKeySize, &app.key)) return ErrorOutOfMemory;
    const auto stored = StoredTextBytes(block.Bytes(), Unicode(st));
    if (Unicode(st)) {
        std::vector<char16_t> path(stored.size() / 2);
        for (std::size_t i = 0; i < path.size(); ++i)
            path[i] = static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
        const auto name = View(app.name);
        const auto copyright = View(app.copyright);
        BuildApplicationKey(app.key, path, std::span(name.data(), name.size()),
                            std::span(copyright.data(), copyright.size()), 2);
    } else {
        const std::vector<char16_t> path(stored.begin(), stored.end());
        BuildApplicationKey(app.key, path, UnitsOf(st.storedName), UnitsOf(st.storedCopyright), 1);
    }
    st.keyBuilt = true;
    WCHAR* text = StoredTextToWide(block.Bytes(), Unicode(st), app.codePage);
    if (!text) return ErrorOutOfMemory;
    FreeMemory(&app.projectPath);
    app.projectPath = text;
    return ConvertWaitingTexts(st);
}

int OnTargetPath(LoadState& st, const ChunkHeader& h) {
    return ReadText(st, h, st.app->targetPath, false);
}
int OnHelpFile(LoadState& st, const ChunkHeader& h) {
    return ReadText(st, h, st.app->helpFile, true);
}
int OnAboutText(LoadState& st, const ChunkHeader& h) {
    return ReadText(st, h, st.app->aboutText, true);
}

int OnTempFolder(LoadState& st, const ChunkHeader& h) {
    if (!RunTempFolder().empty()) return LoadOk;
    WCHAR* folder = nullptr;
    if (int code = ReadText(st, h, folder, false)) return code;
    AdoptRunTempFolder(folder);
    FreeMemory(&folder);
    return LoadOk;
}

int OnMenu(LoadState& st, const ChunkHeader& h) {
    if (st.app->parent) return LoadOk;
    return Keep(st, h, st.app->menuData, false);
}

int OnIcon(LoadState& st, const ChunkHeader& h) {
    if (!st.app->parent || !(st.windowStyle & WindowStyleWithIcon)) return LoadOk;
    return Keep(st, h, st.app->iconDib, false);
}

int OnFrameHandles(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, true)) return code;
    const std::size_t count = std::min<std::size_t>(block.size / 2, 0xFFFF);
    std::uint16_t* handles = nullptr;
    if (!AllocMemory(std::max<std::size_t>(count, 1) * 2, &handles)) return ErrorOutOfMemory;
    ByteReader r(block.Bytes());
    for (std::size_t i = 0; i < count; ++i)
        r.U16(handles[i]);
    FreeMemory(&st.app->frameHandles);
    st.app->frameHandles = handles;
    st.app->frameHandleCount = static_cast<std::uint16_t>(count);
    return LoadOk;
}

int OnGlobalValues(LoadState& st, const ChunkHeader& h) {
    return Keep(st, h, st.app->globalValues, true);
}

// Global strings: u32 count, then count terminated strings; 8-bit ones become UTF-16 in the same layout.
int OnGlobalStrings(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, true)) return code;
    ByteReader r(block.Bytes());
    std::uint32_t count = 0;
    if (!r.U32(count)) return StreamDataError;
    const std::size_t unit = Unicode(st) ? 2 : 1;
    if (count > r.Left() / unit) return StreamDataError;
    std::vector<std::span<const std::uint8_t>> texts;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::span<const std::uint8_t> rest;
        r.Take(r.Left(), rest);
        const auto text = StoredTextBytes(rest, Unicode(st));
        if (text.size() + unit > rest.size()) return StreamDataError; // not terminated
        texts.push_back(text);
        r.Seek(r.Position() - rest.size() + text.size() + unit);
    }
    if (Unicode(st) || count == 0) {
        FreeKept(st.app->globalStrings);
        st.app->globalStrings = block.Release();
        return LoadOk;
    }
    std::size_t units = 0;
    for (const auto& text : texts)
        units += text.size() + 1;
    std::uint8_t* wide = nullptr;
    const std::size_t bytes = 4 + units * 2;
    if (!AllocZeroedMemory(bytes, &wide)) return ErrorOutOfMemory;
    std::memcpy(wide, block.data, 4);
    std::size_t at = 4;
    for (const auto& text : texts) {
        std::vector<WCHAR> converted(text.size() + 1);
        const std::size_t n = NarrowToWide(text, st.app->codePage, converted.data(), converted.size());
        for (std::size_t i = 0; i <= n; ++i) {
            wide[at + 2 * i] = static_cast<std::uint8_t>(converted[i]);
            wide[at + 2 * i + 1] = static_cast<std::uint8_t>(converted[i] >> 8);
        }
        at += 2 * (text.size() + 1);
    }
    FreeKept(st.app->globalStrings);
    st.app->globalStrings = {wide, static_cast<std::uint32_t>(bytes)};
    return LoadOk;
}

int OnIncompatible(LoadState&, const ChunkHeader&) {
    return ErrorIncompatible;
}

int OnObjectInfos(LoadState& st, const ChunkHeader&) {
    ApplicationRecord& app = *st.app;
    if ((app.header.flags3 & AppFlags3ResetSharing) && !(app.subAppOptions & SubAppKeepsSharing)) {
        app.shareLives = app.shareScores = app.shareGlobalValues = app.shareGlobalStrings = 0;
    }
    return LoadObjectInfos(&app, *st.stream);
}

// Embedded files: u32 count, then per file a u16 name length, the name, u32 size and the file's bytes,
// which stay in the data and are only noted.
int OnEmbeddedFiles(LoadState& st, const ChunkHeader& h) {
    ApplicationRecord& app = *st.app;
    if (h.flags & (ChunkCompressed | ChunkEnciphered)) return StreamDataError;
    CInputFile& s = *st.stream;
    const std::int64_t end = static_cast<std::int64_t>(s.GetPosition()) + h.size;
    std::array<std::uint8_t, 4> word{};
    if (h.size < 4) return StreamDataError;
    if (int code = s.Read(word.data(), 4)) return code;
    std::uint32_t count = 0;
    ByteReader(word).U32(count);
    const std::size_t unit = Unicode(st) ? 2 : 1;
    // While the names are read they relocate to the application's own folder.
    const std::uint16_t flags3 = app.header.flags3;
    app.header.flags3 = static_cast<std::uint16_t>(flags3 & ~AppFlags3RelocateToTemp);
    int code = LoadOk;
    for (std::uint32_t i = 0; i < count && code == LoadOk; ++i) {
        std::array<std::uint8_t, 2> lengthBytes{};
        if ((code = s.Read(lengthBytes.data(), 2))) break;
        std::uint16_t length = 0;
        ByteReader(lengthBytes).U16(length);
        if (length >= EmbeddedNameUnits ||
            end - s.GetPosition() < static_cast<std::int64_t>(length * unit + 4)) {
            code = StreamDataError;
            break;
        }
        std::vector<std::uint8_t> name(length * unit + unit, 0);
        if ((code = s.Read(name.data(), static_cast<int>(length * unit)))) break;
        if ((code = s.Read(word.data(), 4))) break;
        std::uint32_t size = 0;
        ByteReader(word).U32(size);
        const std::int64_t position = s.GetPosition();
        if (static_cast<std::int64_t>(size) > end - position) {
            code = StreamDataError;
            break;
        }
        EmbeddedFileEntry* entry = nullptr;
        if (!AllocZeroedMemory(sizeof(EmbeddedFileEntry), &entry)) {
            code = ErrorOutOfMemory;
            break;
        }
        const auto text = StoredTextBytes(name, Unicode(st));
        if (Unicode(st)) {
            for (std::size_t k = 0; k < text.size() / 2; ++k)
                entry->name[k] = static_cast<WCHAR>(text[2 * k] | (text[2 * k + 1] << 8));
        } else {
            NarrowToWide(text, app.codePage, entry->name, EmbeddedNameUnits);
        }
        RelocatePathToTempFolder(app, entry->name);
        entry->size = size;
        entry->position = static_cast<std::uint32_t>(position);
        if (!app.embeddedFiles->Add(entry)) {
            FreeMemory(&entry);
            code = ErrorOutOfMemory;
            break;
        }
        s.Seek(static_cast<int>(position + size), 0);
    }
    app.header.flags3 = flags3;
    return code;
}

int OnImageList(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    ByteReader r(block.Bytes());
    std::uint32_t count = 0;
    if (!r.U32(count) || count > r.Left() / 4) return StreamDataError;
    FreeKept(st.app->imageList);
    st.app->imageList = block.Release();
    return LoadOk;
}

// Effect bank: u32 count, count offsets from the block's start, the effects. An effect that asks for any of
// the low four option bits at its offset + 12 turns the application's effects on.
int OnEffectBank(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    ByteReader r(block.Bytes());
    std::uint32_t count = 0;
    if (!r.U32(count) || count > r.Left() / 4) return StreamDataError;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t offset = 0;
        r.U32(offset);
        if (offset >= block.size || block.size - offset <= 12) return StreamDataError;
        if (block.data[offset + 12] & 0x0F) st.app->effectsFlag = 1;
    }
    FreeKept(st.app->effectBank);
    st.app->effectBank = block.Release();
    return LoadOk;
}

int OnExtendedOptions(LoadState& st, const ChunkHeader& h) {
    return Keep(st, h, st.app->extendedOptions, false);
}

int OnCodePage(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    if (!ByteReader(block.Bytes()).U32(st.app->codePage)) return StreamDataError;
    return LoadOk;
}

int OnRunOptions(LoadState& st, const ChunkHeader& h) {
    // Two plain values read straight from the payload; the chunk's flags are not looked at.
    std::array<std::uint8_t, 8> bytes{};
    if (h.size < 8) return StreamDataError;
    if (int code = st.stream->Read(bytes.data(), 8)) return code;
    ByteReader r(bytes);
    r.U32(st.app->textFileEncodings[0]);
    r.U32(st.app->textFileEncodings[1]);
    return LoadOk;
}

// Looks through one frame's sub-chunks for its password and for the application's first palette.
void ScanFrame(LoadState& st, std::int64_t frameEnd, int frameIndex) {
    ApplicationRecord& app = *st.app;
    CInputFile& s = *st.stream;
    bool seen = false;
    while (s.GetPosition() + static_cast<std::int64_t>(ChunkHeaderSize) <= frameEnd) {
        ChunkHeader sub;
        if (ReadChunkHeader(s, sub)) return;
        if (sub.id == ChunkEnd) return;
        const std::int64_t next = static_cast<std::int64_t>(s.GetPosition()) + sub.size;
        if (next > frameEnd) return;
        if (sub.size != 0) {
            if (sub.id == ChunkFrameHeader) {
                std::array<std::uint8_t, FrameHeaderBytes> bytes{};
                if (ReadChunkInto(s, sub, bytes.data(), FrameHeaderBytes, app.key)) return;
                std::uint32_t flags = 0;
                ByteReader r(bytes);
                r.Skip(12);
                r.U32(flags);
                if (!(flags & FrameFlagHasPassword)) seen = true;
            } else if (sub.id == ChunkFramePassword && app.framePasswords) {
                ChunkBlock block;
                if (Read(st, sub, block, true)) return;
                WCHAR* password = StoredTextToWide(block.Bytes(), Unicode(st), app.codePage);
                if (!password) return;
                if (!app.framePasswords[frameIndex]) ++st.passwordCount;
                FreeMemory(&app.framePasswords[frameIndex]);
                app.framePasswords[frameIndex] = password;
                seen = true;
            } else if (sub.id == ChunkFramePalette && !app.applicationPalette.data) {
                // Frame palettes are normalised when they are built into a system palette.
                if (Keep(st, sub, app.applicationPalette, true)) return;
            }
        }
        if (seen && app.applicationPalette.data) return;
        s.Seek(static_cast<int>(next), 0);
    }
}

int OnFrame(LoadState& st, const ChunkHeader& h) {
    ApplicationRecord& app = *st.app;
    // The frame tables have as many entries as the header says; a frame beyond them, or before the header,
    // has nowhere to go.
    if (!app.frameOffsets || app.framesCounted >= app.frameTableEntries) return StreamDataError;
    const int index = app.framesCounted;
    const std::int64_t start = st.stream->GetPosition();
    app.frameOffsets[index] = static_cast<std::uint32_t>(start);
    if (app.framePasswords || !app.applicationPalette.data) ScanFrame(st, start + h.size, index);
    ++app.framesCounted;
    return LoadOk;
}

int OnExtensionList(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    return LoadExtensionList(*st.app, block.Bytes(),
                             h.id == ChunkExtensionListW ? ExtensionListFormWide : ExtensionListForm);
}

int OnMovementModules(LoadState& st, const ChunkHeader& h) {
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    return ReadMovementExtensionList(*st.app, block.Bytes());
}

constexpr std::uint16_t AppFlags1ItemsCompressed = 0x8000;

// The bank directories, made at the first bank chunk with what the item readers need to know.
ApplicationBanks* BanksOf(LoadState& st) {
    ApplicationRecord& app = *st.app;
    if (!app.banks) {
        app.banks = new (std::nothrow) ApplicationBanks;
        if (!app.banks) return nullptr;
        app.banks->stream = st.stream;
        app.banks->unicode = app.unicode != 0;
        app.banks->itemsCompressed = (app.header.flags1 & AppFlags1ItemsCompressed) != 0;
        app.banks->build = app.dataHeader.build;
        // Items load into the library context's banks; without a context nothing is loaded.
        if (AppContext* context = Services().libraryContext) app.banks->library = context->banks;
    }
    return app.banks;
}

// Bank chunk: its items stay in the data; only where its payload starts is noted.
int OnBankItems(LoadState& st, const ChunkHeader& h) {
    ApplicationBanks* banks = BanksOf(st);
    if (!banks) return ErrorOutOfMemory;
    ReadBankChunk(*banks, h.id - ChunkImageBank, static_cast<std::uint32_t>(st.stream->GetPosition()));
    return LoadOk;
}

// Offsets chunk: u32 per stored item index, made absolute against the preceding bank chunk.
int OnBankOffsets(LoadState& st, const ChunkHeader& h) {
    ApplicationBanks* banks = BanksOf(st);
    if (!banks) return ErrorOutOfMemory;
    ChunkBlock block;
    if (int code = Read(st, h, block, false)) return code;
    return ReadBankOffsets(*banks, h.id - ChunkImageOffsets, block.Bytes()) ? LoadOk : ErrorOutOfMemory;
}

struct ChunkHandlerEntry {
    std::uint16_t id;
    ChunkHandler handler;
};

constexpr std::array ChunkHandlers{
    ChunkHandlerEntry{ChunkAppHeader, OnHeader},
    ChunkHandlerEntry{ChunkAppName, OnName},
    ChunkHandlerEntry{ChunkAppMenu, OnMenu},
    ChunkHandlerEntry{ChunkAppTempFolder, OnTempFolder},
    ChunkHandlerEntry{ChunkExtensionList, OnExtensionList},
    ChunkHandlerEntry{ChunkObjectInfos, OnObjectInfos},
    ChunkHandlerEntry{ChunkFrameHandles, OnFrameHandles},
    ChunkHandlerEntry{ChunkAppProjectPath, OnProjectPath},
    ChunkHandlerEntry{ChunkAppTargetPath, OnTargetPath},
    ChunkHandlerEntry{ChunkAppHelpFile, OnHelpFile},
    ChunkHandlerEntry{ChunkGlobalValues, OnGlobalValues},
    ChunkHandlerEntry{ChunkGlobalStrings, OnGlobalStrings},
    ChunkHandlerEntry{ChunkExtensionListW, OnExtensionList},
    ChunkHandlerEntry{ChunkAppIcon, OnIcon},
    ChunkHandlerEntry{ChunkIncompatible, OnIncompatible},
    ChunkHandlerEntry{ChunkEmbeddedFiles, OnEmbeddedFiles},
    ChunkHandlerEntry{ChunkAppImageList, OnImageList},
    ChunkHandlerEntry{ChunkAppAboutText, OnAboutText},
    ChunkHandlerEntry{ChunkAppCopyright, OnCopyright},
    ChunkHandlerEntry{ChunkMovementModules, OnMovementModules},
    ChunkHandlerEntry{ChunkObjectInfosB, OnObjectInfos},
    ChunkHandlerEntry{ChunkEffectBank, OnEffectBank},
    ChunkHandlerEntry{ChunkAppExtendedOptions, OnExtendedOptions},
    ChunkHandlerEntry{ChunkAppCodePage, OnCodePage},
    ChunkHandlerEntry{ChunkAppRunOptions, OnRunOptions},
    ChunkHandlerEntry{ChunkFrame, OnFrame},
    ChunkHandlerEntry{ChunkImageOffsets, OnBankOffsets},
    ChunkHandlerEntry{ChunkFontOffsets, OnBankOffsets},
    ChunkHandlerEntry{ChunkSoundOffsets, OnBankOffsets},
    ChunkHandlerEntry{ChunkMusicOffsets, OnBankOffsets},
    ChunkHandlerEntry{ChunkImageBank, OnBankItems},
    ChunkHandlerEntry{ChunkFontBank, OnBankItems},
    ChunkHandlerEntry{ChunkSoundBank, OnBankItems},
    ChunkHandlerEntry{ChunkMusicBank, OnBankItems},
};

ChunkHandler FindHandler(std::uint16_t id) {
    for (const auto& entry : ChunkHandlers)
        if (entry.id == id) return entry.handler;
    return nullptr;
}

int ReadDataHeader(LoadState& st) {
    ApplicationRecord& app = *st.app;
    std::array<std::uint8_t, DataHeaderSize> bytes;
    if (int code = st.stream->Read(bytes.data(), static_cast<int>(bytes.size()))) {
        // Data too short to hold a header is not application data.
        return code == StreamEndOfData ? ErrorNotApplication : code;
    }
    ParseDataHeader(bytes, app.dataHeader);
    if (app.dataHeader.magic != DataMagicAnsi && app.dataHeader.magic != DataMagicWide)
        return ErrorNotApplication;
    if (app.dataHeader.version != DataVersion) return ErrorIncompatible;
    if (!app.parent && app.dataHeader.typeWord != DataTypeWord) return ErrorIncompatible;
    app.unicode = app.dataHeader.magic == DataMagicWide ? 1 : 0;
    return LoadOk;
}

int ReadChunkList(LoadState& st) {
    return WalkChunkList(*st.stream, [&](const ChunkHeader& h) {
        const ChunkHandler handler = FindHandler(h.id);
        return handler ? handler(st, h) : LoadOk;
    });
}

int LoadInto(LoadState& st) {
    if (int code = ReadDataHeader(st)) return code;
    if (int code = ReadChunkList(st)) return code;
    // 8-bit data without a project path still gets UTF-16 names.
    if (int code = ConvertWaitingTexts(st)) return code;
    ApplicationRecord& app = *st.app;
    if (st.passwordCount == 0) FreeFramePasswords(app);
    // WinMain selects the palette and makes the menu, the main window and the frame window right after the
    // load.
    app.libraryContext = Services().libraryContext;
    if (Services().libraryContext) {
        ChooseDisplayMode(app);
        SetColourDepth(app);
        // Images are kept in the depth the frames are drawn in.
        if (app.banks && Services().displayType != 0) app.banks->targetMode = Services().displayType;
    }
    return LoadOk;
}

// The frame window's library record goes with the application (and its window with it, unless the record
// only describes a window made elsewhere).
void DestroyFrameWindow(ApplicationRecord& app) {
    AppWindow* window = app.frameLibraryWindow;
    const HWND handle = app.frameWindow;
    app.frameWindow = nullptr;
    app.frameLibraryWindow = nullptr;
    RuntimeServices& services = Services();
    if (handle && services.frameWindow == handle) {
        services.frameWindow = nullptr;
        services.frameLibraryWindow = nullptr;
    }
    // The window may have gone already, with the main window or the library's context.
    if (window && FindAppWindow(handle) == window) DestroyAppWindow(window);
}

void FreeEmbeddedFiles(ApplicationRecord& app) {
    if (!app.embeddedFiles) return;
    int cursor = app.embeddedFiles->GetHead();
    while (void* item = app.embeddedFiles->Next(cursor)) {
        auto* entry = static_cast<EmbeddedFileEntry*>(item);
        if (entry->extractedPath) {
            DeleteFileW(entry->extractedPath);
            FreeMemory(&entry->extractedPath);
        }
        FreeMemory(&entry);
    }
    delete app.embeddedFiles;
    app.embeddedFiles = nullptr;
}

// Sets up the fields a fresh record holds before any chunk is read.
bool InitRecord(ApplicationRecord& app, ApplicationRecord* parent, const FrameWindowDescription* description,
                const WCHAR* dataPath) {
    app.embeddedFiles = new (std::nothrow) CIndexList();
    if (!app.embeddedFiles) return false;
    app.currentFrameIndex = -1;
    app.fullScreenDepth = -1;
    app.parent = parent;
    app.dataFilePath = dataPath;
    app.textFileEncodings[0] = DefaultReadEncoding;
    app.textFileEncodings[1] = DefaultWriteEncoding;
    if (description) {
        const std::uint32_t options = description->options;
        app.subAppOptions = options;
        app.shareControls = (options >> 19) & 1;
        app.shareLives = (options >> 1) & 1;
        app.shareScores = (options >> 2) & 1;
        app.shareGlobalValues = app.shareGlobalStrings = options & 1;
        // Display option 2: shown through a display driver, and neither placed absolutely, an MDI child nor
        // drawn into its parent's surface.
        if ((Services().displayFlags & DisplayDriverFlag) && !(options & SubAppPlacementOptions))
            app.displayOption = SubAppDriverDisplay;
    }
    return true;
}

} // namespace

ApplicationRecord* LoadApplicationFromStream(CInputFile* stream, const WCHAR* dataPath, std::int32_t value,
                                             ApplicationRecord* parent,
                                             const FrameWindowDescription* description, DWORD windowStyle,
                                             DWORD, int* error) {
    ApplicationRecord* app = nullptr;
    if (!AllocZeroedMemory(sizeof(ApplicationRecord), &app)) {
        if (stream) stream->Delete();
        if (error) *error = ErrorOutOfMemory;
        return nullptr;
    }
    app->dataStream = stream;
    // A record that cannot be listed among the running applications would be lost to the window
    // procedures: the load fails as out of memory.
    int code = AddRunningApplication(app) && InitRecord(*app, parent, description, dataPath)
                   ? LoadOk
                   : ErrorOutOfMemory;
    ClearChunkFailure();
    if (code == LoadOk) {
        LoadState st{app, stream, windowStyle, {}, {}, false, false, false, 0};
        code = LoadInto(st);
    }
    if (code == LoadOk) app->value = value;
    if (error) *error = code;
    if (code != LoadOk) {
        ReportLoadError(code, dataPath);
        CloseApplication(app);
        return nullptr;
    }
    return app;
}

void CloseApplication(ApplicationRecord* app) {
    if (!app) return;
    ApplicationRecord* previous = SetCurrentApplication(app);
    DestroyFrameSurface(app->frameSurface);
    FreeGlobalData(true);
    SetCurrentApplication(previous == app ? nullptr : previous);
    FreeMemory(&app->projectPath);
    FreeMemory(&app->targetPath);
    FreeKept(app->iconDib);
    FreeMemory(&app->helpFile);
    FreeMemory(&app->name);
    FreeMemory(&app->copyright);
    FreeMemory(&app->aboutText);
    FreeMemory(&app->frameHandles);
    FreeMemory(&app->runTimeImages);
    app->runTimeImageCount = 0;
    FreeFrameTables(*app);
    FreeMemory(&app->key);
    FreeKept(app->menuData);
    StopApplicationSounds(*app);
    if (app->banks) {
        FreeBanks(*app->banks);
        delete app->banks;
        app->banks = nullptr;
    }
    FreeObjectInfos(app);
    FreeAllExtensions(*app);
    FreeMovementExtensions(*app);
    FreeGlobalObjectStore(*app);
    FreeKept(app->effectBank);
    DestroyFrameWindow(*app);
    // Its window is gone: nothing shows the icon any more.
    if (app->subAppIcon) DestroyIcon(app->subAppIcon);
    app->subAppIcon = nullptr;
    FreeKept(app->imageList);
    FreeKept(app->extendedOptions);
    FreeKept(app->globalValues);
    FreeKept(app->globalStrings);
    FreeKept(app->applicationPalette);
    if (app->dataStream) {
        app->dataStream->Delete();
        app->dataStream = nullptr;
    }
    FreeEmbeddedFiles(*app);
    RemoveRunningApplication(app);
    if (app->musicFolder) {
        RemoveDirectoryW(app->musicFolder);
        FreeMemory(&app->musicFolder);
    }
    RestoreDisplayModeOnClose(*app);
    FreeRememberedSounds(*app);
    FreeMemory(&app);
}

} // namespace vtrrt

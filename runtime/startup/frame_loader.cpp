#include "startup/frame_loader.h"
#include "core/upcalls.h"

#include "startup/event_program.h"
#include "startup/ink_effects.h"

#include "core/byte_reader.h"
#include "core/error_message.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "startup/application_paths.h"
#include "startup/banks.h"
#include "startup/build_palette.h"
#include "startup/chunk_reader.h"
#include "startup/effect_bank.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"
#include "startup/object_references.h"
#include "startup/player_globals.h"
#include "startup/sound_items.h"
#include "startup/stored_text.h"

#include "vtrs2/app_window.h"
#include "vtrs2/containers.h"
#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/palette_matching.h"
#include "vtrs2/palettes.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::size_t VirtualRectBytes = 16;
// Layer flag: its sprites are drawn straight onto the window surface, never composed with its ink.
constexpr std::uint32_t LayerFlagDrawnDirectly = 0x80;
constexpr std::size_t FadeFlagsOffset = 12;
constexpr std::uint32_t FadeWideData = 0x2;

struct FrameLoad {
    ApplicationRecord& app;
    CInputFile& stream;
    FrameRecord& frame;
};

using FrameChunkHandler = int (*)(FrameLoad&, const ChunkHeader&);

// A chunk's payload read whole, freed when done.
struct Payload {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ~Payload() { FreeMemory(&data); }
    std::span<const std::uint8_t> Bytes() const { return {data, size}; }
    FrameBlock Release() {
        FrameBlock block{data, size};
        data = nullptr;
        size = 0;
        return block;
    }
};

int Read(FrameLoad& fl, const ChunkHeader& h, Payload& p) {
    return ReadChunk(fl.stream, h, &p.data, &p.size, fl.app.key);
}

void FreeBlock(FrameBlock& block) {
    FreeMemory(&block.data);
    block.size = 0;
}

int ReadText(FrameLoad& fl, const ChunkHeader& h, WCHAR*& field) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    WCHAR* text = StoredTextToWide(p.Bytes(), fl.app.unicode != 0, fl.app.codePage);
    if (!text) return ErrorOutOfMemory;
    FreeMemory(&field);
    field = text;
    return LoadOk;
}

// A sub-application frame that resets the globals it shares takes its own again.
void ResetSharedGlobals(FrameLoad& fl) {
    ApplicationRecord& app = fl.app;
    if (!(fl.frame.flags & FrameResetsSharedGlobals) || (app.subAppOptions & SubAppKeepsSharing)) return;
    if (!(app.shareLives || app.shareScores || app.shareGlobalValues || app.shareGlobalStrings)) return;
    app.shareLives = app.shareScores = app.shareGlobalValues = app.shareGlobalStrings = 0;
    // The frame is being loaded for the current application, which InitApplicationGlobals works on.
    InitApplicationGlobals();
}

int OnHeader(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    ByteReader r(p.Bytes());
    FrameRecord& f = fl.frame;
    if (!r.I32(f.width) || !r.I32(f.height) || !r.U32(f.background) || !r.U32(f.flags))
        return StreamDataError;
    const RuntimeServices& services = Services();
    if (f.flags & FrameScreenSize) {
        f.storedWidth = f.width;
        f.storedHeight = f.height;
        f.width = services.screenWidth;
        f.height = services.screenHeight;
        f.virtualRect = {0, 0, services.screenWidth, services.screenHeight};
        f.displayWidth = services.screenWidth;
        f.displayHeight = services.screenHeight;
    } else {
        f.displayWidth = std::min<std::int32_t>(fl.app.header.windowWidth, f.width);
        f.displayHeight = std::min<std::int32_t>(fl.app.header.windowHeight, f.height);
    }
    ResetSharedGlobals(fl);
    return LoadOk;
}

int OnName(FrameLoad& fl, const ChunkHeader& h) {
    return ReadText(fl, h, fl.frame.name);
}
int OnString3343(FrameLoad& fl, const ChunkHeader& h) {
    return ReadText(fl, h, fl.frame.string3343);
}

int OnPalette(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    if (p.size < PaletteBytes) return StreamDataError;
    FramePalette* palette = nullptr;
    if (!AllocZeroedMemory(sizeof(FramePalette), &palette)) return ErrorOutOfMemory;
    ByteReader r(p.Bytes());
    r.U16(palette->version);
    r.U16(palette->count);
    for (PaletteEntry& e : palette->entries) {
        r.U8(e.red);
        r.U8(e.green);
        r.U8(e.blue);
        r.U8(e.flags);
    }
    FreeMemory(&fl.frame.palette);
    fl.frame.palette = palette;
    return LoadOk;
}

void ReadInstance(ByteReader& r, FrameItemInstance& item) {
    std::int16_t unused = 0;
    r.U16(item.handle);
    r.U16(item.objectInfo);
    r.I32(item.x);
    r.I32(item.y);
    r.I16(item.parentType);
    r.I16(item.parentHandle);
    r.I16(item.layer);
    r.I16(unused);
}

int OnItems(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    ByteReader r(p.Bytes());
    std::uint32_t stored = 0;
    if (!r.U32(stored)) return StreamDataError;
    const std::uint32_t count = stored & 0xFFFF;
    if (r.Left() < count * FrameItemBytes) return StreamDataError;
    FrameRecord& f = fl.frame;
    FreeMemory(&f.instances);
    FreeMemory(&f.instanceIndex);
    f.instanceCount = 0;
    if (!AllocZeroedMemory((count + 1) * sizeof(FrameItemInstance), &f.instances)) return ErrorOutOfMemory;
    std::int32_t highest = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        FrameItemInstance& item = f.instances[i];
        ReadInstance(r, item);
        if (const ObjectInfo* info = GetObjectInfoByHandle(item.objectInfo))
            item.objectType = info->objectType;
        highest = std::max<std::int32_t>(highest, f.instances[i].handle);
    }
    f.instanceCount = static_cast<std::int32_t>(count);
    f.instanceHandleLimit = highest + 1;
    const std::size_t entries = static_cast<std::size_t>(highest + 1) + 1;
    if (!AllocMemory(entries * sizeof(std::uint16_t), &f.instanceIndex)) return ErrorOutOfMemory;
    std::fill_n(f.instanceIndex, entries, NoInstance);
    for (std::uint32_t i = 0; i < count; ++i)
        f.instanceIndex[f.instances[i].handle] = static_cast<std::uint16_t>(i);
    return LoadOk;
}

int OnFade(FrameLoad& fl, const ChunkHeader& h, FrameBlock& into) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    if (fl.app.unicode && p.size >= FadeFlagsOffset + 4) {
        std::uint32_t flags = 0;
        ByteReader r(p.Bytes());
        r.Seek(FadeFlagsOffset);
        r.U32(flags);
        flags |= FadeWideData;
        for (int i = 0; i < 4; ++i)
            p.data[FadeFlagsOffset + i] = static_cast<std::uint8_t>(flags >> (8 * i));
    }
    FreeBlock(into);
    into = p.Release();
    return LoadOk;
}
int OnFadeIn(FrameLoad& fl, const ChunkHeader& h) {
    return OnFade(fl, h, fl.frame.fadeIn);
}
int OnFadeOut(FrameLoad& fl, const ChunkHeader& h) {
    return OnFade(fl, h, fl.frame.fadeOut);
}

void ReadSettings(ByteReader& r, LayerSettings& s) {
    std::uint32_t x = 0, y = 0;
    r.U32(s.flags);
    r.U32(x);
    r.U32(y);
    r.I32(s.backdropCount);
    r.I32(s.firstBackdrop);
    s.xCoefficient = std::bit_cast<float>(x);
    s.yCoefficient = std::bit_cast<float>(y);
}

void FreeLayers(FrameRecord& f) {
    for (std::int32_t i = 0; i < f.layerCount; ++i)
        FreeMemory(&f.layers[i].name);
    FreeMemory(&f.layers);
    f.layerCount = 0;
}

int OnLayers(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    ByteReader r(p.Bytes());
    std::uint32_t count = 0;
    if (!r.U32(count)) return StreamDataError;
    const std::size_t unit = fl.app.unicode ? 2 : 1;
    // Every layer holds its settings and at least a terminator.
    if (count > r.Left() / (LayerSettingsBytes + unit)) return StreamDataError;
    FrameRecord& f = fl.frame;
    FreeLayers(f);
    if (count == 0) return ErrorSilent;
    if (!AllocZeroedMemory(count * sizeof(FrameLayer), &f.layers)) return ErrorSilent;
    f.layerCount = static_cast<std::int32_t>(count);
    for (FrameLayer& layer : std::span(f.layers, count)) {
        if (r.Left() < LayerSettingsBytes + unit) return StreamDataError;
        ReadSettings(r, layer.stored);
        layer.settings = layer.stored;
        const auto text = StoredTextBytes(p.Bytes().subspan(r.Position()), fl.app.unicode != 0);
        // The terminator must be inside the chunk.
        if (text.size() + unit > r.Left()) return StreamDataError;
        layer.name = StoredTextToWide(text, fl.app.unicode != 0, fl.app.codePage);
        if (!layer.name) return ErrorOutOfMemory;
        r.Skip(text.size() + unit);
    }
    return LoadOk;
}

int OnVirtualRect(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    if (p.size < VirtualRectBytes) return StreamDataError;
    ByteReader r(p.Bytes());
    FrameRecord& f = fl.frame;
    RECT& v = f.virtualRect;
    r.I32(v.left);
    r.I32(v.top);
    r.I32(v.right);
    r.I32(v.bottom);
    if (f.flags & FrameScreenSize) {
        const std::int64_t w = static_cast<std::int64_t>(v.right) - v.left;
        const std::int64_t hgt = static_cast<std::int64_t>(v.bottom) - v.top;
        if (w == f.storedWidth || w < f.width) v.right = static_cast<LONG>(v.left + f.width);
        if (hgt == f.storedHeight || hgt < f.height) v.bottom = static_cast<LONG>(v.top + f.height);
    }
    return LoadOk;
}

// Read directly: the chunk's flags are not looked at and a short chunk changes nothing.
int OnRandomSeed(FrameLoad& fl, const ChunkHeader& h) {
    std::array<std::uint8_t, 2> bytes{};
    if (h.size >= 2 && fl.stream.Read(bytes.data(), 2) == 0)
        fl.frame.randomSeed = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
    return LoadOk;
}

int OnMoveTimerBase(FrameLoad& fl, const ChunkHeader& h) {
    std::array<std::uint8_t, 4> bytes{};
    if (h.size >= 4 && fl.stream.Read(bytes.data(), 4) == 0) ByteReader(bytes).U32(fl.frame.moveTimerBase);
    return LoadOk;
}

int OnLayerEffects(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    FreeBlock(fl.frame.layerEffects);
    fl.frame.layerEffects = p.Release();
    return LoadOk;
}

// The frame's own effect: ink effect, parameter, bank index, parameter count, then the parameters.
int OnEffect(FrameLoad& fl, const ChunkHeader& h) {
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    ByteReader r(p.Bytes());
    std::uint32_t count = 0;
    if (!r.Skip(12) || !r.U32(count) || count > r.Left() / 4) return StreamDataError;
    FreeBlock(fl.frame.effect);
    fl.frame.effect = p.Release();
    return LoadOk;
}

// The event program: read, and converted when the data stores 8-bit strings.
int OnEvents(FrameLoad& fl, const ChunkHeader& h) {
    fl.frame.eventsChunkOffset =
        fl.app.dataBaseOffset + static_cast<std::int64_t>(fl.stream.GetPosition()) - ChunkHeaderSize;
    Payload p;
    if (int code = Read(fl, h, p)) return code;
    if (!fl.frame.events && !(fl.frame.events = NewFrameEvents())) return ErrorOutOfMemory;
    FrameEvents& events = *fl.frame.events;
    ResetFrameEventData(events);
    const int code = ReadFrameEvents(events, p.Bytes(), fl.app.unicode != 0, fl.app.codePage);
    if (code != LoadOk || events.stored.empty()) return code;
    // The files events name move with the application to where it runs.
    return ForEachEventFileParameter(
        events.stored,
        [](int, char16_t* path, std::size_t, void* app) {
            RelocatePathToTempFolder(*static_cast<const ApplicationRecord*>(app), path);
        },
        &fl.app);
}

struct FrameHandlerEntry {
    std::uint16_t id;
    FrameChunkHandler handler;
};

// The password is skipped: only the application loader reads it.
constexpr std::array FrameHandlers{
    FrameHandlerEntry{ChunkFrameHeader, OnHeader},
    FrameHandlerEntry{ChunkFrameName, OnName},
    FrameHandlerEntry{ChunkFramePalette, OnPalette},
    FrameHandlerEntry{ChunkFrameItems, OnItems},
    FrameHandlerEntry{ChunkFrameFadeIn, OnFadeIn},
    FrameHandlerEntry{ChunkFrameFadeOut, OnFadeOut},
    FrameHandlerEntry{ChunkFrameLayers, OnLayers},
    FrameHandlerEntry{ChunkFrameVirtualRect, OnVirtualRect},
    FrameHandlerEntry{ChunkFrameString3343, OnString3343},
    FrameHandlerEntry{ChunkFrameRandomSeed, OnRandomSeed},
    FrameHandlerEntry{ChunkFrameLayerEffects, OnLayerEffects},
    FrameHandlerEntry{ChunkFrameMoveTimerBase, OnMoveTimerBase},
    FrameHandlerEntry{ChunkFrameEffect, OnEffect},
    FrameHandlerEntry{ChunkFrameEvents, OnEvents},
};

FrameChunkHandler FindFrameHandler(std::uint16_t id) {
    for (const auto& entry : FrameHandlers)
        if (entry.id == id) return entry.handler;
    return nullptr;
}

int ReadFrameChunkList(FrameLoad& fl) {
    const int code = WalkChunkList(fl.stream, [&](const ChunkHeader& h) {
        const FrameChunkHandler handler = FindFrameHandler(h.id);
        return handler ? handler(fl, h) : LoadOk;
    });
    if (code != LoadOk) return code;
    // Instances and layer effects name layers by index: a frame needs its layer array.
    return fl.frame.layerCount > 0 ? LoadOk : ErrorSilent;
}

void ReportFrameError(const ApplicationRecord& app, std::int32_t index, int code) {
    ReportLoadError(code, app.dataFilePath, index);
}

// Every frame uses the list's images: by stored index until the list is translated, then by handle.
void CountImageListUses(const ApplicationRecord& app, const ApplicationBanks& banks, FrameBankUses& uses) {
    const std::span<const std::uint8_t> entries = ImageListEntries(app);
    for (std::size_t at = 0; at < entries.size(); at += ImageListEntrySize) {
        const std::uint16_t image = ImageListEntryImage(entries, at);
        uses.indexes[AppBankImages].push_back(
            banks.imageListTranslated ? StoredIndexOfHandle(banks, AppBankImages, image) : image);
    }
}

// Once, after the first frame's items are loaded: stored indexes become library handles (0 for none).
void TranslateImageList(ApplicationRecord& app, ApplicationBanks& banks) {
    if (banks.imageListTranslated) return;
    const std::span<std::uint8_t> entries = ImageListEntries(app);
    for (std::size_t at = 0; at < entries.size(); at += ImageListEntrySize) {
        const auto handle = static_cast<std::uint16_t>(
            HandleOfStoredIndex(banks, AppBankImages, ImageListEntryImage(entries, at)));
        entries[at + 2] = static_cast<std::uint8_t>(handle);
        entries[at + 3] = static_cast<std::uint8_t>(handle >> 8);
    }
    banks.imageListTranslated = true;
}

constexpr std::size_t FrameEffectValues = 16;
constexpr std::size_t LayerEffectValuesOffset = 16;

// Calls f on the low 16 bits of each image parameter value of a shader effect: `effect` holds the ink
// effect, the parameter, the bank index and the count; the values are at `values` in `block`.
template <typename F>
void ForEachEffectImage(std::span<std::uint8_t> block, std::size_t effect, std::size_t values,
                        std::span<const std::uint8_t> bank, F&& f) {
    ByteReader r(block);
    std::uint32_t ink = 0, index = 0, count = 0;
    if (!r.Seek(effect) || !r.U32(ink) || !r.Skip(4) || !r.U32(index) || !r.U32(count)) return;
    if (ink != InkShaderEffect || values > block.size() || count > (block.size() - values) / 4) return;
    for (std::uint32_t i = 0; i < count; ++i)
        if (EffectParameterKind(bank, index, i) == EffectParameterImage) f(block.data() + values + 4u * i);
}

// The frame's own effect and each layer's, for each image they name.
template <typename F>
void ForEachFrameEffectImage(FrameRecord& frame, std::span<const std::uint8_t> bank, F&& f) {
    ForEachEffectImage({frame.effect.data, frame.effect.size}, 0, FrameEffectValues, bank, f);
    const std::span<std::uint8_t> layers(frame.layerEffects.data, frame.layerEffects.size);
    for (std::size_t at = 0; at + LayerEffectBytes <= layers.size(); at += LayerEffectBytes) {
        std::uint32_t values = 0;
        ByteReader r(layers);
        if (r.Seek(at + LayerEffectValuesOffset) && r.U32(values))
            ForEachEffectImage(layers, at, values, bank, f);
    }
}

std::uint16_t U16At(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void SetU16At(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

struct EventSoundUses {
    FrameBankUses* uses;
    ApplicationBanks* banks;
};

// Event sound parameters name their items by stored index until the frame's items are loaded.
void CountEventSounds(FrameRecord& frame, FrameBankUses& uses) {
    if (!frame.events || frame.events->stored.empty()) return;
    ForEachEventSoundParameter(
        frame.events->stored,
        [](std::uint8_t* payload, int bank, void* user) {
            static_cast<FrameBankUses*>(user)->indexes[bank].push_back(U16At(payload));
        },
        &uses);
}

void TranslateEventSounds(FrameRecord& frame, ApplicationBanks& banks) {
    if (!frame.events || frame.events->stored.empty()) return;
    ForEachEventSoundParameter(
        frame.events->stored,
        [](std::uint8_t* payload, int bank, void* user) {
            SetU16At(payload,
                     HandleOfStoredIndex(*static_cast<ApplicationBanks*>(user), bank, U16At(payload)));
        },
        &banks);
}

// Counts the bank items the frame, its effects, its events and the loaded object definitions use, loads
// and releases the application's items to match, and translates what was counted by stored index into
// library handles.
int LoadFrameBanks(ApplicationRecord& app, FrameRecord& frame) {
    if (!app.banks) return LoadOk;
    ApplicationBanks& banks = *app.banks;
    banks.effects = {app.effectBank.data, app.effectBank.size};
    std::vector<ObjectInfo*> toTranslate;
    FrameBankUses uses;
    try {
        CountImageListUses(app, banks, uses);
        if (app.objectInfos) {
            for (ObjectInfo& info : app.objectInfos->infos) {
                if (!(info.runFlags & InfoDefinitionLoaded)) continue;
                if (info.runFlags & InfoTranslated) {
                    FrameBankUses handles;
                    CountObjectInfoUses(banks, info, handles);
                    for (int k = 0; k < AppBankCount; ++k)
                        for (std::uint16_t handle : handles.indexes[k])
                            uses.indexes[k].push_back(StoredIndexOfHandle(banks, k, handle));
                } else if ((info.runFlags & InfoLoadsWithFrame) ||
                           (!(frame.flags & FrameLoadsOnDemand) &&
                            !(info.headerFlags & InfoHeaderOnDemand))) {
                    CountObjectInfoUses(banks, info, uses);
                    toTranslate.push_back(&info);
                }
            }
        }
        ForEachFrameEffectImage(frame, banks.effects, [&](std::uint8_t* value) {
            uses.indexes[AppBankImages].push_back(U16At(value));
        });
        CountEventSounds(frame, uses);
    } catch (const std::bad_alloc&) {
        return ErrorOutOfMemory;
    }
    if (int code = LoadFrameBankItems(banks, uses, IsApplicationSoundPlaying)) return code;
    TranslateImageList(app, banks);
    for (ObjectInfo* info : toTranslate)
        TranslateObjectInfo(banks, *info);
    ForEachFrameEffectImage(frame, banks.effects, [&](std::uint8_t* value) {
        SetU16At(value, HandleOfStoredIndex(banks, AppBankImages, U16At(value)));
    });
    TranslateEventSounds(frame, banks);
    return LoadOk;
}

} // namespace

FrameRecord* LoadFrameChunks(int* error) {
    auto fail = [error](int code) -> FrameRecord* {
        if (error) *error = code;
        return nullptr;
    };
    ApplicationRecord* app = CurrentApplication();
    if (!app || !app->dataStream) return fail(ErrorSilent);
    FrameRecord* frame = nullptr;
    if (!AllocZeroedMemory(sizeof(FrameRecord), &frame)) return fail(ErrorOutOfMemory);
    RuntimeServices& services = Services();
    FrameRecord* previous = services.frame;
    services.frame = frame;
    frame->randomSeed = -1;
    frame->playerCount = 1;
    std::fill(std::begin(frame->factors), std::end(frame->factors), 1.0f);
    FrameLoad fl{*app, *app->dataStream, *frame};
    ClearChunkFailure();
    LastChunkFailure().dataOffset = app->dataBaseOffset;
    const int code = ReadFrameChunkList(fl);
    FlagFrameItemObjectInfos(*frame);
    if (error) *error = code;
    if (code != LoadOk) {
        FreeFrame(frame);
        services.frame = previous;
        return nullptr;
    }
    return frame;
}

namespace {

constexpr win32::WORD DisplayType256 = 3;
constexpr std::size_t PaletteRemapBytes = 256;

// A palette as the library's palette functions take it.
struct LogPalette256 {
    std::vector<std::uint32_t> storage = std::vector<std::uint32_t>(1 + 256);
    explicit LogPalette256(const FramePalette& from) {
        auto* p = Get();
        p->palVersion = from.version;
        p->palNumEntries = 256;
        for (int i = 0; i < 256; ++i)
            p->palPalEntry[i] = {from.entries[i].red, from.entries[i].green, from.entries[i].blue,
                                 from.entries[i].flags};
    }
    win32::LOGPALETTE* Get() { return reinterpret_cast<win32::LOGPALETTE*>(storage.data()); }
};

const FramePalette* TopPaletteOf(const ApplicationRecord& app) {
    const ApplicationRecord* top = &app;
    while (top->parent)
        top = top->parent;
    return top->run.frame ? top->run.frame->palette : nullptr;
}

} // namespace

// A 256-colour sub-application's frame draws in its top application's colours: a table from its own indexes
// to the top's when the display is in 256 colours (none when both palettes agree), else its palette shared.
void LinkSubApplicationPalette(const ApplicationRecord& app, FrameRecord& frame) {
    if (app.header.graphicMode != DisplayType256 || !frame.palette) return;
    LogPalette256 own(*frame.palette);
    if (Services().displayType == DisplayType256) {
        const FramePalette* top = TopPaletteOf(app);
        win32::BYTE* table = nullptr;
        if (!top || !AllocMemory(PaletteRemapBytes, &table)) return;
        LogPalette256 target(*top);
        if (RemapPalette(table, target.Get(), own.Get(), 0) == 0)
            FreeMemory(&table);
        else
            frame.paletteLink = table;
        return;
    }
    frame.paletteLink = AcquireSharedPalette(own.Get());
}

void FreePaletteLink(FrameRecord& frame) {
    if (!frame.paletteLink) return;
    if (Services().displayType == DisplayType256)
        FreeMemory(&frame.paletteLink);
    else
        FreeSharedPalette(static_cast<SharedPalette*>(std::exchange(frame.paletteLink, nullptr)));
}

FrameRecord* LoadFrame(std::int32_t index, int* error) {
    ApplicationRecord* app = CurrentApplication();
    if (!app || !app->dataStream || !app->frameOffsets || index < 0 || index >= app->framesCounted) {
        if (error) *error = StreamDataError;
        if (app) ClearChunkFailure();
        ReportLoadError(StreamDataError, app ? app->dataFilePath : nullptr, index);
        return nullptr;
    }
    PrepareObjectInfosForFrame(*app);
    app->dataStream->Seek(static_cast<LONG>(app->frameOffsets[index]), SeekFromStart);
    int code = LoadOk;
    FrameRecord* frame = LoadFrameChunks(&code);
    if (error) *error = code;
    if (!frame) {
        ReportFrameError(*app, index, code);
        // The codes that show no message (no layer array, a chunk enciphered without the key) still leave
        // a line, so that a run that ends at its first frame never ends unexplained.
        if (code <= 0)
            ReportErrorLine(u"the frame at index " + win32::FromUtf8(std::to_string(index)) +
                            u" cannot be loaded: its data is incomplete or damaged");
        return nullptr;
    }
    if (index == 0 && !app->parent && (app->header.flags2 & 0x4000)) frame->flags |= FrameFirstOfMdiApp;
    if (frame->palette) {
        // Normalised as every stored frame palette is: static colours at both ends, the rest never collapsed.
        BuildPalette(frame->palette->entries, frame->palette->entries);
        if (!app->parent)
            SelectRuntimePalette(frame->palette->entries);
        else
            LinkSubApplicationPalette(*app, *frame);
    }
    code = LoadFrameObjectInfos(app);
    if (code == LoadOk) code = LoadFrameBanks(*app, *frame);
    if (code != LoadOk) {
        if (error) *error = code;
        ReportFrameError(*app, index, code);
        FreeFrame(frame);
        return nullptr;
    }
    return frame;
}

void FreeLayerBackdropGrid(FrameLayer& layer) {
    up::FreeBackdropGrid(layer.backdropGrid);
    layer.backdropGrid = nullptr;
}

void ResetFrameLayers(FrameRecord& frame, bool freeAll) {
    AppWindow* window = Services().frameLibraryWindow;
    int index = 0;
    for (FrameLayer& layer : std::span(frame.layers, static_cast<std::size_t>(frame.layerCount))) {
        const int at = index++;
        up::FreeLayerBackdrops(layer, frame);
        layer.settings = layer.stored;
        std::fill(std::begin(layer.scroll), std::end(layer.scroll), 0);
        if (freeAll) {
            FreeMemory(&layer.name);
            if ((layer.inkEffect & 0xFFFF) == InkShaderEffect) {
                // The window's record of the layer must not keep the effect that goes.
                if (window && window->sprites) SetLayerEffect(window->sprites, at, 0, 0, 0);
                DeleteEffect(reinterpret_cast<CEffectEx*>(std::exchange(layer.effectParameter, 0)));
            }
        }
        FreeMemory(&layer.runtimeBackdrops);
        layer.runtimeBackdropCount = 0;
        FreeMemory(&layer.rects);
        layer.rectCapacity = layer.rectCount = 0;
        FreeLayerBackdropGrid(layer);
    }
    // The backdrops' sprites are gone: their object infos' effect objects go too.
    DeleteBackdropEffects(CurrentApplication());
}

void DestroyFrameSurface(cSurface*& surface) {
    if (!surface) return;
    AppWindow* window = Services().frameLibraryWindow;
    if (window && GetWindowSurface(window, 0) == surface) DetachWindowSurface(window);
    DeleteSurface(surface);
    surface = nullptr;
}

void FreeFrame(FrameRecord* frame) {
    if (frame) FreePaletteLink(*frame);
    if (!frame) return;
    RuntimeServices& services = Services();
    FrameRecord* previous = services.frame;
    services.frame = frame;
    up::FreeFrameRunState(frame->runState);
    if (frame->events) up::ReleaseFrameEventLists(*frame->events);
    up::DropFrameTransition(*frame);
    FreeBlock(frame->fadeIn);
    FreeBlock(frame->fadeOut);
    if (AppWindow* window = services.frameLibraryWindow) DeleteAllSprites(window->sprites);
    FreeMemory(&frame->name);
    FreeMemory(&frame->palette);
    FreeMemory(&frame->instances);
    FreeMemory(&frame->instanceIndex);
    ResetFrameLayers(*frame, true);
    FreeLayers(*frame);
    FreeBlock(frame->layerEffects);
    if (up::ReleaseFrameEffect)
        up::ReleaseFrameEffect(*frame);
    else
        DeleteEffect(std::exchange(frame->effectObject, nullptr));
    FreeBlock(frame->effect);
    DeleteSurface(std::exchange(frame->windowSurface, nullptr));
    DeleteFrameEvents(frame->events);
    FreeMemory(&frame->string3343);
    delete static_cast<CIndexList*>(std::exchange(frame->subApplications, nullptr));
    // The application keeps the last frame's picture for the next frame.
    if (ApplicationRecord* app = CurrentApplication(); app && frame->surface) {
        if (app->frameSurface != frame->surface) DestroyFrameSurface(app->frameSurface);
        app->frameSurface = std::exchange(frame->surface, nullptr);
    }
    DestroyFrameSurface(frame->surface);
    services.frame = previous == frame ? nullptr : previous;
    FreeMemory(&frame);
}

namespace {

// A layer's effect values as the effect services take them: effect index, count, then the values that lie
// inside the block at the entry's offset.
std::vector<std::uint8_t> LayerEffectValues(std::span<const std::uint8_t> block, std::uint32_t index,
                                            std::uint32_t count, std::uint32_t offset) {
    std::vector<std::uint8_t> values(8);
    for (int i = 0; i < 4; ++i) {
        values[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(index >> (8 * i));
        values[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    if (offset <= block.size() && count <= (block.size() - offset) / 4)
        values.insert(values.end(), block.begin() + offset, block.begin() + offset + 4u * count);
    else
        values[4] = values[5] = values[6] = values[7] = 0;
    return values;
}

} // namespace

void CreateLayerEffects() {
    FrameRecord* frame = Services().frame;
    if (!frame) return;
    const std::span<FrameLayer> layers(frame->layers, static_cast<std::size_t>(frame->layerCount));
    if (frame->layerEffects.data) {
        const std::span<const std::uint8_t> block(frame->layerEffects.data, frame->layerEffects.size);
        ByteReader r(block);
        for (FrameLayer& layer : layers) {
            std::uint32_t ink = 0, parameter = 0, index = 0, count = 0, values = 0;
            if (!r.U32(ink) || !r.U32(parameter) || !r.U32(index) || !r.U32(count) || !r.U32(values)) break;
            // A frame started again makes its effects anew.
            if ((layer.inkEffect & 0xFFFF) == InkShaderEffect)
                DeleteEffect(reinterpret_cast<CEffectEx*>(layer.effectParameter));
            layer.inkEffect = static_cast<std::int16_t>(ink);
            layer.effectParameter = parameter;
            if ((ink & 0xFFFF) == InkShaderEffect) {
                layer.effectParameter = reinterpret_cast<std::uintptr_t>(
                    CreateEffectWithParameters(LayerEffectValues(block, index, count, values), 0xFFFFFFFF));
            }
        }
    }
    AppWindow* window = Services().frameLibraryWindow;
    if (!window || !window->sprites) return;
    AllocateLayerRecords(window->sprites, frame->layerCount);
    for (std::size_t i = 0; i < layers.size(); ++i)
        SetLayerEffect(window->sprites, static_cast<int>(i), static_cast<DWORD>(layers[i].inkEffect),
                       static_cast<LONG_PTR>(layers[i].effectParameter),
                       (layers[i].settings.flags & LayerFlagDrawnDirectly) ? LayerDrawnDirectly : 0);
}

FrameItemInstance* FindFrameInstance(FrameRecord& frame, std::uint16_t handle) {
    if (!frame.instanceIndex || handle >= frame.instanceHandleLimit) return nullptr;
    const std::uint16_t position = frame.instanceIndex[handle];
    if (position == NoInstance || position >= frame.instanceCount) return nullptr;
    return &frame.instances[position];
}

FrameItemInstance* FirstFrameItemToCreate() {
    if (FrameRecord* frame = Services().frame) frame->instanceCursor = 0;
    return NextFrameItemToCreate();
}

FrameItemInstance* NextFrameItemToCreate() {
    FrameRecord* frame = Services().frame;
    if (!frame) return nullptr;
    while (frame->instanceCursor < frame->instanceCount) {
        FrameItemInstance& item = frame->instances[frame->instanceCursor++];
        if (item.objectType > 1) return &item;
    }
    return nullptr;
}

std::span<std::uint8_t> ImageListEntries(const ApplicationRecord& app) {
    const KeptChunk& list = app.imageList;
    std::uint32_t count = 0;
    if (!list.data || !ByteReader({list.data, list.size}).U32(count)) return {};
    return {list.data + 4,
            std::min<std::size_t>(count, (list.size - 4) / ImageListEntrySize) * ImageListEntrySize};
}

} // namespace vtrrt

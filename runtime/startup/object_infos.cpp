#include "startup/object_infos.h"
#include "core/upcalls.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "startup/chunk_reader.h"
#include "startup/event_program.h"
#include "startup/object_references.h"

#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <new>
#include <utility>

namespace vtrrt {

namespace {

constexpr std::uint16_t NoIndex = 0xFFFF;

void SwapWords(std::vector<std::uint8_t>& d, std::size_t a, std::size_t b) {
    std::swap(d[a], d[b]);
    std::swap(d[a + 1], d[b + 1]);
}

struct ChunkBlock {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ~ChunkBlock() { FreeMemory(&data); }
};

int ReadInfoChunk(ApplicationRecord* app, CInputFile& stream, const ChunkHeader& h, ObjectInfoTable& table,
                  ObjectInfo*& info) {
    if (h.id == ChunkObjectDefinition) {
        // Only its place is noted: a definition is read when a frame needs it.
        if (!info) return StreamDataError;
        info->definitionPosition = static_cast<std::uint32_t>(stream.GetPosition() - ChunkHeaderSize);
        return LoadOk;
    }
    ChunkBlock block;
    const bool keyed = h.id == ChunkObjectHeader || h.id == ChunkObjectName;
    if (int code = ReadChunk(stream, h, &block.data, &block.size, keyed ? app->key : nullptr)) return code;
    ByteReader r({block.data, block.size});
    if (h.id == ChunkObjectHeader) {
        table.infos.emplace_back();
        info = &table.infos.back();
        std::uint16_t type = 0;
        if (!r.U16(info->handle) || !r.U16(type) || !r.U16(info->headerFlags) || !r.Skip(2) ||
            !r.U32(info->inkEffect) || !r.U32(info->inkParameter))
            return StreamDataError;
        info->objectType = static_cast<std::int16_t>(type);
    } else if (h.id == ChunkObjectName && info) {
        std::u16string name;
        if (app->unicode) {
            std::uint16_t c = 0;
            while (r.U16(c) && c)
                name.push_back(static_cast<char16_t>(c));
        } else {
            std::uint8_t c = 0;
            while (r.U8(c) && c)
                name.push_back(static_cast<char16_t>(c)); // Latin-1 range of the ANSI code page
        }
        info->name = std::move(name);
    } else if (h.id == ChunkObjectEffect && info) {
        info->effectParameters.assign(block.data, block.data + block.size);
    }
    return LoadOk;
}

int ReadInfoChunkList(ApplicationRecord* app, CInputFile& stream, ObjectInfoTable& table) {
    ObjectInfo* info = nullptr;
    return WalkChunkList(stream,
                         [&](const ChunkHeader& h) { return ReadInfoChunk(app, stream, h, table, info); });
}

} // namespace

std::uint16_t DefU16(std::span<const std::uint8_t> def, std::size_t at) {
    return vtrformat::FieldAt<std::uint16_t>(def, at);
}

std::uint32_t DefU32(std::span<const std::uint8_t> def, std::size_t at) {
    return DefU16(def, at) | (static_cast<std::uint32_t>(DefU16(def, at + 2)) << 16);
}

std::int32_t DefI32(std::span<const std::uint8_t> def, std::size_t at) {
    return static_cast<std::int32_t>(DefU32(def, at));
}

ObjectInfoTable* ObjectInfosOf(ApplicationRecord* app) {
    if (!app) return nullptr;
    if (!app->objectInfos) app->objectInfos = new (std::nothrow) ObjectInfoTable;
    return app->objectInfos;
}

ObjectInfo* SeekObjectInfoByHandle(ApplicationRecord* app, std::uint16_t handle) {
    ObjectInfoTable* t = app ? app->objectInfos : nullptr;
    if (!t || handle >= t->indexByHandle.size()) return nullptr;
    const std::uint16_t index = t->indexByHandle[handle];
    if (index == NoIndex || index >= t->infos.size()) return nullptr;
    t->cursor = index;
    return &t->infos[index];
}

bool RearrangeDefinition(std::vector<std::uint8_t>& d, std::int16_t type) {
    if (type < 2) return d.size() >= 4;
    if (d.size() < DefCommonBytes) return false;
    d[DefWord10] = d[DefWord14];
    d[DefWord10 + 1] = d[DefWord14 + 1];
    d[DefWord14] = d[DefWord14 + 1] = 0;
    SwapWords(d, DefMovements, DefAnimations);
    SwapWords(d, DefTypeData, DefExtensionData);
    return true;
}

int LoadObjectInfos(ApplicationRecord* app, CInputFile& stream) {
    ObjectInfoTable* table = ObjectInfosOf(app);
    if (!table) return StreamDataError;
    try {
        std::uint32_t count = 0;
        if (int code = stream.ReadLong(reinterpret_cast<win32::DWORD*>(&count))) return code;
        // Each object needs at least one chunk header and the end of its list.
        if (count > 0xFFFF) return StreamDataError;
        table->infos.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (int code = ReadInfoChunkList(app, stream, *table)) {
                FreeObjectInfos(app);
                return code;
            }
        }
        std::uint32_t limit = 0;
        for (const auto& info : table->infos)
            limit = std::max<std::uint32_t>(limit, info.handle + 1u);
        table->indexByHandle.assign(limit, NoIndex);
        for (std::size_t i = 0; i < table->infos.size(); ++i)
            table->indexByHandle[table->infos[i].handle] = static_cast<std::uint16_t>(i);
        return LoadOk;
    } catch (const std::bad_alloc&) {
        FreeObjectInfos(app);
        return ErrorOutOfMemory;
    }
}

void FreeObjectInfos(ApplicationRecord* app) {
    if (!app) return;
    if (app->objectInfos)
        for (ObjectInfo& info : app->objectInfos->infos) {
            up::ReleaseMovementPlugins(info.definition.data(), info.definition.size());
            if (info.objectType >= FirstExtensionType && !info.definition.empty())
                up::ReleaseExtensionDefinition(*app, info);
            DeleteEffect(std::exchange(info.effect, nullptr));
        }
    delete app->objectInfos;
    app->objectInfos = nullptr;
}

int LoadObjectDefinition(ApplicationRecord* app, ObjectInfo& info) {
    if (!app || !app->dataStream || info.definitionPosition == 0) return StreamDataError;
    CInputFile& stream = *app->dataStream;
    if (stream.Seek(static_cast<win32::LONG>(info.definitionPosition), SeekFromStart) !=
        static_cast<win32::LONG>(info.definitionPosition))
        return StreamEndOfData;
    ChunkHeader h;
    if (int code = ReadChunkHeader(stream, h)) return code;
    ChunkBlock block;
    if (int code = ReadChunk(stream, h, &block.data, &block.size, app->key)) return code;
    try {
        std::vector<std::uint8_t> def(block.data, block.data + block.size);
        if (!RearrangeDefinition(def, info.objectType)) return StreamDataError;
        // The plugins made for a definition read before go with it.
        up::ReleaseMovementPlugins(info.definition.data(), info.definition.size());
        info.definition = std::move(def);
    } catch (const std::bad_alloc&) {
        return ErrorOutOfMemory;
    }
    info.runFlags =
        (info.runFlags & ~(InfoTranslated | InfoLoadForFrame | InfoMustReload)) | InfoDefinitionLoaded;
    if (info.objectType >= FirstExtensionType)
        if (const int code = up::PrepareExtensionDefinition(*app, info); code != LoadOk) return code;
    // After the extension's own update, which may move the definition: plugins are kept by address.
    up::CreateDefinitionMovements(*app, info);
    return LoadOk;
}

void UnloadObjectDefinition(ApplicationRecord* app, ObjectInfo& info) {
    if (app && info.objectType >= FirstExtensionType && !info.definition.empty())
        up::ReleaseExtensionDefinition(*app, info);
    // The plugins of its movement modules go with the definition.
    up::ReleaseMovementPlugins(info.definition.data(), info.definition.size());
    info.definition.clear();
    info.definition.shrink_to_fit();
    info.runFlags &= ~(InfoDefinitionLoaded | InfoTranslated | InfoUnloadCandidate);
}

int LoadFrameObjectInfos(ApplicationRecord* app) {
    ObjectInfoTable* table = app ? app->objectInfos : nullptr;
    if (!table) return LoadOk;
    for (ObjectInfo& info : table->infos)
        if (info.runFlags & InfoUnloadCandidate) UnloadObjectDefinition(app, info);
    const std::span<const std::uint8_t> effects(app->effectBank.data, app->effectBank.size);
    for (ObjectInfo& info : table->infos) {
        if (!(info.runFlags & InfoLoadForFrame)) continue;
        if (const int code = LoadObjectDefinition(app, info); code != LoadOk) return code;
        ResetEffectImageParameters(info, effects);
    }
    for (ObjectInfo& info : table->infos)
        info.frameWords[0] = 0;
    return LoadOk;
}

} // namespace vtrrt

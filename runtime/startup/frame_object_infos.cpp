#include "startup/frame_object_infos.h"

#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "startup/object_infos.h"

#include <span>

#include "vtrformat/codes.h"

namespace vtrrt {

using namespace vtrformat;

namespace {

constexpr std::uint32_t DefinitionObstacleValid = 0x2;
constexpr std::uint32_t FrameMarksBackdrops = 0x10000;

ObjectInfoTable* TableOf(ApplicationRecord* app) {
    return app ? app->objectInfos : nullptr;
}

std::span<FrameItemInstance> Instances(FrameRecord& frame) {
    if (!frame.instances || frame.instanceCount <= 0) return {};
    return {frame.instances, static_cast<std::size_t>(frame.instanceCount)};
}

std::uint32_t ObstacleBit(std::uint32_t type) {
    return type == 1 ? 1u : type == 2 ? 2u : 0u;
}

} // namespace

void PrepareObjectInfosForFrame(ApplicationRecord& app) {
    ObjectInfoTable* table = TableOf(&app);
    if (!table) return;
    for (ObjectInfo& info : table->infos) {
        if (info.runFlags & InfoDefinitionLoaded) info.runFlags |= InfoUnloadCandidate;
        info.frameWords[0] = info.frameWords[1] = 0;
    }
}

ObjectInfo* GetObjectInfoByHandle(std::uint16_t handle) {
    ObjectInfoTable* table = TableOf(CurrentApplication());
    if (!table || handle >= table->indexByHandle.size()) return nullptr;
    const std::uint16_t index = table->indexByHandle[handle];
    return index < table->infos.size() ? &table->infos[index] : nullptr;
}

void FlagFrameItemObjectInfos(FrameRecord& frame) {
    for (const FrameItemInstance& item : Instances(frame)) {
        ObjectInfo* info = GetObjectInfoByHandle(item.objectInfo);
        if (!info) continue;
        if (info->runFlags & InfoMustReload) {
            info->runFlags = (info->runFlags & ~(InfoDefinitionLoaded | InfoTranslated)) | InfoLoadForFrame |
                             InfoUnloadCandidate;
        } else {
            info->runFlags &= ~InfoUnloadCandidate;
            if (!(info->runFlags & InfoDefinitionLoaded)) info->runFlags |= InfoLoadForFrame;
        }
        ++info->frameWords[1];
        if (info->objectType > 1) {
            const bool notCreated = DefU32(info->definition, DefObjectFlags) & DefinitionNotCreatedAtStart;
            if (item.parentType == 0 && !notCreated) info->runFlags |= InfoLoadsWithFrame;
        } else if (frame.flags & FrameMarksBackdrops) {
            info->runFlags |= InfoLoadsWithFrame;
        }
    }
}

void MarkFrameObjectInfos() {
    ApplicationRecord* app = CurrentApplication();
    ObjectInfoTable* table = TableOf(app);
    FrameRecord* frame = Services().frame;
    if (!table) return;
    for (ObjectInfo& info : table->infos)
        info.runFlags &= ~InfoUsedByFrame;
    if (!frame) return;
    for (const FrameItemInstance& item : Instances(*frame))
        if (ObjectInfo* info = GetObjectInfoByHandle(item.objectInfo)) info->runFlags |= InfoUsedByFrame;
}

ObjectInfo* FirstFrameObjectInfo() {
    if (ObjectInfoTable* table = TableOf(CurrentApplication())) table->cursor = 0;
    return NextFrameObjectInfo();
}

ObjectInfo* NextFrameObjectInfo() {
    ObjectInfoTable* table = TableOf(CurrentApplication());
    if (!table || table->cursor < 0) return nullptr;
    while (static_cast<std::size_t>(table->cursor) < table->infos.size()) {
        ObjectInfo& info = table->infos[static_cast<std::size_t>(table->cursor++)];
        if (info.objectType >= 2 && (info.runFlags & InfoUsedByFrame)) return &info;
    }
    return nullptr;
}

std::uint32_t GetFrameObstacleTypes() {
    FrameRecord* frame = Services().frame;
    if (!frame) return 0;
    std::uint32_t kinds = 0;
    for (const FrameItemInstance& item : Instances(*frame)) {
        if (item.layer != 0) break;
        const ObjectInfo* info = GetObjectInfoByHandle(item.objectInfo);
        if (!info) continue;
        const std::span<const std::uint8_t> def(info->definition);
        if (info->objectType <= 1)
            kinds |= ObstacleBit(DefU16(def, BackdropObstacle));
        else if (DefU32(def, DefObjectFlags) & DefinitionObstacleValid)
            kinds |= ObstacleBit((DefU16(def, DefObstacle) >> 4) & 3);
    }
    return kinds | frame->obstacleFlags;
}

} // namespace vtrrt

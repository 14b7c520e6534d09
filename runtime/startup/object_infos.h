// The application's object definitions: one ObjectInfo per object, its definition loaded on demand and
// rearranged into its memory form, and read through checked accessors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vtrformat/chunks.h"

class CEffectEx;
class CInputFile;

namespace vtrrt {

struct ApplicationRecord;

using namespace vtrformat;

// Run flags of an ObjectInfo.
constexpr std::uint32_t InfoDefinitionLoaded = 0x1;
constexpr std::uint32_t InfoTranslated = 0x2;
constexpr std::uint32_t InfoLoadForFrame = 0x4;
constexpr std::uint32_t InfoUnloadCandidate = 0x8;
constexpr std::uint32_t InfoUsedByFrame = 0x10;
constexpr std::uint32_t InfoMustReload = 0x20;
constexpr std::uint32_t InfoLoadsWithFrame = 0x40;

constexpr std::uint16_t InfoHeaderOnDemand = 0x1; // header flags: bank items load on demand

// Memory form of a definition (offsets in bytes from its start).
constexpr std::size_t DefSize = 0;
constexpr std::size_t DefMovements = 4;
constexpr std::size_t DefAnimations = 6;
constexpr std::size_t DefWord10 = 10;
constexpr std::size_t DefTypeData = 12;
constexpr std::size_t DefWord14 = 14;
constexpr std::size_t DefObjectFlags = 16;
constexpr std::size_t DefQualifiers = 20; // 8 x i16, -1 ends
constexpr std::size_t DefExtensionData = 36;
constexpr std::size_t DefValues = 38;
constexpr std::size_t DefStrings = 40;
constexpr std::size_t DefObstacle = 42;
// Object flag of a definition: its instances stand for backdrops in the collision tests.
constexpr std::uint32_t ObjectStandsForBackdrop = 0x02;
// The obstacle type (2 bits) in the obstacle word.
constexpr std::uint16_t ObstacleBitsShift = 4;
constexpr std::size_t DefOptions = 46;
constexpr std::size_t DefIdentifier = 48;
constexpr std::size_t DefAppearing = 54;
constexpr std::size_t DefDisappearing = 58;
constexpr std::size_t DefCommonBytes = 62;
// Backdrop kinds (types 0 and 1), kept as stored.
constexpr std::size_t BackdropObstacle = 4;
constexpr std::size_t BackdropBoxOnly = 6;
constexpr std::size_t BackdropWidth = 8;
constexpr std::size_t BackdropHeight = 12;
constexpr std::size_t BackdropImage = 16;     // type 1
constexpr std::size_t BackdropFillType = 24;  // type 0
constexpr std::size_t BackdropFillImage = 26; // type 0 with fill type 3
constexpr std::uint16_t BackdropFillImageType = 3;
constexpr std::size_t BackdropBytes = 28;

constexpr std::uint8_t OptionVisibleAtStart = 0x08;

struct ObjectInfo {
    std::uint16_t handle;
    std::int16_t objectType;
    std::uint16_t headerFlags;
    std::uint32_t inkEffect;
    std::uint32_t inkParameter;
    std::u16string name;
    std::vector<std::uint8_t> definition; // empty until loaded
    std::uint32_t definitionPosition;     // of its chunk header in the data stream; 0 = none
    std::uint32_t runFlags;
    std::uint16_t frameWords[2];
    std::vector<std::uint8_t> effectParameters;
    CEffectEx* effect = nullptr; // ink 13 of a backdrop: made on first use, deleted with the object info
};

struct ObjectInfoTable {
    std::vector<ObjectInfo> infos;
    std::vector<std::uint16_t> indexByHandle; // 0xFFFF = no object
    std::int32_t cursor = -1;
};

// Reads a definition's u16, u32 and i32 at an offset; 0 past its end.
std::uint16_t DefU16(std::span<const std::uint8_t> def, std::size_t at);
std::uint32_t DefU32(std::span<const std::uint8_t> def, std::size_t at);
std::int32_t DefI32(std::span<const std::uint8_t> def, std::size_t at);

// The application's table, made on first use; null without memory.
ObjectInfoTable* ObjectInfosOf(ApplicationRecord* app);
// The object info of a handle, or null; moves the table's cursor.
ObjectInfo* SeekObjectInfoByHandle(ApplicationRecord* app, std::uint16_t handle);

// Reads the object-definitions chunk from the data stream at its payload; 0 or a loader code.
int LoadObjectInfos(ApplicationRecord* app, CInputFile& stream);
void FreeObjectInfos(ApplicationRecord* app);
// Reads the definition into its memory form; an extension's is then handed to its extension.
int LoadObjectDefinition(ApplicationRecord* app, ObjectInfo& info);
// The extension of an extension-type definition lets go of it first.
void UnloadObjectDefinition(ApplicationRecord* app, ObjectInfo& info);
// For the frame being loaded: unloads the definitions it no longer uses and loads those it flagged; 0 or the
// code of the first definition that cannot be read.
int LoadFrameObjectInfos(ApplicationRecord* app);
// The definition rearranged from its stored form into its memory form (types 2 and up).
bool RearrangeDefinition(std::vector<std::uint8_t>& def, std::int16_t type);

} // namespace vtrrt

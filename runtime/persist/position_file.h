// The saved-position file: its little-endian writer, the typed values on file, and the reader that parses a
// whole file into a PositionImage and checks it against the running application before anything changes.
#pragma once

#include "core/byte_reader.h"
#include "core/typed_value.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vtrrt {

struct RunObject;

constexpr char PositionMagic[] = "VTR2Position:";
constexpr std::size_t PositionMagicBytes = 13;
constexpr std::uint16_t PositionVersionWritten = 0x800C;

// The results of the checks, as the program's string numbers of their messages.
enum PositionCheck : int {
    PositionValid = 0,
    PositionReadError = 130,
    PositionNotAPosition = 131,
    PositionOtherApplication = 132,
    PositionIncompatibleVersion = 133,
    PositionIncompatibleApplication = 134,
    PositionOtherFrame = 135,
};

// Bytes written in order; each write appends.
class PositionWriter {
public:
    void U8(std::uint8_t v) { bytes.push_back(v); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void F32(float v);
    void F64(double v);
    void Bytes(std::span<const std::uint8_t> b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    void Zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
    // u16 byte size with the terminator (0 = none), then the UTF-16 text and its terminator.
    void Text(const char16_t* text);
    std::vector<std::uint8_t> bytes;
};

// Reads of the fields the writer above writes.
bool ReadF32(ByteReader& r, float& v);
bool ReadF64(ByteReader& r, double& v);
// A text written by PositionWriter::Text; nullopt for size 0. False when it does not fit, has an odd size or
// lacks its terminator.
bool ReadText(ByteReader& r, std::optional<std::u16string>& text);

// u16 type, then an i32 (type 0) or a double (type 2); a string value is not written (0).
int WriteTypedValue(PositionWriter& file, const TypedValue& value);
// Types other than 0 and 2 fail (0).
int ReadTypedValue(ByteReader& file, TypedValue& value);

// What a position must agree with: the running application and frame.
struct PositionExpectation {
    std::u16string applicationName;
    std::int32_t stamp = 0;
    std::int32_t frameIndex = 0;
    bool frameNumberOnly = false; // stop after the frame index, which is not compared
    std::int32_t layerCount = 0;
    std::int32_t maxObjects = 0;
    // The object infos of type 2 and up the frame uses, in run-list order: handle, type and definition
    // object flags.
    struct Info {
        std::uint16_t handle;
        std::int16_t type;
        std::uint32_t objectFlags;
        // Extension types: the extension's current data version, and whether it writes and reads its
        // objects' state.
        std::uint32_t extensionVersion;
        bool extensionSaves;
        bool extensionLoads;
    };
    std::vector<Info> infos;
    // The event program's groups: the number of conditions and actions of each, in order.
    std::vector<std::uint16_t> groupRecords;
    std::uint32_t programBytes = 0;
};

struct SavedEffect {
    std::int32_t index = -1;
    std::uint32_t rgba = 0;
    std::vector<std::uint32_t> values; // integer or float bits, by the parameter's type
};

// One live object, as written.
struct SavedObject {
    std::int16_t handle = 0, frameItem = -1, objectInfo = 0, objectType = 0;
    std::int32_t xFraction = 0, x = 0, yFraction = 0, y = 0;
    std::int32_t hotSpotX = 0, hotSpotY = 0, width = 0, height = 0;
    std::int32_t display[4] = {};
    std::uint32_t objectFlags = 0;
    std::uint16_t runFlags = 0, eventFlags = 0;
    std::int32_t layer = 0;
    std::int16_t collisionFlags = 0;
    std::uint16_t creationNumber = 0;
    std::uint32_t identifier = 0;
    // Flags 0x230: the extended header.
    struct Extended {
        std::int32_t player, movementType, animationRequest, image;
        float scaleX, scaleY, angle;
        std::int32_t direction, speed, minimumSpeed, maximumSpeed, changed, moved;
        std::int32_t xBeforeMove, yBeforeMove, imageBeforeMove, angleBeforeMove, previousDirection;
        std::int32_t boxBeforeMove[4];
        std::uint16_t animationRoutine; // 0 the box saver, 1 appearing, 2 disappearing
    };
    std::optional<Extended> extended;
    std::vector<std::uint8_t> movement;  // flag 0x10
    std::vector<std::int32_t> animation; // flag 0x20: the 20 fields of the animation block
    struct SpriteState {
        std::int32_t flashInterval, flashCountdown, layerKey, zOrder;
        std::uint32_t spriteFlags, eraseColour, inkEffect, inkParameter;
        std::uint16_t displayFlags, firstSpriteFlags;
        std::optional<SavedEffect> effect; // ink 13
    };
    std::optional<SpriteState> sprite; // flag 0x200
    struct Values {
        std::vector<TypedValue> values;
        std::array<std::optional<std::u16string>, 10> strings;
        std::uint32_t flags = 0;
    };
    std::optional<Values> values; // flag 0x100
    // The kind's own state, as its routine wrote it (80 bytes for types 3 to 7), and a text.
    std::vector<std::uint8_t> kind;
    std::optional<std::u16string> kindText;
    // Extension types: the data version written, and the state the extension wrote (none when it keeps
    // none).
    std::uint32_t extensionVersion = 0;
    std::optional<std::vector<std::uint8_t>> extensionState;
    // A sub-application's running child: its own position, as it wrote it.
    std::optional<std::vector<std::uint8_t>> childPosition;
};

struct SavedLayer {
    std::int32_t scroll[4] = {};
    std::uint32_t flags = 0;
    float xCoefficient = 1, yCoefficient = 1;
    struct Backdrop {
        std::int32_t x, y;
        std::uint16_t image, fine, obstacle;
        std::uint32_t ink;
    };
    std::vector<Backdrop> backdrops; // added at run time
};

struct SavedStoreEntry {
    std::u16string key;
    std::uint32_t elementSize = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> elements;               // count × elementSize bytes, pointers zero
    std::vector<std::optional<std::u16string>> texts; // text elements' texts
};

struct SavedGroup {
    std::uint16_t flags;
    std::int32_t counterA, counterB;
    std::vector<std::uint8_t> recordFlags; // two bytes per condition and action
};

// A whole position file, parsed.
struct PositionImage {
    std::uint16_t version = 0;
    std::int32_t stamp = 0;
    std::int32_t frameIndex = 0;
    std::array<std::uint8_t, 104> run{};
    std::int32_t frame[11] = {}; // the frame block
    std::vector<SavedLayer> layers;
    std::int32_t scores[4] = {}, lives[4] = {};
    std::vector<TypedValue> globalValues;
    std::vector<std::optional<std::u16string>> globalStrings;
    std::uint32_t objectInfoCount = 0;
    std::vector<SavedObject> objects;
    std::vector<std::vector<std::uint16_t>> layerOrder; // per layer, in display order
    std::vector<std::vector<std::uint16_t>> chains;     // per object-info run entry
    std::vector<SavedStoreEntry> store;
    std::vector<SavedGroup> groups;
};

// Parses and checks a whole file; PositionValid, or the number of the failed check. With
// `frameNumberOnly` it stops after the frame index (which it does not compare).
int ParsePosition(std::span<const std::uint8_t> file, const PositionExpectation& expect,
                  PositionImage& image);

// The kind parts of the object record, by object type; each kind writes and reads its own. Extension types
// write u32 their data version, u8 1 when they keep a state, and then the state as u32 its byte length and
// the bytes, so that the whole file is checked before anything changes. Write and apply fail when the kind
// cannot write or take its state.
struct KindPositionRoutines {
    bool (*write)(PositionWriter& file, RunObject* object);
    bool (*read)(ByteReader& file, SavedObject& saved);
    bool (*apply)(RunObject* object, const SavedObject& saved);
};
// Null for types that save no state of their own.
const KindPositionRoutines* KindPositionRoutinesOf(std::int16_t type);

} // namespace vtrrt

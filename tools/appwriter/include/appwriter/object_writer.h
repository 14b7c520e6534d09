// Writes object definitions in their stored form, the object-definitions chunk, and bank items (images,
// fonts, sounds) with their bank and offsets chunks.
#pragma once

#include "appwriter/application_writer.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace appwriter {

// One direction of an animation: its speeds, loops and images.
struct AnimationDirectionDesc {
    std::uint8_t direction = 0; // 0..31
    std::uint8_t minSpeed = 0, maxSpeed = 100;
    std::uint16_t loops = 0, loopBack = 0;
    std::vector<std::uint16_t> images;
};
struct AnimationDesc {
    std::uint16_t number = 0; // 0 stopped, 1 walking, ...
    std::vector<AnimationDirectionDesc> directions;
};
// One movement of the movement list: the common part, then the type's own data.
struct MovementDesc {
    std::uint32_t identifier = 0;
    std::uint16_t player = 0;
    std::uint16_t type = 0;
    std::uint8_t movingAtStart = 1;
    std::uint8_t options = 0;
    std::uint32_t directionMask = 0;
    Bytes data;
    // The movement module that moves it (type 14), stored zero-terminated in UTF-16 behind the data; empty:
    // none.
    std::u16string module;
};

// The common part of a definition, and a backdrop's.
struct ObjectDefinitionDesc {
    std::int16_t type = 2;
    std::uint32_t objectFlags = 0;
    std::uint8_t options = 0x08; // visible at start
    // Types 2 and up: the collision word (obstacle type in bits 4-5, box-only in bit 2).
    std::uint16_t collisionWord = 0;
    std::uint32_t identifier = 0;
    std::uint16_t word14 = 0; // kept at byte 10 in memory
    std::vector<std::int16_t> qualifiers;
    std::vector<std::int32_t> values;
    std::vector<std::u16string> strings; // stored as UTF-16
    std::uint32_t appearing = 0, disappearing = 0;
    // Transition descriptors stored behind the definition's lists; their offsets go into the two above.
    Bytes appearingTransition, disappearingTransition;
    Bytes typeData; // the kind's own data, after the lists
    // A counter's initial value, minimum and maximum, stored behind the type data; its offset goes in the
    // word at 14 (kept at byte 10 in memory) in place of `word14`.
    std::optional<std::array<std::int32_t, 3>> counterValues;
    std::vector<AnimationDesc> animations; // none: no animation list
    bool emptyAnimationList = false;       // a list of no animations at all
    std::vector<MovementDesc> movements;   // none: no movement list
    // Backdrops (types 0 and 1).
    std::uint16_t obstacle = 0;
    std::uint16_t boxOnly = 0;
    std::int32_t width = 0, height = 0;
    std::uint16_t image = 0;    // type 1, or type 0 with fill type 3
    std::uint16_t fillType = 0; // type 0
    // Type 0: the shape (1 line, 2 rectangle, 3 ellipse), its border and its fill's colours (solid: the
    // first; gradient: both and the direction); a line's direction flags take the fill data's place.
    std::uint16_t shape = 0;
    std::uint16_t borderWidth = 0;
    std::uint32_t borderColour = 0;
    std::uint32_t colour1 = 0, colour2 = 0;
    std::uint32_t vertical = 0;
    std::uint16_t lineFlags = 0;
};

// The definition as stored (types 2 and up with their stored field order).
Bytes WriteObjectDefinition(const ObjectDefinitionDesc& d);

// The counter data of score, lives and counter objects: size, display type (1 digits, 2 vertical bar,
// 3 horizontal bar, 4 animation, 5 text), number format and player; then the images (digits: '0'..'9', '-',
// '+', '.', 'e'), or the bar's fill kind (1 solid, 2 gradient) and colours, or the text's font and colour.
struct CounterDesc {
    std::int32_t width = 0, height = 0;
    std::uint16_t displayType = 1;
    std::uint16_t format = 0;
    std::uint16_t player = 1;
    std::vector<std::uint16_t> images;
    std::uint16_t fillKind = 1;
    std::uint32_t colour1 = 0, colour2 = 0;
    std::uint16_t font = 0;
};
Bytes CounterData(const CounterDesc& counter);

// The text data of text objects: u32 0, size, paragraph count, the paragraphs' offsets, then each paragraph
// {u16 font, u16 flags, u32 colour, the UTF-16 text ended by 0}.
struct ParagraphDesc {
    std::uint16_t font = 0;
    std::uint16_t flags = 0;
    std::uint32_t colour = 0;
    std::u16string text;
};
Bytes TextData(std::int32_t width, std::int32_t height, const std::vector<ParagraphDesc>& paragraphs);

// The question data of question objects: the text data of the question (its first paragraph) and its
// answers; an answer with the correct flag is a correct answer, a paragraph with the shadow flag is drawn
// over a white shadow.
constexpr std::uint16_t AnswerCorrectFlag = 0x100;
constexpr std::uint16_t WhiteShadowFlag = 0x200;
Bytes QuestionData(const ParagraphDesc& question, const std::vector<ParagraphDesc>& answers);

// The sub-application data of sub-application objects: u32 size, its width and height, u16 0, the start frame
// (of the parent's own data, option 0x4000), the option flags, the icon's offset from the data's start (0:
// none), u32 0, the data file's name in a field of 260 UTF-16 units, then the icon (a packed bitmap).
struct SubApplicationDesc {
    std::int32_t width = 160, height = 120;
    std::uint16_t startFrame = 0;
    std::uint32_t options = 0;
    std::u16string fileName;
    Bytes icon;
};
constexpr std::size_t SubApplicationNameUnits = 260;
Bytes SubApplicationData(const SubApplicationDesc& sub);

// The rich text object's data: 8 bytes the runtime does not read, the options (1 transparent background,
// 2 vertical scroll bar, 4 horizontal scroll bar, 8 hidden text and symbols shown, 0x10 no selection
// inversion), the background colour, the width and the height (i16 each, 2 bytes after each), 4 bytes not
// read, then the RTF text's length and the text.
struct RichTextDesc {
    std::uint32_t options = 0;
    std::uint32_t background = 0xFFFFFF;
    std::int16_t width = 200, height = 100;
    std::string text;
};
Bytes RichTextData(const RichTextDesc& richText);
// The identifier a rich text definition carries ("RTF "), and a definition of type 8 with the data.
constexpr std::uint32_t RichTextIdentifier = 0x20465452;
ObjectDefinitionDesc RichTextDefinition(const RichTextDesc& richText);

struct ObjectInfoDesc {
    std::uint16_t handle = 0;
    std::int16_t type = 2;
    std::uint16_t headerFlags = 0;
    std::uint32_t inkEffect = 0;
    std::uint32_t inkParameter = 0;
    std::u16string name;
    ObjectDefinitionDesc definition;
    // The object's effect parameters: the effect's bank index, then one 32-bit value per parameter: a
    // number whole (a float by its bits), or an image's stored number in the low half beside its working
    // value, which the loader sets.
    std::optional<std::uint32_t> effectIndex;
    std::vector<std::uint32_t> effectValues;
};

// The object-definitions chunk's payload: u32 count, then each object's chunk list, ended by 0x7F7F.
Bytes WriteObjectInfos(const std::vector<ObjectInfoDesc>& objects, StringForm form,
                       const ApplicationKey& key);

struct ImageItemDesc {
    std::int16_t width = 4, height = 4;
    std::uint8_t graphicMode = 4; // 24-bit
    std::uint8_t flags = 0;
    std::int16_t hotX = 0, hotY = 0, actionX = 0, actionY = 0;
    std::uint32_t transparent = 0;
    Bytes pixels; // empty: filled with width * height * 3 bytes, rows padded to even
};

struct FontItemDesc {
    std::int32_t height = 12;
    std::int32_t weight = 400;
    std::u16string face = u"Sans";
};

struct SoundItemDesc {
    std::uint32_t flags = 0;
    std::u16string name = u"sound";
    Bytes data = Bytes(16, 0x80);
};

// A bank's items back to back, and their offsets from the bank payload's start (0 for a missing item).
struct BankPayload {
    Bytes items;
    std::vector<std::uint32_t> offsets;
};
BankPayload WriteImageBank(const std::vector<ImageItemDesc>& images);
BankPayload WriteFontBank(const std::vector<FontItemDesc>& fonts, StringForm form);
// Sounds and music alike; a music bank stored plainly keeps its names in UTF-16 whatever the data's form.
BankPayload WriteSoundBank(const std::vector<SoundItemDesc>& sounds, StringForm form);
Bytes ImageItemBytes(const ImageItemDesc& image);
// Items of applications whose header flags word 1 has 0x8000: u32 size, u32 compressed size, zlib stream.
Bytes CompressItem(const Bytes& item);
// A bank of such items.
BankPayload CompressBank(const BankPayload& plain);
// The offsets chunk's payload.
Bytes WriteBankOffsets(const std::vector<std::uint32_t>& offsets);

} // namespace appwriter

// The text object (type 3): one string, a paragraph of its definition or one set while the frame runs,
// drawn with a font item and a colour into its box; its kind routines, its own actions and expressions.
#pragma once

#include "plugin/run_object.h"

#include "win32/font.h"

#include <cstdint>
#include <span>
#include <string>

namespace vtrrt {

// Paragraph flags that the text is drawn with (those of the first paragraph, whichever is shown).
constexpr std::uint16_t ParagraphCentred = 0x1;
constexpr std::uint16_t ParagraphRight = 0x2;
constexpr std::uint16_t ParagraphVerticalCentre = 0x4;
constexpr std::uint16_t ParagraphBottom = 0x8;
constexpr std::uint16_t ParagraphSingleLine = 0x20;
constexpr std::uint16_t ParagraphRightToLeft = 0x400;
// Creation flag of a text that keeps its own copy of its text from the start, and that the destroy action
// only hides.
constexpr std::uint16_t TextKeepsOwnCopy = 0x10;

// One paragraph of a text definition: u16 font item, u16 flags, u32 colour, the text ended by 0.
struct TextParagraph {
    std::uint16_t font = 0;
    std::uint16_t flags = 0;
    std::uint32_t colour = 0;
    std::u16string text;
};

// The text definition (at the definition's type data offset): i32, i32 width, i32 height, i32 paragraph
// count, then one i32 offset per paragraph from the start of the text definition.
struct TextDefinition {
    std::int32_t width = 0, height = 0;
    std::int32_t count = 0; // of the paragraphs whose offsets lie inside the definition
    std::size_t block = 0;  // where the text definition starts
};
TextDefinition ReadTextDefinition(std::span<const std::uint8_t> definition);
// Paragraph `index` (0-based), or an empty one when it is out of range.
TextParagraph ReadTextParagraph(std::span<const std::uint8_t> definition, const TextDefinition& text,
                                std::int32_t index);

// Bits of a text's state.
constexpr std::uint8_t TextHiddenByDestroy = 0x1;
constexpr std::uint8_t TextShownByEvent = 0x2;

// The kind's own part of a text record.
struct TextPart {
    std::int32_t width, height; // a copy of the definition's
    std::uint8_t creationFlags;
    std::uint8_t needsMeasuring;
    std::uint8_t state;
    std::uint16_t font; // the font item set at run time; 0: the paragraph's
    std::int32_t index; // -1: the run-time string is shown
    std::int32_t count;
    char16_t* string; // owned; null until set
    std::uint32_t stringBytes;
    std::uint32_t colour;
};

// The text part of a text object, or null.
TextPart* TextOf(RunObject* object);

// Copies the text into the object's run-time string and asks for the text to be measured again.
void SetTextString(RunObject* object, std::u16string_view text);
// The text the object shows: its run-time string, or its paragraph's text.
std::u16string TextShown(RunObject* object);
// Shows a text as the run-time string.
void ShowTextString(RunObject* object, std::u16string_view text);
// The paragraph shown (-1: the run-time string), clamped to -1..count - 1; a paragraph chosen is copied into
// the run-time string. 1 when the object is not hidden.
int SelectTextParagraph(RunObject* object, std::int32_t index);
// A text that keeps its own copy is only hidden when it is destroyed, and no longer flashes: true when it
// was hidden so.
bool HideDestroyedText(RunObject* object);
// Shows paragraph `paragraph` of a text object info at a position: a text of it standing exactly there is
// shown again, else a new one is made there on the frame's last layer. The object's handle, or -1.
std::int32_t ShowTextParagraphAt(std::uint16_t objectInfo, std::int32_t paragraph, std::int32_t x,
                                 std::int32_t y);

// The common objects' font routines reach texts through these two.
// The font setter of texts: a font different from the current one goes into the font bank; a size given
// becomes the text's box.
void SetTextFont(RunObject* object, const win32::LOGFONTW* font, const win32::RECT* size);
// The font description of a text's font (its own, else its first paragraph's); false (and zeros) when it
// has none.
bool GetTextFont(RunObject* object, win32::LOGFONTW* font);

// The kind routines of type 3, its font and colour routines, and its own actions and expressions in the
// dispatch tables.
void InstallTextRoutines();

} // namespace vtrrt

// Written applications of score, lives, counter and text objects, run in their windows with the display
// test's clock, and pictures of digits and lives whose pixels a naive reference puts where they belong.
#pragma once

#include "builtin/counters.h"
#include "builtin/number_format.h"
#include "builtin/text_object.h"
#include "runtime/objects/display/display_fixture.h"
#include "startup/event_program.h"

#include "appwriter/event_program_builder.h"

#include <vector>

namespace counterstest {

using namespace displaytest;
using win32::BYTE;
using win32::RGB;

constexpr std::uint32_t DrawnFlags = ObjectSavesWindowRect | ObjectHasSprite;
constexpr std::int16_t DigitWidth = 4, DigitHeight = 6;
constexpr std::int16_t LifeSize = 16;
// Stored images: 14 digit pictures (1..14), the life (15), three animation frames (16..18).
constexpr std::uint16_t FirstDigit = 1, LifeImage = 15, FirstFrame = 16;

// Each digit picture has its own colour, with a see-through column on its right.
inline COLORREF DigitColour(int digit) {
    return RGB(static_cast<BYTE>(30 + 15 * digit), 200, static_cast<BYTE>(250 - 10 * digit));
}
inline Picture DigitPicture(int digit) {
    Picture p;
    p.width = DigitWidth;
    p.height = DigitHeight;
    p.colour = [digit](int x, int) { return x == DigitWidth - 1 ? COLORREF{0} : DigitColour(digit); };
    return p;
}
inline Picture LifePicture() {
    Picture p;
    p.width = p.height = LifeSize;
    p.colour = [](int x, int y) { return (x + y) % 5 == 0 ? COLORREF{0} : RGB(220, 40, 60); };
    return p;
}
inline Picture FramePicture(int frame) {
    Picture p;
    p.width = 6;
    p.height = 5;
    p.hotX = 3;
    p.hotY = 2;
    p.colour = [frame](int, int) { return RGB(40, static_cast<BYTE>(60 * (frame + 1)), 90); };
    return p;
}
inline std::vector<Picture> Pictures() {
    std::vector<Picture> pictures;
    for (int d = 0; d < CounterDigitImages; ++d)
        pictures.push_back(DigitPicture(d));
    pictures.push_back(LifePicture());
    for (int f = 0; f < 3; ++f)
        pictures.push_back(FramePicture(f));
    return pictures;
}

inline std::vector<std::uint16_t> DigitImages() {
    std::vector<std::uint16_t> images;
    for (std::uint16_t i = 0; i < CounterDigitImages; ++i)
        images.push_back(static_cast<std::uint16_t>(FirstDigit + i));
    return images;
}

// A score, lives or counter object.
inline appwriter::ObjectInfoDesc CounterObject(std::uint16_t handle, std::int16_t type,
                                               const appwriter::CounterDesc& counter,
                                               std::array<std::int32_t, 3> values = {0, 0, 100}) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = type;
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = DrawnFlags;
    o.definition.typeData = appwriter::CounterData(counter);
    if (type == TypeCounter) o.definition.counterValues = values;
    return o;
}

inline appwriter::CounterDesc Digits(std::uint16_t format = 0) {
    appwriter::CounterDesc c;
    c.displayType = CounterDigits;
    c.format = format;
    c.images = DigitImages();
    return c;
}

inline appwriter::CounterDesc Bar(std::uint16_t type, std::int32_t width, std::int32_t height,
                                  std::uint32_t colour) {
    appwriter::CounterDesc c;
    c.displayType = type;
    c.width = width;
    c.height = height;
    c.colour1 = c.colour2 = colour;
    return c;
}

inline appwriter::ObjectInfoDesc TextObject(std::uint16_t handle, std::int32_t width, std::int32_t height,
                                            const std::vector<appwriter::ParagraphDesc>& paragraphs) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = TypeText;
    o.definition.objectFlags = DrawnFlags;
    o.definition.typeData = appwriter::TextData(width, height, paragraphs);
    return o;
}

// An application of these objects placed on one shown layer, with the pictures above, a font bank and the
// events given.
inline appwriter::ApplicationDescription Application(const std::vector<appwriter::ObjectInfoDesc>& objects,
                                                     const std::vector<appwriter::InstanceDesc>& placed,
                                                     appwriter::Bytes events = {},
                                                     const std::vector<appwriter::FontItemDesc>& fonts = {}) {
    appwriter::ApplicationDescription d = Describe(Pictures(), {}, {});
    d.extra[0].payload =
        appwriter::WriteObjectInfos(objects, appwriter::StringForm::Wide, appwriter::KeyOf(d));
    if (!fonts.empty()) {
        const appwriter::BankPayload bank = appwriter::WriteFontBank(fonts, appwriter::StringForm::Wide);
        std::vector<std::uint32_t> offsets = bank.offsets;
        offsets.insert(offsets.begin(), 0);
        d.extra.push_back({appwriter::ChunkFontBank, 0, bank.items});
        d.extra.push_back({appwriter::ChunkFontOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    }
    appwriter::FrameContents contents;
    contents.layers = {appwriter::LayerDesc{}};
    contents.layers[0].flags = 0x10;
    contents.instances = placed;
    contents.events = std::move(events);
    d.frames[0] = appwriter::DescribeFrame(FrameWidth, FrameHeight, Background, contents);
    return d;
}

// An event program whose object conditions have room for the counter's own one.
inline appwriter::EventProgramBuilder Program(std::uint16_t objectInfos) {
    appwriter::EventProgramBuilder b;
    b.objectInfoCount = objectInfos;
    b.conditionCounts[TypePlayer + 7] = 6;
    b.conditionCounts[TypeSpecial + 7] = 40;
    b.conditionCounts[TypeCounter + 7] = 1;
    return b;
}

// The groups of a fixture's events: each of `once` runs at the first loop, in order, then `everyLoop` runs
// on every loop.
inline void AddFirstLoopGroups(appwriter::EventProgramBuilder& b,
                               const std::vector<std::vector<appwriter::EventRecordDesc>>& once,
                               std::vector<appwriter::EventRecordDesc> everyLoop) {
    const auto special = [](std::int16_t number) {
        appwriter::EventRecordDesc r;
        r.type = TypeSpecial;
        r.number = number;
        r.runFlags = RecordEveryLoop;
        return r;
    };
    for (const auto& actions : once) {
        appwriter::EventGroupDesc g;
        g.conditions = {special(-6)};
        g.actions = actions;
        b.AddGroup(g);
    }
    if (!everyLoop.empty()) {
        appwriter::EventGroupDesc g;
        g.conditions = {special(-1)};
        g.actions = std::move(everyLoop);
        b.AddGroup(g);
    }
}

class CounterTest : public DisplayTest {
protected:
    // The object in a slot of the frame's list.
    RunObject* Object(int slot) { return Slot(slot); }
    CounterPart& Counter(int slot) {
        CounterPart* c = CounterOf(Slot(slot));
        EXPECT_NE(c, nullptr);
        return *c;
    }
    TypedValue Value(int slot) { return CounterValue(Counter(slot)); }
};

} // namespace counterstest

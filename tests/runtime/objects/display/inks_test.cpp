// Objects drawn with each ink, and with an effect object of the effect bank, over an opaque object, compared
// with the inks worked out pixel by pixel on colours.
#include "display_fixture.h"

#include "appwriter/application_writer.h"
#include "objects/object_sprites.h"
#include "vtrs2/effect.h"

#include <algorithm>
#include <string>

namespace {

using namespace displaytest;
using win32::RGB;

constexpr int Left = 14, Top = 12;

// The object underneath: opaque, its colours changing across it.
Picture Under() {
    Picture p;
    p.width = p.height = 10;
    p.colour = [](int x, int y) {
        return RGB(static_cast<win32::BYTE>(150 + x * 9), static_cast<win32::BYTE>(60 + y * 17),
                   static_cast<win32::BYTE>(240 - x * 20));
    };
    return p;
}

// The inked object: black (its transparent colour) in one corner, other colours elsewhere.
Picture Over() {
    Picture p;
    p.transparent = 0;
    p.colour = [](int x, int y) {
        return (x < 2 && y < 2)
                   ? COLORREF{0}
                   : RGB(static_cast<win32::BYTE>(x * 31), static_cast<win32::BYTE>(255 - y * 29),
                         static_cast<win32::BYTE>(40 + x * y * 3));
    };
    return p;
}

std::uint32_t Channel(COLORREF c, int shift) {
    return (c >> shift) & 0xFF;
}

COLORREF PerChannel(COLORREF s, COLORREF d, std::uint32_t (*f)(std::uint32_t, std::uint32_t)) {
    COLORREF out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= f(Channel(s, shift), Channel(d, shift)) << shift;
    return out;
}

// What an ink other than a blend makes of a source and a destination colour.
COLORREF ApplyInk(int code, COLORREF s, COLORREF d) {
    switch (code) {
    case 2:
        return ~s & 0xFFFFFF;
    case 3:
        return (s ^ d) & 0xFFFFFF;
    case 4:
        return s & d & 0xFFFFFF;
    case 5:
        return (s | d) & 0xFFFFFF;
    case 9:
        return PerChannel(s, d, [](std::uint32_t a, std::uint32_t b) { return std::min(a + b, 255u); });
    case 10: {
        const std::uint32_t g = (5 * Channel(s, 0) + 9 * Channel(s, 8) + 2 * Channel(s, 16)) >> 4;
        return RGB(static_cast<win32::BYTE>(g), static_cast<win32::BYTE>(g), static_cast<win32::BYTE>(g));
    }
    case 11:
        return PerChannel(s, d, [](std::uint32_t a, std::uint32_t b) { return b > a ? b - a : 0u; });
    default:
        return s;
    }
}

struct InkCase {
    const char* name;
    int code;
    std::uint32_t parameter;
    int blend; // the destination's weight for blends, -1 for the other inks
};

class Inks : public DisplayTest, public ::testing::WithParamInterface<InkCase> {};

std::string InkName(const ::testing::TestParamInfo<InkCase>& info) {
    return info.param.name;
}

} // namespace

TEST_P(Inks, AnObjectIsDrawnWithItsInk) {
    const InkCase c = GetParam();
    const Picture under = Under(), over = Over();
    ActiveDesc bottom = MakeActive(1, {1}, 0);
    ActiveDesc top = MakeActive(2, {2}, KeyedInk | static_cast<std::uint32_t>(c.code), c.parameter);
    appwriter::ApplicationDescription d = Describe({under, over}, {}, {{1, 10, 10, 0}, {2, Left, Top, 1}});
    if (c.code == 13) {
        top.effectIndex = 0;
        appwriter::EffectEntryDesc plain;
        plain.name = "Plain";
        plain.source = "technique";
        d.effects = std::vector<appwriter::Bytes>{appwriter::EffectEntry(plain)};
    }
    // The objects chunk again, now that the inked object is described.
    d.extra.front().payload = appwriter::WriteObjectInfos({ObjectOf(bottom), ObjectOf(top)},
                                                          appwriter::StringForm::Wide, appwriter::KeyOf(d));
    StartDescribed(d);
    Tick();
    if (c.code == 13) {
        auto* effect = static_cast<CEffectEx*>(SpriteBlockOf(Slot(1))->inkParameter);
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->GetRgbaCoefficient(), c.parameter);
    }
    NaiveCompositor expected;
    expected.Put(under, 10, 10, 0);
    if (c.blend >= 0) {
        expected.Put(over, Left, Top, KeyedInk, c.blend);
    } else {
        for (int y = 0; y < over.height; ++y)
            for (int x = 0; x < over.width; ++x) {
                const COLORREF s = over.colour(x, y);
                if (s == over.transparent) continue;
                Picture dot;
                dot.width = dot.height = 1;
                const COLORREF d0 = expected.At(Left + x, Top + y);
                dot.colour = [&](int, int) { return ApplyInk(c.code, s, d0); };
                expected.Put(dot, Left + x, Top + y, 0);
            }
    }
    ExpectWindowShows(expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Inks,
                         ::testing::Values(InkCase{"Blend", 1, 40, 40}, InkCase{"Invert", 2, 0, -1},
                                           InkCase{"Xor", 3, 0, -1}, InkCase{"And", 4, 0, -1},
                                           InkCase{"Or", 5, 0, -1}, InkCase{"Add", 9, 0, -1},
                                           InkCase{"Mono", 10, 0, -1}, InkCase{"Sub", 11, 0, -1},
                                           // Alpha 0x80 of the effect's coefficient: weight 63.
                                           InkCase{"EffectHalfSeen", 13, 0x80FFFFFF, 63},
                                           InkCase{"EffectOpaque", 13, 0xFFFFFFFF, 0},
                                           InkCase{"EffectUnseen", 13, 0x00FFFFFF, 128}),
                         InkName);

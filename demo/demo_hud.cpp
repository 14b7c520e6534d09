#include "demo_hud.h"

#include <cmath>

namespace {

constexpr std::int16_t ScoreType = 5, LivesType = 6, TextType = 3;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Drawn by their kind on an owner-drawn sprite, over what they saved of the background.
constexpr std::uint32_t DrawnFlags = 0x04 | 0x200;
constexpr std::uint16_t DigitsDisplay = 1, AnimationDisplay = 4;
constexpr std::uint16_t PlayerOne = 1;
constexpr std::uint16_t CentredOneLine = 0x1 | 0x4 | 0x20;
constexpr int NameWidth = 200, NameHeight = 28;

void PutPixel(appwriter::ImageItemDesc& image, std::array<std::uint8_t, 3> rgb) {
    // 32-bit pixels: blue, green, red, 0.
    image.pixels.insert(image.pixels.end(), {rgb[2], rgb[1], rgb[0], 0});
}

appwriter::ImageItemDesc DigitImage(int glyph) {
    appwriter::ImageItemDesc image;
    image.width = DigitWidth;
    image.height = DigitHeight;
    image.graphicMode = 8;
    for (int y = 0; y < DigitHeight; ++y)
        for (int x = 0; x < DigitWidth; ++x) {
            const int cx = x / DigitScale, cy = y / DigitScale;
            const bool lit =
                cx < DigitCells && DigitGlyphs[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(cy)]
                                              [static_cast<std::size_t>(cx)] == '#';
            PutPixel(image, lit ? DigitColour : std::array<std::uint8_t, 3>{0, 0, 0});
        }
    return image;
}

// A red heart on a see-through square.
appwriter::ImageItemDesc HeartImage() {
    appwriter::ImageItemDesc image;
    image.width = image.height = HeartSize;
    image.graphicMode = 8;
    for (int y = 0; y < HeartSize; ++y)
        for (int x = 0; x < HeartSize; ++x) {
            const double hx = (x - 7.5) / 6.5, hy = -(y - 7.0) / 6.5;
            const double r = hx * hx + hy * hy - 1;
            const bool inside = r * r * r - hx * hx * hy * hy * hy <= 0;
            PutPixel(image, inside ? std::array<std::uint8_t, 3>{0xE0, 0x30, 0x50}
                                   : std::array<std::uint8_t, 3>{0, 0, 0});
        }
    return image;
}

appwriter::ObjectInfoDesc Drawn(std::uint16_t handle, std::int16_t type, const char16_t* name,
                                appwriter::Bytes data) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = type;
    o.name = name;
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = DrawnFlags;
    o.definition.typeData = std::move(data);
    return o;
}

} // namespace

void AddHudObjects(appwriter::ApplicationDescription& d, std::vector<appwriter::ObjectInfoDesc>& objects,
                   std::vector<appwriter::ImageItemDesc>& images, const std::vector<LevelNameDesc>& names) {
    appwriter::CounterDesc score;
    score.displayType = DigitsDisplay;
    score.format = ScoreDigits; // leading zeros to five digits
    score.player = PlayerOne;
    for (int glyph = 0; glyph < static_cast<int>(DigitGlyphs.size()); ++glyph) {
        images.push_back(DigitImage(glyph));
        score.images.push_back(static_cast<std::uint16_t>(images.size()));
    }
    appwriter::CounterDesc lives;
    lives.displayType = AnimationDisplay;
    lives.player = PlayerOne;
    lives.width = LivesShown * HeartSize;
    lives.height = HeartSize;
    images.push_back(HeartImage());
    lives.images = {static_cast<std::uint16_t>(images.size())};
    objects.push_back(Drawn(ScoreDisplay, ScoreType, u"Score", appwriter::CounterData(score)));
    objects.push_back(Drawn(LivesDisplay, LivesType, u"Lives", appwriter::CounterData(lives)));
    for (const LevelNameDesc& name : names)
        objects.push_back(Drawn(
            name.handle, TextType, u"Level name",
            appwriter::TextData(NameWidth, NameHeight, {{NameFont, CentredOneLine, 0xFFFFFF, name.text}})));

    const appwriter::BankPayload fonts = appwriter::WriteFontBank(
        {appwriter::FontItemDesc{20, 700, u"DejaVu Sans"}, appwriter::FontItemDesc{48, 700, u"DejaVu Sans"}},
        appwriter::StringForm::Wide);
    std::vector<std::uint32_t> offsets = fonts.offsets;
    offsets.insert(offsets.begin(), 0); // stored font 0 is none
    d.extra.push_back({appwriter::ChunkFontBank, 0, fonts.items});
    d.extra.push_back({appwriter::ChunkFontOffsets, 0, appwriter::WriteBankOffsets(offsets)});
    d.header->initialLives = LivesShown;
}

void PlaceHud(std::vector<appwriter::InstanceDesc>& level, std::uint16_t name, std::int16_t layer) {
    // The score's position is the right end of its digits, at their foot.
    const int scoreRight = ScoreLeft + ScoreDigits * DigitWidth;
    level.push_back({0, ScoreDisplay, scoreRight, ScoreTop + DigitHeight, 0, 0, layer});
    level.push_back({0, LivesDisplay, LivesRight - LivesShown * HeartSize, LivesTop, 0, 0, layer});
    level.push_back({0, name, (640 - NameWidth) / 2, 12, 0, 0, layer});
}

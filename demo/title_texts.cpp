#include "title_texts.h"

#include "demo_hud_layout.h"

namespace {

constexpr std::int16_t TextType = 3;
constexpr std::uint32_t KeyedInk = 0x10000000;
// Drawn by their kind on an owner-drawn sprite, over what they saved of the background.
constexpr std::uint32_t DrawnFlags = 0x04 | 0x200;
constexpr std::uint16_t CentredOneLine = 0x1 | 0x4 | 0x20;
constexpr int WindowWidth = 640;

appwriter::ObjectInfoDesc Text(std::uint16_t handle, const char16_t* name, int height, std::uint16_t font,
                               std::uint32_t colour, const char16_t* text) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = TextType;
    o.name = name;
    o.inkEffect = KeyedInk;
    o.definition.objectFlags = DrawnFlags;
    o.definition.typeData = appwriter::TextData(WindowWidth, height, {{font, CentredOneLine, colour, text}});
    return o;
}

} // namespace

void AddTitleTexts(DemoObjects& all) {
    all.objects.push_back(
        Text(TitleName, u"Game name", TitleNameHeight, BannerFont, TitleNameColour, u"Demo"));
    all.objects.push_back(Text(TitlePrompt, u"Start prompt", TitlePromptHeight, NameFont, TitlePromptColour,
                               u"Press a key or click to start"));
}

void PlaceTitleTexts(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle) {
    title.push_back({handle, TitleName, 0, TitleNameTop, 0, 0, 0});
    title.push_back({static_cast<std::uint16_t>(handle + 1), TitlePrompt, 0, TitlePromptTop, 0, 0, 0});
}

#include "demo_collect.h"

#include "demo_enemies.h"
#include "demo_sounds.h"
#include "frame_flow.h"

#include <cstdlib>

#include "vtrformat/event_records.h"

namespace {

using namespace vtrformat;

constexpr std::uint16_t Player = 6;
// Object flags: erased where it was (0x04), a movement (it stays still), an animation, a sprite.
constexpr std::uint32_t GemFlags = 0x04 | 0x10 | 0x20 | 0x200;
constexpr std::uint32_t KeyedInk = 0x10000000;

// Object types, conditions and actions of the collecting event.
constexpr std::int16_t Active = 2, Speaker = -2, PlayerType = -7;
constexpr std::int16_t OverlapsObject = -4, Destroy = 24, PlaySample = 0, AddToScore = 4;
constexpr std::uint16_t PlayerOne = 0;
constexpr std::uint8_t EveryLoopFlag = 0x20;

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return r | (g << 8) | (b << 16);
}

// A gem: a cyan diamond with a dark rim and a pale facet at its upper left, on a transparent (black) key.
appwriter::ImageItemDesc GemImage() {
    appwriter::ImageItemDesc image;
    image.width = image.height = GemSize;
    image.graphicMode = 8;
    image.transparent = 0;
    for (int y = 0; y < GemSize; ++y)
        for (int x = 0; x < GemSize; ++x) {
            // Distances from the middle, doubled to stay whole.
            const int dx = 2 * x - GemSize + 1, dy = 2 * y - GemSize + 1;
            const int reach = std::abs(dx) + std::abs(dy);
            std::uint32_t rgb = 0;
            if (reach <= GemSize)
                rgb = reach > GemSize - 3 ? Rgb(0x10, 0x50, 0x70)
                      : dx < 0 && dy < 0  ? Rgb(0xD0, 0xF8, 0xFF)
                                          : Rgb(0x30, 0xC8, 0xE8);
            image.pixels.insert(image.pixels.end(),
                                {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb), 0});
        }
    return image;
}

} // namespace

void AddGemObject(DemoObjects& all) {
    appwriter::ObjectInfoDesc gem;
    gem.handle = Gem;
    gem.name = u"Gem";
    gem.inkEffect = KeyedInk;
    gem.definition.objectFlags = GemFlags;
    appwriter::AnimationDesc still;
    still.number = 1;
    still.directions.push_back({0, 0, 0, 0, 0, {all.AddImage(GemImage())}});
    gem.definition.animations = {still};
    gem.definition.movements = {appwriter::MovementDesc{}};
    all.objects.push_back(gem);
}

std::vector<appwriter::EventGroupDesc> PlaceGems(std::vector<appwriter::InstanceDesc>& level,
                                                 std::int16_t layer) {
    for (int x : GemX)
        level.push_back({0, Gem, x, GemY, 0, 0, layer});

    // Each loop, the gem the player overlaps goes, player 1 scores and the speaker plays the chime.
    appwriter::EventRecordDesc meets =
        Record(Active, OverlapsObject, {appwriter::ObjectParameter(Gem, Active)});
    meets.objectInfo = Player;
    meets.runFlags = EveryLoopFlag;
    appwriter::EventRecordDesc destroy = Record(Active, Destroy);
    destroy.objectInfo = Gem;
    appwriter::EventRecordDesc score = Record(
        PlayerType, AddToScore,
        {appwriter::ExpressionParameter(ParamExpression, appwriter::ExpressionBuilder().Integer(GemPoints))});
    score.objectInfo = PlayerOne;
    appwriter::EventGroupDesc collect;
    collect.conditions = {meets};
    // A sparkle where the gem was and the player's count of gems, made before the gem goes.
    collect.actions = GemCollectedActions();
    collect.actions.insert(
        collect.actions.end(),
        {destroy, score,
         Record(Speaker, PlaySample,
                {appwriter::SampleParameter(ParamSample, CollectSampleIndex, 0, CollectSampleName)})});
    return {collect};
}

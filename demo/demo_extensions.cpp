#include "demo_extensions.h"

#include "frame_flow.h"

#include "appwriter/byte_writer.h"

namespace {

constexpr std::uint16_t TimeGauge = 10;
constexpr std::int16_t GaugeType = 32; // the first extension of the list
constexpr std::int16_t AddToValue = 81;
constexpr std::uint32_t GaugeDataVersion = 2;
// Drawn on a sprite that saves what lies under it (0x04): on a display that scrolls, it is erased from
// where it was before the picture moves.
constexpr std::uint32_t GaugeFlags = 0x04 | 0x200;
constexpr std::int16_t Special = -1, Always = -1;
constexpr std::uint8_t EveryLoop = 0x20; // tested in every loop, not waiting to be raised
constexpr int FramesPerSecond = 60;

} // namespace

std::vector<appwriter::ObjectInfoDesc> ExtensionObjects() {
    appwriter::ObjectInfoDesc gauge;
    gauge.handle = TimeGauge;
    gauge.type = GaugeType;
    gauge.name = u"Time";
    gauge.definition.objectFlags = GaugeFlags;
    appwriter::ByteWriter own;
    for (std::int32_t v : {GaugeWidth, GaugeHeight, static_cast<std::int32_t>(GaugeBack),
                           static_cast<std::int32_t>(GaugeBar), 0, LevelSeconds * FramesPerSecond})
        own.I32(v);
    gauge.definition.typeData = appwriter::ExtensionData(GaugeDataVersion, own.Take());
    return {gauge};
}

void AddExtensionList(appwriter::ApplicationDescription& d) {
    d.extensions = std::vector<appwriter::ExtensionDesc>{{0, u"vtrgauge", u""}};
}

std::vector<appwriter::EventGroupDesc> PlaceExtensions(std::vector<appwriter::InstanceDesc>& level,
                                                       std::int16_t layer) {
    level.push_back({0, TimeGauge, GaugeX, GaugeY, 0, 0, layer});
    // The gauge gains one step a loop: full when the level's time is up.
    appwriter::EventGroupDesc fill;
    appwriter::EventRecordDesc always = Record(Special, Always);
    always.runFlags = EveryLoop;
    fill.conditions = {always};
    appwriter::EventRecordDesc add =
        Record(GaugeType, AddToValue,
               {appwriter::ExpressionParameter(22, appwriter::ExpressionBuilder().Integer(1))});
    add.objectInfo = TimeGauge;
    fill.actions = {add};
    return {fill};
}

#include "attract.h"

#include "frame_flow.h"

#include "appwriter/object_writer.h"

namespace {

constexpr std::int16_t SubApplicationType = 9;
// The parent's own data (0x4000), drawn into the parent's frame (0x4000000).
constexpr std::uint32_t OwnDataInFrame = 0x4000 | 0x4000000;

} // namespace

void AddAttractObjects(DemoObjects& all, std::uint16_t attractIndex) {
    appwriter::ObjectInfoDesc box;
    box.handle = AttractBox;
    box.type = SubApplicationType;
    box.name = u"Attract";
    appwriter::SubApplicationDesc sub;
    sub.width = AttractWidth;
    sub.height = AttractHeight;
    sub.startFrame = attractIndex;
    sub.options = OwnDataInFrame;
    box.definition.typeData = appwriter::SubApplicationData(sub);
    all.objects.push_back(box);
}

void PlaceAttractBox(std::vector<appwriter::InstanceDesc>& title, std::uint16_t handle) {
    title.push_back({handle, AttractBox, AttractBoxX, AttractBoxY, 0, 0, 0});
}

appwriter::FrameDesc DescribeAttract(std::uint16_t spinner, std::uint16_t objectInfos) {
    appwriter::FrameContents attract;
    attract.layers = {{0x10, 1.0f, 1.0f, 0, 0, u"Background"}};
    std::vector<appwriter::InstanceDesc> spinners;
    for (std::uint16_t i = 0; i < 3; ++i)
        spinners.push_back(
            {static_cast<std::uint16_t>(i + 1), spinner, AttractSpinnerX[i], AttractSpinnerY, 0, 0, 0});
    attract.instances = spinners;
    SetFrameEvents(attract, {}, objectInfos);
    appwriter::FrameDesc frame =
        appwriter::DescribeFrame(AttractWidth, AttractHeight, AttractBackground, attract);
    frame.name = u"Attract";
    return frame;
}

// Objects that leave the window are parked, come back when they return, and are destroyed far away.
#include "display_fixture.h"

#include "objects/object_sprites.h"

namespace {

using namespace displaytest;

class Activity : public DisplayTest {
protected:
    void SetUp() override {
        Start({Picture{}}, {ActiveDesc{}}, {{1, 40, 40, 0}});
        Tick();
    }
    void MoveTo(std::int32_t x) {
        Slot(0)->x = x;
        Active(0)->changed = 1;
        Tick();
    }
    std::uint16_t Display() { return SpriteBlockOf(Slot(0))->displayFlags; }
};

TEST_F(Activity, AnObjectNearTheWindowStaysShown) {
    MoveTo(FrameWidth + 60);
    EXPECT_EQ(Display() & DisplayParked, 0);
    EXPECT_NE(Active(0)->sprite, nullptr);
}

TEST_F(Activity, AnObjectFartherAwayIsParkedAndComesBackWithItsPlace) {
    const std::int32_t zOrder = static_cast<Sprite*>(Active(0)->sprite)->zOrder;
    MoveTo(FrameWidth + 200);
    EXPECT_NE(Display() & DisplayParked, 0);
    EXPECT_EQ(Active(0)->sprite, nullptr);
    MoveTo(50);
    EXPECT_EQ(Display() & DisplayParked, 0);
    ASSERT_NE(Active(0)->sprite, nullptr);
    EXPECT_EQ(static_cast<Sprite*>(Active(0)->sprite)->zOrder, zOrder);
}

TEST_F(Activity, AnObjectOutsideTheOuterLimitsIsDestroyed) {
    MoveTo(FrameWidth + 1000);
    Tick();
    EXPECT_EQ(Slot(0), nullptr);
}

TEST_F(Activity, AnObjectKeptOutsideTheZoneIsNotDestroyed) {
    Slot(0)->objectFlags |= ObjectKeptOutsideZone;
    MoveTo(FrameWidth + 1000);
    Tick();
    EXPECT_NE(Slot(0), nullptr);
}

} // namespace

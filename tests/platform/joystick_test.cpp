// Joysticks read through the layer: positions over the whole 16-bit range, buttons, and ids with nothing
// there.
#include "win32/mm.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace win32;

class Joystick : public ::testing::Test {
protected:
    void SetUp() override {
        index_ = win32::testing::AttachTestJoystick(2, 4);
        if (index_ < 0) GTEST_SKIP() << "no virtual joystick";
    }
    void TearDown() override { win32::testing::DetachTestJoysticks(); }
    int index_ = -1;
};

TEST_F(Joystick, PositionsAndButtonsAreRead) {
    win32::testing::SetTestJoystick(index_, 0, 0, 1, true);
    win32::testing::SetTestJoystick(index_, 1, 65535, -1, false);
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = JOY_RETURNX | JOY_RETURNY | JOY_RETURNBUTTONS;
    ASSERT_EQ(joyGetPosEx(static_cast<UINT>(index_), &info), JOYERR_NOERROR);
    EXPECT_EQ(info.dwXpos, 0u);
    EXPECT_EQ(info.dwYpos, 65535u);
    EXPECT_EQ(info.dwButtons, 0x2u);
    EXPECT_EQ(info.dwButtonNumber, 1u);
    JOYCAPSW caps{};
    ASSERT_EQ(joyGetDevCapsW(static_cast<UINT_PTR>(index_), &caps, sizeof(caps)), JOYERR_NOERROR);
    EXPECT_EQ(caps.wXmin, 0u);
    EXPECT_EQ(caps.wXmax, 65535u);
    EXPECT_EQ(caps.wNumButtons, 4u);
}

TEST_F(Joystick, AnIdWithNoJoystickIsUnplugged) {
    JOYINFOEX info{};
    EXPECT_EQ(joyGetPosEx(3, &info), JOYERR_UNPLUGGED);
    JOYCAPSW caps{};
    EXPECT_EQ(joyGetDevCapsW(3, &caps, sizeof(caps)), JOYERR_UNPLUGGED);
    EXPECT_EQ(joyGetPosEx(9, &info), JOYERR_UNPLUGGED);
    EXPECT_EQ(joyGetPosEx(0, nullptr), JOYERR_PARMS);
}

} // namespace

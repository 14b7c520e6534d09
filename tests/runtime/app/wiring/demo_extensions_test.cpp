// The demo's level run headless with the runtime's own extension modules found beside the program: its time
// gauge, an object of the gauge extension, fills from its left end as the level's time runs.
#include "application_run.h"
#include "core/frame_clock.h"
#include "demo/demo_gauge_layout.h"
#include "events/extension_host.h"
#include "objects/transition_modules.h"
#include "runtime/waited_clock.h"

#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using namespace vtrrt;
using win32::COLORREF;

std::vector<std::uint8_t> LevelData() {
    std::ifstream in(VTR_DEMO_LEVEL_DATA, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DemoExtensions : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        bytes_ = LevelData();
        ASSERT_FALSE(bytes_.empty());
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        FreeTransitionModules();
        SetFrameClock(previousClock_);
    }
    void Loops(int n) {
        for (int k = 0; k < n; ++k) {
            const std::int64_t loops = CurrentRunState()->loopCount;
            for (int i = 0; i < 1000 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++i)
                ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
        }
    }
    static COLORREF Pixel(int x, int y) {
        return win32::testing::ReadWindowPixel(Services().frameWindow, x, y);
    }

    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    wiringtest::BuiltModulesFolder modules_;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(DemoExtensions, TheTimeGaugeFillsFromItsLeftEnd) {
    ASSERT_NE(ExtensionOfType(app_.get(), 32), nullptr) << "the gauge extension is loaded";
    ASSERT_NO_FATAL_FAILURE(Loops(120));
    // 120 steps of the level's minute at 60 loops a second: the bar's first thirtieth, about 6 pixels.
    EXPECT_EQ(Pixel(GaugeX + 2, GaugeY + 2), GaugeBar);
    EXPECT_EQ(Pixel(GaugeX + GaugeWidth - 2, GaugeY + 2), GaugeBack);
}

} // namespace

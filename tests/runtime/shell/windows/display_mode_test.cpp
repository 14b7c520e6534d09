// The display mode negotiated with the library when the first application loads, against displays that
// answer as the test says, and the surface depth and prototype an application then draws with.
#include "startup/display_mode.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "core/runtime_services.h"

#include "vtrs2/app_context.h"
#include "vtrs2/driver_testing.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_implementation.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace vtrrt;
using namespace win32;

// A display: what it answers to each mode asked (a mode it was not told of is kept as asked).
struct Display {
    std::map<int, int> answers;
};

Display* display = nullptr;
std::vector<int> asked;

int Answer(AppContext*, int mode) {
    asked.push_back(mode);
    const auto it = display->answers.find(mode);
    return it == display->answers.end() ? mode : it->second;
}

struct ChoiceCase {
    const char* name;
    std::uint16_t graphicMode; // the header's depth code
    std::uint16_t flags1;      // 0x800: start full screen
    std::uint16_t flags3;      // 0x4000: Direct3D 9, 0x8000: Direct3D 8
    WORD kindRequest, modeRequest;
    Display display;
    std::vector<int> asks;
    WORD flags;
};

class DisplayModeChoice : public ::testing::TestWithParam<ChoiceCase> {
protected:
    void SetUp() override { SetDisplayModeAnswerer(Answer); }
    void TearDown() override {
        SetDisplayModeAnswerer(nullptr);
        CommandLineOptions& o = GetCommandLineOptions();
        o.displayKindRequest = o.displayModeRequest = 0;
        Services().displayFlags = Services().displayType = 0;
        display = nullptr;
        asked.clear();
    }
};

TEST_P(DisplayModeChoice, AsksTheLibraryAndKeepsWhatItAccepts) {
    ChoiceCase c = GetParam();
    ApplicationRecord app{};
    app.header.graphicMode = c.graphicMode;
    app.header.flags1 = c.flags1;
    app.header.flags3 = c.flags3;
    GetCommandLineOptions().displayKindRequest = c.kindRequest;
    GetCommandLineOptions().displayModeRequest = c.modeRequest;
    display = &c.display;
    Services().displayFlags = 0;
    EXPECT_EQ(ChooseDisplayMode(app), 0);
    EXPECT_EQ(asked, c.asks);
    EXPECT_EQ(Services().displayFlags, c.flags);
    EXPECT_EQ(Services().displayType, c.flags & 0xF);
    // Once chosen, the mode stays.
    asked.clear();
    ChooseDisplayMode(app);
    EXPECT_TRUE(asked.empty());
}

// A true-colour desktop: depth 0 is answered with 8 (32 bits); a display without drivers answers a driver
// mode with the desktop's.
const Display TrueColour{{{0, 8}, {0x10, 8}, {0x90, 8}}};
const Display WithDirect3D8{{{0, 8}, {0x10, 0x98}}};

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayModeChoice,
    ::testing::Values(
        ChoiceCase{"WindowedTakesTheDesktops", 8, 0, 0, 0, 0, TrueColour, {0, 8}, 8},
        ChoiceCase{"A256ColourHeaderIsKeptInAWindow", 3, 0, 0, 0, 0, TrueColour, {0, 3}, 3},
        ChoiceCase{"A256ColourHeaderFullScreenIsAskedFor", 3, 0x800, 0, 0, 0, TrueColour, {3, 3}, 3},
        ChoiceCase{"TheCommandLinesDepthHolds", 3, 0, 0, 1, 7, TrueColour, {7, 7}, 7},
        ChoiceCase{"TheCommandLinesDesktopDepthIsNotForced", 3, 0, 0, 1, 0, TrueColour, {0, 8}, 8},
        ChoiceCase{"Direct3D8WithoutTheDriverFallsBackToTheDesktop",
                   3,
                   0,
                   0,
                   1,
                   0x90,
                   TrueColour,
                   {0x90, 0x90, 0, 8},
                   8},
        ChoiceCase{"Direct3D9FromTheHeaderWithoutDriversAsksTheOtherThenTheDesktop",
                   3,
                   0x800,
                   0x4000,
                   0,
                   0,
                   TrueColour,
                   {0x10, 0x90, 0, 8},
                   8},
        ChoiceCase{"ADriverThatBindsIsKept", 8, 0, 0, 1, 0x10, WithDirect3D8, {0x10, 0x98}, 0x98},
        ChoiceCase{"AnswerZeroBecomes256Colours", 8, 0, 0, 0, 0, Display{{{0, 8}, {8, 0}}}, {0, 8, 3}, 3},
        ChoiceCase{"AnswerTwoBecomes256Colours", 8, 0, 0, 0, 0, Display{{{0, 2}}}, {0, 2, 3}, 3},
        ChoiceCase{"AnswerFiveBecomes256Colours", 8, 0, 0, 0, 0, Display{{{0, 5}}}, {0, 5, 3}, 3}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

// The library looks for its display drivers in a folder that has none.
class WithoutDrivers : public ::testing::Test {
protected:
    void SetUp() override { SetDisplayDriverFolder(u"/nonexistent-vtr-driver-folder"); }
    void TearDown() override { SetDisplayDriverFolder(nullptr); }
};

// The library itself, with no display driver beside it: a request for the Direct3D 8 driver ends in the
// desktop's plain mode.
TEST_F(WithoutDrivers, Direct3D8WithoutItsDriverEndsInAPlainMode) {
    ApplicationRecord app{};
    app.header.graphicMode = 3;
    Services().libraryContext = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(Services().libraryContext, nullptr);
    GetCommandLineOptions().displayKindRequest = 1;
    GetCommandLineOptions().displayModeRequest = 0x90;
    Services().displayFlags = 0;
    ChooseDisplayMode(app);
    const WORD flags = Services().displayFlags;
    GetCommandLineOptions().displayKindRequest = GetCommandLineOptions().displayModeRequest = 0;
    Services().displayFlags = Services().displayType = 0;
    EXPECT_EQ(flags & 0x90, 0);
    EXPECT_EQ(flags, Services().libraryContext->displayMode);
    EXPECT_NE(flags & 0xF, 0);
    EXPECT_NE(flags & 0xF, 2);
    EXPECT_NE(flags & 0xF, 5);
    DestroyAppContext(Services().libraryContext);
    Services().libraryContext = nullptr;
}

struct DepthCase {
    const char* name;
    WORD flags;
    int depth;
    int typeCode; // of the prototype chosen: 3 DIB section, 4 DIB with its own device context
};

class ColourDepth : public WithoutDrivers, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(ColourDepth, GivesTheSurfaceDepthAndPrototypeOfTheMode) {
    const DepthCase& c = GetParam();
    ApplicationRecord app{};
    Services().displayFlags = c.flags;
    Services().displayType = c.flags & 0xF;
    const int result = SetColourDepth(app);
    Services().displayFlags = Services().displayType = 0;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(app.surfaceDepth, c.depth);
    ASSERT_NE(app.surfacePrototype, nullptr);
    EXPECT_EQ(app.surfacePrototype->GetDepth(), c.depth);
    EXPECT_EQ(app.surfacePrototype->GetImplementation()->GetType(), c.typeCode);
}

INSTANTIATE_TEST_SUITE_P(Modes, ColourDepth,
                         ::testing::Values(DepthCase{"Palette", 3, 8, 4}, DepthCase{"Fifteen", 6, 15, 4},
                                           DepthCase{"Sixteen", 7, 16, 4}, DepthCase{"TwentyFour", 4, 24, 4},
                                           DepthCase{"ThirtyTwo", 8, 32, 4},
                                           // No driver beside the library: its screen is a DIB surface.
                                           DepthCase{"Direct3D8WithoutItsDriver", 0x98, 32, 4}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

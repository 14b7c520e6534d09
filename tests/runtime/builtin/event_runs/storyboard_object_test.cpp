// The storyboard object's frame requests, display position, frame size and rate, the frame's ink and
// effect, and its expressions; the keyboard and mouse object's pointer, clicks on objects and wheel.
#include "core/application_record.h"
#include "event_frame.h"
#include "loop/input_events.h"

#include "vtrs2/effect.h"
#include "win32/mm.h"
#include "win32/user.h"

#include <bit>
#include <ostream>
#include <utility>

using namespace eventruns;
using namespace win32;

namespace {

ExpressionBuilder StoryboardExpression(std::int16_t n) {
    ExpressionBuilder e;
    SystemExpression(e, TypeStoryboard, n);
    return e;
}

// A frame whose application has three frames, the second of which has no handle.
class Storyboard : public ::testing::Test {
protected:
    Storyboard() {
        app_.header.frameCount = 3;
        app_.frameHandles = handles_;
        app_.frameHandleCount = 3;
        app_.header.frameRate = 50;
        saved_ = Services().application;
        Services().application = &app_;
    }
    ~Storyboard() override {
        if (app_.run.timerPeriod) timeEndPeriod(app_.run.timerPeriod);
        FreeMemory(&frame_.Frame().effect.data);
        DeleteEffect(std::exchange(frame_.Frame().effectObject, nullptr));
        Services().application = saved_;
    }

    // Runs one action in a loop of its own; the run state's exit code and parameter after it.
    std::pair<int, std::int32_t> Exit(EventRecordDesc action) {
        EventProgramBuilder b;
        b.AddGroup(Group({Always()}, {std::move(action)}));
        frame_.Prepare(b);
        frame_.Loop();
        return {frame_.Run().exitCode, frame_.Run().exitParameter};
    }

    std::uint16_t handles_[3] = {0, 0xFFFF, 2};
    ApplicationRecord app_{};
    ApplicationRecord* saved_ = nullptr;
    EventFrame frame_;
};

struct ExitCase {
    const char* name;
    std::int16_t action;
    std::vector<EventParameterDesc> parameters;
    int code;
    std::int32_t parameter;
};

// Shown by its name, not byte by byte.
void PrintTo(const ExitCase& c, std::ostream* out) {
    *out << c.name;
}

class StoryboardExits : public Storyboard, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(StoryboardExits, AskTheFrameTickForTheirChange) {
    const ExitCase& c = GetParam();
    EXPECT_EQ(Exit(Record(TypeStoryboard, c.action, c.parameters)), std::make_pair(c.code, c.parameter));
}

INSTANTIATE_TEST_SUITE_P(
    Actions, StoryboardExits,
    ::testing::Values(
        ExitCase{"NextFrame", 0, {}, ExitNextFrame, 0},
        ExitCase{"PreviousFrame", 1, {}, ExitPreviousFrame, 0},
        ExitCase{"JumpToFrameOne", 2, {Number(1)}, ExitJumpToFrame, 0x8000},
        ExitCase{"JumpToFrame4096", 2, {Number(4096)}, ExitJumpToFrame, 0x8FFF},
        ExitCase{"JumpToFrameZeroIgnored", 2, {Number(0)}, ExitNone, 0},
        ExitCase{"JumpToFrame4097Ignored", 2, {Number(4097)}, ExitNone, 0},
        ExitCase{"JumpToHandle", 2, {appwriter::ShortParameter(26, 2)}, ExitJumpToFrame, 2},
        ExitCase{"JumpToUnmappedHandleIgnored", 2, {appwriter::ShortParameter(26, 1)}, ExitNone, 0},
        ExitCase{"JumpToHandleBeyondTheFramesIgnored", 2, {appwriter::ShortParameter(26, 3)}, ExitNone, 0},
        ExitCase{"JumpToNoHandleIgnored", 2, {appwriter::ShortParameter(26, -1)}, ExitNone, 0},
        ExitCase{"Pause", 3, {}, ExitPause, 0}, ExitCase{"EndApplication", 4, {}, ExitError, 0},
        ExitCase{"RestartApplication", 5, {}, ExitRestartApplication, 0},
        ExitCase{"RestartFrame", 6, {}, ExitRestartFrame, 0},
        ExitCase{"PauseUntilAKey", 17, {appwriter::ShortParameter(14, 'K')}, ExitPause, 0},
        ExitCase{"PauseUntilAnyKey", 18, {}, ExitPause, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Storyboard, PauseUntilAKeyKeepsTheKeyThatResumes) {
    Exit(Record(TypeStoryboard, 17, {appwriter::ShortParameter(14, 'K')}));
    EXPECT_EQ(frame_.State().resumeKey, 'K');
    Exit(Record(TypeStoryboard, 18));
    EXPECT_EQ(frame_.State().resumeKey, -1);
}

TEST_F(Storyboard, FrameSizesAreClampedAndTheVirtualSizeFollowsTheFrame) {
    Exit(Record(TypeStoryboard, 26, {Number(-1)}));
    EXPECT_EQ(frame_.Frame().width, 0x7FFFF000);
    EXPECT_EQ(frame_.Run().virtualWidth, 0x7FFFF000);
    EXPECT_EQ(frame_.Run().outerLimits.right, 0x7FFFF000 + 480);
    Exit(Record(TypeStoryboard, 22, {Number(900)}));
    EXPECT_EQ(frame_.Run().virtualHeight, 900);
    EXPECT_EQ(frame_.Run().outerLimits.bottom, 1200);
    // A virtual size of its own no longer follows the frame.
    Exit(Record(TypeStoryboard, 27, {Number(700)}));
    EXPECT_EQ(frame_.Frame().height, 700);
    EXPECT_EQ(frame_.Run().virtualHeight, 900);
}

struct CentreCase {
    const char* name;
    std::int32_t x;
    std::uint32_t frameFlags;
    std::int32_t left;
    std::int32_t displayX;
};

// Shown by its name, not byte by byte.
void PrintTo(const CentreCase& c, std::ostream* out) {
    *out << c.name;
}

class CentreDisplay : public Storyboard, public ::testing::WithParamInterface<CentreCase> {};

TEST_P(CentreDisplay, KeepsTheDisplayInItsLimits) {
    frame_.Frame().flags = GetParam().frameFlags;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {Record(TypeStoryboard, 8, {Number(GetParam().x)}),
                                  RecorderOf(StoryboardExpression(2))}));
    frame_.Prepare(b);
    frame_.Loop();
    EXPECT_EQ(frame_.State().pendingScrollX, GetParam().left);
    EXPECT_EQ(Values(), std::vector<std::int32_t>{GetParam().displayX});
}

// A window 320 wide over a frame 640 wide.
INSTANTIATE_TEST_SUITE_P(Positions, CentreDisplay,
                         ::testing::Values(CentreCase{"AtZeroHalfAWindowLeft", 0, 0, -160, 0},
                                           CentreCase{"FarLeftStopsAt480", -400, 0, -480, 0},
                                           CentreCase{"FarRightStopsPast480", 5000, 0, 800, 800},
                                           CentreCase{"ClampedToTheFrame", 0, 0x4, 0, 0},
                                           CentreCase{"ClampedToTheFrameRight", 5000, 0x4, 320, 320},
                                           CentreCase{"Middle", 400, 0x4, 240, 240}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CentreAtCase {
    const char* name;
    std::int16_t layer;
    float coefficient; // of layer 1
    std::int32_t left, top;
};

// Shown by its name, not byte by byte.
void PrintTo(const CentreAtCase& c, std::ostream* out) {
    *out << c.name;
}

class CentreDisplayAtPosition : public Storyboard, public ::testing::WithParamInterface<CentreAtCase> {};

TEST_P(CentreDisplayAtPosition, CentresBothAxesByTheLayersCoefficients) {
    FrameLayer layers[2]{};
    layers[0].settings.xCoefficient = layers[0].settings.yCoefficient = 1.0f;
    layers[1].settings.xCoefficient = layers[1].settings.yCoefficient = GetParam().coefficient;
    frame_.Frame().layers = layers;
    frame_.Frame().layerCount = 2;
    frame_.Frame().flags = 0x4;
    appwriter::PositionDesc at;
    at.x = 400;
    at.y = 300;
    at.layer = GetParam().layer;
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {Record(TypeStoryboard, 7, {appwriter::PositionParameter(16, at)})}));
    frame_.Prepare(b);
    frame_.Loop();
    frame_.Frame().layers = nullptr;
    frame_.Frame().layerCount = 0;
    EXPECT_EQ(frame_.State().pendingScrollX, GetParam().left);
    EXPECT_EQ(frame_.State().pendingScrollY, GetParam().top);
}

// (400, 300) in the middle of a window 320 x 200 over a frame 640 x 480 held inside it.
INSTANTIATE_TEST_SUITE_P(Layers, CentreDisplayAtPosition,
                         ::testing::Values(CentreAtCase{"FirstLayer", 0, 2.0f, 240, 200},
                                           CentreAtCase{"LayerScrollingTwiceAsFast", 1, 2.0f, 120, 100},
                                           CentreAtCase{"LayerScrollingSlower", 1, 0.5f, 240, 200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Storyboard, FramesPerSecondComesFromTheLastTenLoops) {
    EventProgramBuilder b;
    b.AddGroup(Group({Always()}, {RecorderOf(StoryboardExpression(10))}));
    frame_.Prepare(b);
    std::fill(std::begin(frame_.Run().loopTimes), std::end(frame_.Run().loopTimes), 20);
    frame_.Loop();
    // Before any loop is timed there is no rate to tell, and no division by zero.
    std::fill(std::begin(frame_.Run().loopTimes), std::end(frame_.Run().loopTimes), 0);
    frame_.Loop();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{50, 0}));
}

TEST_F(Storyboard, FrameGeometryAndColourExpressions) {
    EventProgramBuilder b;
    std::vector<EventRecordDesc> actions{Record(TypeStoryboard, 23, {appwriter::IntParameter(24, 0x123456)}),
                                         Record(TypeStoryboard, 21, {Number(2000)})};
    for (std::int16_t n : {3, 5, 6, 7, 11, 12, 13, 14})
        actions.push_back(RecorderOf(StoryboardExpression(n)));
    b.AddGroup(Group({Always()}, actions));
    frame_.Prepare(b);
    frame_.Loop();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{320, 200, 640, 480, 2000, 480, 0x123456, 1}));
    EXPECT_EQ(frame_.Frame().background, 0x123456u);
}

TEST_F(Storyboard, AFrameRateOutsideItsRangeIsIgnored) {
    for (std::int32_t rate : {0, 1001, 25}) {
        Log().clear();
        Exit(Record(TypeStoryboard, 16, {Number(rate)}));
    }
    EXPECT_EQ(app_.header.frameRate, 25);
}

TEST_F(Storyboard, StartOfFrameHoldsForTheFirstLoopsAndResumedOnTheLoopAfterTheResume) {
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeStoryboard, -1)}, {Recorder(1)}));
    b.AddGroup(Group({EveryLoop(Record(TypeStoryboard, -8))}, {Recorder(8)}));
    frame_.Prepare(b);
    frame_.Loop();
    TriggerResumed();
    for (int i = 0; i < 3; ++i)
        frame_.Loop();
    // The start of the frame runs once; the resume is raised at once and holds on the loop after it.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{1, 8, 8}));
    EXPECT_EQ(LoopsOf(8), (std::vector<std::int64_t>{1, 2}));
}

// --- the frame's ink and effect ---

std::uint32_t Word(const FrameRecord& frame, std::size_t at) {
    const std::uint8_t* p = frame.effect.data + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

EventParameterDesc Real(double v) {
    appwriter::Bytes payload(8);
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        payload[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    return Expression(ExpressionBuilder().Raw(TokenDoubleCode, std::move(payload)));
}

ExpressionBuilder EffectParameterOf(std::u16string name) {
    ExpressionBuilder e;
    SystemExpression(e, TypeStoryboard, 18).String(std::move(name)).Close();
    return e;
}

// The application's effect bank holds "Glow" (level: integer, strength: float); the frame starts with the
// ink word and coefficient given, or without an effect block.
class FrameInk : public Storyboard {
protected:
    FrameInk() {
        appwriter::EffectEntryDesc glow;
        glow.name = "Glow";
        glow.source = "glow source";
        glow.kinds = {0, 1};
        glow.names = {"level", "strength"};
        bank_ = appwriter::EffectBank({appwriter::EffectEntry(glow)});
        app_.effectBank = {bank_.data(), static_cast<std::uint32_t>(bank_.size())};
    }
    void StartWith(std::uint32_t ink, std::uint32_t coefficient) {
        FrameBlock& block = frame_.Frame().effect;
        ASSERT_TRUE(AllocZeroedMemory(16, &block.data));
        block.size = 16;
        const std::uint32_t words[3] = {ink, coefficient, 0xFFFFFFFF};
        for (std::size_t w = 0; w < 3; ++w)
            for (std::size_t i = 0; i < 4; ++i)
                block.data[w * 4 + i] = static_cast<std::uint8_t>(words[w] >> (8 * i));
    }
    std::pair<std::uint32_t, std::uint32_t> Ink() {
        return {Word(frame_.Frame(), 0), Word(frame_.Frame(), 4)};
    }
    // The actions and then the recorders, in one loop.
    std::vector<std::int32_t> Run(std::vector<EventRecordDesc> actions,
                                  std::vector<std::int16_t> expressions = {}) {
        for (std::int16_t n : expressions)
            actions.push_back(RecorderOf(StoryboardExpression(n)));
        EventProgramBuilder b;
        b.AddGroup(Group({Always()}, std::move(actions)));
        frame_.Prepare(b);
        frame_.Loop();
        return Values();
    }

    appwriter::Bytes bank_;
};

constexpr std::uint32_t NoBlock = 0xFFFFFFFF;

struct InkCase {
    const char* name;
    std::uint32_t ink, coefficient; // NoBlock: the frame has no effect block
    std::int16_t action;
    EventParameterDesc parameter;
    std::uint32_t inkAfter, coefficientAfter;
};

// Shown by its name, not byte by byte.
void PrintTo(const InkCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameInkTransitions : public FrameInk, public ::testing::WithParamInterface<InkCase> {};

TEST_P(FrameInkTransitions, CarryTheCoefficientAcrossTheChange) {
    const InkCase& c = GetParam();
    if (c.ink != NoBlock) {
        ASSERT_NO_FATAL_FAILURE(StartWith(c.ink, c.coefficient));
    }
    Run({Record(TypeStoryboard, c.action, {c.parameter})});
    EXPECT_EQ(Ink(), std::make_pair(c.inkAfter, c.coefficientAfter));
    EXPECT_EQ(frame_.Frame().effectObject, nullptr);
}

// A blend value of 64 is alpha 127.
INSTANTIATE_TEST_SUITE_P(
    Inks, FrameInkTransitions,
    ::testing::Values(InkCase{"BlendBecomesAlpha", 1, 64, 35, Number(100), 0x1000, 0x9BFFFFFF},
                      InkCase{"AlphaZeroOnABlendClears", 1, 64, 35, Number(0), 0, 0},
                      InkCase{"AlphaIsClamped", 9, 0, 35, Number(999), 0x1009, 0x00FFFFFF},
                      InkCase{"AlphaWithoutAnEffectBlock", NoBlock, 0, 35, Number(10), 0x1000, 0xF5FFFFFF},
                      InkCase{"AlphaKeepsTheColour", 0x1000, 0x80332211, 35, Number(55), 0x1000, 0xC8332211},
                      InkCase{"OpaqueWhiteClearsInkAndCoefficient", 0x1000, 0x80FFFFFF, 35, Number(0), 0, 0},
                      InkCase{"RgbExchangesRedAndBlue", 0, 0, 36, Number(0x0000FF), 0x1000, 0xFFFF0000},
                      InkCase{"RgbKeepsTheBlendsAlpha", 1, 64, 36, Number(0x112233), 0x1000, 0x7F332211},
                      InkCase{"RgbWhiteOnAnOpaqueCopyClears", 0x1000, 0xFF123456, 36, Number(0xFFFFFF), 0, 0},
                      InkCase{"BlendFromAnAlpha", 0x1000, 0x40FF0000, 32, Text(u"Blend"), 1, 95},
                      InkCase{"BlendOfAnUnseenFrame", 0x1000, 0x00123456, 32, Text(u"blend"), 1, 128},
                      InkCase{"AddCarriesTheBlend", 1, 64, 32, Text(u"Add"), 0x1009, 0x7FFFFFFF},
                      InkCase{"AddWithoutACoefficient", 0, 0, 32, Text(u"add"), 9, 0},
                      InkCase{"AnUnknownInkChangesNothing", 1, 64, 32, Text(u"Sparkle"), 1, 64}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameInk, AShaderInkHoldsTheCoefficientAndTheParameters) {
    ASSERT_NO_FATAL_FAILURE(StartWith(1, 64));
    Run({Record(TypeStoryboard, 32, {Text(u"glow")})});
    EXPECT_EQ(Word(frame_.Frame(), 0), 13u);
    CEffectEx* glow = frame_.Frame().effectObject;
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->GetRgbaCoefficient(), 0x7FFFFFFFu);

    Log().clear();
    const std::vector<std::int32_t> seen = Run(
        {Record(TypeStoryboard, 35, {Number(55)}), Record(TypeStoryboard, 36, {Number(0x0000FF)}),
         Record(TypeStoryboard, 33, {Text(u"LEVEL"), Number(7)}),
         Record(TypeStoryboard, 33, {Text(u"strength"), Real(2.5)}),
         Record(TypeStoryboard, 33, {Text(u"missing"), Number(3)}), RecorderOf(EffectParameterOf(u"level")),
         RecorderOf(EffectParameterOf(u"strength").Operator(appwriter::OperatorMultiplyCode).Integer(10)),
         RecorderOf(EffectParameterOf(u"missing"))},
        {16, 17});
    EXPECT_EQ(frame_.Frame().effectObject, glow);
    EXPECT_EQ(glow->GetRgbaCoefficient(), 0xC8FF0000u);
    EXPECT_EQ(seen, (std::vector<std::int32_t>{7, 25, 0, 55, 0x0000FF}));

    // Leaving the shader releases it and keeps its coefficient.
    Run({Record(TypeStoryboard, 32, {Text(u"")})});
    EXPECT_EQ(frame_.Frame().effectObject, nullptr);
    EXPECT_EQ(Ink(), std::make_pair(0x1000u, 0xC8FF0000u));
}

TEST_F(FrameInk, WithoutAnEffectTheExpressionsReadOpaqueWhiteAndParametersAreIgnored) {
    EXPECT_EQ(Run({Record(TypeStoryboard, 33, {Text(u"level"), Number(7)}),
                   RecorderOf(EffectParameterOf(u"level"))},
                  {16, 17}),
              (std::vector<std::int32_t>{0, 0, 0xFFFFFF}));
    EXPECT_EQ(frame_.Frame().effect.data, nullptr);
    // A blend reads as its alpha.
    Log().clear();
    ASSERT_NO_FATAL_FAILURE(StartWith(1, 64));
    EXPECT_EQ(Run({}, {16, 17}), (std::vector<std::int32_t>{128, 0xFFFFFF}));
}

// --- keyboard and mouse ---

class Pointer : public ::testing::Test {
protected:
    Pointer() {
        // The run state starts with the layer's display count.
        const int count = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        frame_.Run().pointerShowCount = static_cast<std::int16_t>(count);
        before_ = count;
    }
    ~Pointer() override {
        int count = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        while (count < before_)
            count = ShowCursor(TRUE);
        while (count > before_)
            count = ShowCursor(FALSE);
    }
    int before_ = 0;
    EventFrame frame_;
};

TEST_F(Pointer, ShowingTwiceAfterHidingOnceLeavesTheCountAtZero) {
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(Switch(0))}, {Record(TypeKeyboardMouse, 0)}));
    b.AddGroup(Group({EveryLoop(Switch(1))}, {Record(TypeKeyboardMouse, 1), Record(TypeKeyboardMouse, 1)}));
    b.AddGroup(Group({EveryLoop(Record(TypeKeyboardMouse, -10, {}, 0, 0, true))}, {Recorder(10)}));
    frame_.Prepare(b);
    switches[0] = true;
    frame_.Loop();
    EXPECT_LT(frame_.Run().pointerShowCount, 0);
    switches[0] = false;
    switches[1] = true;
    frame_.Loop();
    EXPECT_EQ(frame_.Run().pointerShowCount, 0);
    // The hidden pointer was seen by the negated visibility test on the first loop only.
    EXPECT_EQ(LoopsOf(10), (std::vector<std::int64_t>{1}));
}

TEST_F(Pointer, ThePointerReadsNothingWhileTheMouseIsDisabled) {
    EventProgramBuilder b;
    ExpressionBuilder x, y;
    SystemExpression(x, TypeKeyboardMouse, 0);
    SystemExpression(y, TypeKeyboardMouse, 1);
    b.AddGroup(Group({Always()}, {RecorderOf(x), RecorderOf(y)}));
    frame_.Prepare(b);
    frame_.Run().mouseX = 12;
    frame_.Run().mouseY = 34;
    frame_.Loop();
    frame_.State().mouseDisabled = 1;
    frame_.Loop();
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{12, 34, 0, 0}));
}

// Two objects drawn without sprites overlap under the pointer, a third lies elsewhere.
class ClickOnObjects : public ::testing::Test {
protected:
    ClickOnObjects() {
        info_ = frame_.AddInfo(10);
        frame_.AddObject(info_, 100, 100, false, 20, 20);
        frame_.AddObject(info_, 110, 110, false, 20, 20);
        frame_.AddObject(info_, 300, 100, false, 20, 20);
        frame_.Run().mouseX = 115;
        frame_.Run().mouseY = 115;
    }
    static EventRecordDesc ClickedOn(std::int16_t button) {
        return Record(TypeKeyboardMouse, -7,
                      {appwriter::ShortParameter(3, button), appwriter::ObjectParameter(10, 2)});
    }
    std::uint16_t info_ = 0;
    EventFrame frame_;
};

TEST_F(ClickOnObjects, AClickRaisesItsConditionForEachObjectUnderThePointer) {
    EventProgramBuilder b;
    b.AddGroup(Group({ClickedOn(0)}, {Record(2, RecordObjectAction, {}, 10)}));
    b.AddGroup(Group({ClickedOn(2)}, {Recorder(99)}));
    frame_.Prepare(b);
    TriggerMouseClick(WM_LBUTTONDOWN);
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(frame_.State().lastClick, 0);
}

TEST_F(ClickOnObjects, TheLastClickOverTheSelectionKeepsEveryObjectUnderThePointer) {
    EventProgramBuilder b;
    b.AddGroup(Group({EveryLoop(ClickedOn(0))}, {Record(2, RecordObjectAction, {}, 10)}));
    frame_.Prepare(b);
    frame_.Loop();
    EXPECT_TRUE(Log().empty());
    frame_.State().lastClick = 0;
    frame_.Loop();
    // Instance order is newest first.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{1, 0}));
}

TEST(Wheel, TheWheelConditionsHoldOnTheLoopAfterTheTurn) {
    EventFrame frame;
    EventProgramBuilder b;
    b.AddGroup(Group({Record(TypeKeyboardMouse, -11)}, {Recorder(1)}));
    b.AddGroup(Group({EveryLoop(Record(TypeKeyboardMouse, -12))}, {Recorder(2)}));
    frame.Prepare(b);
    frame.Loop();
    TriggerMouseWheel(120);
    TriggerMouseWheel(-120);
    frame.Loop();
    frame.Loop();
    // Raised at once, and true over the selection on the next loop only.
    EXPECT_EQ(Values(), (std::vector<std::int32_t>{1, 2, 2}));
    EXPECT_EQ(LoopsOf(2), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(frame.State().wheelDelta, -120);
}

} // namespace

// Extension objects in a running application: the gauge and the probe created from the frame, their
// conditions, actions and expressions reached from the frame's event program (negated and not, with
// comparisons, strings in both forms and numbers past their tables), the conditions they raise and push,
// their drawing, their window-message hook and their saved state, alone and in a saved position.
#include "extension_fixture.h"

#include "builtin/object_fonts.h"
#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/pause.h"
#include "objects/run_objects.h"
#include "runtime/app/wiring/application_run.h"
#include "runtime/waited_clock.h"
#include "persist/saved_positions.h"
#include "shell/extension_services.h"
#include "shell/window_hooks.h"
#include "startup/event_program.h"

#include "vtrs2/raw_files.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace extensiontest;
using namespace vtrrt;
using appwriter::EventGroupDesc;
using appwriter::EventParameterDesc;
using appwriter::EventRecordDesc;
using appwriter::ExpressionBuilder;
using win32::COLORREF;

constexpr std::uint16_t GaugeA = 1, GaugeB = 2, ProbeP = 3;
constexpr std::int16_t GaugeType = 32, ProbeType = 33;
constexpr COLORREF Back = 0x0000FF, Bar = 0xFF0000, Background = 0x202020;
constexpr int AX = 10, AY = 10, GaugeWidth = 40, GaugeHeight = 8;

// Own numbers as the events store them.
constexpr std::int16_t Condition(int own) {
    return static_cast<std::int16_t>(-(81 + own));
}
constexpr std::int16_t Action(int own) {
    return static_cast<std::int16_t>(80 + own);
}

appwriter::Bytes GaugeData(std::int32_t value, std::int32_t maximum = 10) {
    appwriter::ByteWriter w;
    for (std::int32_t v : {GaugeWidth, GaugeHeight, static_cast<std::int32_t>(Back),
                           static_cast<std::int32_t>(Bar), value, maximum})
        w.I32(v);
    return appwriter::ExtensionData(2, w.Take());
}

EventParameterDesc Number(ExpressionBuilder e, std::int16_t code = 22, std::uint16_t comparison = 0) {
    return appwriter::ExpressionParameter(code, std::move(e), comparison);
}
EventParameterDesc Number(std::int32_t n) {
    return Number(ExpressionBuilder().Integer(n));
}
EventRecordDesc Record(std::int16_t type, std::int16_t number, std::uint16_t info,
                       std::vector<EventParameterDesc> params = {}, bool negated = false) {
    EventRecordDesc r;
    r.type = type;
    r.number = number;
    r.objectInfo = info;
    r.negation = negated ? 1 : 0;
    r.parameters = std::move(params);
    return r;
}
// A condition tested in every loop (not one that waits to be raised).
EventRecordDesc EveryLoop(EventRecordDesc r) {
    r.runFlags |= RecordEveryLoop;
    return r;
}
EventRecordDesc Always() {
    return EveryLoop(Record(TypeSpecial, -1, 0));
}
EventGroupDesc Group(std::vector<EventRecordDesc> conditions, std::vector<EventRecordDesc> actions) {
    EventGroupDesc g;
    g.conditions = std::move(conditions);
    g.actions = std::move(actions);
    return g;
}
// "The gauge's value compared with n".
EventRecordDesc ValueIs(std::uint16_t info, std::uint16_t comparison, std::int32_t n, bool negated = false) {
    return EveryLoop(Record(GaugeType, Condition(0), info,
                            {Number(ExpressionBuilder().Integer(n), 23, comparison)}, negated));
}

appwriter::ApplicationDescription Describe(const std::vector<EventGroupDesc>& groups) {
    appwriter::ApplicationDescription d = ListingApplication({{0, u"vtrgauge", u""}, {1, u"probe", u"P"}});
    d.header->windowWidth = 160;
    d.header->windowHeight = 120;
    appwriter::Bytes probe(12 + 66, 0);
    probe[0] = static_cast<std::uint8_t>(probe.size());
    d.extra.push_back(
        {appwriter::ChunkObjectInfos, 0,
         appwriter::WriteObjectInfos({ExtensionObjectDesc(GaugeA, GaugeType, GaugeData(3), ObjectHasSprite),
                                      ExtensionObjectDesc(GaugeB, GaugeType, GaugeData(8), ObjectHasSprite),
                                      ExtensionObjectDesc(ProbeP, ProbeType, probe)},
                                     appwriter::StringForm::Wide, appwriter::KeyOf(d))});
    appwriter::EventProgramBuilder b;
    b.objectInfoCount = 3;
    b.conditionCounts[TypeSpecial + 7] = 40;
    for (const EventGroupDesc& g : groups)
        b.AddGroup(g);
    appwriter::FrameContents contents;
    contents.instances = std::vector<appwriter::InstanceDesc>{
        {1, GaugeA, AX, AY, 0, 0, 0}, {2, GaugeB, 10, 30, 0, 0, 0}, {3, ProbeP, 100, 100, 0, 0, 0}};
    contents.events = b.ChunkPayload();
    d.frames.push_back(appwriter::DescribeFrame(160, 120, Background, contents));
    return d;
}

class ExtensionEvents : public ::testing::Test {
protected:
    void Start(const std::vector<EventGroupDesc>& groups) {
        folder_.Copy(Gauge(), "vtrgauge.vxe");
        folder_.Copy(Probe(), "probe.vxe");
        bytes_ = appwriter::WriteApplication(Describe(groups));
        // Simulated time: a loop is as many steps in every build (the wait after the first loop polls).
        previousClock_ = SetFrameClock(&clock_);
        // The start runs the frame's first loop.
        ASSERT_NO_FATAL_FAILURE(wiringtest::StartApplicationRun(bytes_, app_));
        ASSERT_EQ(CurrentRunState()->loopCount, 1);
    }
    void TearDown() override {
        wiringtest::StopApplicationRun(app_);
        SetFrameClock(previousClock_);
    }
    // Steps the machine until the frame has run one more loop.
    void Tick() {
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int i = 0; i < 1000 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++i)
            ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    }
    RunObject* Object(std::uint16_t info) const {
        FrameRunState* s = CurrentRunState();
        for (int slot = 0; slot < s->maxObjects; ++slot)
            if (RunObject* o = s->objects[slot].object; o && o->objectInfo == info) return o;
        return nullptr;
    }
    const DecodedRoutines& GaugeRoutines() const {
        return ExtensionRoutinesOfType(app_.get(), GaugeType)->routines;
    }
    std::int32_t Value(std::uint16_t info) const {
        return static_cast<std::int32_t>(GaugeRoutines().expressions[0](Object(info), nullptr));
    }
    void SetValue(std::uint16_t info, std::int32_t v) const {
        GaugeRoutines().actions[0](Object(info), v, 0);
    }
    COLORREF Colour(std::uint16_t info) const {
        COLORREF c = 0;
        EXPECT_TRUE(GetExtensionTextColour(Object(info), c));
        return c;
    }
    std::string Notes() const { return ProbeNotes(ExtensionOfType(app_.get(), ProbeType)); }
    COLORREF Pixel(int x, int y) const {
        return win32::testing::ReadWindowPixel(Services().frameWindow, x, y);
    }

    ModuleFolder folder_;
    runtime_test::WaitedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

TEST_F(ExtensionEvents, TheFrameCreatesTheObjectsAndTheProbeHearsItsLife) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    ASSERT_NE(Object(GaugeA), nullptr);
    ASSERT_NE(Object(ProbeP), nullptr);
    EXPECT_EQ(Value(GaugeA), 3);
    EXPECT_EQ(Value(GaugeB), 8);
    // The definition, the frame's broadcast, the object, and the run information asked again.
    EXPECT_NE(Notes().find("P:StartApp P:UpdateEditStructure P:LoadObject P:UpdateFileNames P:StartFrame:0 "
                           "P:Create P:RunInfo"),
              std::string::npos)
        << Notes();
    PauseApplication();
    ResumeApplication();
    EXPECT_NE(Notes().find("P:Pause P:Continue"), std::string::npos) << Notes();
    CurrentRunState()->exitCode = ExitEndApplication;
    for (int i = 0; i < 1000 && RunApplicationStep(app_.get(), 0);)
        ++i;
    EXPECT_NE(Notes().find("P:Destroy:1 P:EndFrame:0"), std::string::npos) << Notes();
}

TEST_F(ExtensionEvents, ActionsGetTheirParametersAndExpressionsGiveTheirValues) {
    ExpressionBuilder bPlusOne;
    bPlusOne.Object(GaugeType, Action(0), GaugeB).Operator(appwriter::OperatorAddCode).Integer(1);
    ExpressionBuilder clamped;
    clamped.Object(GaugeType, Action(3), GaugeA).Integer(0).Comma().Integer(5).Close();
    ExpressionBuilder percent;
    percent.Object(GaugeType, Action(1), GaugeB).Operator(appwriter::OperatorMultiplyCode).Integer(100);
    ASSERT_NO_FATAL_FAILURE(
        Start({Group({Always()}, {Record(GaugeType, Action(0), GaugeA, {Number(bPlusOne)}),
                                  Record(GaugeType, Action(2), GaugeA, {Number(percent)}),
                                  Record(GaugeType, Action(1), GaugeB, {Number(clamped)})})}));
    EXPECT_EQ(Value(GaugeA), 9) << "B's value 8, plus 1";
    EXPECT_EQ(Colour(GaugeA), 80u) << "B's float fraction 0.8 times 100";
    EXPECT_EQ(Value(GaugeB), 13) << "A's 9 kept between 0 and 5, added";
}

TEST_F(ExtensionEvents, ConditionsCompareAndNegateAndNumbersPastTheTablesDoNothing) {
    ExpressionBuilder pastTable;
    pastTable.Object(GaugeType, Action(9), GaugeA).Operator(appwriter::OperatorAddCode).Integer(7);
    ASSERT_NO_FATAL_FAILURE(Start({
        Group({ValueIs(GaugeA, CompareGreater, 5)}, {Record(GaugeType, Action(2), GaugeA, {Number(1)})}),
        Group({ValueIs(GaugeA, CompareGreater, 5, true)},
              {Record(GaugeType, Action(2), GaugeA, {Number(2)})}),
        Group({ValueIs(GaugeB, CompareGreater, 5)}, {Record(GaugeType, Action(2), GaugeB, {Number(3)})}),
        Group({EveryLoop(Record(GaugeType, Condition(1), GaugeB, {}, true))},
              {Record(GaugeType, Action(0), GaugeB, {Number(10)})}),
        Group({EveryLoop(Record(GaugeType, Condition(1), GaugeB))},
              {Record(GaugeType, Action(0), GaugeA, {Number(4)})}),
        // A condition, an action and an expression past the gauge's tables.
        Group({EveryLoop(Record(GaugeType, Condition(7), GaugeA))},
              {Record(GaugeType, Action(2), GaugeA, {Number(99)})}),
        Group({EveryLoop(Record(GaugeType, Condition(7), GaugeA, {}, true))},
              {Record(GaugeType, Action(2), GaugeA, {Number(98)})}),
        Group({Always()}, {Record(GaugeType, Action(9), GaugeA, {Number(5)}),
                           Record(GaugeType, Action(2), GaugeB, {Number(pastTable)})}),
    }));
    EXPECT_EQ(Colour(GaugeA), 2u) << "only the negated comparison held for A (3)";
    EXPECT_EQ(Colour(GaugeB), 7u) << "the missing expression gave 0";
    EXPECT_EQ(Value(GaugeB), 10) << "B was not full";
    EXPECT_EQ(Value(GaugeA), 4) << "then B was full";
}

TEST_F(ExtensionEvents, AConditionPushedByTheGaugeRunsItsGroupLaterInTheLoop) {
    ASSERT_NO_FATAL_FAILURE(Start({Group({Always()}, {Record(GaugeType, Action(1), GaugeA, {Number(7)})}),
                                   Group({Record(GaugeType, Condition(2), GaugeA)},
                                         {Record(GaugeType, Action(0), GaugeB, {Number(55)})})}));
    EXPECT_EQ(Value(GaugeA), 10);
    EXPECT_EQ(Value(GaugeB), 55);
    SetValue(GaugeB, 0);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(Value(GaugeB), 0) << "a full gauge reaches its maximum only once";
}

TEST_F(ExtensionEvents, AnEightBitExtensionGetsAndGivesTextInTheApplicationsCodePage) {
    ExpressionBuilder plusOne;
    plusOne.Object(ProbeType, Action(1), ProbeP).Operator(appwriter::OperatorAddCode).Integer(1);
    ASSERT_NO_FATAL_FAILURE(Start({
        Group({Always()},
              {Record(ProbeType, Action(1), ProbeP, {Number(ExpressionBuilder().String(u"café"), 45)}),
               Record(ProbeType, Action(1), ProbeP,
                      {Number(ExpressionBuilder().Object(ProbeType, Action(0), ProbeP), 45)}),
               Record(ProbeType, Action(0), ProbeP, {Number(plusOne)}),
               Record(ProbeType, Action(2), ProbeP)}),
        // Raised now, from inside the action above.
        Group({Record(ProbeType, Condition(1), ProbeP)}, {Record(ProbeType, Action(0), ProbeP, {Number(7)})}),
    }));
    EXPECT_NE(Notes().find("P:Act1:636166e9 P:Act1:636166e9 P:Act0:43 P:Act0:7"), std::string::npos)
        << Notes();
}

TEST_F(ExtensionEvents, FontsAndTextColoursAreAskedOfTheExtensionsInTheirOwnForm) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    // The probe keeps an 8-bit face name: it is handed over and given back in the application's code page.
    win32::LOGFONTW font{};
    ASSERT_TRUE(GetObjectFont(Object(ProbeP), &font));
    EXPECT_EQ(std::u16string(font.lfFaceName), u"Arial");
    EXPECT_EQ(font.lfWeight, 700);
    const std::u16string cafe = u"Café";
    std::copy(cafe.begin(), cafe.end(), font.lfFaceName);
    font.lfFaceName[cafe.size()] = 0;
    font.lfHeight = -13;
    SetObjectFont(Object(ProbeP), &font, nullptr);
    EXPECT_NE(Notes().find("P:Font:436166e9:-13"), std::string::npos) << Notes();
    win32::LOGFONTW back{};
    ASSERT_TRUE(GetObjectFont(Object(ProbeP), &back));
    EXPECT_EQ(std::u16string(back.lfFaceName), cafe);
    // The gauge has no font, and its text colour is its bar's.
    EXPECT_FALSE(GetObjectFont(Object(GaugeA), &back));
    EXPECT_EQ(GetObjectTextColor(Object(GaugeA)), Bar);
    SetObjectTextColor(Object(GaugeA), 0x00FF00);
    EXPECT_EQ(GetObjectTextColor(Object(GaugeA)), COLORREF{0x00FF00});
    EXPECT_EQ(GetObjectTextColor(Object(ProbeP)), COLORREF{0}) << "the probe tells no colour";
}

TEST_F(ExtensionEvents, TheGaugeIsDrawnFromItsSurfaceAndWithoutOneByItsDisplayEntry) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    ASSERT_NO_FATAL_FAILURE(Tick());
    // 3 of 10: the first 12 of its 40 pixels show the bar.
    EXPECT_EQ(Pixel(AX + 2, AY + 2), Bar);
    EXPECT_EQ(Pixel(AX + 11, AY + 2), Bar);
    EXPECT_EQ(Pixel(AX + 12, AY + 2), Back);
    EXPECT_EQ(Pixel(AX + GaugeWidth, AY + 2), Background);
    SetValue(GaugeA, 0);
    ASSERT_NO_FATAL_FAILURE(Tick());
    EXPECT_EQ(Pixel(AX + 2, AY + 2), Back) << "an empty gauge has no surface: DisplayRunObject drew it";
    EXPECT_EQ(Pixel(AX + GaugeWidth - 1, AY + GaugeHeight - 1), Back);
}

TEST_F(ExtensionEvents, TheGaugeSeesTheFramesKeysThroughItsWindowHook) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    FrameRunState* s = CurrentRunState();
    const ExtensionRecord* gauge = ExtensionOfType(app_.get(), GaugeType);
    ASSERT_EQ(s->windowHookCount, 1) << "the probe asks for no window messages";
    EXPECT_EQ(reinterpret_cast<void*>(s->windowHooks[0].routine), gauge->entries[extension::EntryWindowProc]);
    EXPECT_EQ(s->windowHooks[0].priority, 50);
    CallWindowHooks(Services().frameWindow, win32::WM_KEYDOWN, 'A', 0);
    CallWindowHooks(Services().frameWindow, win32::WM_KEYUP, 'A', 0);
    CallWindowHooks(Services().frameWindow, win32::WM_KEYDOWN, 'B', 0);
    EXPECT_EQ(GetExtensionUserData(gauge->module), 2);
}

TEST_F(ExtensionEvents, TheGaugeSavesAndLoadsItsState) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    const std::string path = (folder_.Run() / "state").string();
    const std::u16string wide(path.begin(), path.end());
    RunObject* a = Object(GaugeA);
    auto save = ObjectEntry<extension::SaveRunObjectProc>(a, extension::EntrySaveRunObject);
    auto load = ObjectEntry<extension::LoadRunObjectProc>(a, extension::EntryLoadRunObject);
    ASSERT_TRUE(save && load);
    SetValue(GaugeA, 6);
    win32::HANDLE file = FileCreateRaw(wide.c_str());
    EXPECT_EQ(save(a, file), 1);
    FileCloseRaw(file);
    SetValue(GaugeA, 1);
    file = FileOpenRaw(wide.c_str(), 0);
    EXPECT_EQ(load(a, file), 1);
    FileCloseRaw(file);
    EXPECT_EQ(Value(GaugeA), 6);
}

} // namespace

namespace {

class ExtensionPositions : public ExtensionEvents {
protected:
    std::u16string Path() const {
        const std::string path = (folder_.Parent() / "saved.vpp").string();
        return std::u16string(path.begin(), path.end());
    }
    std::vector<COLORREF> Picture() const {
        std::vector<COLORREF> p;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                p.push_back(Pixel(x, y));
        return p;
    }
    // Where gauge A's part starts in a written position: data version 2, a state of 12 bytes holding its
    // value, its maximum and its bar colour.
    static std::size_t GaugePartAt(const std::vector<std::uint8_t>& b, std::int32_t value) {
        appwriter::ByteWriter w;
        w.U32(2);
        w.U8(1);
        w.U32(12);
        for (std::int32_t v : {value, 10, static_cast<std::int32_t>(Bar)})
            w.I32(v);
        const appwriter::Bytes part = w.Take();
        const auto at = std::search(b.begin(), b.end(), part.begin(), part.end());
        EXPECT_NE(at, b.end());
        return static_cast<std::size_t>(at - b.begin());
    }
};

TEST_F(ExtensionPositions, AGaugeComesBackWithItsStateAndPicture) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    SetValue(GaugeA, 6);
    SetValue(GaugeB, 2);
    ASSERT_TRUE(SetExtensionTextColour(Object(GaugeB), 0x00FF00));
    ASSERT_NO_FATAL_FAILURE(Tick());
    const std::vector<COLORREF> picture = Picture();
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);

    SetValue(GaugeA, 1);
    SetValue(GaugeB, 0);
    ASSERT_TRUE(SetExtensionTextColour(Object(GaugeB), Bar));
    ASSERT_NO_FATAL_FAILURE(Tick());
    ASSERT_NE(Picture(), picture);

    ASSERT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Applied);
    EXPECT_EQ(Value(GaugeA), 6);
    EXPECT_EQ(Value(GaugeB), 2);
    EXPECT_EQ(Colour(GaugeB), 0x00FF00u);
    ASSERT_NE(Object(ProbeP), nullptr) << "an extension that keeps no state still has its object made again";
    ASSERT_NO_FATAL_FAILURE(Tick());
    // 6 of 10 over 40 pixels: 24 of bar, then the gauge's back.
    for (int x = 0; x < GaugeWidth; ++x)
        EXPECT_EQ(Pixel(AX + x, AY + 3), x < 24 ? Bar : Back) << x;
    EXPECT_EQ(Pixel(10 + 7, 30 + 3), 0x00FF00u) << "2 of 10: 8 pixels of B's own bar colour";
    EXPECT_EQ(Pixel(10 + 8, 30 + 3), Back);
    EXPECT_EQ(Picture(), picture);
}

struct DamageCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&, std::size_t part)> change;
};

TEST_F(ExtensionPositions, ADamagedGaugePartIsRefusedBeforeTheFrameChanges) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    SetValue(GaugeA, 6);
    ASSERT_NO_FATAL_FAILURE(Tick());
    const std::vector<std::uint8_t> written = WriteApplicationPosition(CurrentRunState()->positionStamp);
    ASSERT_FALSE(written.empty());
    const std::size_t part = GaugePartAt(written, 6);
    const auto length = [](std::uint32_t n) {
        return [n](std::vector<std::uint8_t>& b, std::size_t at) {
            for (int i = 0; i < 4; ++i)
                b[at + 5 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
        };
    };
    const std::vector<DamageCase> cases{
        {"length one more", length(13)},
        {"length one less", length(11)},
        {"length of none", length(0)},
        {"length past the file", length(0xFFFFFFF0u)},
        {"another data version", [](auto& b, std::size_t at) { b[at] = 1; }},
        {"state flag 2", [](auto& b, std::size_t at) { b[at + 4] = 2; }},
        {"no state where the gauge keeps one",
         [](auto& b, std::size_t at) {
             b[at + 4] = 0;
             b.erase(b.begin() + static_cast<std::ptrdiff_t>(at + 5),
                     b.begin() + static_cast<std::ptrdiff_t>(at + 21));
         }},
    };
    SetValue(GaugeA, 4);
    ASSERT_NO_FATAL_FAILURE(Tick());
    const std::vector<COLORREF> picture = Picture();
    FrameRunState* run = CurrentRunState();
    RunObject* gauge = Object(GaugeA);
    for (const DamageCase& c : cases) {
        std::vector<std::uint8_t> bytes = written;
        c.change(bytes, part);
        std::ofstream(folder_.Parent() / "saved.vpp", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Refused) << c.name;
        EXPECT_EQ(CurrentRunState(), run) << c.name;
        EXPECT_EQ(Object(GaugeA), gauge) << c.name;
        EXPECT_EQ(Value(GaugeA), 4) << c.name;
        ASSERT_NO_FATAL_FAILURE(Tick());
        EXPECT_EQ(Picture(), picture) << c.name;
    }
}

// A position kept for the start of a frame is checked before that frame has a run: against the same
// extensions, so the gauge's part is accepted and its state comes back.
TEST_F(ExtensionPositions, APositionLoadedAsTheFrameStartsBringsTheGaugeBack) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    SetValue(GaugeA, 6);
    ASSERT_EQ(SaveApplicationPosition(Path().c_str()), 1);
    SetValue(GaugeA, 1);
    const std::u16string path = Path();
    ASSERT_LT(path.size(), std::size(app_->run.pendingPositionFile));
    std::copy(path.begin(), path.end(), app_->run.pendingPositionFile);
    app_->run.pendingPositionFile[path.size()] = 0;
    app_->run.pendingPositionStamp = CurrentRunState()->positionStamp;
    CurrentRunState()->exitCode = ExitJumpToFrame;
    CurrentRunState()->exitParameter = 0x8000; // by index: frame 0, this one
    for (int i = 0; i < 1000 && (app_->run.pendingPositionFile[0] || !CurrentRunState()); ++i)
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    ASSERT_NE(CurrentRunState(), nullptr);
    ASSERT_EQ(app_->run.pendingPositionFile[0], 0);
    EXPECT_EQ(Value(GaugeA), 6) << "the definition gives 3";
}

// The file is whole and each length fits, but the gauge reads 12 of the 16 bytes its part holds: only the
// gauge can tell, once the run has been rebuilt, so the load fails and leaves the rebuilding to its caller.
TEST_F(ExtensionPositions, AStateTheGaugeDoesNotReadToItsEndFailsTheLoad) {
    ASSERT_NO_FATAL_FAILURE(Start({}));
    SetValue(GaugeA, 6);
    std::vector<std::uint8_t> bytes = WriteApplicationPosition(CurrentRunState()->positionStamp);
    const std::size_t part = GaugePartAt(bytes, 6);
    bytes[part + 5] = 16;
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(part + 21), 4, 0);
    std::ofstream(folder_.Parent() / "saved.vpp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(LoadApplicationPosition(Path().c_str()), PositionLoad::Failed);
}

} // namespace

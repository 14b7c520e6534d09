// The sub-application object running the children appwriter writes: the window its options give it and
// where it stands, its own conditions, actions and expressions with and without a child, the starts that
// make no child, the depth sub-applications nest to, a modal child holding its parent and the main window,
// a saved position that keeps a running child, a child drawn into its parent's frame and clicked there, and
// the icon its window is given.
#include "runtime/event_test_support.h"
#include "runtime/waited_clock.h"
#include "support/scene.h"

#include "app/application_loader.h"
#include "builtin/sub_application.h"
#include "core/command_line.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "persist/saved_positions.h"
#include "shell/main_window.h"
#include "startup/player_globals.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/sample_applications.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace vtrrt;
namespace fs = std::filesystem;
using appwriter::SubApplicationDesc;
using win32::COLORREF;

constexpr std::uint16_t SubAppInfo = 1;
constexpr std::int32_t ObjectX = 30, ObjectY = 20;
constexpr std::int32_t ParentWidth = 160, ParentHeight = 120;
constexpr COLORREF ParentBackground = 0x202020;
constexpr std::uint32_t OwnData = 0x4000, Modal = 0x1000, InParent = 0x4000000;

appwriter::ObjectInfoDesc SubAppObject(appwriter::Bytes typeData, std::uint16_t handle = SubAppInfo) {
    appwriter::ObjectInfoDesc o;
    o.handle = handle;
    o.type = TypeSubApplication;
    o.name = u"Sub-application";
    o.definition.typeData = std::move(typeData);
    return o;
}
appwriter::ObjectInfoDesc SubAppObject(const SubApplicationDesc& sub, std::uint16_t handle = SubAppInfo) {
    return SubAppObject(appwriter::SubApplicationData(sub), handle);
}

SubApplicationDesc ChildFile(std::uint32_t options = 0) {
    SubApplicationDesc sub;
    sub.width = 100;
    sub.height = 80;
    sub.options = options;
    sub.fileName = u"child.vtg";
    return sub;
}

// A parent of ParentWidth x ParentHeight whose frames place the given objects (one list per frame).
appwriter::ApplicationDescription Parent(const std::vector<appwriter::ObjectInfoDesc>& objects,
                                         const std::vector<std::vector<appwriter::InstanceDesc>>& frames) {
    appwriter::ApplicationDescription d;
    d.name = u"Parent";
    d.header->windowWidth = ParentWidth;
    d.header->windowHeight = ParentHeight;
    d.header->graphicMode = 8;
    scene::AddObjectsAndImages(d, objects, {});
    for (const auto& placed : frames) {
        appwriter::FrameContents contents;
        contents.layers[0].flags = 0x10;
        contents.instances = placed;
        d.frames.push_back(appwriter::DescribeFrame(ParentWidth, ParentHeight, ParentBackground, contents));
    }
    return d;
}
appwriter::ApplicationDescription ParentOf(const appwriter::ObjectInfoDesc& object, int frames = 2) {
    std::vector<std::vector<appwriter::InstanceDesc>> placed(static_cast<std::size_t>(frames));
    placed[0] = {{1, object.handle, ObjectX, ObjectY, 0, 0, 0}};
    return Parent({object}, placed);
}

// The tests' clock, with something to do at each wait.
class HookedClock final : public runtime_test::WaitedClock {
public:
    void WaitForMessage(win32::DWORD timeoutMs) override {
        WaitedClock::WaitForMessage(timeoutMs);
        if (onWait) onWait();
    }
    std::function<void()> onWait;
};

// A record of the sub-application's object info: its handle stored, its run-list index resolved.
appwriter::Bytes Record(std::int16_t number, std::uint16_t index, const std::vector<appwriter::Bytes>& params) {
    const bool condition = number < 0;
    appwriter::ByteWriter w;
    std::size_t size = condition ? ConditionHeaderBytes : ActionHeaderBytes;
    for (const auto& p : params)
        size += p.size();
    w.U16(static_cast<std::uint16_t>(size));
    w.U16(static_cast<std::uint16_t>(TypeSubApplication));
    w.U16(static_cast<std::uint16_t>(number));
    w.U16(SubAppInfo);
    w.U16(index);
    w.U8(0);
    w.U8(0);
    w.U8(static_cast<std::uint8_t>(params.size()));
    w.U8(0);
    if (condition) w.U16(0);
    for (const auto& p : params)
        w.Bytes(p);
    return w.Take();
}

appwriter::Bytes IntArgument(std::int32_t n) {
    return eventtest::ExpressionParameterBytes(appwriter::ExpressionBuilder().Integer(n));
}
appwriter::Bytes DoubleArgument(double d) {
    appwriter::ExpressionBuilder e;
    return eventtest::ExpressionParameterBytes(eventtest::Double(e, d));
}
appwriter::Bytes TextArgument(std::u16string text) {
    appwriter::ByteWriter w;
    w.U16(static_cast<std::uint16_t>(4 + 2 * (text.size() + 1)));
    w.U16(ParamString);
    for (char16_t c : text)
        w.U16(c);
    w.U16(0);
    return w.Take();
}

class SubApplications : public ::testing::Test {
public:
    // Where the test's data files are written.
    fs::path folder_;
    // The child application's own icon chunk.
    std::optional<appwriter::Bytes> childIcon_;

protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            if (c == '/') c = '-';
        folder_ = fs::temp_directory_path() / ("vtr-subapps-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(folder_);
        GetCommandLineOptions().errorBoxes = 0;
        previousClock_ = SetFrameClock(&clock_);
    }
    void TearDown() override {
        Stop();
        SetFrameClock(previousClock_);
        Services().endRequested = false;
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::u16string Write(const char* name, const appwriter::ApplicationDescription& d) {
        const fs::path p = folder_ / name;
        EXPECT_TRUE(appwriter::ApplicationWriter(d).WriteFile(p.string()));
        return p.u16string();
    }
    // The child application beside the parent's file, and the parent started in its first frame (which
    // `running` expects it to go on from).
    void Run(const appwriter::ApplicationDescription& parent, bool running = true) {
        appwriter::ApplicationDescription child = appwriter::ChildApplication();
        child.icon = childIcon_;
        Write("child.vtg", child);
        // The record names its file without owning the name.
        parentPath_ = Write("parent.vtg", parent);
        Services().displayFlags = 0;
        ASSERT_EQ(CreateLibraryContext(nullptr), 0);
        app_ = LoadApplication(parentPath_.c_str(), 0, nullptr, nullptr, 0x42000000, 4);
        ASSERT_TRUE(app_);
        ASSERT_TRUE(scene::StartLoaded(*app_));
        ASSERT_EQ(RunApplicationStep(app_, 0), running ? 1 : 0);
    }
    void Stop() {
        if (app_) {
            scene::EndStarted(*app_);
            CloseApplication(app_);
            app_ = nullptr;
        }
        scene::CloseWindows();
    }
    // Loops of the parent, each of which steps its children once.
    void Ticks(int n) {
        for (int i = 0; i < n && CurrentRunState(); ++i) {
            const std::int64_t loops = CurrentRunState()->loopCount;
            for (int s = 0; s < 100 && CurrentRunState() && CurrentRunState()->loopCount == loops; ++s)
                ASSERT_EQ(runtime_test::StepApplication(app_, clock_), 1);
        }
    }
    RunObject* SubApp(int nth = 0) {
        FrameRunState* s = app_ && app_->run.frame ? app_->run.frame->runState : nullptr;
        for (std::int32_t i = 0; s && i < s->maxObjects; ++i)
            if (RunObject* o = s->objects[i].object; o && o->objectType == TypeSubApplication && nth-- == 0)
                return o;
        return nullptr;
    }
    ApplicationRecord* Child() { return SubApplicationChild(SubApp()); }
    std::uint16_t InfoIndex() {
        const FrameRunState* s = CurrentRunState();
        for (std::int32_t i = 0; i < s->objectInfoCount; ++i)
            if (s->objectInfos[i].handle == SubAppInfo) return static_cast<std::uint16_t>(i);
        ADD_FAILURE() << "no run entry of the sub-application";
        return 0;
    }
    // An action run by the repeat protocol, as the event runner does.
    // Each call is an event of its own, whose selections start afresh.
    void Act(std::int16_t number, const std::vector<appwriter::Bytes>& params = {}) {
        RaiseEventStamp();
        appwriter::Bytes record = Record(number, InfoIndex(), params);
        EventRunState* s = CurrentEventState();
        ++s->actionStamp;
        s->actionPending = 1;
        do {
            ++s->repeatPass;
            s->repeatRequest = 0;
            record[RecordRunFlags] &= static_cast<std::uint8_t>(~RecordRepeat);
            ActionDispatchOf(TypeSubApplication)(record.data());
        } while (s->repeatRequest);
        s->actionPending = 0;
    }
    bool Condition(std::int16_t number) {
        RaiseEventStamp();
        appwriter::Bytes record = Record(number, InfoIndex(), {});
        return ConditionDispatchOf(TypeSubApplication)(record.data()) != 0;
    }
    TypedValue Expression(std::int16_t number, std::optional<std::int32_t> argument = std::nullopt) {
        RaiseEventStamp();
        appwriter::ExpressionBuilder e;
        eventtest::ObjectToken(e, TypeSubApplication, number, SubAppInfo, InfoIndex());
        if (argument) e.Integer(*argument).Close();
        const appwriter::Bytes p = eventtest::ExpressionParameterBytes(e);
        TypedValue v{};
        CopyTypedValue(v, *EvaluateExpressionParameter(p.data()));
        return v;
    }
    FrameRunState* ChildRun() {
        ApplicationRecord* child = Child();
        return child && child->run.frame ? child->run.frame->runState : nullptr;
    }
    // The frame window's client point (x, y) on the screen and in the parent's frame window.
    win32::POINT InParentFrame(win32::HWND window) {
        win32::RECT r{};
        win32::GetWindowRect(window, &r);
        win32::POINT p{r.left, r.top};
        win32::ScreenToClient(app_->frameWindow, &p);
        return p;
    }

    HookedClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::u16string parentPath_;
    ApplicationRecord* app_ = nullptr;
};

// --- the child's window ---

struct StyleCase {
    const char* name;
    std::uint32_t options;
    win32::DWORD style, exStyle;
    bool popup;
    std::int32_t width, height; // its client area
};

class Windows : public SubApplications, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(Windows, TakeTheStyleAndPlaceTheOptionsGive) {
    const StyleCase& c = GetParam();
    const SubAppWindowStyle style = SubAppWindowStyleOf(c.options);
    EXPECT_EQ(style.style, c.style);
    EXPECT_EQ(style.exStyle, c.exStyle);
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile(c.options)))));
    Ticks(2);
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child);
    const win32::HWND window = child->frameWindow;
    ASSERT_TRUE(window);
    const auto shownStyle = static_cast<win32::DWORD>(win32::GetWindowLongPtrW(window, win32::GWL_STYLE));
    EXPECT_EQ(shownStyle & ~win32::WS_VISIBLE, c.style);
    EXPECT_TRUE(shownStyle & win32::WS_VISIBLE);
    // Its client area takes the size; a frame goes around it.
    win32::RECT client{};
    win32::GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, c.width);
    EXPECT_EQ(client.bottom - client.top, c.height);
    win32::RECT outer{};
    win32::GetWindowRect(window, &outer);
    win32::POINT expected{ObjectX, ObjectY};
    win32::ClientToScreen(app_->frameWindow, &expected);
    EXPECT_EQ(outer.left, expected.x) << (c.popup ? "a popup stands at the object on the screen" : "");
    EXPECT_EQ(outer.top, expected.y);
}

constexpr std::int32_t OwnWidth = appwriter::ChildFrameWidth, OwnHeight = appwriter::ChildFrameHeight;

INSTANTIATE_TEST_SUITE_P(
    SubApplications, Windows,
    ::testing::Values(StyleCase{"AChildWindow", 0, 0x42000000, 4, false, OwnWidth, OwnHeight},
                      StyleCase{"WithABorder", 0x100, 0x42800000, 4, false, OwnWidth, OwnHeight},
                      StyleCase{"ASizingBorderClippingItsSiblings", 0x40200, 0x46040000, 4, false, OwnWidth,
                                OwnHeight},
                      StyleCase{"ADialogFrame", 0x2000, 0x42400000, 4, false, OwnWidth, OwnHeight},
                      StyleCase{"SizedByTheObject", 0x10, 0x42000000, 4, false, 100, 80},
                      StyleCase{"APopup", 0x20, 0x82000000, 0, true, OwnWidth, OwnHeight},
                      StyleCase{"APopupWithCaptionAndSystemMenu", 0x460, 0x82C80000, 0, true, OwnWidth, OwnHeight},
                      StyleCase{"AToolWindow", 0xE0, 0x82C00000, 0x80, true, OwnWidth, OwnHeight}),
    [](const auto& info) { return std::string(info.param.name); });

// --- conditions, actions and expressions ---

struct RequestCase {
    const char* name;
    std::int16_t action;
    std::vector<appwriter::Bytes> params;
    bool pending; // an exit code is already asked of the child
    std::int16_t code;
    std::int32_t parameter;
};

class FrameRequests : public SubApplications, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(FrameRequests, ReachAChildRunningAFrameWithNoneAsked) {
    const RequestCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    FrameRunState* child = ChildRun();
    ASSERT_TRUE(child);
    child->exitCode = c.pending ? ExitPause : ExitNone;
    child->exitParameter = 0;
    Act(c.action, c.params);
    EXPECT_EQ(child->exitCode, c.pending ? std::int16_t{ExitPause} : c.code);
    EXPECT_EQ(child->exitParameter, c.pending ? 0 : c.parameter);
}

INSTANTIATE_TEST_SUITE_P(
    SubApplications, FrameRequests,
    ::testing::Values(RequestCase{"RestartTheFrame", 81, {}, false, ExitRestartFrame, 0},
                      RequestCase{"NextFrame", 82, {}, false, ExitNextFrame, 0},
                      RequestCase{"PreviousFrame", 83, {}, false, ExitPreviousFrame, 0},
                      RequestCase{"EndTheApplication", 84, {}, false, ExitError, 0},
                      RequestCase{"JumpToFrame2", 86, {IntArgument(2)}, false, ExitJumpToFrame, 0x8002},
                      RequestCase{"JumpToFrame4095", 86, {IntArgument(4095)}, false, ExitJumpToFrame, 0x8FFF},
                      RequestCase{"JumpToFrame4096", 86, {IntArgument(4096)}, false, ExitNone, 0},
                      RequestCase{"JumpToANegativeFrame", 86, {IntArgument(-1)}, false, ExitNone, 0},
                      RequestCase{"NextFrameWithOneAsked", 82, {}, true, ExitNone, 0},
                      RequestCase{"JumpWithOneAsked", 86, {IntArgument(1)}, true, ExitNone, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SubApplications, TheChildChangesFrameAsAskedAndTheConditionsAndExpressionsFollow) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    EXPECT_EQ(Expression(80).ToInt(), 1);
    EXPECT_FALSE(Condition(-82));
    EXPECT_TRUE(Condition(-83)) << "shown from the start";
    Act(86, {IntArgument(2)});
    Ticks(2);
    EXPECT_EQ(Expression(80).ToInt(), 3);
    Act(89);
    EXPECT_FALSE(Condition(-83));
    EXPECT_FALSE(win32::IsWindowVisible(Child()->frameWindow));
    Act(88);
    EXPECT_TRUE(win32::IsWindowVisible(Child()->frameWindow));
    Act(91);
    EXPECT_TRUE(Condition(-84)) << "its frame paused";
    Act(92);
    EXPECT_FALSE(Condition(-84));
    Act(84);
    Ticks(2);
    EXPECT_EQ(Child(), nullptr) << "an ended child is freed";
    EXPECT_TRUE(Condition(-82));
    EXPECT_EQ(RunningApplications().size(), 1u);
}

TEST_F(SubApplications, TheFrameChangedConditionHoldsForTheLoopOfTheChange) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(3);
    EXPECT_FALSE(Condition(-81));
    Act(82);
    Ticks(2);
    EXPECT_EQ(Expression(80).ToInt(), 2);
    bool changed = false;
    for (int i = 0; i < 3; ++i, Ticks(1))
        changed = changed || Condition(-81);
    EXPECT_TRUE(changed);
    EXPECT_FALSE(Condition(-81));
}

struct GlobalCase {
    const char* name;
    std::int16_t action; // 87 a value, 90 a string
    std::int32_t n;
    bool closed; // the child's globals closed to its parent
    std::int32_t values[2];
    std::u16string strings[2];
};

class Globals : public SubApplications, public ::testing::WithParamInterface<GlobalCase> {};

TEST_P(Globals, AreWrittenInsideTheChildsCountsWhenOpen) {
    const GlobalCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child);
    if (c.closed) child->subAppFlags[1] |= SubAppGlobalsClosed;
    if (c.action == 87)
        Act(87, {IntArgument(c.n), IntArgument(9)});
    else
        Act(90, {IntArgument(c.n), TextArgument(u"zwei")});
    ASSERT_EQ(child->globals.valueCount, 2);
    ASSERT_EQ(child->globals.stringCount, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(GetGlobalValueSlot(child, i)->ToInt(), c.values[i]) << "value " << i + 1;
        EXPECT_EQ(std::u16string(GetGlobalString(child, i)), c.strings[i]) << "string " << i + 1;
    }
    // Read back the same way.
    const std::int16_t expression = c.action == 87 ? 81 : 82;
    for (std::int32_t n : {0, 1, 2, 3}) {
        const TypedValue v = Expression(expression, n);
        const bool some = !c.closed && n >= 1 && n <= 2;
        if (expression == 81)
            EXPECT_EQ(v.ToInt(), some ? c.values[n - 1] : 0) << "expression 81 of " << n;
        else
            EXPECT_EQ(std::u16string(v.string ? v.string : u"?"), some ? c.strings[n - 1] : u"")
                << "expression 82 of " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SubApplications, Globals,
    ::testing::Values(GlobalCase{"ValueOne", 87, 1, false, {9, 6}, {u"one", u"two"}},
                      GlobalCase{"ValueTwo", 87, 2, false, {5, 9}, {u"one", u"two"}},
                      GlobalCase{"ValueZero", 87, 0, false, {5, 6}, {u"one", u"two"}},
                      GlobalCase{"ValuePastTheCount", 87, 3, false, {5, 6}, {u"one", u"two"}},
                      GlobalCase{"ValueClosed", 87, 1, true, {5, 6}, {u"one", u"two"}},
                      GlobalCase{"StringTwo", 90, 2, false, {5, 6}, {u"one", u"zwei"}},
                      GlobalCase{"StringZero", 90, 0, false, {5, 6}, {u"one", u"two"}},
                      GlobalCase{"StringPastTheCount", 90, 3, false, {5, 6}, {u"one", u"two"}},
                      GlobalCase{"StringClosed", 90, 1, true, {5, 6}, {u"one", u"two"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SubApplications, ADoubleGlobalIsReadAsItsFloatRounding) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    Act(87, {IntArgument(2), DoubleArgument(0.1)});
    ASSERT_TRUE(GetGlobalValueSlot(Child(), 1)->IsDouble()) << "the double is kept";
    const TypedValue v = Expression(81, 2);
    ASSERT_TRUE(v.IsDouble());
    EXPECT_EQ(v.real, static_cast<double>(0.1f));
    EXPECT_NE(v.real, 0.1);
}

TEST_F(SubApplications, WithoutAChildTheActionsDoNothingAndTheExpressionsGiveNothing) {
    SubApplicationDesc missing = ChildFile();
    missing.fileName = u"missing.vtg";
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(missing))));
    Ticks(1);
    ASSERT_TRUE(SubApp());
    EXPECT_EQ(Child(), nullptr);
    EXPECT_TRUE(Condition(-82));
    for (std::int16_t c : {-81, -83, -84})
        EXPECT_FALSE(Condition(c)) << c;
    for (std::int16_t a = 80; a <= 94; ++a)
        Act(a, {IntArgument(1), IntArgument(1)});
    EXPECT_EQ(Child(), nullptr) << "a restart makes no child where none could start";
    EXPECT_EQ(Expression(80).ToInt(), 0);
    EXPECT_EQ(Expression(81, 1).ToInt(), 0);
    const TypedValue text = Expression(82, 1);
    ASSERT_TRUE(text.IsString());
    EXPECT_EQ(std::u16string(text.string), u"");
    EXPECT_EQ(RunningApplications().size(), 1u);
}

TEST_F(SubApplications, AnotherFileReplacesTheChildInItsWindowsSize) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile(0x10)))));
    Ticks(2);
    Write("other.vtg", appwriter::ChildApplication());
    Act(89);
    Act(85, {TextArgument(u"other.vtg")});
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child);
    EXPECT_NE(std::u16string(child->dataFilePath).find(u"other.vtg"), std::u16string::npos);
    EXPECT_EQ(child->subAppVisible, 0) << "hidden as the one it replaces";
    Ticks(2);
    win32::RECT r{};
    win32::GetClientRect(child->frameWindow, &r);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 80);
    EXPECT_EQ(RunningApplications().size(), 2u);
    // An empty name changes nothing.
    Act(85, {TextArgument(u"")});
    EXPECT_EQ(Child(), child);
}

// --- starts that make no child ---

struct StartCase {
    const char* name;
    std::function<appwriter::ObjectInfoDesc(SubApplications&)> object;
    bool created; // the object itself is made
};

class StartsWithoutChild : public SubApplications, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartsWithoutChild, LeaveNothingBehind) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(GetParam().object(*this))));
    Ticks(2);
    EXPECT_EQ(SubApp() != nullptr, GetParam().created);
    EXPECT_EQ(Child(), nullptr);
    EXPECT_EQ(RunningApplications().size(), 1u);
    EXPECT_EQ(Services().application, app_);
}

SubApplicationDesc Own(std::uint16_t frame) {
    SubApplicationDesc sub;
    sub.options = OwnData;
    sub.startFrame = frame;
    return sub;
}

INSTANTIATE_TEST_SUITE_P(
    SubApplications, StartsWithoutChild,
    ::testing::Values(
        StartCase{"AnEmptyNameWithoutTheParentsData",
                  [](SubApplications&) { return SubAppObject(SubApplicationDesc{}); }, true},
        StartCase{"TheParentsDataAtItsCurrentFrame",
                  [](SubApplications&) { return SubAppObject(Own(0)); }, true},
        StartCase{"TheParentsDataPastItsFrames", [](SubApplications&) { return SubAppObject(Own(2)); }, true},
        StartCase{"AMissingFile",
                  [](SubApplications&) {
                      SubApplicationDesc sub = ChildFile();
                      sub.fileName = u"missing.vtg";
                      return SubAppObject(sub);
                  },
                  true},
        StartCase{"AFileThatIsNoApplication",
                  [](SubApplications& t) {
                      std::ofstream(t.folder_ / "junk.vtg") << "not an application";
                      SubApplicationDesc sub = ChildFile();
                      sub.fileName = u"junk.vtg";
                      return SubAppObject(sub);
                  },
                  true},
        StartCase{"ANameRunningPastTheDefinition",
                  [](SubApplications&) {
                      appwriter::Bytes data = appwriter::SubApplicationData(ChildFile());
                      // The name's field full, with no end.
                      data.resize(28 + 2 * appwriter::SubApplicationNameUnits);
                      for (std::size_t i = 28; i < data.size(); i += 2)
                          data[i] = 'a', data[i + 1] = 0;
                      return SubAppObject(data);
                  },
                  false},
        StartCase{"ADefinitionCutShort",
                  [](SubApplications&) {
                      appwriter::Bytes data = appwriter::SubApplicationData(ChildFile());
                      data.resize(20);
                      return SubAppObject(data);
                  },
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// A 4 x 4 icon of 24 bits (its height counting the mask's rows) whose top-left pixel the mask leaves out.
constexpr int IconSide = 4;
COLORREF IconColour(int x, int y) {
    return win32::RGB(static_cast<std::uint8_t>(60 * x), static_cast<std::uint8_t>(60 * y), 200);
}
appwriter::Bytes IconBitmap() {
    appwriter::ByteWriter w;
    w.U32(40);
    w.I32(IconSide);
    w.I32(2 * IconSide);
    w.U16(1);
    w.U16(24);
    for (int i = 0; i < 6; ++i)
        w.U32(0);
    // Bottom-up rows of 12 bytes, then the mask's rows of 4.
    for (int y = IconSide - 1; y >= 0; --y)
        for (int x = 0; x < IconSide; ++x) {
            w.U8(win32::GetBValue(IconColour(x, y)));
            w.U8(win32::GetGValue(IconColour(x, y)));
            w.U8(win32::GetRValue(IconColour(x, y)));
        }
    for (int y = IconSide - 1; y >= 0; --y)
        w.U32(y == 0 ? 0x80 : 0);
    return w.Take();
}
win32::HICON WindowIconOf(const ApplicationRecord* child) {
    return reinterpret_cast<win32::HICON>(
        win32::SendMessageW(child->frameWindow, win32::WM_GETICON, win32::ICON_BIG, 0));
}

struct IconCase {
    const char* name;
    std::uint32_t options;
    bool inDefinition; // else the child's own, kept for popups only
};
class SubApplicationIcons : public SubApplications, public ::testing::WithParamInterface<IconCase> {};

TEST_P(SubApplicationIcons, TheChildWindowHasTheIconUntilTheChildEnds) {
    SubApplicationDesc sub = ChildFile(GetParam().options);
    (GetParam().inDefinition ? sub.icon : childIcon_.emplace()) = IconBitmap();
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(sub))));
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child && child->frameWindow);
    const win32::HICON icon = WindowIconOf(child);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, child->subAppIcon);
    for (int y = 0; y < IconSide; ++y)
        for (int x = 0; x < IconSide; ++x)
            EXPECT_EQ(win32::testing::ReadIconPixel(icon, x, y),
                      x == 0 && y == 0 ? 0xFFFFFFFF : IconColour(x, y))
                << x << "," << y;
    Act(84); // end the application
    Ticks(2);
    ASSERT_EQ(Child(), nullptr);
    EXPECT_EQ(win32::testing::IconSize(icon).cx, 0) << "the icon is destroyed with the child";
}

INSTANTIATE_TEST_SUITE_P(Sources, SubApplicationIcons,
                         ::testing::Values(IconCase{"TheDefinitionsInAChildWindow", 0, true},
                                           IconCase{"TheDefinitionsInAPopup", 0x20, true},
                                           IconCase{"TheChildsOwnInAPopup", 0x20, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SubApplications, AnIconThatRunsPastTheDefinitionIsLeftOut) {
    // The mask's last byte is missing: the child runs, its window without an icon.
    SubApplicationDesc sub = ChildFile();
    sub.icon = IconBitmap();
    sub.icon.pop_back();
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(sub))));
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child && child->frameWindow);
    EXPECT_EQ(WindowIconOf(child), nullptr);
    EXPECT_EQ(child->subAppIcon, nullptr);
}

TEST_F(SubApplications, ADataFileThatHoldsItselfNestsEightDeep) {
    // Each frame runs the other one of the same data in a child.
    const appwriter::ObjectInfoDesc toOne = SubAppObject(Own(1), 1), toZero = SubAppObject(Own(0), 2);
    ASSERT_NO_FATAL_FAILURE(Run(Parent({toOne, toZero}, {{{1, 1, 4, 4, 0, 0, 0}}, {{1, 2, 4, 4, 0, 0, 0}}})));
    Ticks(14);
    ASSERT_EQ(RunningApplications().size(), 1u + MaxSubApplicationDepth);
    int deepest = 0;
    for (const ApplicationRecord* a : RunningApplications()) {
        int depth = 0;
        for (const ApplicationRecord* p = a; p->parent; p = p->parent)
            ++depth;
        deepest = std::max(deepest, depth);
    }
    EXPECT_EQ(deepest, MaxSubApplicationDepth);
    Stop();
    EXPECT_TRUE(RunningApplications().empty()) << "the parent's end frees every level";
}

// --- a modal child ---

// The child's own loop runs in the parent's first loop, as soon as the child shows.
TEST_F(SubApplications, AModalChildHoldsItsParentAndTheMainWindowUntilHidden) {
    int waits = 0;
    bool parentPaused = true, refused = true;
    clock_.onWait = [&] {
        if (Services().modalSubApplications != 1) return;
        ++waits;
        parentPaused = parentPaused && app_->run.frame->runState->pauseCount > 0;
        const win32::HWND main = Services().mainWindow;
        refused = refused &&
                  win32::SendMessageW(main, win32::WM_MOUSEACTIVATE, 0, 0) == win32::MA_NOACTIVATEANDEAT &&
                  win32::SendMessageW(main, win32::WM_LBUTTONDOWN, 1, 0) == 0 &&
                  win32::SendMessageW(main, win32::WM_COMMAND, 1024, 0) == 0;
        if (ChildRun() && ChildRun()->loopCount == 10) Child()->subAppVisible = 0;
    };
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile(Modal)))));
    clock_.onWait = nullptr;
    EXPECT_GT(waits, 10) << "the child ran in a loop of its own, paced by its frame rate";
    EXPECT_TRUE(parentPaused);
    EXPECT_TRUE(refused);
    EXPECT_EQ(Services().modalSubApplications, 0);
    EXPECT_EQ(app_->run.frame->runState->pauseCount, 0);
    ASSERT_TRUE(Child());
    EXPECT_EQ(ChildRun()->loopCount, 11) << "the step after the wait that hid it was the last";
    Ticks(2);
    EXPECT_EQ(Services().modalSubApplications, 0) << "a hidden child steps with its parent";
}

class ModalEnds : public SubApplications, public ::testing::WithParamInterface<int> {};

TEST_P(ModalEnds, OnTheMainWindowsCloseAndOnASignal) {
    bool asked = false;
    clock_.onWait = [&] {
        if (Services().modalSubApplications != 1 || !ChildRun() || ChildRun()->loopCount != 3 || asked) return;
        asked = true;
        if (GetParam() == 0)
            win32::PostMessageW(Services().mainWindow, win32::WM_CLOSE, 0, 0);
        else
            RequestEndOfRun();
    };
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile(Modal))), false));
    clock_.onWait = nullptr;
    EXPECT_TRUE(asked);
    EXPECT_EQ(app_->runState, StateQuit);
    EXPECT_EQ(Services().modalSubApplications, 0);
    EXPECT_EQ(RunningApplications().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(SubApplications, ModalEnds, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Close" : "Signal"; });

// --- saved positions ---

TEST_F(SubApplications, APositionKeepsTheRunningChildInItsFrameWithItsGlobals) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    Act(82);
    Ticks(2);
    Act(87, {IntArgument(1), IntArgument(77)});
    ASSERT_EQ(Expression(80).ToInt(), 2);
    const std::u16string file = (folder_ / "kept.vpp").u16string();
    ASSERT_EQ(SaveApplicationPosition(file.c_str()), 1);
    Act(82);
    Act(87, {IntArgument(1), IntArgument(11)});
    Ticks(2);
    ASSERT_EQ(Expression(80).ToInt(), 3);
    ASSERT_EQ(LoadApplicationPosition(file.c_str()), PositionLoad::Applied);
    ASSERT_TRUE(Child());
    EXPECT_EQ(Expression(80).ToInt(), 2);
    EXPECT_EQ(Expression(81, 1).ToInt(), 77);
    EXPECT_EQ(RunningApplications().size(), 2u);
    Ticks(2);
    EXPECT_EQ(Expression(80).ToInt(), 2) << "the child goes on in the frame it came back to";
}

TEST_F(SubApplications, AChildsPositionCutShortRefusesTheWholeFile) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile()))));
    Ticks(2);
    const std::u16string file = (folder_ / "kept.vpp").u16string();
    ASSERT_EQ(SaveApplicationPosition(file.c_str()), 1);
    // The last byte of the file is the end of the frame's own blocks; cut into the child's position.
    const fs::path path = folder_ / "kept.vpp";
    const auto size = fs::file_size(path);
    fs::resize_file(path, size - 60);
    Act(82);
    Ticks(2);
    EXPECT_EQ(LoadApplicationPosition(file.c_str()), PositionLoad::Refused);
    EXPECT_EQ(Expression(80).ToInt(), 2) << "the refused file changed nothing";
}

// --- a child drawn into its parent's frame ---

TEST_F(SubApplications, AChildDrawnIntoTheFrameShowsThereAndTakesTheClicksOnIt) {
    ASSERT_NO_FATAL_FAILURE(Run(ParentOf(SubAppObject(ChildFile(InParent)))));
    Ticks(3);
    ApplicationRecord* child = Child();
    ASSERT_TRUE(child);
    EXPECT_FALSE(win32::IsWindowVisible(child->frameWindow)) << "no window of its own shows";
    const auto shown = [&](int x, int y) { return win32::testing::ReadWindowPixel(app_->frameWindow, x, y); };
    EXPECT_EQ(shown(ObjectX + 1, ObjectY + 1), appwriter::ChildFrameColours[0]);
    EXPECT_EQ(shown(ObjectX + OwnWidth - 1, ObjectY + OwnHeight - 1), appwriter::ChildFrameColours[0]);
    EXPECT_EQ(shown(ObjectX + OwnWidth + 1, ObjectY + 1), ParentBackground);
    EXPECT_EQ(shown(ObjectX - 1, ObjectY), ParentBackground);
    // A click beside the object's box (of the definition's size, larger than the picture) is the parent's.
    win32::PostMessageW(app_->frameWindow, win32::WM_LBUTTONDOWN, 1,
                        win32::MAKELPARAM(ObjectX + 100 + 5, ObjectY + 5));
    Ticks(3);
    EXPECT_EQ(child->currentFrameIndex, 0);
    win32::PostMessageW(app_->frameWindow, win32::WM_LBUTTONDOWN, 1, win32::MAKELPARAM(ObjectX + 5, ObjectY + 5));
    Ticks(3);
    EXPECT_EQ(child->currentFrameIndex, 1) << "the child's click went to its next frame";
    EXPECT_EQ(shown(ObjectX + 1, ObjectY + 1), appwriter::ChildFrameColours[1]);
}

} // namespace

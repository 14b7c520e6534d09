#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/control_windows.h"
#include "shell/window_hooks.h"
#include "startup/shell_services.h"

#include "plugin/run_object.h"
#include "support/window_class.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace win32;
using namespace vtrrt;

namespace {

std::vector<UINT>& ControlMessages() {
    static std::vector<UINT> seen;
    return seen;
}

// The extension's own procedure of its controls.
LRESULT ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7 || message == WM_NCDESTROY || message == WM_KEYDOWN)
        ControlMessages().push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

// An object record with its control windows behind the header, as an extension lays them out.
struct ObjectWithControls {
    ObjectWithControls(std::uint32_t flags, std::vector<HWND> windows)
        : bytes(sizeof(RunObject) + sizeof(std::int32_t) + windows.size() * sizeof(HWND)) {
        RunObject& o = object();
        o.recordSize = static_cast<std::uint32_t>(bytes.size());
        o.objectFlags = flags;
        o.controlWindows = static_cast<std::int32_t>(sizeof(RunObject));
        const auto count = static_cast<std::int32_t>(windows.size());
        std::memcpy(bytes.data() + sizeof(RunObject), &count, sizeof count);
        std::memcpy(bytes.data() + sizeof(RunObject) + sizeof count, windows.data(),
                    windows.size() * sizeof(HWND));
    }
    RunObject& object() { return *reinterpret_cast<RunObject*>(bytes.data()); }
    std::vector<std::uint8_t> bytes;
};

// A running frame whose list holds three objects: A (focusable) with two controls, B (not focusable) with
// one, C (focusable) with an empty slot and one control.
class ControlWindows : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::RegisterWindowClass(u"ControlWindowsTest", ControlProc);
        ControlMessages().clear();
        win32::testing::ResetInputState();
        top = CreateWindowExW(0, u"ControlWindowsTest", u"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr,
                              nullptr, nullptr, nullptr);
        frameWindow = Child(top);
        a1 = Child(frameWindow);
        a2 = Child(frameWindow);
        b1 = Child(frameWindow);
        c1 = Child(frameWindow);
        objects.push_back(std::make_unique<ObjectWithControls>(ObjectCounted, std::vector<HWND>{a1, a2}));
        objects.push_back(std::make_unique<ObjectWithControls>(0, std::vector<HWND>{b1}));
        objects.push_back(
            std::make_unique<ObjectWithControls>(ObjectCounted, std::vector<HWND>{nullptr, c1}));
        for (auto& o : objects) {
            o->object().runState = &state;
            list.push_back({&o->object(), nullptr});
        }
        state.objects = list.data();
        state.maxObjects = static_cast<std::int32_t>(list.size());
        state.frameWindow = frameWindow;
        state.countedObjects = 2;
        Services().runState = &state;
    }
    void TearDown() override {
        Services().runState = nullptr;
        if (IsWindow(top)) DestroyWindow(top);
        win32::testing::ResetInputState();
    }
    HWND Child(HWND parent) {
        return CreateWindowExW(0, u"ControlWindowsTest", u"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent,
                               nullptr, nullptr, nullptr);
    }

    FrameRunState state{};
    std::vector<std::unique_ptr<ObjectWithControls>> objects;
    std::vector<ObjectListEntry> list;
    HWND top = nullptr, frameWindow = nullptr, a1 = nullptr, a2 = nullptr, b1 = nullptr, c1 = nullptr;
};

TEST_F(ControlWindows, TabMovesThroughTheFocusableControlsAndThenToTheFrameWindow) {
    SetFocus(a1);
    EXPECT_EQ(FocusNextControl(&state), 1);
    EXPECT_EQ(GetFocus(), a2);
    EXPECT_EQ(FocusNextControl(&state), 1);
    EXPECT_EQ(GetFocus(), c1) << "B's control and C's empty slot are passed over";
    EXPECT_EQ(FocusNextControl(&state), 0);
    EXPECT_EQ(GetFocus(), frameWindow);
    EXPECT_EQ(FocusNextControl(&state), 1);
    EXPECT_EQ(GetFocus(), a1);
}

TEST_F(ControlWindows, ShiftTabMovesBackAndFromTheFrameWindowToTheLastControl) {
    SetFocus(a1);
    EXPECT_EQ(FocusPreviousControl(&state), 0);
    EXPECT_EQ(GetFocus(), frameWindow);
    EXPECT_EQ(FocusPreviousControl(&state), 1);
    EXPECT_EQ(GetFocus(), c1);
    EXPECT_EQ(FocusPreviousControl(&state), 1);
    EXPECT_EQ(GetFocus(), a2);
}

TEST_F(ControlWindows, AListReachingPastTheRecordGivesNoWindows) {
    objects[0]->object().recordSize -= 1; // the last handle no longer fits
    SetFocus(frameWindow);
    EXPECT_EQ(FocusNextControl(&state), 1);
    EXPECT_EQ(GetFocus(), c1);
}

// The extension's message routine: eats WM_USER + 7, counts what it sees.
int routineCalls = 0;
LRESULT ExtensionRoutine(FrameRunState*, HWND, UINT message, WPARAM, LPARAM) {
    ++routineCalls;
    return message == WM_USER + 7 ? 1 : 0;
}

TEST_F(ControlWindows, SubclassedControlsTabTheFocusAndGiveTheirRoutineTheFirstLook) {
    routineCalls = 0;
    SubclassControlWindows(&objects[0]->object(), 3, ExtensionRoutine);
    SubclassControlWindows(&objects[0]->object(), 3, ExtensionRoutine); // once per window
    EXPECT_EQ(state.controlsWithRoutines, 2);
    EXPECT_EQ(GetWindowLongPtrW(a1, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ControlSubclassProc));
    EXPECT_EQ(GetPropW(a1, ShellPropertyName(ShellProperty::Owner)), &objects[0]->object());
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(GetPropW(a1, ShellPropertyName(ShellProperty::Number))), 3);

    SendMessageW(a1, WM_USER + 7, 0, 0);
    EXPECT_TRUE(ControlMessages().empty()) << "the routine took the message";
    SetFocus(a1);
    SendMessageW(a1, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(GetFocus(), a2);
    EXPECT_TRUE(ControlMessages().empty()) << "Tab is the shell's";
    SendMessageW(a1, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(ControlMessages(), std::vector<UINT>{WM_KEYDOWN});
}

TEST_F(ControlWindows, ADestroyedControlTakesItsPropertiesAndItsRoutineCountWithIt) {
    SubclassControlWindows(&objects[2]->object(), 1, ExtensionRoutine);
    ASSERT_EQ(state.controlsWithRoutines, 1);
    DestroyWindow(c1);
    EXPECT_EQ(state.controlsWithRoutines, 0);
    EXPECT_EQ(ControlMessages(), std::vector<UINT>{WM_NCDESTROY})
        << "the extension's procedure still ends it";
}

TEST_F(ControlWindows, RestoringPutsTheProcedureBackAndForgetsTheProperties) {
    SubclassControlWindows(&objects[1]->object(), 2, nullptr);
    EXPECT_EQ(state.controlsWithRoutines, 0);
    RestoreControlWindowProc(b1, WM_USER + 7, 0, 0);
    EXPECT_EQ(GetWindowLongPtrW(b1, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ControlProc));
    for (ShellProperty p : {ShellProperty::Owner, ShellProperty::Procedure, ShellProperty::Number})
        EXPECT_EQ(GetPropW(b1, ShellPropertyName(p)), nullptr);
    EXPECT_EQ(ControlMessages(), std::vector<UINT>{WM_USER + 7});
}

TEST_F(ControlWindows, BetweenFramesAControlKeepsItsOwnHandling) {
    SubclassControlWindows(&objects[0]->object(), 3, ExtensionRoutine);
    Services().runState = nullptr;
    routineCalls = 0;
    SendMessageW(a1, WM_USER + 7, 0, 0);
    EXPECT_EQ(routineCalls, 0);
    EXPECT_EQ(ControlMessages(), std::vector<UINT>{WM_USER + 7});
}

TEST_F(ControlWindows, TabThroughTheHooksMovesTheFocusAndEndsTheMessage) {
    SetFocus(a2);
    EXPECT_EQ(CallWindowHooks(frameWindow, WM_KEYDOWN, VK_TAB, 0), HookHandled);
    EXPECT_EQ(GetFocus(), c1);
    state.countedObjects = 0; // no focusable objects: Tab is the frame's
    EXPECT_EQ(CallWindowHooks(frameWindow, WM_KEYDOWN, VK_TAB, 0), 0);
    EXPECT_EQ(GetFocus(), c1);
}

// Hooks that tell who was called, and answer what the test asks.
std::vector<int>& HookCalls() {
    static std::vector<int> calls;
    return calls;
}
std::uint16_t hookAnswers[4] = {};
template <int N> std::uint16_t Hook(FrameRunState*, HWND, UINT, WPARAM, LPARAM) {
    HookCalls().push_back(N);
    return hookAnswers[N];
}

TEST(WindowHooks, SortByPriorityKeepingTheOrderOfEqualOnes) {
    FrameRunState state{};
    BuildWindowHookList(state);
    EXPECT_EQ(state.windowHookCount, 0);
    const std::pair<WindowHookRoutine, int> added[] = {
        {Hook<0>, 5}, {Hook<1>, 1}, {Hook<2>, 5}, {Hook<3>, 1}};
    for (auto [routine, priority] : added)
        ASSERT_TRUE(AppendWindowHook(state, routine, priority));
    SortWindowHooks(state);
    const WindowHookRoutine expected[] = {Hook<1>, Hook<3>, Hook<0>, Hook<2>};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(state.windowHooks[i].routine, expected[i]) << i;
}

TEST(WindowHooks, AreCalledInOrderUntilOneAsksToStop) {
    FrameRunState state{};
    for (WindowHookRoutine r : {Hook<0>, Hook<1>, Hook<2>})
        AppendWindowHook(state, r, 0);
    Services().runState = &state;
    const std::uint16_t answers[][3] = {{0, 0, 0}, {1, HookDefaultOnly, 0}, {2, 0x8, 0}, {0, 0x1, 0x2}};
    const std::vector<int> reached[] = {{0, 1, 2}, {0, 1}, {0, 1}, {0, 1, 2}};
    const std::uint16_t results[] = {0, HookDefaultOnly, 0x8, 0x2};
    for (int c = 0; c < 4; ++c) {
        HookCalls().clear();
        std::copy(std::begin(answers[c]), std::end(answers[c]), hookAnswers);
        EXPECT_EQ(CallWindowHooks(nullptr, WM_USER, 0, 0), results[c]) << c;
        EXPECT_EQ(HookCalls(), reached[c]) << c;
    }
    Services().runState = nullptr;
    EXPECT_EQ(CallWindowHooks(nullptr, WM_USER, 0, 0), 0) << "no frame, no hooks";
}

// On WM_SIZE a frame fitted to its window shows its objects again, once its first loop has shown them.
TEST(WindowHooks, AFittedFrameRedisplaysItsObjectsWhenTheWindowIsSized) {
    static int displayed = 0;
    displayed = 0;
    RunObject object{};
    object.objectFlags = ObjectHasSprite;
    object.displayRoutine = [](RunObject*) { ++displayed; };
    ObjectListEntry list[1] = {{&object, nullptr}};
    FrameRunState state{};
    state.objects = list;
    state.maxObjects = 1;
    ApplicationRecord app{};
    state.application = &app;
    Services().runState = &state;
    CallWindowHooks(nullptr, WM_SIZE, 0, 0);
    EXPECT_EQ(displayed, 0) << "a frame not fitted to the window";
    app.header.flags1 = HeaderFitFrame;
    CallWindowHooks(nullptr, WM_SIZE, 0, 0);
    EXPECT_EQ(displayed, 0) << "objects not shown yet";
    state.firstDisplayDone = 1;
    CallWindowHooks(nullptr, WM_USER, 0, 0);
    CallWindowHooks(nullptr, WM_SIZE, 0, 0);
    EXPECT_EQ(displayed, 1);
    Services().runState = nullptr;
}

TEST(WindowHooks, AFullListTakesNoMore) {
    auto state = std::make_unique<FrameRunState>();
    for (int i = 0; i < MaxWindowHooks; ++i)
        ASSERT_TRUE(AppendWindowHook(*state, Hook<0>, i));
    EXPECT_FALSE(AppendWindowHook(*state, Hook<0>, 0));
    EXPECT_EQ(state->windowHookCount, MaxWindowHooks);
}

} // namespace

#include "app_window_fixture.h"
#include "support/param_names.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/sprite_window.h"
#include "vtrs2/sprites.h"
#include "win32/kernel.h"

#include <vector>

using namespace app_window_test;

namespace {

SIZE ClientOf(AppWindow* w) {
    RECT r;
    GetClientRect(GetAppWindowHandle(w), &r);
    return SIZE{r.right, r.bottom};
}

TEST_F(AppWindowTest, CreationGivesTheClientSizeAreaAndFrameAndFindsTheRecord) {
    AppWindowParams p = Params(AppWindowMain, 320, 240);
    p.areaWidth = 400 + 2 * 3; // an outer size: the frame is taken off
    p.areaHeight = -300;
    AppWindow* w = Create(p);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ClientOf(w).cx, 320);
    EXPECT_EQ(ClientOf(w).cy, 240);
    RECT outer;
    GetWindowRect(GetAppWindowHandle(w), &outer);
    EXPECT_EQ(w->frameWidth, (outer.right - outer.left) - 320);
    EXPECT_GT(w->frameHeight, w->frameWidth) << "the caption is part of the frame";
    EXPECT_EQ(w->areaWidth, 400 + 2 * 3 - w->frameWidth);
    EXPECT_EQ(w->areaHeight, 300);
    EXPECT_EQ(FindAppWindow(GetAppWindowHandle(w)), w);
    EXPECT_EQ(GetAppWindowFlags(w) & (AppWindowOwnDC | AppWindowWide), AppWindowOwnDC | AppWindowWide);
    EXPECT_NE(w->dc, nullptr);
    EXPECT_EQ(w->background, 0x808080u) << "a main window keeps its colour";
    EXPECT_EQ(w->backColor, 0xFFFFFFu);
    EXPECT_EQ(w->rop2, R2_COPYPEN);
}

TEST_F(AppWindowTest, CreationFailuresAreReportedAndLeaveNothingBehind) {
    AppWindowParams p = Params(AppWindowMain, 10, 10);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(CreateAppWindowW(nullptr, &p)), AppWindowNoContext);
    p.className = u"NoSuchClass";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(CreateAppWindowW(context, &p)), AppWindowNotCreated);
    EXPECT_EQ(context->windows.GetCount(), 0);
    p.className = u"AppTestClass";
    HWND before = GetTopWindow(nullptr);
    SetAllocationFailures(1, 2); // the record is made, its redraw list is not
    EXPECT_EQ(CreateAppWindowW(context, &p), nullptr);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(context->windows.GetCount(), 0);
    EXPECT_EQ(GetTopWindow(nullptr), before) << "no window was left without its record";
    p.optionFlags = AppWindowMdiChild; // an MDI child of a window that has no record
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(CreateAppWindowW(context, &p)), AppWindowNotCreated);
    EXPECT_EQ(context->windows.GetCount(), 0);
}

TEST_F(AppWindowTest, ResizeByNegativeValuesGivesThatClientSize) {
    AppWindow* w = Create(Params(AppWindowMain, 100, 100));
    ResizeAppWindow(w, -320, -240);
    EXPECT_EQ(ClientOf(w).cx, 320);
    EXPECT_EQ(ClientOf(w).cy, 240);
    ResizeAppWindow(w, 0x8000, -200);
    EXPECT_EQ(ClientOf(w).cx, 320);
    EXPECT_EQ(ClientOf(w).cy, 200);
    MoveAppWindow(w, 30, 0x8000);
    RECT r;
    GetWindowRect(GetAppWindowHandle(w), &r);
    EXPECT_EQ(r.left, 30);
}

TEST_F(AppWindowTest, ClientCannotGrowPastTheAreaUnlessStretching) {
    AppWindowParams p = Params(AppWindowMain, 100, 100);
    p.areaWidth = -200;
    p.areaHeight = -150;
    AppWindow* w = Create(p);
    ResizeAppWindow(w, -500, -120);
    EXPECT_EQ(ClientOf(w).cx, 200);
    EXPECT_EQ(ClientOf(w).cy, 120);
    EXPECT_FALSE(GetAppWindowFlags(w) & AppWindowSizeGuard);
    SetAppWindowFlags(w, GetAppWindowFlags(w) | AppWindowStretch);
    ResizeAppWindow(w, -500, -400);
    EXPECT_EQ(ClientOf(w).cx, 500);
    MINMAXINFO info{};
    SendMessageW(GetAppWindowHandle(w), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMaxTrackSize.x, 200 + w->frameWidth);
}

TEST_F(AppWindowTest, UpdateCopiesTheListedRectanglesOneToOne) {
    AppWindow* w = Create(Params(AppWindowMain, 64, 48));
    Pump(); // the first paint is done before there is a surface to paint from
    ASSERT_TRUE(AttachWindowSurface(w, PatternSurface(64, 48, 32)));
    EXPECT_EQ(w->areaWidth, 64);
    AddUpdateRectCoords(w, 0, 0, 32, 48);
    UpdateWindowFromSurface(w);
    EXPECT_EQ(GetUpdateRectList(w)->count, 0);
    HWND h = GetAppWindowHandle(w);
    EXPECT_EQ(win32::testing::ReadWindowPixel(h, 5, 7), PatternColour(5, 7));
    EXPECT_EQ(win32::testing::ReadWindowPixel(h, 31, 47), PatternColour(31, 47));
    EXPECT_NE(win32::testing::ReadWindowPixel(h, 40, 7), PatternColour(40, 7)) << "not listed";
    Pump();
    EXPECT_EQ(win32::testing::ReadPresentedPixel(h, 5, 7), PatternColour(5, 7));
}

// A surface that notes what is registered with it for the loss of the display device.
class LostDeviceProbe final : public cBufferSurface {
public:
    void AddLostDeviceCallback(LostDeviceCallback callback, cSurface* owner, LPARAM argument) override {
        calls.push_back({callback, owner, argument});
    }
    struct Call {
        LostDeviceCallback callback;
        cSurface* owner;
        LPARAM argument;
    };
    std::vector<Call> calls;
};

// A surface attached over another takes over what the other had registered for the device's loss.
TEST_F(AppWindowTest, ANewWorkSurfaceTakesOverTheOldOnesLostDeviceEntries) {
    AppWindow* w = Create(Params(AppWindowMain, 8, 8));
    cSurface* first = PatternSurface(8, 8, 32);
    cSurface* second = NewSurface();
    auto* probe = new LostDeviceProbe;
    probe->SetDepth(32);
    ASSERT_TRUE(probe->AllocatePixels(8, 8));
    second->SetImplementation(probe);
    ASSERT_TRUE(AttachWindowSurface(w, first));
    ASSERT_TRUE(AttachWindowSurface(w, second));
    ASSERT_EQ(probe->calls.size(), 1u);
    EXPECT_EQ(probe->calls[0].callback, nullptr);
    EXPECT_EQ(probe->calls[0].owner, second);
    EXPECT_EQ(probe->calls[0].argument, reinterpret_cast<LPARAM>(first));
    // Attaching the same surface again hands nothing over.
    ASSERT_TRUE(AttachWindowSurface(w, second));
    EXPECT_EQ(probe->calls.size(), 1u);
    DeleteSurface(first);
}

struct DepthCase {
    int depth;
    int tolerance; // per component, for depths that drop low bits
};

class CopyDepth : public AppWindowTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(CopyDepth, WholeSurfaceReachesTheWindowInItsColours) {
    AppWindow* w = Create(Params(AppWindowMain, 16, 12));
    ASSERT_TRUE(AttachWindowSurface(w, PatternSurface(16, 12, GetParam().depth)));
    AddUpdateRect(w, nullptr);
    UpdateWindowFromSurface(w);
    for (int y = 0; y < 12; y += 5) {
        for (int x = 0; x < 16; x += 3) {
            const COLORREF got = win32::testing::ReadWindowPixel(GetAppWindowHandle(w), x, y);
            const COLORREF want = PatternColour(x, y);
            EXPECT_NEAR(GetRValue(got), GetRValue(want), GetParam().tolerance) << x << "," << y;
            EXPECT_NEAR(GetGValue(got), GetGValue(want), GetParam().tolerance) << x << "," << y;
            EXPECT_NEAR(GetBValue(got), GetBValue(want), GetParam().tolerance) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, CopyDepth,
                         ::testing::Values(DepthCase{32, 0}, DepthCase{24, 0}, DepthCase{16, 7},
                                           DepthCase{15, 7}),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param.depth); });

TEST_F(AppWindowTest, StretchFillsTheClientAndKeepsTheWholeAreaListed) {
    AppWindowParams p = Params(AppWindowMain, 64, 48);
    p.optionFlags = AppWindowStretch;
    AppWindow* w = Create(p);
    ASSERT_TRUE(AttachWindowSurface(w, PatternSurface(32, 24, 32)));
    AddUpdateRectCoords(w, 0, 0, 1, 1);
    UpdateWindowFromSurface(w);
    HWND h = GetAppWindowHandle(w);
    EXPECT_EQ(win32::testing::ReadWindowPixel(h, 10, 6), PatternColour(5, 3));
    EXPECT_EQ(win32::testing::ReadWindowPixel(h, 63, 47), PatternColour(31, 23));
    ASSERT_EQ(GetUpdateRectList(w)->count, 1);
    EXPECT_EQ(GetUpdateRectList(w)->rects[0].right, 32);
}

TEST_F(AppWindowTest, SuspendedUpdatesCopyNothing) {
    AppWindow* w = Create(Params(AppWindowMain, 8, 8));
    AttachWindowSurface(w, PatternSurface(8, 8, 32));
    EnableWindowUpdate(w, 0);
    AddUpdateRect(w, nullptr);
    UpdateWindowFromSurface(w);
    EXPECT_EQ(GetUpdateRectList(w)->count, 1);
    EnableWindowUpdate(w, 1);
    UpdateWindowFromSurface(w);
    EXPECT_EQ(GetUpdateRectList(w)->count, 0);
}

TEST_F(AppWindowTest, VerticalBlankWaitRecordsTheUpdateTime) {
    AppWindow* w = Create(Params(AppWindowMain, 8, 8));
    AttachWindowSurface(w, PatternSurface(8, 8, 32));
    EXPECT_EQ(ControlAppWindow(w, 10, AppWindowWaitVBlank, 0), 1);
    EXPECT_EQ(ControlAppWindow(w, 9, 0, 0), AppWindowWaitVBlank);
    w->lastUpdateTime = 0;
    win32::testing::AdvanceFakeClock(500);
    AddUpdateRect(w, nullptr);
    UpdateWindowFromSurface(w);
    EXPECT_EQ(w->lastUpdateTime, win32::timeGetTime());
    EXPECT_NE(w->lastUpdateTime, 0u);
    EXPECT_EQ(win32::testing::ReadWindowPixel(GetAppWindowHandle(w), 7, 7), PatternColour(7, 7));
}

TEST_F(AppWindowTest, ErasingTheBackgroundRepaintsFromTheSurface) {
    AppWindow* w = Create(Params(AppWindowMain, 20, 20));
    AttachWindowSurface(w, PatternSurface(20, 20, 32));
    InvalidateRect(GetAppWindowHandle(w), nullptr, TRUE);
    Pump();
    EXPECT_EQ(win32::testing::ReadWindowPixel(GetAppWindowHandle(w), 19, 3), PatternColour(19, 3));
}

TEST_F(AppWindowTest, CopyToScreenCopiesTheWholeSurface) {
    AppWindow* w = Create(Params(2, 20, 20));
    AttachWindowSurface(w, PatternSurface(20, 20, 32));
    CopyWindowSurfaceToScreen(w);
    EXPECT_EQ(win32::testing::ReadWindowPixel(GetAppWindowHandle(w), 12, 17), PatternColour(12, 17));
}

TEST_F(AppWindowTest, DestroyingAWindowDestroysItsChildrenAndTheirChildren) {
    AppWindow* parent = Create(Params(2, 100, 100));
    AppWindowParams cp = Params(2, 10, 10);
    cp.style = WS_CHILD | WS_VISIBLE;
    cp.parent = GetAppWindowHandle(parent);
    AppWindow* a = Create(cp);
    AppWindow* b = Create(cp);
    cp.parent = GetAppWindowHandle(a);
    AppWindow* grandchild = Create(cp);
    HWND handles[] = {GetAppWindowHandle(parent), GetAppWindowHandle(a), GetAppWindowHandle(b),
                      GetAppWindowHandle(grandchild)};
    ASSERT_EQ(context->windows.GetCount(), 4);
    DestroyAppWindow(parent);
    EXPECT_EQ(context->windows.GetCount(), 0);
    for (HWND h : handles)
        EXPECT_FALSE(IsWindow(h));
}

// A child whose destruction takes its sibling with it: the walk over the children must not reach the
// sibling's freed record.
AppWindow* sibling = nullptr;
LRESULT DestroysSibling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && sibling) {
        AppWindow* s = sibling;
        sibling = nullptr;
        DestroyAppWindow(s);
    }
    return AppWindowProcW(window, message, wParam, lParam);
}

TEST_F(AppWindowTest, ChildWhoseDestructionDestroysASiblingLeavesTheWalkSound) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DestroysSibling;
    wc.cbWndExtra = 8;
    wc.lpszClassName = u"SiblingKiller";
    RegisterClassExW(&wc);
    AppWindow* parent = Create(Params(2, 100, 100));
    AppWindowParams cp = Params(2, 10, 10);
    cp.style = WS_CHILD;
    cp.parent = GetAppWindowHandle(parent);
    cp.className = u"SiblingKiller";
    Create(cp);
    cp.className = u"AppTestClass";
    sibling = Create(cp);
    Create(cp);
    DestroyAppWindow(parent);
    EXPECT_EQ(context->windows.GetCount(), 0);
}

LRESULT KeepsDestroyToItself(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) return 0;
    return AppWindowProcW(window, message, wParam, lParam);
}

TEST_F(AppWindowTest, RecordIsFreedEvenWhenTheProcedureKeepsTheDestroyMessage) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = KeepsDestroyToItself;
    wc.cbWndExtra = 8;
    wc.lpszClassName = u"DestroyKeeper";
    RegisterClassExW(&wc);
    AppWindowParams p = Params(2, 10, 10);
    p.className = u"DestroyKeeper";
    AppWindow* w = Create(p);
    HWND h = GetAppWindowHandle(w);
    DestroyAppWindow(w);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(context->windows.GetCount(), 0);
}

TEST_F(AppWindowTest, AttachedRecordLeavesItsWindowAlive) {
    HWND own = CreateWindowExW(0, u"AppTestClass", nullptr, WS_POPUP, 0, 0, 30, 20, nullptr, nullptr, nullptr,
                               nullptr);
    AppWindow* w = AttachAppWindowW(context, own);
    ASSERT_TRUE(IsAppWindow(w));
    EXPECT_TRUE(GetAppWindowFlags(w) & AppWindowExistingRecord);
    EXPECT_EQ(w->areaWidth, 30);
    DestroyAppWindow(w);
    EXPECT_TRUE(IsWindow(own));
    EXPECT_EQ(context->windows.GetCount(), 0);
    DestroyWindow(own);
}

TEST_F(AppWindowTest, MdiFrameMakesItsClientAndChildrenLiveInIt) {
    AppWindowParams fp = Params(2, 200, 150);
    fp.optionFlags = AppWindowMdiFrame;
    AppWindow* frame = Create(fp);
    ASSERT_NE(GetMdiClientHandle(frame), nullptr);
    AppWindowParams cp = Params(AppWindowMain, 50, 50);
    cp.optionFlags = AppWindowMdiChild;
    cp.parent = GetAppWindowHandle(frame);
    AppWindow* child = Create(cp);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(GetAppWindowHandle(child)), GetMdiClientHandle(frame));
    EXPECT_EQ(FindAppWindow(GetAppWindowHandle(child)), child);
    child->mdiClient = GetMdiClientHandle(frame);
    HWND childHandle = GetAppWindowHandle(child);
    DestroyAppWindow(child);
    EXPECT_FALSE(IsWindow(childHandle));
    EXPECT_EQ(context->windows.GetCount(), 1);
}

TEST_F(AppWindowTest, ControlCommandsReadAndWriteTheStateWords) {
    AppWindow* w = Create(Params(2, 10, 10));
    EXPECT_EQ(ControlAppWindow(w, 2, 0x55, 0), 1);
    EXPECT_EQ(ControlAppWindow(w, 4, 0, 0), 0x55);
    EXPECT_EQ(ControlAppWindow(w, 1, 0, 10), 1);
    ASSERT_NE(w->sprites, nullptr);
    ASSERT_NE(w->sprites->sprites, nullptr);
    EXPECT_EQ(w->sprites->sprites->capacity, 10);
    EXPECT_EQ(ControlAppWindow(w, 77, 0, 0), 1);
    EXPECT_EQ(ControlAppWindow(nullptr, 9, 0, 0), 0);
    context->stateFlags = 0;
}

TEST_F(AppWindowTest, WaitCursorNestsAndRestores) {
    AppWindow* w = Create(Params(2, 10, 10));
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetAppWindowCursor(w, reinterpret_cast<HCURSOR>(1));
    EXPECT_EQ(GetCursor(), arrow);
    BeginWaitCursor(w);
    BeginWaitCursor(w);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    EndWaitCursor(w);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    EndWaitCursor(w);
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(AppWindowTest, NullWindowsAreIgnoredByEveryExport) {
    AddUpdateRect(nullptr, nullptr);
    UpdateWindowFromSurface(nullptr);
    DestroyAppWindow(nullptr);
    DetachWindowSurface(nullptr);
    EXPECT_EQ(AttachWindowSurface(nullptr, nullptr), 0);
    EXPECT_EQ(GetWindowSurface(nullptr, 0), nullptr);
    EXPECT_EQ(GetAppWindowHandle(nullptr), nullptr);
    RECT r{1, 1, 1, 1};
    GetAppWindowArea(nullptr, &r);
    EXPECT_EQ(r.left, 1);
}

TEST_F(AppWindowTest, DetachForgetsTheSurfaceWithoutDeletingIt) {
    AppWindow* w = Create(Params(AppWindowMain, 10, 10));
    cSurface* surface = PatternSurface(10, 10, 32);
    AttachWindowSurface(w, surface);
    EXPECT_EQ(GetWindowSurface(w, 0), surface);
    DetachWindowSurface(w);
    EXPECT_EQ(GetWindowSurface(w, 0), nullptr);
    EXPECT_FALSE(GetAppWindowFlags(w) & AppWindowSurfaceAttached);
    EXPECT_EQ(surface->GetWidth(), 10) << "the caller keeps it";
    DeleteSurface(surface);
}

} // namespace

namespace {

TEST_F(AppWindowTest, ForeignDataInTheFirstSlotIsNotTakenForARecord) {
    HWND own = CreateWindowExW(0, u"AppTestClass", nullptr, WS_POPUP, 0, 0, 30, 20, nullptr, nullptr, nullptr,
                               nullptr);
    int notARecord[64] = {};
    SetWindowLongPtrW(own, 0, reinterpret_cast<LONG_PTR>(notARecord));
    SendMessageW(own, WM_SIZE, 0, MAKELPARAM(5000, 5000));
    SendMessageW(own, WM_MOUSEMOVE, 0, 0);
    DestroyWindow(own);
    for (int v : notARecord)
        EXPECT_EQ(v, 0);
}

} // namespace

namespace {

TEST_F(AppWindowTest, MenuAddsItsBarToTheFrameAndRemovesItAgain) {
    AppWindow* w = Create(Params(2, 100, 100));
    const int frame = w->frameHeight;
    auto menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(0x42));
    EXPECT_EQ(SetAppWindowMenu(w, menu, 7), menu);
    EXPECT_EQ(w->frameHeight, frame + GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(w->menuValue, 7);
    SetAppWindowMenu(w, menu, 8);
    EXPECT_EQ(w->frameHeight, frame + GetSystemMetrics(SM_CYMENU)) << "replacing a menu keeps one bar";
    SetAppWindowMenu(w, nullptr, 0);
    EXPECT_EQ(w->frameHeight, frame);
    ResizeAppWindow(w, -60, -50);
    RECT r;
    GetClientRect(GetAppWindowHandle(w), &r);
    EXPECT_EQ(r.bottom, 50);
}

} // namespace

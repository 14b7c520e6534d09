#include "app_window_fixture.h"
#include "support/param_names.h"
#include "vtrs2/banks.h"
#include "vtrs2/driver_testing.h"
#include "vtrs2/memory_testing.h"

#include <thread>

using namespace app_window_test;

namespace {

struct ModeCase {
    int mode;
    int code;
};

// No display driver is found: the driver beside the library is looked for in a folder that has none.
class DisplayMode : public AppWindowTest, public ::testing::WithParamInterface<ModeCase> {
protected:
    void SetUp() override {
        SetDisplayDriverFolder(u"/nonexistent/display-drivers");
        AppWindowTest::SetUp();
    }
    void TearDown() override {
        AppWindowTest::TearDown();
        SetDisplayDriverFolder(nullptr);
    }
};

TEST_P(DisplayMode, ModeWordGivesTheStoredCodeAndAWorkSurfaceOfItsDepth) {
    AppWindow* w = Create(Params(AppWindowMain, 10, 10));
    EXPECT_EQ(SetAppDisplayMode(context, GetParam().mode), GetParam().code);
    EXPECT_EQ(context->displayMode, GetParam().code);
    EXPECT_EQ(w->displayMode, GetParam().code);
    ASSERT_NE(context->workSurface, nullptr);
    EXPECT_EQ(context->workSurface->depth, DisplayModeBits(GetParam().code));
}

// The desktop here has 32 bits per pixel: code 8. No display driver binds, so driver modes keep the plain
// code.
INSTANTIATE_TEST_SUITE_P(Codes, DisplayMode,
                         ::testing::Values(ModeCase{0, 8}, ModeCase{1, 3}, ModeCase{2, 3}, ModeCase{3, 3},
                                           ModeCase{4, 4}, ModeCase{5, 3}, ModeCase{6, 6}, ModeCase{7, 7},
                                           ModeCase{8, 8}, ModeCase{9, 3}, ModeCase{15, 3}, ModeCase{0x18, 8},
                                           ModeCase{0x96, 6}),
                         [](const auto& info) { return test_support::Numbered("Mode", info.param.mode); });

TEST(AppContext, CreationSetsTheInitialValues) {
    AppContext* c = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->displayMode, 3);
    EXPECT_EQ(c->masterVolume, 100);
    EXPECT_EQ(c->masterPan, 0);
    EXPECT_EQ(c->channelCount, 32);
    EXPECT_EQ(c->music.deviceId, -1);
    for (const SoundChannel& channel : c->channels) {
        EXPECT_EQ(channel.volume, 100);
        EXPECT_EQ(channel.sound, nullptr);
    }
    EXPECT_EQ(c->musicName, nullptr);
    ASSERT_NE(c->workSurface, nullptr);
    EXPECT_EQ(c->workSurface->depth, 8);
    EXPECT_EQ(GetLibraryVersion(), 0x00030118u);
    EXPECT_EQ(GetScreenModeCode(), 8);
    DestroyAppContext(c);
}

TEST(AppContext, ThreadListKeepsBothContextsAndGoesWithTheLast) {
    AppContext* a = CreateAppContext(nullptr, nullptr);
    AppContext* b = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(GetThreadContexts(), nullptr);
    EXPECT_NE(GetThreadContexts()->Find(a), 0);
    EXPECT_NE(GetThreadContexts()->Find(b), 0);
    DestroyAppContext(a);
    ASSERT_NE(GetThreadContexts(), nullptr);
    EXPECT_EQ(GetThreadContexts()->Find(a), 0);
    EXPECT_EQ(GetThreadContexts()->GetCount(), 1);
    DestroyAppContext(b);
    EXPECT_EQ(GetThreadContexts(), nullptr);
    DestroyAppContext(nullptr);
}

TEST(AppContext, AnotherThreadCannotDestroyAContextItDidNotCreate) {
    AppContext* c = CreateAppContext(nullptr, nullptr);
    std::thread([c] { DestroyAppContext(c); }).join();
    ASSERT_NE(GetThreadContexts(), nullptr);
    EXPECT_NE(GetThreadContexts()->Find(c), 0) << "still listed and alive";
    EXPECT_EQ(c->masterVolume, 100);
    DestroyAppContext(c);
    EXPECT_EQ(GetThreadContexts(), nullptr);
}

TEST(AppContext, EachThreadSeesOnlyItsOwnContexts) {
    AppContext* mine = CreateAppContext(nullptr, nullptr);
    bool otherSawNone = false;
    std::thread([&] {
        otherSawNone = GetThreadContexts() == nullptr;
        AppContext* theirs = CreateAppContext(nullptr, nullptr);
        DestroyAppContext(theirs);
    }).join();
    EXPECT_TRUE(otherSawNone);
    EXPECT_EQ(GetThreadContexts()->GetCount(), 1);
    DestroyAppContext(mine);
}

TEST(AppContext, CreationFailsCleanlyWhenMemoryRunsOut) {
    // The record, then its banks: either failing leaves nothing behind (the leak checker sees the rest).
    for (int first : {0, 1}) {
        SetAllocationFailures(first, 2);
        EXPECT_EQ(CreateAppContext(nullptr, nullptr), nullptr) << first;
        SetAllocationFailures(0, 0);
        EXPECT_EQ(GetThreadContexts(), nullptr) << first;
    }
}

TEST(AppContext, OwnsItsBanksAndFreesTheirItemsWithIt) {
    AppContext* c = CreateAppContext(nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->banks, nullptr);
    for (int bank : {BankImages, BankSounds, BankMasks, BankFonts})
        EXPECT_NE(AddBankItem(c->banks, bank, 16, 8, BankItemZeroFill, nullptr), 0u) << bank;
    DestroyAppContext(c); // the leak checker fails the run if an item stays
}

TEST_F(AppWindowTest, DestroyingTheContextDestroysItsWindows) {
    AppWindow* a = Create(Params(AppWindowMain, 10, 10));
    AppWindow* b = Create(Params(2, 10, 10));
    HWND ha = GetAppWindowHandle(a), hb = GetAppWindowHandle(b);
    DestroyAppContext(context);
    context = nullptr;
    EXPECT_FALSE(IsWindow(ha));
    EXPECT_FALSE(IsWindow(hb));
    EXPECT_EQ(FindAppWindow(ha), nullptr);
}

} // namespace

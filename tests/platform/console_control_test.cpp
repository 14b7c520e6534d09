// Console control routines: signals reach them where messages are read, newest routine first; what the
// signals did before comes back with the last routine.
#include "win32/kernel.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <vector>

using namespace win32;

namespace {

std::vector<std::pair<char, DWORD>>& Calls() {
    static std::vector<std::pair<char, DWORD>> calls;
    return calls;
}

BOOL Takes(DWORD event) {
    Calls().push_back({'T', event});
    return TRUE;
}
BOOL Declines(DWORD event) {
    Calls().push_back({'D', event});
    return FALSE;
}

void ReadMessages() {
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

void Marker(int) {}

sighandler_t HandlerOf(int number) {
    struct sigaction current {};
    sigaction(number, nullptr, &current);
    return current.sa_handler;
}

class ConsoleControl : public ::testing::Test {
protected:
    void SetUp() override {
        Calls().clear();
        savedInt_ = ::signal(SIGINT, Marker);
        savedTerm_ = ::signal(SIGTERM, Marker);
    }
    void TearDown() override {
        while (SetConsoleCtrlHandler(Takes, FALSE)) {
        }
        while (SetConsoleCtrlHandler(Declines, FALSE)) {
        }
        ::signal(SIGINT, savedInt_);
        ::signal(SIGTERM, savedTerm_);
    }

private:
    sighandler_t savedInt_ = SIG_DFL;
    sighandler_t savedTerm_ = SIG_DFL;
};

struct SignalCase {
    const char* name;
    int number;
    DWORD event;
};

class ConsoleSignal : public ConsoleControl, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(ConsoleSignal, WaitsForTheMessageQueueThenReachesTheRoutine) {
    ASSERT_TRUE(SetConsoleCtrlHandler(Takes, TRUE));
    ASSERT_EQ(::raise(GetParam().number), 0);
    EXPECT_TRUE(Calls().empty()) << "the routine ran inside the signal handler";
    ReadMessages();
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].second, GetParam().event);
    // Delivered once: reading again calls nothing, and a later signal is delivered again.
    ReadMessages();
    EXPECT_EQ(Calls().size(), 1u);
    ::raise(GetParam().number);
    ReadMessages();
    EXPECT_EQ(Calls().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Signals, ConsoleSignal,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT, CTRL_C_EVENT},
                                           SignalCase{"Termination", SIGTERM, CTRL_CLOSE_EVENT}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleControl, NewestRoutineFirstAndADeclinedEventPassesOn) {
    ASSERT_TRUE(SetConsoleCtrlHandler(Takes, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(Declines, TRUE));
    ::raise(SIGINT);
    ReadMessages();
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0].first, 'D');
    EXPECT_EQ(Calls()[1].first, 'T');
}

TEST_F(ConsoleControl, TheLastRoutineRemovedGivesTheSignalsBackAndIgnoredOnesStayIgnored) {
    ::signal(SIGINT, SIG_IGN);
    ASSERT_TRUE(SetConsoleCtrlHandler(Takes, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(Declines, TRUE));
    EXPECT_EQ(HandlerOf(SIGINT), SIG_IGN);
    EXPECT_NE(HandlerOf(SIGTERM), Marker);
    ::raise(SIGINT);
    ReadMessages();
    EXPECT_TRUE(Calls().empty());

    ASSERT_TRUE(SetConsoleCtrlHandler(Takes, FALSE));
    EXPECT_NE(HandlerOf(SIGTERM), Marker) << "one routine is still registered";
    ASSERT_TRUE(SetConsoleCtrlHandler(Declines, FALSE));
    EXPECT_EQ(HandlerOf(SIGTERM), Marker);
    EXPECT_EQ(HandlerOf(SIGINT), SIG_IGN);
    EXPECT_FALSE(SetConsoleCtrlHandler(Declines, FALSE)) << "not registered any more";
    EXPECT_FALSE(SetConsoleCtrlHandler(nullptr, TRUE));
}

using ConsoleControlDeathTest = ConsoleControl;

TEST_F(ConsoleControlDeathTest, ASecondSignalBeforeTheFirstIsDeliveredEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::signal(SIGINT, SIG_DFL);
            SetConsoleCtrlHandler(Takes, TRUE);
            ::raise(SIGINT);
            ::raise(SIGINT);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

TEST_F(ConsoleControlDeathTest, AnEventEveryRoutineDeclinesEndsTheProcessAsTheSignalWould) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetConsoleCtrlHandler(Declines, TRUE);
            ::raise(SIGTERM);
            ReadMessages();
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

} // namespace

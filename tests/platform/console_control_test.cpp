// Console control routines: signals reach them where messages are read, newest routine first; what the
// signals did before comes back with the last routine.
#include "win32/kernel.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The death tests' processes make their run folder in a temporary folder of the test's own.
class ConsoleControlDeathTest : public ConsoleControl {
protected:
    void SetUp() override {
        ConsoleControl::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        std::string pattern = (std::filesystem::temp_directory_path() / "console-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        temp_ = pattern;
    }
    void TearDown() override {
        std::filesystem::remove_all(temp_);
        ConsoleControl::TearDown();
    }
    // In the dying process: a run folder with a file in it.
    void MakeRunFolder() const {
        setenv("TMPDIR", temp_.c_str(), 1);
        const std::u16string folder = CreateUniqueTempFolder(u"vrt");
        if (folder.empty()) std::_Exit(2);
        std::ofstream(ToUtf8(folder) + "/libvtrs2.so") << "x";
    }
    bool TempIsEmpty() const { return std::filesystem::is_empty(temp_); }

    std::filesystem::path temp_;
};

// A signal sent to the program and then to its group arrives twice before the program reads its messages: the
// run still gets to end in order, and once it has, nothing ends it later.
TEST_F(ConsoleControlDeathTest, ASecondSignalBeforeTheFirstIsDeliveredLeavesTheRunItsEnd) {
    EXPECT_EXIT(
        {
            ::signal(SIGINT, SIG_DFL);
            SetConsoleCtrlHandler(Takes, TRUE);
            ::raise(SIGINT);
            ::raise(SIGINT);
            ReadMessages();
            if (Calls().size() != 1) std::_Exit(2);
            SetConsoleCtrlHandler(Takes, FALSE);
            // Past the deadline the second signal set.
            sleep(3);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// A run that does not get to its end in time is ended as the signal would end it, its folders removed.
TEST_F(ConsoleControlDeathTest, ARunThatDoesNotEndByTheDeadlineEndsWithItsFoldersRemoved) {
    EXPECT_EXIT(
        {
            MakeRunFolder();
            ::signal(SIGTERM, SIG_DFL);
            SetConsoleCtrlHandler(Takes, TRUE);
            ::raise(SIGTERM);
            ::raise(SIGTERM);
            for (;;)
                pause();
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(ConsoleControlDeathTest, AnEventEveryRoutineDeclinesEndsTheProcessAsTheSignalWould) {
    EXPECT_EXIT(
        {
            MakeRunFolder();
            SetConsoleCtrlHandler(Declines, TRUE);
            ::raise(SIGTERM);
            ReadMessages();
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(TempIsEmpty());
}

} // namespace

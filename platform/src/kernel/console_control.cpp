// Console control handler routines over SIGINT and SIGTERM. The signal handler only notes the signal (or, for
// a second one, sets the deadline of the run's end); the routines run later, where the program reads its
// messages, so they may touch anything the program owns.
#include "kernel/console_control.h"

#include "kernel/owned_folders.h"
#include "win32/kernel.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

namespace win32 {

namespace {

struct CaughtSignal {
    int number;
    DWORD event;
};
constexpr std::array<CaughtSignal, 2> CaughtSignals{{{SIGINT, CTRL_C_EVENT}, {SIGTERM, CTRL_CLOSE_EVENT}}};

struct ConsoleControl {
    std::mutex lock;
    std::vector<PHANDLER_ROUTINE> routines; // oldest first
    std::array<struct sigaction, CaughtSignals.size()> previous{};
    std::array<bool, CaughtSignals.size()> caught{};
};

ConsoleControl& State() {
    static ConsoleControl state;
    return state;
}

// The signal waiting to be delivered, 0 when none; the signal handler may touch nothing else.
std::atomic<int> pending{0};
static_assert(std::atomic<int>::is_always_lock_free);

// How long a run that got a second signal before it handled the first has to end in order.
constexpr unsigned EndDeadlineSeconds = 2;

// The signal that ends the process at the deadline, 0 while none is set.
std::atomic<int> deadlineSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction previousAlarm {};

// The folders the run owns go first: whatever ends the process here, nothing of the run stays behind.
void EndAsTheSignalWould(int number) {
    detail::RemoveOwnedFolders();
    ::signal(number, SIG_DFL);
    ::raise(number);
}

void OnDeadline(int) {
    const int number = deadlineSignal.load();
    EndAsTheSignalWould(number ? number : SIGTERM);
}

// A signal sent to the program and then to its group arrives twice at once: the second gives the run a
// little while to finish what the first started before the process ends.
void SetEndDeadline(int number) {
    int none = 0;
    if (!deadlineSignal.compare_exchange_strong(none, number)) return;
    struct sigaction alarm {};
    alarm.sa_handler = OnDeadline;
    sigemptyset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, &previousAlarm);
    ::alarm(EndDeadlineSeconds);
}

void CancelEndDeadline() {
    if (deadlineSignal.load() == 0) return;
    ::alarm(0);
    sigaction(SIGALRM, &previousAlarm, nullptr);
    deadlineSignal = 0;
}

void OnSignal(int number) {
    int none = 0;
    if (pending.compare_exchange_strong(none, number)) return;
    // The interrupted code keeps its error number.
    const int savedErrno = errno;
    SetEndDeadline(number);
    errno = savedErrno;
}

void CatchSignals(ConsoleControl& state) {
    for (std::size_t i = 0; i < CaughtSignals.size(); ++i) {
        struct sigaction current {};
        sigaction(CaughtSignals[i].number, nullptr, &current);
        // A signal the process was started to ignore (a background job's interrupt) stays ignored.
        state.caught[i] = current.sa_handler != SIG_IGN;
        if (!state.caught[i]) continue;
        struct sigaction ours {};
        ours.sa_handler = OnSignal;
        ours.sa_flags = SA_RESTART;
        sigemptyset(&ours.sa_mask);
        sigaction(CaughtSignals[i].number, &ours, &state.previous[i]);
    }
}

void ReleaseSignals(ConsoleControl& state) {
    for (std::size_t i = 0; i < CaughtSignals.size(); ++i) {
        if (state.caught[i]) sigaction(CaughtSignals[i].number, &state.previous[i], nullptr);
        state.caught[i] = false;
    }
    // The run got to its end in time.
    CancelEndDeadline();
    pending = 0;
}

DWORD EventOf(int number) {
    for (const CaughtSignal& s : CaughtSignals)
        if (s.number == number) return s.event;
    return CTRL_C_EVENT;
}

} // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
    if (!routine) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ConsoleControl& state = State();
    std::lock_guard guard(state.lock);
    auto& routines = state.routines;
    if (add) {
        if (routines.empty()) CatchSignals(state);
        routines.push_back(routine);
        return TRUE;
    }
    const auto found = std::find(routines.rbegin(), routines.rend(), routine);
    if (found == routines.rend()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    routines.erase(std::next(found).base());
    if (routines.empty()) ReleaseSignals(state);
    return TRUE;
}

namespace detail {

void DeliverConsoleControlEvents() {
    if (pending.load(std::memory_order_relaxed) == 0) return;
    const int number = pending.exchange(0);
    if (number == 0) return;
    std::vector<PHANDLER_ROUTINE> routines;
    {
        ConsoleControl& state = State();
        std::lock_guard guard(state.lock);
        routines = state.routines;
    }
    // Outside the lock: a routine may add or remove routines.
    for (auto it = routines.rbegin(); it != routines.rend(); ++it)
        if ((*it)(EventOf(number))) return;
    EndAsTheSignalWould(number);
}

bool QueueConsoleInterrupt() {
    ConsoleControl& state = State();
    std::lock_guard guard(state.lock);
    if (state.routines.empty()) return false;
    int none = 0;
    pending.compare_exchange_strong(none, SIGINT);
    return true;
}

} // namespace detail

} // namespace win32

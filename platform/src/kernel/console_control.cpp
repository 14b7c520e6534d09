// Console control handler routines over SIGINT and SIGTERM. The signal handler only notes the signal; the
// routines run later, where the program reads its messages, so they may touch anything the program owns.
#include "kernel/console_control.h"

#include "win32/kernel.h"

#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
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

void EndAsTheSignalWould(int number) {
    ::signal(number, SIG_DFL);
    ::raise(number);
}

void OnSignal(int number) {
    int none = 0;
    if (pending.compare_exchange_strong(none, number)) return;
    // The first one is still waiting: nothing reads the messages, so this one ends the process. The signal
    // is blocked inside its handler and takes effect when the handler returns.
    EndAsTheSignalWould(number);
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

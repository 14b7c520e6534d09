// Clocks: the monotonic millisecond clock, sleeping, and wall-clock times as FILETIME and SYSTEMTIME.
#include "filetime.h"
#include "window_internal.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace win32 {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr ULONGLONG EpochDifference = 11644473600ULL;
constexpr ULONGLONG TicksPerSecond = 10000000ULL;

ULONGLONG ToTicks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(ULONGLONG ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::atomic<int> periodDepth{0};

} // namespace

namespace detail {

FILETIME FileTimeFromTimespec(const timespec& time) {
    // Times before 1601 do not occur on a real file; they are clamped to the epoch.
    const LONGLONG seconds = static_cast<LONGLONG>(time.tv_sec) + static_cast<LONGLONG>(EpochDifference);
    if (seconds < 0) return {0, 0};
    return FromTicks(static_cast<ULONGLONG>(seconds) * TicksPerSecond +
                     static_cast<ULONGLONG>(time.tv_nsec) / 100);
}

} // namespace detail

DWORD timeGetTime() {
    // Under a test's fake clock the multimedia clock stands still with the message times, so that what
    // paces itself by it (fades, the frame clock) runs on simulated time.
    if (UsingFakeClock()) return LayerTime();
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const ULONGLONG ms =
        static_cast<ULONGLONG>(now.tv_sec) * 1000 + static_cast<ULONGLONG>(now.tv_nsec) / 1000000;
    return static_cast<DWORD>(ms);
}

UINT timeBeginPeriod(UINT period) {
    if (period == 0) return TIMERR_NOCANDO;
    ++periodDepth;
    return TIMERR_NOERROR;
}

UINT timeEndPeriod(UINT period) {
    if (period == 0) return TIMERR_NOCANDO;
    int depth = periodDepth.load();
    while (depth > 0 && !periodDepth.compare_exchange_weak(depth, depth - 1)) {
    }
    return depth > 0 ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

void Sleep(DWORD milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void GetSystemTimeAsFileTime(FILETIME* time) {
    if (!time) return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    *time = detail::FileTimeFromTimespec(now);
}

void GetSystemTime(SYSTEMTIME* time) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FileTimeToSystemTime(&now, time);
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (!fileTime || !systemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const ULONGLONG ticks = ToTicks(*fileTime);
    if (ticks >= 0x8000000000000000ULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONGLONG unixSeconds =
        static_cast<LONGLONG>(ticks / TicksPerSecond) - static_cast<LONGLONG>(EpochDifference);
    const time_t seconds = static_cast<time_t>(unixSeconds);
    tm parts;
    if (!gmtime_r(&seconds, &parts)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    systemTime->wYear = static_cast<WORD>(parts.tm_year + 1900);
    systemTime->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    systemTime->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    systemTime->wDay = static_cast<WORD>(parts.tm_mday);
    systemTime->wHour = static_cast<WORD>(parts.tm_hour);
    systemTime->wMinute = static_cast<WORD>(parts.tm_min);
    systemTime->wSecond = static_cast<WORD>(parts.tm_sec);
    systemTime->wMilliseconds = static_cast<WORD>((ticks % TicksPerSecond) / 10000);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localTime) {
    if (!fileTime || !localTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const ULONGLONG ticks = ToTicks(*fileTime);
    const auto seconds = static_cast<time_t>(static_cast<LONGLONG>(ticks / TicksPerSecond) -
                                             static_cast<LONGLONG>(EpochDifference));
    tm local;
    if (!localtime_r(&seconds, &local)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONGLONG offset = static_cast<LONGLONG>(local.tm_gmtoff) * static_cast<LONGLONG>(TicksPerSecond);
    *localTime = FromTicks(static_cast<ULONGLONG>(static_cast<LONGLONG>(ticks) + offset));
    return TRUE;
}

} // namespace win32

#include "wusb/clock.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace wusb {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMicrosecondsPerMs = 1000;

std::int64_t ToMs(TimeStamp t) {
    return std::int64_t{t.seconds} * kMsPerSecond + t.milliseconds;
}

TimeStamp FromMs(std::int64_t ms) {
    // Floor division keeps milliseconds in 0..999 for times before the epoch too.
    std::int64_t seconds = ms / kMsPerSecond;
    std::int64_t rest = ms % kMsPerSecond;
    if (rest < 0) {
        rest += kMsPerSecond;
        --seconds;
    }
    return {static_cast<std::int32_t>(seconds), static_cast<std::uint16_t>(rest)};
}

}  // namespace

std::int64_t Clock::NowMicroseconds() {
    return ToMs(Now()) * kMicrosecondsPerMs;
}

TimeStamp SystemClock::Now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return FromMs(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
}

Instant SystemClock::Monotonic() {
    const auto sinceOrigin = std::chrono::steady_clock::now().time_since_epoch();
    return {std::chrono::duration_cast<std::chrono::microseconds>(sinceOrigin).count()};
}

std::int64_t SystemClock::NowMicroseconds() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
}

void SystemClock::Sleep(std::uint32_t milliseconds) {
    // sleep_for waits on the steady clock and at least this long.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TimeStamp FakeClock::Now() {
    const std::lock_guard lock(mutex_);
    return now_;
}

Instant FakeClock::Monotonic() {
    const std::lock_guard lock(mutex_);
    return monotonic_;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
    {
        const std::lock_guard lock(mutex_);
        slept_ += milliseconds;
        longestSleep_ = std::max(longestSleep_, milliseconds);
    }
    Advance(milliseconds);
}

void FakeClock::AdvanceMicroseconds(std::int64_t microseconds) {
    const std::lock_guard lock(mutex_);
    monotonic_.microseconds += microseconds;
    const std::int64_t wall = ToMs(now_) * kMicrosecondsPerMs + wallMicroseconds_ + microseconds;
    std::int64_t ms = wall / kMicrosecondsPerMs;
    wallMicroseconds_ = wall % kMicrosecondsPerMs;
    if (wallMicroseconds_ < 0) {
        wallMicroseconds_ += kMicrosecondsPerMs;
        --ms;
    }
    now_ = FromMs(ms);
}

void FakeClock::StepWall(std::int64_t milliseconds) {
    const std::lock_guard lock(mutex_);
    now_ = FromMs(ToMs(now_) + milliseconds);
}

void FakeClock::Set(TimeStamp t) {
    const std::lock_guard lock(mutex_);
    now_ = t;
    wallMicroseconds_ = 0;
}

std::uint64_t FakeClock::slept() const {
    const std::lock_guard lock(mutex_);
    return slept_;
}

std::uint32_t FakeClock::longestSleep() const {
    const std::lock_guard lock(mutex_);
    return longestSleep_;
}

std::int64_t ElapsedMs(TimeStamp from, TimeStamp to) {
    return ToMs(to) - ToMs(from);
}

std::int64_t ElapsedUs(Instant from, Instant to) {
    return to.microseconds - from.microseconds;
}

std::int64_t ElapsedMs(Instant from, Instant to) {
    const std::int64_t us = ElapsedUs(from, to);
    // Rounded toward minus infinity, so a negative amount is not made shorter either.
    return us >= 0 ? us / kMicrosecondsPerMs
                   : -((-us + kMicrosecondsPerMs - 1) / kMicrosecondsPerMs);
}

std::uint32_t SleepForUs(std::int64_t microseconds) {
    if (microseconds <= 0) {
        return 0;
    }
    const std::int64_t ms = (microseconds + kMicrosecondsPerMs - 1) / kMicrosecondsPerMs;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(ms, UINT32_MAX));
}

void Schedule::WaitUntil(std::int64_t offsetMs) {
    const std::int64_t left = offsetMs * kMicrosecondsPerMs - ElapsedUs(start_, clock_.Monotonic());
    if (left > 0) {
        clock_.Sleep(SleepForUs(left));
    }
}

std::string IsoUtcText(TimeStamp time, bool withMilliseconds) {
    using namespace std::chrono;
    const sys_seconds instant{seconds{time.seconds}};
    const sys_days day = floor<days>(instant);
    const year_month_day date{day};
    const hh_mm_ss clock{instant - day};
    char text[40];
    const int length = std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()));
    std::string result(text, static_cast<std::size_t>(length));
    if (withMilliseconds) {
        std::snprintf(text, sizeof text, ".%03u", static_cast<unsigned>(time.milliseconds));
        result += text;
    }
    return result + 'Z';
}

}  // namespace wusb

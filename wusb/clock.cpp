#include "wusb/clock.h"

#include <algorithm>
#include <chrono>
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

std::int64_t SystemClock::NowMicroseconds() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
}

void SystemClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TimeStamp FakeClock::Now() {
    const std::lock_guard lock(mutex_);
    return now_;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
    const std::lock_guard lock(mutex_);
    slept_ += milliseconds;
    now_ = FromMs(ToMs(now_) + milliseconds);
}

void FakeClock::Advance(std::int64_t milliseconds) {
    const std::lock_guard lock(mutex_);
    now_ = FromMs(ToMs(now_) + milliseconds);
}

void FakeClock::Set(TimeStamp t) {
    const std::lock_guard lock(mutex_);
    now_ = t;
}

std::uint64_t FakeClock::slept() const {
    const std::lock_guard lock(mutex_);
    return slept_;
}

std::int64_t ElapsedMs(TimeStamp from, TimeStamp to) {
    return ToMs(to) - ToMs(from);
}

void Schedule::WaitUntil(std::int64_t offsetMs, std::uint32_t longestMs) {
    const std::int64_t left = offsetMs - ElapsedMs(start_, clock_.Now());
    if (left > 0) {
        clock_.Sleep(static_cast<std::uint32_t>(std::min<std::int64_t>(left, longestMs)));
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

// The clock seam: wall time for time stamps, a monotonic reading for every interval, time-out
// and deadline, and a sleep of the calling thread. The wall clock can be set back or forward at
// any moment (NTP at boot, a PC keeping local time); the monotonic one never moves but onward.
// Tests use FakeClock, whose Sleep advances both, so waits and time-outs are exact and instant.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace wusb {

struct TimeStamp {
    std::int32_t seconds = 0;
    std::uint16_t milliseconds = 0;  // 0..999
};

// A reading of the monotonic clock: microseconds from an origin of the clock's own.
struct Instant {
    std::int64_t microseconds = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // Wall time: for time stamps only, never to measure how long something took.
    virtual TimeStamp Now() = 0;
    virtual Instant Monotonic() = 0;
    // At least this long, measured on the monotonic clock.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Microseconds since the epoch, for records finer than a millisecond (the wire capture);
    // clocks without a finer source give Now() exactly.
    virtual std::int64_t NowMicroseconds();
};

class SystemClock final : public Clock {
  public:
    TimeStamp Now() override;
    Instant Monotonic() override;
    std::int64_t NowMicroseconds() override;
    void Sleep(std::uint32_t milliseconds) override;
};

// Safe to share between threads (the concurrent flows sleep on it from every worker); each
// Sleep moves the one shared time on, so time never stands still for a waiting thread.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(TimeStamp start = {1'000'000, 0}) : now_(start) {}
    TimeStamp Now() override;
    Instant Monotonic() override;
    void Sleep(std::uint32_t milliseconds) override;
    // Time passes without a sleep (work being done): both clocks move on.
    void Advance(std::int64_t milliseconds) { AdvanceMicroseconds(milliseconds * 1000); }
    void AdvanceMicroseconds(std::int64_t microseconds);
    // The wall clock alone is set, by a signed amount (negative: back) or to a time.
    void StepWall(std::int64_t milliseconds);
    void Set(TimeStamp t);
    // Total of all Sleep calls so far, and the longest single one, for asserting on waits.
    std::uint64_t slept() const;
    std::uint32_t longestSleep() const;

  private:
    mutable std::mutex mutex_;
    TimeStamp now_;
    // Sub-millisecond part of the wall clock, kept so both clocks move alike.
    std::int64_t wallMicroseconds_ = 0;
    Instant monotonic_{1'000'000'000};
    std::uint64_t slept_ = 0;
    std::uint32_t longestSleep_ = 0;
};

// The time stamp as ISO-8601 UTC, "2026-12-08T08:02:03Z", or with ".mmm" before the Z.
std::string IsoUtcText(TimeStamp time, bool withMilliseconds = false);

// Milliseconds from `from` to `to` (negative when `to` lies before `from`), between time stamps.
std::int64_t ElapsedMs(TimeStamp from, TimeStamp to);

// Microseconds from `from` to `to`, and whole milliseconds rounded down: a wait that goes on
// while fewer than N have passed ends late, never early.
std::int64_t ElapsedUs(Instant from, Instant to);
std::int64_t ElapsedMs(Instant from, Instant to);

// The sleep, in whole milliseconds rounded up, that lets `microseconds` pass.
std::uint32_t SleepForUs(std::int64_t microseconds);

// Waits against deadlines measured from one start, so the work done between the waits
// (painting, say) is absorbed by the next wait instead of adding to the total.
class Schedule {
  public:
    explicit Schedule(Clock& clock) : clock_(clock), start_(clock.Monotonic()) {}
    // Sleeps until `offsetMs` after the start, never less; not at all when that time has passed.
    void WaitUntil(std::int64_t offsetMs);

  private:
    Clock& clock_;
    Instant start_;
};

}  // namespace wusb

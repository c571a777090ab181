// The clock seam: wall time with millisecond resolution and a sleep of the calling thread.
// Tests use FakeClock, whose Sleep advances time, so waits and time-outs are exact and instant.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace wusb {

struct TimeStamp {
    std::int32_t seconds = 0;
    std::uint16_t milliseconds = 0;  // 0..999
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual TimeStamp Now() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Microseconds since the epoch, for records finer than a millisecond (the wire capture);
    // clocks without a finer source give Now() exactly.
    virtual std::int64_t NowMicroseconds();
};

class SystemClock final : public Clock {
  public:
    TimeStamp Now() override;
    std::int64_t NowMicroseconds() override;
    void Sleep(std::uint32_t milliseconds) override;
};

// Safe to share between threads (the concurrent flows sleep on it from every worker); each
// Sleep moves the one shared time on, so time never stands still for a waiting thread.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(TimeStamp start = {1'000'000, 0}) : now_(start) {}
    TimeStamp Now() override;
    void Sleep(std::uint32_t milliseconds) override;
    // Moves time by a signed amount (negative: the clock goes back).
    void Advance(std::int64_t milliseconds);
    void Set(TimeStamp t);
    // Total of all Sleep calls so far, for asserting on waits.
    std::uint64_t slept() const;

  private:
    mutable std::mutex mutex_;
    TimeStamp now_;
    std::uint64_t slept_ = 0;
};

// The time stamp as ISO-8601 UTC, "2026-12-08T08:02:03Z", or with ".mmm" before the Z.
std::string IsoUtcText(TimeStamp time, bool withMilliseconds = false);

// Milliseconds from `from` to `to` (negative when `to` lies before `from`).
std::int64_t ElapsedMs(TimeStamp from, TimeStamp to);

// Waits against deadlines measured from one start, so the work done between the waits
// (painting, say) is absorbed by the next wait instead of adding to the total.
class Schedule {
public:
    explicit Schedule(Clock& clock) : clock_(clock), start_(clock.Now()) {}
    // Sleeps until `offsetMs` after the start: not at all when that time has passed, and never
    // longer than `longestMs`, so a clock set back cannot stall the caller.
    void WaitUntil(std::int64_t offsetMs, std::uint32_t longestMs);

private:
    Clock& clock_;
    TimeStamp start_;
};

}  // namespace wusb

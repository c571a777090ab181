// A clock that passes everything on and measures how long its sleeps really took, so that a
// flow's overhead can be split into the system's late wake-ups and the program's own work.
#pragma once

#include "wusb/clock.h"

namespace bench {

class MeteredClock final : public wusb::Clock {
  public:
    explicit MeteredClock(wusb::Clock& inner) : inner_(inner) {}

    wusb::TimeStamp Now() override { return inner_.Now(); }
    wusb::Instant Monotonic() override { return inner_.Monotonic(); }
    void Sleep(std::uint32_t milliseconds) override;

    // Wall time spent in Sleep and the time asked for, since the last ResetMeter.
    double sleptMs() const { return sleptMs_; }
    double askedMs() const { return askedMs_; }
    void ResetMeter() { sleptMs_ = askedMs_ = 0; }

  private:
    wusb::Clock& inner_;
    double sleptMs_ = 0;
    double askedMs_ = 0;
};

}  // namespace bench

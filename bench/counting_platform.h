// A platform that passes every call on, counts the bulk transfers and times them. Sleeps on the
// metered clock inside a transfer (a simulated read time-out) are left out of that time, as
// the clock reports them already.
#pragma once

#include <chrono>

#include "bench/metered_clock.h"
#include "sim/platform.h"
#include "wusb/forwarding_platform.h"

namespace bench {

class CountingPlatform final : public wusb::ForwardingPlatform {
  public:
    CountingPlatform(wusb::Platform& inner, const MeteredClock& clock)
        : ForwardingPlatform(inner), clock_(clock) {}

    const sim::TransferCounts& counts() const { return counts_; }
    double transferMs() const { return transferMs_; }
    void ResetCounts() {
        counts_ = {};
        transferMs_ = 0;
    }

    bool ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override {
        ++counts_.reads;
        const Timer timer(*this);
        const bool ok = inner().ReadPipe(usb, pipeId, buffer, length, transferred);
        if (!ok) {
            ++counts_.timedOutReads;
        }
        return ok;
    }
    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override {
        ++counts_.writes;
        const Timer timer(*this);
        return inner().WritePipe(usb, pipeId, buffer, length, transferred);
    }

  private:
    // Adds the wall time of one transfer, less the metered sleeps within it.
    class Timer {
      public:
        explicit Timer(CountingPlatform& owner)
            : owner_(owner),
              start_(std::chrono::steady_clock::now()),
              sleptAtStart_(owner.clock_.sleptMs()) {}
        ~Timer() {
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - start_;
            owner_.transferMs_ += elapsed.count() - (owner_.clock_.sleptMs() - sleptAtStart_);
        }
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;

      private:
        CountingPlatform& owner_;
        std::chrono::steady_clock::time_point start_;
        double sleptAtStart_;
    };

    const MeteredClock& clock_;
    sim::TransferCounts counts_;
    double transferMs_ = 0;
};

}  // namespace bench

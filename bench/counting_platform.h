// A platform that passes every call on, counts the bulk transfers and times them. Sleeps on the
// metered clock inside a transfer (a simulated read time-out) are left out of that time, as
// the clock reports them already.
#pragma once

#include <chrono>

#include "bench/metered_clock.h"
#include "sim/platform.h"
#include "wusb/platform.h"

namespace bench {

class CountingPlatform final : public wusb::Platform {
  public:
    CountingPlatform(wusb::Platform& inner, const MeteredClock& clock)
        : inner_(inner), clock_(clock) {}

    const sim::TransferCounts& counts() const { return counts_; }
    double transferMs() const { return transferMs_; }
    void ResetCounts() {
        counts_ = {};
        transferMs_ = 0;
    }

    bool ListInterfaces(const wusb::Guid& c, std::vector<wusb::InterfacePath>& out) override {
        return inner_.ListInterfaces(c, out);
    }
    wusb::Handle OpenFile(const std::string& path) override { return inner_.OpenFile(path); }
    void CloseFile(wusb::Handle file) override { inner_.CloseFile(file); }
    wusb::Handle InitializeUsb(wusb::Handle file) override { return inner_.InitializeUsb(file); }
    void FreeUsb(wusb::Handle usb) override { inner_.FreeUsb(usb); }
    bool GetDescriptor(wusb::Handle usb, std::uint8_t type, std::uint8_t index,
                       std::uint16_t language, std::uint8_t* buffer, std::uint32_t length,
                       std::uint32_t& transferred) override {
        return inner_.GetDescriptor(usb, type, index, language, buffer, length, transferred);
    }
    bool QueryInterfaceSettings(wusb::Handle usb, std::uint8_t alt,
                                wusb::InterfaceDescriptor& out) override {
        return inner_.QueryInterfaceSettings(usb, alt, out);
    }
    bool QueryPipe(wusb::Handle usb, std::uint8_t alt, std::uint8_t index,
                   wusb::PipeInfo& out) override {
        return inner_.QueryPipe(usb, alt, index, out);
    }
    bool SetPipeTimeout(wusb::Handle usb, std::uint8_t pipeId, std::uint32_t ms) override {
        return inner_.SetPipeTimeout(usb, pipeId, ms);
    }
    bool ReadPipe(wusb::Handle usb, std::uint8_t pipeId, std::uint8_t* buffer, std::uint32_t length,
                  std::uint32_t& transferred) override {
        ++counts_.reads;
        const Timer timer(*this);
        const bool ok = inner_.ReadPipe(usb, pipeId, buffer, length, transferred);
        if (!ok) {
            ++counts_.timedOutReads;
        }
        return ok;
    }
    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override {
        ++counts_.writes;
        const Timer timer(*this);
        return inner_.WritePipe(usb, pipeId, buffer, length, transferred);
    }
    bool LastOpenDeniedAccess() const override { return inner_.LastOpenDeniedAccess(); }

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

    wusb::Platform& inner_;
    const MeteredClock& clock_;
    sim::TransferCounts counts_;
    double transferMs_ = 0;
};

}  // namespace bench

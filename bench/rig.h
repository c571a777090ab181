// What a flow measurement runs on: a platform with one simulated interface and reader behind
// it, and the bulk transfers counted at the platform seam.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "bench/counting_platform.h"
#include "bench/metered_clock.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "wusb/platform.h"

namespace bench {

class Rig {
  public:
    virtual ~Rig() = default;
    virtual wusb::Platform& platform() = 0;
    // Runs `change` on the simulated interface while no transfer is being served.
    virtual void WithInterface(const std::function<void(sim::SimInterface&)>& change) = 0;
    // Bulk reads and writes since the last ResetCounts, and the wall time spent in them (less
    // sleeps on the metered clock).
    virtual sim::TransferCounts counts() const = 0;
    virtual double transferMs() const = 0;
    virtual void ResetCounts() = 0;
    // Control requests the device saw since the last ResetCounts, where the rig can see them.
    virtual std::optional<std::uint64_t> controlRequests() const { return std::nullopt; }
    // How the transfers travel, for the tables ("in-process simulator", ...).
    virtual std::string name() const = 0;
};

// The in-process simulator backend: transfers are function calls, a read with nothing to
// send sleeps the pipe's time-out on the given clock. The simulator counts the transfers.
class SimRig final : public Rig {
  public:
    explicit SimRig(MeteredClock& clock);

    wusb::Platform& platform() override { return timed_; }
    void WithInterface(const std::function<void(sim::SimInterface&)>& change) override;
    sim::TransferCounts counts() const override { return platform_.counts(); }
    double transferMs() const override { return timed_.transferMs(); }
    void ResetCounts() override {
        platform_.ResetCounts();
        timed_.ResetCounts();
    }
    std::string name() const override { return "in-process simulator"; }

  private:
    sim::SimPlatform platform_;
    CountingPlatform timed_;
    int device_;
};

}  // namespace bench

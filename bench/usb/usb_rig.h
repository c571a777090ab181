// The flows through the real libusb: the simulated interface runs as the firmware of an
// emulated usbfs device (the umockdev bus of the USB tests), and the platform is the program's
// own libusb backend. Needs umockdev's preload library in the process.
#pragma once

#include <memory>

#include "bench/counting_platform.h"
#include "bench/rig.h"
#include "emulated_usb.h"
#include "sim_firmware.h"
#include "wusb/platform/libusb/libusb_platform.h"

namespace bench {

class UsbRig final : public Rig {
  public:
    explicit UsbRig(const MeteredClock& clock);
    ~UsbRig() override;

    wusb::Platform& platform() override { return *counting_; }
    void WithInterface(const std::function<void(sim::SimInterface&)>& change) override;
    sim::TransferCounts counts() const override { return counting_->counts(); }
    double transferMs() const override { return counting_->transferMs(); }
    void ResetCounts() override;
    std::optional<std::uint64_t> controlRequests() const override;
    std::string name() const override { return "real libusb, emulated USB device (umockdev)"; }

  private:
    // libusb sees only a bus that exists before it starts, and must be gone before the bus.
    std::unique_ptr<usbtest::EmulatedBus> bus_;
    usbtest::SimFirmware firmware_;
    std::unique_ptr<usbtest::EmulatedDevice> device_;
    std::unique_ptr<wusb::libusb::LibusbPlatform> libusb_;
    std::unique_ptr<CountingPlatform> counting_;
    int controlRequestsBefore_ = 0;
};

}  // namespace bench

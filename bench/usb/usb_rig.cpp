#include "usb/usb_rig.h"

#include <stdexcept>

namespace bench {

UsbRig::UsbRig(const MeteredClock& clock)
    : bus_(std::make_unique<usbtest::EmulatedBus>()),
      device_(
          std::make_unique<usbtest::EmulatedDevice>(*bus_, "1", usbtest::DeviceSpec{}, firmware_)),
      libusb_(std::make_unique<wusb::libusb::LibusbPlatform>()),
      counting_(std::make_unique<CountingPlatform>(*libusb_, clock)) {
    if (!libusb_->started()) {
        throw std::runtime_error("libusb could not be started");
    }
}

UsbRig::~UsbRig() {
    counting_.reset();
    libusb_.reset();
    device_.reset();
    bus_.reset();
}

void UsbRig::ResetCounts() {
    counting_->ResetCounts();
    controlRequestsBefore_ = device_->controlRequests();
}

std::optional<std::uint64_t> UsbRig::controlRequests() const {
    return static_cast<std::uint64_t>(device_->controlRequests() - controlRequestsBefore_);
}

void UsbRig::WithInterface(const std::function<void(sim::SimInterface&)>& change) {
    device_->WithFirmware([&](usbtest::Firmware&) { change(firmware_.sim); });
}

}  // namespace bench

// A test fixture with an emulated USB bus and the real libusb platform on top of it. The bus is
// made before the platform (libusb sees only devices of a testbed that existed at its start) and
// outlives it. A watchdog ends a test that hangs instead of letting it stall the whole run.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulated_usb.h"
#include "wusb/platform/libusb/libusb_platform.h"

namespace usbtest {

// A firmware whose IN transfers the test queues; OUT transfers are recorded.
class ScriptedFirmware final : public Firmware {
  public:
    void Out(const Bytes& transfer) override { received.push_back(transfer); }
    std::optional<Bytes> In() override {
        if (toSend.empty())
            return std::nullopt;
        Bytes next = toSend.front();
        toSend.pop_front();
        return next;
    }
    std::vector<Bytes> received;
    std::deque<Bytes> toSend;
};

class UsbBench : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Plugs a device in at `port` of bus 1 (before or after the platform is made).
    EmulatedDevice& AddDevice(const std::string& port, const DeviceSpec& spec, Firmware& firmware);
    // The real libusb platform, made on first use.
    wusb::libusb::LibusbPlatform& platform();
    // Drops the platform (and so its libusb context) before the bus goes.
    void ResetPlatform() { platform_.reset(); }
    // Unplugs everything for good: the next devices and platform start on an empty bus.
    void RestartOnEmptyBus();

    std::unique_ptr<EmulatedBus> bus_;
    std::vector<std::unique_ptr<EmulatedDevice>> devices_;
    std::unique_ptr<wusb::libusb::LibusbPlatform> platform_;
};

}  // namespace usbtest

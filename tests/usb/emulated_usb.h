// An emulated USB bus for tests of the real libusb path: umockdev fakes sysfs and /dev, and each
// emulated device answers the usbfs requests libusb makes (URBs on its control and bulk pipes)
// from a firmware object. Needs the umockdev preload library in the process (see usb_main.cpp).
//
// Lifetime: create the bus before the first libusb context and destroy it after the last one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "usb_descriptors.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace usbtest {

// What runs inside an emulated device: one OUT transfer in, the next IN transfer out.
class Firmware {
  public:
    virtual ~Firmware() = default;
    virtual void Out(const Bytes& transfer) = 0;
    virtual std::optional<Bytes> In() = 0;
    // Called when the device is plugged in again.
    virtual void Replugged() {}
    // True once when the last OUT transfer made the device disappear.
    virtual bool TakeUnplugRequest() { return false; }
};

class EmulatedBus {
  public:
    EmulatedBus();
    ~EmulatedBus();
    EmulatedBus(const EmulatedBus&) = delete;
    EmulatedBus& operator=(const EmulatedBus&) = delete;

    UMockdevTestbed* testbed() const { return testbed_; }
    const std::string& root() const { return root_; }
    // A fresh device number on bus 1, as the kernel gives one to each plugged device.
    int NextDeviceNumber() { return nextDeviceNumber_++; }

  private:
    UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
    int nextDeviceNumber_ = 2;
};

class EmulatedDevice {
  public:
    // A device at `port` below bus 1's root hub (e.g. "1" or "2.3"), plugged in at once.
    EmulatedDevice(EmulatedBus& bus, std::string port, DeviceSpec spec, Firmware& firmware);
    ~EmulatedDevice();
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    // Unplug ends every transfer in flight as the kernel does (the device has shut down) and
    // fails every later request; Plug brings the device back with a new device number.
    void Unplug();
    void Plug();
    bool plugged() const;
    // The device node of the current plugging, e.g. "/dev/bus/usb/001/002".
    std::string node() const;

    // Runs `change` on the firmware while no transfer is being served, then completes any
    // waiting IN transfer the change made an answer for.
    void WithFirmware(const std::function<void(Firmware&)>& change);

    // OUT transfers from now on are never taken (nor stalled): a device that hangs.
    void StopTakingData();
    // Control requests from now on are answered without the delay the device was made with.
    void AnswerAtOnce();
    // Stalls the pipe of `endpoint` until the host clears the halt.
    void Halt(std::uint8_t endpoint);
    // Halts cleared by the host, in order.
    std::vector<std::uint8_t> clearedHalts() const;

    struct ControlSetup {
        std::uint8_t requestType = 0;
        std::uint8_t request = 0;
        std::uint16_t value = 0;
        std::uint16_t index = 0;
    };
    // Control requests seen, for tests that check the device was left alone. Clearing a halt
    // counts too: the kernel sends the device a CLEAR_FEATURE request for it.
    int controlRequests() const;
    std::vector<ControlSetup> controlLog() const;
    // Empty IN polls libusb made (REAPURBNDELAY answered "nothing yet").
    int emptyReaps() const;
    // Bulk IN transfers the host started.
    int inTransfers() const;
    // Interfaces claimed, configurations or alternate settings set, resets.
    int stateChanges() const;

    struct Connection;

  private:
    EmulatedBus& bus_;
    const std::string port_;
    const DeviceSpec spec_;
    Firmware& firmware_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> connections_;  // the last one is current
    // Takes a device that vanished while serving a request off the bus; the request's own
    // thread must not wait for that.
    std::thread remover_;
    // Hands a slow device's answers over when their time comes.
    std::thread delayer_;
    std::atomic<bool> stopping_ = false;
    bool answerAtOnce_ = false;
    std::vector<ControlSetup> controlLog_;
    std::vector<std::uint8_t> clearedHalts_;
    int emptyReaps_ = 0;
    int inTransfers_ = 0;
    int stateChanges_ = 0;
};

}  // namespace usbtest

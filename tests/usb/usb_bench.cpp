#include "usb_bench.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "usb_main.h"

namespace usbtest {

namespace {

// Generous for suites that take about a second; a mistake in the emulation hangs libusb.
constexpr unsigned kWatchdogSeconds = 20;

extern "C" void OnWatchdog(int) {
    static const char kText[] = "\nwatchdog: an emulated-USB test hung; ending the run\n";
    (void)!write(STDERR_FILENO, kText, sizeof kText - 1);
    _exit(3);
}

}  // namespace

void UsbBench::SetUp() {
    if (!PreloadActive()) {
        GTEST_SKIP() << "umockdev's preload library (libumockdev-preload.so.0) could not be "
                        "loaded, so no USB device can be emulated; install umockdev";
    }
    std::signal(SIGALRM, OnWatchdog);
    alarm(kWatchdogSeconds);
    bus_ = std::make_unique<EmulatedBus>();
}

void UsbBench::TearDown() {
    platform_.reset();
    devices_.clear();
    bus_.reset();
    alarm(0);
}

EmulatedDevice& UsbBench::AddDevice(const std::string& port, const DeviceSpec& spec,
                                    Firmware& firmware) {
    devices_.push_back(std::make_unique<EmulatedDevice>(*bus_, port, spec, firmware));
    return *devices_.back();
}

void UsbBench::RestartOnEmptyBus() {
    platform_.reset();
    devices_.clear();
    // One testbed at a time: the old one goes before the new one is made.
    bus_.reset();
    bus_ = std::make_unique<EmulatedBus>();
}

wusb::libusb::LibusbPlatform& UsbBench::platform() {
    if (!platform_)
        platform_ = std::make_unique<wusb::libusb::LibusbPlatform>();
    return *platform_;
}

}  // namespace usbtest

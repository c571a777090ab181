// The real program on the real libusb: `trelvo` runs headless as a child process whose umockdev
// preload forwards its USB requests to the emulated device in this process, and the test checks
// what the program's start-up read sent over the wire.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "captured_wire.h"
#include "sim_firmware.h"
#include "usb_bench.h"

extern char** environ;

namespace usbtest {
namespace {

using AppOnEmulatedUsb = UsbBench;

std::string Commands(const std::vector<sim::SimInterface::Received>& received) {
    std::string text;
    for (const auto& r : received) {
        text += static_cast<char>(r.command);
        if (r.command == 'T' && !r.payload.empty())
            text += static_cast<char>(r.payload[0]);
        text += ' ';
    }
    return text;
}

TEST_F(AppOnEmulatedUsb, StartupReadGoesOverTheWire) {
    SimFirmware firmware;
    // Newer than any built-in image, so that no upgrade question waits for an answer.
    firmware.sim.reader().firmwareVersion = 0x7FFF;
    EmulatedDevice& device = AddDevice("1", {}, firmware);

    // The child inherits the preload and the testbed's location from this process.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char program[] = TRELVO_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);

    // Identify, read the record, close the channel: the start-up read is done.
    const std::string done = "O TM Tc o ";
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen != done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        device.WithFirmware([&](Firmware&) { seen = Commands(firmware.sim.received()); });
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_EQ(seen, done);
    device.WithFirmware([&](Firmware&) {
        const auto& received = firmware.sim.received();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received[0].payload, (std::vector<std::uint8_t>{1})) << "channel mode 1";
        EXPECT_FALSE(firmware.sim.channelOpen());
    });
}

TEST_F(AppOnEmulatedUsb, TheVariableCapturesTheStartupReadWithTheSerialNumber) {
    SimFirmware firmware;
    firmware.sim.reader().firmwareVersion = 0x7FFF;
    DeviceSpec spec;
    spec.serial = "00BEEF42";
    AddDevice("1", spec, firmware);

    const std::string path =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/app_wire_capture.pcapng";
    std::remove(path.c_str());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TRELVO_CAPTURE", path.c_str(), 1);
    char program[] = TRELVO_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
    unsetenv("TRELVO_CAPTURE");

    const std::vector<std::string> done{"out:4F", "in:CF", "out:54", "in:D4",
                                        "out:54", "in:D4", "out:6F", "in:EF"};
    CapturedWire wire;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (wire.frames != done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wire = ReadCapture(path);
    }
    // Killed outright: what was written through is all there.
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_EQ(wire.frames, done);
    EXPECT_EQ(wire.interfaces,
              (std::vector<std::string>{"USB-Wiegand interface, serial number 00BEEF42"}));
}

}  // namespace
}  // namespace usbtest

// The real program on the real libusb: `trelvo` runs headless as a child process whose umockdev
// preload forwards its USB requests to the emulated device in this process, and the test checks
// what the program's start-up read sent over the wire.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace usbtest

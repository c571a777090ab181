// trelvo-cli on the real libusb: run as a child process under the emulated device, with
// --capture, and the capture checked for the frames the command exchanged.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "captured_wire.h"
#include "sim_firmware.h"
#include "usb_bench.h"

extern char** environ;

namespace usbtest {
namespace {

using CliOnEmulatedUsb = UsbBench;

TEST_F(CliOnEmulatedUsb, InfoWithCaptureRecordsItsFramesAndTheSerialNumber) {
    SimFirmware firmware;
    DeviceSpec spec;
    spec.serial = "00BEEF43";
    AddDevice("1", spec, firmware);

    const std::string path =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/cli_wire_capture.pcapng";
    std::remove(path.c_str());
    std::string program = TRELVO_CLI_PROGRAM;
    std::string option = "--capture";
    std::string file = path;
    std::string command = "info";
    char* argv[] = {program.data(), option.data(), file.data(), command.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const CapturedWire wire = ReadCapture(path);
    EXPECT_EQ(wire.frames,
              (std::vector<std::string>{"out:4F", "in:CF", "out:54", "in:D4", "out:6F", "in:EF"}));
    EXPECT_EQ(wire.interfaces,
              (std::vector<std::string>{"USB-Wiegand interface, serial number 00BEEF43"}));
}

}  // namespace
}  // namespace usbtest

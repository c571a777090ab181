// trelvo-cli run in-process: the machine's USB and the --sim simulator are both simulated
// platforms on one fake clock; the terminal, the interrupt and the files are scripted.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/context.h"
#include "sim/device.h"
#include "sim/platform.h"
#include "tests/support/memory_files.h"
#include "wusb/clock.h"
#include "wusb/forwarding_platform.h"

namespace cli_test {

// A test may swap either platform for a decorator of it.
class TestPlatforms final : public cli::Platforms {
  public:
    TestPlatforms(wusb::Platform& nativePlatform, wusb::Platform& simulatedPlatform)
        : native(&nativePlatform), simulated(&simulatedPlatform) {}
    wusb::Platform& Native(const std::vector<wusb::UsbId>& namedDevices) override {
        nativeNamedDevices = namedDevices;
        return *native;
    }
    wusb::Platform& Simulated() override { return *simulated; }

    wusb::Platform* native;
    wusb::Platform* simulated;
    std::vector<wusb::UsbId> nativeNamedDevices;  // as the last Native call passed them
};

class ScriptedTerminal final : public cli::Terminal {
  public:
    bool stdinTerminal = false;
    bool stdoutTerminal = false;
    bool stderrTerminal = false;
    std::deque<std::string> answers;  // end of input when empty
    std::vector<std::string> questions;

    bool StdinIsTerminal() const override { return stdinTerminal; }
    bool StdoutIsTerminal() const override { return stdoutTerminal; }
    bool StderrIsTerminal() const override { return stderrTerminal; }
    bool AskYesNo(const std::string& question) override;
};

class ScriptedInterrupt final : public cli::Interrupt {
  public:
    std::function<bool()> when;  // never when unset
    bool Requested() override { return when && when(); }
};

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

// A reader that acknowledges a configuration write but keeps the frame byte with bit 4 flipped.
class AlteringPlatform final : public wusb::ForwardingPlatform {
  public:
    using ForwardingPlatform::ForwardingPlatform;
    bool WritePipe(wusb::Handle usb, std::uint8_t pipeId, const std::uint8_t* buffer,
                   std::uint32_t length, std::uint32_t& transferred) override;
};

class CliBench : public ::testing::Test {
  protected:
    CliBench();

    // trelvo-cli with these arguments.
    RunResult Run(const std::vector<std::string>& args);
    // Plugs an interface with this serial number into the machine's USB.
    std::shared_ptr<sim::SimInterface> PlugUsb(const std::string& serial);
    // The commands an interface received, reader commands as "T<letter>": "O TM Tc o ".
    static std::string Wire(const sim::SimInterface& iface);

    wusb::FakeClock clock;
    sim::SimPlatform usb{clock};
    sim::SimPlatform simulated{clock};
    std::shared_ptr<sim::SimInterface> simReader = std::make_shared<sim::SimInterface>();
    TestPlatforms platforms{usb, simulated};
    ScriptedTerminal terminal;
    ScriptedInterrupt interrupt;
    trelvo_test::MemoryFiles files;
};

}  // namespace cli_test

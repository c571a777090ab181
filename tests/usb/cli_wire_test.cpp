// trelvo-cli on the real libusb: every command in-process on the emulated USB device (the
// simulated interface and reader as its firmware), and the real program as a child process.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "captured_wire.h"
#include "child_program.h"
#include "cli/run.h"
#include "sim/transmission.h"
#include "sim_firmware.h"
#include "usb_bench.h"
#include "uwieg/image.h"
#include "uwieg/profile.h"
#include "uwieg/report.h"
#include "wiegand/encode.h"
#include "wusb/clock.h"
#include "wusb/files.h"

namespace usbtest {
namespace {

using nlohmann::json;

// The machine's USB is the emulated bus; there is no simulator in these runs.
class UsbOnly final : public cli::Platforms {
  public:
    explicit UsbOnly(wusb::Platform& usb) : usb_(usb) {}
    wusb::Platform& Native(const std::vector<wusb::UsbId>&) override { return usb_; }
    wusb::Platform& Simulated() override { return usb_; }

  private:
    wusb::Platform& usb_;
};

class NoTerminal final : public cli::Terminal {
  public:
    bool StdinIsTerminal() const override { return false; }
    bool StdoutIsTerminal() const override { return false; }
    bool StderrIsTerminal() const override { return false; }
    bool AskYesNo(const std::string&) override { return false; }
};

class NoInterrupt final : public cli::Interrupt {
  public:
    bool Requested() override { return false; }
};

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

class CliOnEmulatedUsb : public UsbBench {
  protected:
    RunResult Run(const std::vector<std::string>& args) {
        std::vector<const char*> argv{"trelvo-cli"};
        for (const std::string& arg : args) {
            argv.push_back(arg.c_str());
        }
        std::ostringstream out;
        std::ostringstream err;
        UsbOnly platforms(platform());
        cli::Environment environment{platforms, clock_, out, err, terminal_, interrupt_, files_};
        RunResult result;
        result.code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), environment);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    // What the firmware received, reader commands as "T<letter>": "O TM Tc o ".
    static std::string Wire(EmulatedDevice& device, SimFirmware& firmware) {
        std::string text;
        device.WithFirmware([&](Firmware&) {
            for (const auto& r : firmware.sim.received()) {
                text += static_cast<char>(r.command);
                if (r.command == 'T' && !r.payload.empty()) {
                    text += static_cast<char>(r.payload[0]);
                }
                text += ' ';
            }
        });
        return text;
    }

    std::string TempPath(const std::string& name) {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr ? tmp : "/tmp") + "/cli-wire-" +
               std::to_string(getpid()) + "-" + name;
    }

    wusb::SystemClock clock_;
    NoTerminal terminal_;
    NoInterrupt interrupt_;
    wusb::SystemFiles files_;
};

TEST_F(CliOnEmulatedUsb, InfoReadAndVerifiedWrite) {
    SimFirmware firmware;
    firmware.sim.reader().typeNumber = 43;
    firmware.sim.reader().readerNumber = 777;
    EmulatedDevice& device = AddDevice("1", {}, firmware);

    const RunResult info = Run({"--json", "info"});
    ASSERT_EQ(info.code, 0) << info.err;
    const json reader = json::parse(info.out);
    EXPECT_EQ(reader.at("type"), 43);
    EXPECT_EQ(reader.at("number"), 777);
    EXPECT_EQ(Wire(device, firmware), "O TM o ");

    const std::string path = TempPath("profile.json");
    const RunResult read = Run({"read", "-o", path});
    ASSERT_EQ(read.code, 0) << read.err;
    std::string original;
    device.WithFirmware(
        [&](Firmware&) { original = uwieg::ProfileFromRecord(firmware.sim.reader().config); });
    EXPECT_EQ(files_.ReadAll(path, uwieg::kLargestProfile), original);

    const RunResult write = Run({"--json", "write", "--set", "wiegand.frame=40+2", path});
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_EQ(json::parse(write.out).at("verified"), true);
    device.WithFirmware([&](Firmware&) {
        EXPECT_EQ(firmware.sim.reader().config[4] & 0x07, 2);
        EXPECT_FALSE(firmware.sim.channelOpen());
    });
    std::remove(path.c_str());
}

TEST_F(CliOnEmulatedUsb, UpgradeWithYesFromFirmwareOne) {
    SimFirmware firmware;
    firmware.sim.reader().firmwareVersion = 1;
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    const RunResult r = Run({"--json", "upgrade", "--yes"});
    ASSERT_EQ(r.code, 0) << r.err;
    const int version = uwieg::BuiltInImage(51)->version();
    EXPECT_EQ(json::parse(r.out).at("firmware"), version);
    device.WithFirmware([&](Firmware&) {
        EXPECT_EQ(firmware.sim.completedUpgrades(), 1);
        EXPECT_EQ(firmware.sim.reader().firmwareVersion, version);
    });
}

TEST_F(CliOnEmulatedUsb, MonitorCountAndOutput) {
    SimFirmware firmware;
    const sim::Transmission card = sim::Transmission::Card(34, {0xDE, 0xAD, 0xBE, 0xEF, 0x80});
    firmware.sim.Present(card);
    EmulatedDevice& device = AddDevice("1", {}, firmware);
    const RunResult monitor = Run({"monitor", "--count", "1"});
    ASSERT_EQ(monitor.code, 0) << monitor.err;
    EXPECT_EQ(monitor.out, uwieg::FormatReport(card.payload.data(), card.payload.size()) + "\n");
    EXPECT_EQ(Wire(device, firmware), "O o ");

    const RunResult output = Run({"output", "--led", "lo", "--buz", "hi"});
    EXPECT_EQ(output.code, 0) << output.err;
    device.WithFirmware([&](Firmware&) { EXPECT_EQ(firmware.sim.outputLines(), 1); });
}

TEST_F(CliOnEmulatedUsb, MonitorDecodeJsonNamesTheCard) {
    SimFirmware firmware;
    sim::Transmission card;
    card.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10301"), 18, 13398,
                                         wiegand::ParityChoice::Right, true);
    firmware.sim.Present(card);
    AddDevice("1", {}, firmware);

    const RunResult r = Run({"--json", "monitor", "--decode", "--count", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    const json object = json::parse(r.out);
    EXPECT_EQ(object.at("formats"), json::parse(R"([{"name":"H10301","bits":26,
        "facility":18,"card":13398,"parity":"ok"},{"name":"24+2","bits":26,"card":1193046,
        "hex":"123456","hex_reversed":"563412","parity":"ok"}])"));
    // The reader's configuration was read first: 64+2 bits, not this card's frame.
    EXPECT_EQ(object.at("reader"),
              json::parse(R"({"frame":"64+2","byte_order":"hi-lo","matches":false})"));
    EXPECT_EQ(object.at("uid"),
              json::parse(R"({"hex":"123456","hex_reversed":"563412","decimal":1193046})"));
}

TEST_F(CliOnEmulatedUsb, DeviceChoosesAmongSeveralInterfaces) {
    SimFirmware first;
    first.sim.reader().readerNumber = 1;
    SimFirmware second;
    second.sim.reader().readerNumber = 2;
    DeviceSpec secondSpec;
    secondSpec.serial = "0000BEEF";
    AddDevice("1", {}, first);
    EmulatedDevice& secondDevice = AddDevice("2", secondSpec, second);

    const RunResult list = Run({"--json", "list"});
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(json::parse(list.out),
              json::parse(R"([{"index":0,"serial":"0001A2F3","path":"usb:1-1"},
                              {"index":1,"serial":"0000BEEF","path":"usb:1-2"}])"));

    for (const char* selector : {"0000BEEF", "1"}) {
        const RunResult info = Run({"--json", "--device", selector, "info"});
        ASSERT_EQ(info.code, 0) << info.err;
        EXPECT_EQ(json::parse(info.out).at("number"), 2) << selector;
    }
    const RunResult output = Run({"--device", "0000BEEF", "output", "--led", "hi", "--buz", "lo"});
    EXPECT_EQ(output.code, 0) << output.err;
    secondDevice.WithFirmware([&](Firmware&) { EXPECT_EQ(second.sim.outputLines(), 2); });
    EXPECT_EQ(Run({"--device", "12345678", "info"}).code, 2);
}

TEST_F(CliOnEmulatedUsb, NoInterfaceExitsTwo) {
    for (const char* command : {"list", "info", "read"}) {
        const RunResult r = Run({command});
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_EQ(r.err, "trelvo-cli: Nie znaleziono interface'u USB-Wiegand.\n") << command;
    }
}

#ifdef TRELVO_CLI_PROGRAM
// The program itself, as a script runs it: its standard output and exit code.
ChildRun RunProgram(const std::vector<std::string>& args) {
    std::vector<std::string> argv{TRELVO_CLI_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv);
}

TEST_F(CliOnEmulatedUsb, TheProgramFindsTheInterfaceOrExitsTwo) {
    EXPECT_EQ(RunProgram({"list"}).code, 2);

    SimFirmware firmware;
    firmware.sim.reader().readerNumber = 4321;
    AddDevice("1", {}, firmware);
    const ChildRun info = RunProgram({"info", "--json"});
    ASSERT_EQ(info.code, 0);
    EXPECT_EQ(json::parse(info.out).at("label"), "Czytnik KV-T51X, Nr: 04321 (soft: 2)");
}

TEST_F(CliOnEmulatedUsb, ReadWithCaptureRecordsItsEightFramesAndTheSerialNumber) {
    SimFirmware firmware;
    DeviceSpec spec;
    spec.serial = "00BEEF43";
    AddDevice("1", spec, firmware);
    const std::string path = TempPath("read.pcapng");
    std::remove(path.c_str());

    ASSERT_EQ(RunProgram({"--capture", path, "read"}).code, 0);
    const CapturedWire wire = ReadCapture(path);
    EXPECT_EQ(wire.frames, (std::vector<std::string>{"out:4F", "in:CF", "out:54", "in:D4", "out:54",
                                                     "in:D4", "out:6F", "in:EF"}));
    EXPECT_EQ(wire.interfaces,
              (std::vector<std::string>{"USB-Wiegand interface, serial number 00BEEF43"}));
    std::remove(path.c_str());
}
#endif

}  // namespace
}  // namespace usbtest

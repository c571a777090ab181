// The program through the real libusb: the emulated USB device is served from this process and
// the measured program runs as a child whose umockdev preload forwards its USB requests here.
// Prints Markdown.
//
// Usage: bench_program_usb <bench_window> <trelvo> [--runs N] [--idle-runs N] [--idle-ms N]
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/flows.h"
#include "bench/program_measure.h"
#include "bench/stats.h"
#include "emulated_usb.h"
#include "sim/device.h"
#include "usb/preload.h"

namespace {

// How long the real program is left running: its start-up read is over well before.
constexpr int kTrelvoLifeMs = 2500;

// The simulated interface as device firmware, noting when the last close 'o' arrived.
class StampedFirmware final : public usbtest::Firmware {
  public:
    void Out(const usbtest::Bytes& transfer) override {
        sim.HandleOut(transfer.data(), transfer.size());
        if (transfer.size() > 2 && transfer[2] == 'o') {
            lastCloseNs = bench::MonotonicNs();
        }
    }
    std::optional<usbtest::Bytes> In() override { return sim.TakeIn(); }
    void Replugged() override { sim.Reset(); }
    bool TakeUnplugRequest() override { return sim.TakeUnplugRequest(); }

    sim::SimInterface sim;
    long long lastCloseNs = 0;
};

std::string Sent(const sim::SimInterface& sim) {
    std::string text;
    for (const auto& command : sim.received()) {
        text += (text.empty() ? "" : " ") + bench::CommandText(command);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (!bench::EnsureUmockdevPreload(argv)) {
        std::printf(
            "### The program, real libusb\n\nNot measured: umockdev's preload library "
            "(%s) could not be loaded, so no USB device can be emulated.\n\n",
            bench::kUmockdevPreload);
        return 0;
    }
    try {
        if (argc < 3) {
            throw std::invalid_argument(
                "usage: bench_program_usb <bench_window> <trelvo> "
                "[--runs N] [--idle-runs N] [--idle-ms N]");
        }
        const std::string harness = argv[1];
        const std::string trelvo = argv[2];
        const bench::ProgramRuns runs = bench::ParseProgramRuns(argc, argv, 3);

        usbtest::EmulatedBus bus;
        StampedFirmware firmware;
        usbtest::EmulatedDevice device(bus, "1", usbtest::DeviceSpec{}, firmware);
        const auto reset = [&] {
            device.WithFirmware([&](usbtest::Firmware&) {
                firmware.sim.Reset();
                firmware.sim.ClearReceived();
                firmware.sim.reader() = sim::ReaderModel{};
                firmware.lastCloseNs = 0;
            });
        };

        const std::vector<bench::ProgramColumn> columns{
            bench::MeasureProgram("window alone, real libusb", harness, {"--native"}, runs, reset)};

        const bench::WindowFlowTimes windowFlows =
            bench::MeasureWindowFlows(harness, {"--native"}, runs.runs, reset);
        std::vector<double> readDoneMs, rssMb;
        for (int i = 0; i < runs.runs; ++i) {
            reset();
            const bench::ChildOutcome r = bench::RunChild({trelvo}, kTrelvoLifeMs, 30000);
            long long closeNs = 0;
            std::string sent;
            device.WithFirmware([&](usbtest::Firmware&) {
                closeNs = firmware.lastCloseNs;
                sent = Sent(firmware.sim);
            });
            if (closeNs == 0 || sent != "O T/M T/c o") {
                throw std::runtime_error("trelvo's start-up read did not complete: sent \"" + sent +
                                         "\"");
            }
            readDoneMs.push_back(static_cast<double>(closeNs - r.spawnNs) / 1e6);
            rssMb.push_back(static_cast<double>(r.maxRssKb) / 1024);
        }

        std::printf("### The program, real libusb on the emulated USB device\n\n");
        std::printf(
            "The instrumented window on the program's own libusb platform, as a child process "
            "whose USB requests umockdev's preload forwards to the emulated device served by "
            "the bench (so the child's CPU includes the preload's share of each request, the "
            "device's does not). Same run counts as above.\n\n");
        std::printf("%s\n", bench::ProgramTable(columns).c_str());
        std::printf(
            "The window's own flows on the same platform, %d rounds in one process:\n\n%s\n",
            runs.runs, bench::WindowFlowTable(windowFlows).c_str());
        std::printf(
            "trelvo itself (the real program, unmodified) on the same emulated device: process "
            "start → the start-up read's closing 'o' on the wire %s ms; peak resident memory "
            "%s MiB (ended after %.1f s).\n\n",
            bench::FormatSummary(bench::Summarise(readDoneMs), 1).c_str(),
            bench::FormatSummary(bench::Summarise(rssMb), 1).c_str(), kTrelvoLifeMs / 1000.0);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_program_usb: %s\n", e.what());
        return 1;
    }
}

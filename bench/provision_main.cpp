// Provisioning timed against its floor with 1, 2, 4 and 8 interfaces at once, in-process on the
// simulator and through the real libusb on emulated USB devices (umockdev; the run executes
// itself again with umockdev's preload when it is missing). Prints Markdown for RESULTS.md.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/platform.h"
#include "uwieg/provision_runner.h"
#include "wusb/clock.h"
#ifdef BENCH_PROVISION_USB
#include "emulated_usb.h"
#include "sim_firmware.h"
#include "usb/preload.h"
#include "wusb/platform/libusb/libusb_platform.h"
#endif

namespace {

// The waits of one reader: 100 ms after 'O', two LED pulses of 100 ms on and 100 ms off. The
// first connection needs no quiet-period close.
constexpr double kFloorMs = 100 + 4 * 100;
// Per reader: 'O', 'M', 'C', 'c', 'o' and four output tests, one write and one read each.
constexpr std::uint64_t kMinimumTransfers = 9;
constexpr int kRuns = 5;
const int kCounts[] = {1, 2, 4, 8};
const uwieg::ReaderConfig kRecord{2, 0x80, 7, 1, 0x44, 0, 1, 0};

struct Row {
    int interfaces = 0;
    std::vector<double> wallMs;
    bool allOk = true;
    double writesPerReader = 0;
    double readsPerReader = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Provisions every listed interface once on the real clock; the wall time in ms.
double TimeOnce(wusb::Platform& platform, wusb::Clock& clock, const uwieg::ProvisionJob& job,
                bool& allOk) {
    std::vector<wusb::InterfacePath> listed;
    platform.ListInterfaces(sim::kUsbWiegandClass, listed);
    uwieg::ProvisionOutput output(
        job, nullptr, [&allOk](const uwieg::ProvisionResult& r) { allOk = allOk && r.ok; });
    const auto start = std::chrono::steady_clock::now();
    uwieg::ProvisionAll(platform, clock, listed, job, output);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

Row InProcess(int interfaces, const uwieg::ProvisionJob& job) {
    Row row{interfaces, {}, true, 0, 0};
    wusb::SystemClock clock;
    for (int run = 0; run < kRuns; ++run) {
        sim::SimPlatform platform(clock);
        for (int n = 0; n < interfaces; ++n) {
            platform.Plug(std::make_shared<sim::SimInterface>());
        }
        row.wallMs.push_back(TimeOnce(platform, clock, job, row.allOk));
        row.writesPerReader = static_cast<double>(platform.counts().writes) / interfaces;
        row.readsPerReader = static_cast<double>(platform.counts().reads) / interfaces;
    }
    return row;
}

#ifdef BENCH_PROVISION_USB
Row ThroughLibusb(int interfaces, const uwieg::ProvisionJob& job) {
    Row row{interfaces, {}, true, 0, 0};
    wusb::SystemClock clock;
    for (int run = 0; run < kRuns; ++run) {
        usbtest::EmulatedBus bus;
        std::vector<std::unique_ptr<usbtest::SimFirmware>> firmwares;
        std::vector<std::unique_ptr<usbtest::EmulatedDevice>> devices;
        for (int n = 0; n < interfaces; ++n) {
            firmwares.push_back(std::make_unique<usbtest::SimFirmware>());
            devices.push_back(std::make_unique<usbtest::EmulatedDevice>(
                bus, std::to_string(n + 1), usbtest::DeviceSpec{}, *firmwares.back()));
        }
        {
            wusb::libusb::LibusbPlatform platform;
            row.wallMs.push_back(TimeOnce(platform, clock, job, row.allOk));
        }
        std::size_t commands = 0;
        for (std::size_t n = 0; n < devices.size(); ++n) {
            devices[n]->WithFirmware(
                [&](usbtest::Firmware&) { commands += firmwares[n]->sim.received().size(); });
        }
        // Every command the devices took is one OUT transfer; IN transfers are not counted here.
        row.writesPerReader = static_cast<double>(commands) / interfaces;
        row.readsPerReader = -1;
        devices.clear();
    }
    return row;
}
#endif

void PrintTable(const char* title, const std::vector<Row>& rows) {
    std::printf("### Provisioning, %s\n\n", title);
    std::printf(
        "| interfaces | floor (ms) | wall (ms): median (min–max, runs) | wall / floor | "
        "wall / wall of one | writes per reader: minimum / measured | reads per "
        "reader: minimum / measured | all verified |\n");
    std::printf("|---:|---:|---|---:|---:|---|---|---|\n");
    const double one = Median(rows.front().wallMs);
    for (const Row& row : rows) {
        const double median = Median(row.wallMs);
        const auto [low, high] = std::minmax_element(row.wallMs.begin(), row.wallMs.end());
        char reads[32] = "not counted";
        if (row.readsPerReader >= 0) {
            std::snprintf(reads, sizeof reads, "%llu / %.2f",
                          static_cast<unsigned long long>(kMinimumTransfers), row.readsPerReader);
        }
        std::printf(
            "| %d | %.0f | %.2f (%.2f–%.2f, n=%zu) | %.4f | %.3f | %llu / %.2f | %s | %s |\n",
            row.interfaces, kFloorMs, median, *low, *high, row.wallMs.size(), median / kFloorMs,
            median / one, static_cast<unsigned long long>(kMinimumTransfers), row.writesPerReader,
            reads, row.allOk ? "yes" : "NO");
    }
    const double eight = Median(rows.back().wallMs);
    std::printf(
        "\nGoals: one reader within 2 %% of its floor: %s (%.2f %%); 8 at once within "
        "1.15 × one: %s (%.3f ×).\n\n",
        one <= kFloorMs * 1.02 ? "met" : "NOT met", (one / kFloorMs - 1) * 100,
        eight <= one * 1.15 ? "met" : "NOT met", eight / one);
}

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef BENCH_PROVISION_USB
    const bool usb = bench::EnsureUmockdevPreload(argv);
#endif
    uwieg::ProvisionJob job;
    job.record = kRecord;
    std::vector<Row> rows;
    for (const int count : kCounts) {
        rows.push_back(InProcess(count, job));
    }
    PrintTable("in-process simulator", rows);
#ifdef BENCH_PROVISION_USB
    if (usb) {
        rows.clear();
        for (const int count : kCounts) {
            rows.push_back(ThroughLibusb(count, job));
        }
        PrintTable("real libusb, emulated USB devices (umockdev)", rows);
    } else {
        std::printf(
            "### Provisioning through the real libusb\n\nNot measured: umockdev's "
            "preload library could not be loaded.\n\n");
    }
#endif
    return 0;
}

// The in-process backend shared by concurrent workers, as the provisioning of several
// interfaces at once uses it: every worker's exchanges complete while others talk and devices
// come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "sim/hotplug.h"
#include "sim/platform.h"
#include "sim/wire.h"

namespace sim {
namespace {

constexpr int kWorkers = 8;
constexpr int kExchanges = 300;

// Opens "sim:<n>" and sends 'O' frames; counts the acknowledgements that came back.
int Exchange(SimPlatform& platform, int n) {
    const wusb::Handle usb = platform.InitializeUsb(platform.OpenFile("sim:" + std::to_string(n)));
    platform.SetPipeTimeout(usb, kBulkInPipe, 200);
    const Bytes open = MakeFrame('O', {1});
    int acknowledged = 0;
    for (int i = 0; i < kExchanges; ++i) {
        std::uint32_t moved = 0;
        if (!platform.WritePipe(usb, kBulkOutPipe, open.data(),
                                static_cast<std::uint32_t>(open.size()), moved)) {
            continue;
        }
        std::uint8_t answer[64];
        if (platform.ReadPipe(usb, kBulkInPipe, answer, sizeof answer, moved) && moved == 6 &&
            answer[2] == ('O' | 0x80)) {
            ++acknowledged;
        }
    }
    return acknowledged;
}

TEST(SimPlatformConcurrency, WorkersOnTheirOwnDevicesWhileOthersArePluggedAndUnplugged) {
    wusb::FakeClock clock;
    SimPlatform platform(clock);
    SimHotplug hotplug(platform, clock);
    for (int n = 0; n < kWorkers; ++n) {
        platform.Plug(std::make_shared<SimInterface>());
    }
    std::vector<int> acknowledged(kWorkers, 0);
    std::vector<std::thread> workers;
    for (int n = 0; n < kWorkers; ++n) {
        workers.emplace_back(
            [&, n] { acknowledged[static_cast<std::size_t>(n)] = Exchange(platform, n); });
    }
    // Plugging grows the device table under the workers' feet; the listing runs meanwhile.
    std::size_t events = 0;
    for (int i = 0; i < 100; ++i) {
        const int extra = platform.Plug(std::make_shared<SimInterface>());
        platform.Modify(extra, [](SimInterface& device) { device.reader().readerNumber = 7; });
        platform.Unplug(extra);
        events += hotplug.Wait(0).size();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (int n = 0; n < kWorkers; ++n) {
        EXPECT_EQ(acknowledged[static_cast<std::size_t>(n)], kExchanges) << "worker " << n;
    }
    EXPECT_GE(events, std::size_t{kWorkers});  // the first listing at least
    EXPECT_EQ(platform.counts().writes, std::uint64_t{kWorkers * kExchanges});
}

}  // namespace
}  // namespace sim

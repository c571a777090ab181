#include "cli/platforms.h"

#include "sim/device.h"
#include "sim/hotplug.h"
#include "sim/platform.h"
#include "sim/transmission.h"
#include "uwieg/session.h"
#include "wusb/platform/native.h"

namespace cli {

std::vector<sim::Transmission> SampleTransmissions() {
    return {
        sim::Transmission::Card(26, {0x5A, 0x3C, 0x96, 0x40}), sim::Transmission::Key(4, 0x07),
        sim::Transmission::CardWithParity(32, {0x00, 0x12, 0xD6, 0x87}, false, true, true, false)};
}

SystemPlatforms::SystemPlatforms(wusb::Clock& clock) : clock_(clock) {}

SystemPlatforms::~SystemPlatforms() = default;

wusb::Platform& SystemPlatforms::Native(const std::vector<wusb::UsbId>& namedDevices) {
    if (!native_) {
        native_ = wusb::MakeNativePlatform(namedDevices);
    }
    return *native_;
}

wusb::Platform& SystemPlatforms::Simulated() {
    if (!simulated_) {
        simulated_ = std::make_unique<sim::SimPlatform>(clock_);
        // A type 51 reader with current firmware, as the simulator demo starts, holding a card,
        // a key and a card with parity bits for the first monitor to show.
        auto reader = std::make_shared<sim::SimInterface>();
        // After plugging in, which starts the interface over with nothing queued.
        simulated_->Plug(reader);
        for (const sim::Transmission& sample : SampleTransmissions()) {
            reader->Present(sample);
        }
    }
    return *simulated_;
}

std::unique_ptr<wusb::Hotplug> MakeHotplug(wusb::Platform& platform, wusb::Clock& clock) {
    if (auto* simulated = dynamic_cast<sim::SimPlatform*>(&platform)) {
        return std::make_unique<sim::SimHotplug>(*simulated, clock, uwieg::kInterfaceGuid);
    }
    return wusb::MakeNativeHotplug(platform, uwieg::kInterfaceGuid, clock);
}

}  // namespace cli

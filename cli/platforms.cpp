#include "cli/platforms.h"

#include "sim/device.h"
#include "sim/hotplug.h"
#include "sim/platform.h"
#include "sim/transmission.h"
#include "uwieg/session.h"
#include "wiegand/encode.h"
#include "wusb/platform/native.h"

namespace cli {

std::vector<sim::Transmission> SampleTransmissions() {
    // Cards as a panel would read them, with right parity: a whole 26-bit frame, and a 34-bit
    // one whose parity bits come with their kind.
    sim::Transmission h10301;
    h10301.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10301"), 18, 13398,
                                           wiegand::ParityChoice::Right, false);
    sim::Transmission h10306;
    h10306.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10306"), 18, 54919,
                                           wiegand::ParityChoice::Right, true);
    return {h10301, sim::Transmission::Key(4, 0x07), h10306};
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

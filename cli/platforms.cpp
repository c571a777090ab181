#include "cli/platforms.h"

#include "sim/device.h"
#include "sim/hotplug.h"
#include "sim/platform.h"
#include "uwieg/session.h"
#include "wusb/platform/native.h"

namespace cli {

SystemPlatforms::SystemPlatforms(wusb::Clock& clock) : clock_(clock) {}

SystemPlatforms::~SystemPlatforms() = default;

wusb::Platform& SystemPlatforms::Native() {
    if (!native_) {
        native_ = wusb::MakeNativePlatform();
    }
    return *native_;
}

wusb::Platform& SystemPlatforms::Simulated() {
    if (!simulated_) {
        simulated_ = std::make_unique<sim::SimPlatform>(clock_);
        // A type 51 reader with current firmware, as the simulator demo starts.
        simulated_->Plug(std::make_shared<sim::SimInterface>());
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

#include "cli/platforms.h"

#include "sim/device.h"
#include "sim/platform.h"
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

}  // namespace cli

#include "sim/hotplug.h"

namespace sim {

SimHotplug::SimHotplug(SimPlatform& platform, wusb::Clock& clock, const wusb::Guid& interfaceClass)
    : platform_(platform),
      listing_(platform, interfaceClass, clock, wusb::kSafetyListingPeriodMs),
      listener_(platform.AddPlugListener([this](int, bool) { listing_.Signal(); })) {}

SimHotplug::~SimHotplug() {
    platform_.RemovePlugListener(listener_);
}

}  // namespace sim

// Hot-plug events of the simulated interfaces: every Plug, Unplug and Replug of the platform
// (and an unplug by an injected fault) makes the next Wait list the interfaces again, and the
// slow safety listing runs as on real USB.
#pragma once

#include "sim/platform.h"
#include "wusb/hotplug.h"

namespace sim {

class SimHotplug final : public wusb::Hotplug {
  public:
    SimHotplug(SimPlatform& platform, wusb::Clock& clock,
               const wusb::Guid& interfaceClass = kUsbWiegandClass);
    ~SimHotplug() override;
    SimHotplug(const SimHotplug&) = delete;
    SimHotplug& operator=(const SimHotplug&) = delete;

    std::vector<wusb::HotplugEvent> Wait(std::uint32_t milliseconds) override {
        return listing_.Wait(milliseconds);
    }
    void Retry(const std::string& path) override { listing_.Retry(path); }

  private:
    SimPlatform& platform_;
    wusb::ListingHotplug listing_;
    int listener_;
};

}  // namespace sim

// Where the USB platform comes from: the machine's own USB or the built-in simulated interface
// and reader (--sim). Made on first use, so a command line error never touches USB.
#pragma once

#include <memory>
#include <vector>

#include "wusb/clock.h"
#include "wusb/hotplug.h"
#include "wusb/platform.h"
#include "wusb/usb_ids.h"

#include <vector>

namespace sim {
class SimPlatform;
struct Transmission;
}  // namespace sim

namespace cli {

class Platforms {
  public:
    virtual ~Platforms() = default;
    // The machine's USB, taking also the devices named by these ids (made on the first call).
    virtual wusb::Platform& Native(const std::vector<wusb::UsbId>& namedDevices) = 0;
    virtual wusb::Platform& Simulated() = 0;
};

// What the built-in simulated reader has sent when --sim starts, so monitor shows something.
std::vector<sim::Transmission> SampleTransmissions();

// The native backend (libusb, WinUSB) and a simulator with one interface and reader on `clock`.
class SystemPlatforms final : public Platforms {
  public:
    explicit SystemPlatforms(wusb::Clock& clock);
    ~SystemPlatforms() override;
    wusb::Platform& Native(const std::vector<wusb::UsbId>& namedDevices) override;
    wusb::Platform& Simulated() override;

  private:
    wusb::Clock& clock_;
    std::unique_ptr<wusb::Platform> native_;
    std::unique_ptr<sim::SimPlatform> simulated_;
};

// Arrivals and departures of the USB-Wiegand interfaces on either platform: the simulator's plug
// events, or the native ones (libusb notifications, a re-enumeration elsewhere).
std::unique_ptr<wusb::Hotplug> MakeHotplug(wusb::Platform& platform, wusb::Clock& clock);

}  // namespace cli

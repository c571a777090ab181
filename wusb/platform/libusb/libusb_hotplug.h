// Hot-plug events on libusb: where libusb reports arrivals and departures, its callback makes the
// next Wait list the class again, and a thread of this object handles libusb's events so the
// callback comes even while no transfer runs; the class is still listed every 2 s, for a device
// announced before it took requests. Elsewhere the class is listed every 500 ms.
// The callback is registered when this is made, before the first listing (at the first Wait).
#pragma once

#include <atomic>
#include <thread>

#include "wusb/hotplug.h"
#include "wusb/platform/libusb/libusb_platform.h"

namespace wusb::libusb {

class LibusbHotplug final : public Hotplug {
  public:
    LibusbHotplug(LibusbPlatform& platform, const Guid& interfaceClass, Clock& clock);
    ~LibusbHotplug() override;
    LibusbHotplug(const LibusbHotplug&) = delete;
    LibusbHotplug& operator=(const LibusbHotplug&) = delete;

    std::vector<HotplugEvent> Wait(std::uint32_t milliseconds) override {
        return listing_.Wait(milliseconds);
    }
    void Retry(const std::string& path) override { listing_.Retry(path); }
    // True when libusb's own notifications drive it (with the slow safety listing).
    bool notified() const { return registered_; }

  private:
    libusb_context* context_;
    ListingHotplug listing_;
    bool registered_ = false;
    int callback_ = 0;
    std::atomic<bool> stop_ = false;
    std::thread events_;
};

}  // namespace wusb::libusb

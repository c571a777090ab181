#include "wusb/platform/libusb/libusb_hotplug.h"

#include <libusb.h>

namespace wusb::libusb {

namespace {

constexpr long kEventLoopSliceUs = 200'000;

int LIBUSB_CALL OnHotplug(libusb_context*, libusb_device*, libusb_hotplug_event, void* user) {
    static_cast<ListingHotplug*>(user)->Signal();
    return 0;  // stay registered
}

}  // namespace

LibusbHotplug::LibusbHotplug(LibusbPlatform& platform, const Guid& interfaceClass, Clock& clock)
    : context_(platform.context()),
      listing_(platform, interfaceClass, clock, kReenumerationPeriodMs) {
    if (context_ == nullptr || libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) {
        return;
    }
    const auto events = static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                          LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT);
    registered_ = libusb_hotplug_register_callback(
                      context_, events, LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY,
                      LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, OnHotplug, &listing_,
                      &callback_) == LIBUSB_SUCCESS;
    if (!registered_) {
        return;  // listing every period instead
    }
    listing_.SetPeriod(kSafetyListingPeriodMs);
    events_ = std::thread([this] {
        while (!stop_) {
            timeval slice{0, kEventLoopSliceUs};
            libusb_handle_events_timeout_completed(context_, &slice, nullptr);
        }
    });
}

LibusbHotplug::~LibusbHotplug() {
    if (!registered_) {
        return;
    }
    stop_ = true;
    libusb_hotplug_deregister_callback(context_, callback_);
    libusb_interrupt_event_handler(context_);
    events_.join();
}

}  // namespace wusb::libusb

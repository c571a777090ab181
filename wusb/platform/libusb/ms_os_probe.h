// Asking an opened USB device, over its control pipe, which interface (if any) it announces a
// device-interface class on through its Microsoft OS descriptors.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "wusb/guid.h"
#include "wusb/platform/libusb/ms_os_descriptors.h"

struct libusb_device_handle;

namespace wusb::libusb {

// What the probe needs to know of a device, all from its cached descriptors.
struct ProbeTarget {
    std::uint16_t bcdUSB = 0;
    // Only these interfaces are asked for MS OS 1.0 extended properties.
    std::vector<std::uint8_t> vendorInterfaces;
    MsOs20Scope scope;
};

// Reads the MS OS 2.0 descriptor set when the device has the capability for it (USB 2.01 and
// later), else the MS OS 1.0 extended properties of each vendor-specific interface. Nothing
// when the device does not name the class or does not answer; a device that lets one request
// time out is asked nothing more.
std::optional<std::uint8_t> AnnouncedInterface(libusb_device_handle* device,
                                               const ProbeTarget& target,
                                               const Guid& interfaceClass);

}  // namespace wusb::libusb

// Asking an opened USB device, over its control pipe, which interface (if any) it announces a
// device-interface class on through its Microsoft OS descriptors.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "wusb/guid.h"

struct libusb_device_handle;

namespace wusb::libusb {

// Tries the MS OS 2.0 descriptor set first (USB 2.01 and later), then the MS OS 1.0 extended
// properties of each of `vendorInterfaces`. Nothing when the device does not name the class or
// does not answer.
std::optional<std::uint8_t> AnnouncedInterface(libusb_device_handle* device, std::uint16_t bcdUSB,
                                               const std::vector<std::uint8_t>& vendorInterfaces,
                                               const Guid& interfaceClass);

}  // namespace wusb::libusb

// Asking an opened USB device, over its control pipe, which interface (if any) it announces a
// device-interface class on through its Microsoft OS descriptors.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "wusb/guid.h"
#include "wusb/ms_os_descriptors.h"

struct libusb_device_handle;

namespace wusb::libusb {

// What the probe needs to know of a device, all from its cached descriptors.
struct ProbeTarget {
    std::uint16_t bcdUSB = 0;
    // Only these interfaces are asked for MS OS 1.0 extended properties.
    std::vector<std::uint8_t> vendorInterfaces;
    MsOs20Scope scope;
};

// Each request waits at most 100 ms, and the whole probe of a device ends by its deadline.
using ProbeDeadline = std::chrono::steady_clock::time_point;
inline constexpr std::chrono::milliseconds kProbeBudget{500};

// Reads the MS OS 2.0 descriptor set when the device has the capability for it (USB 2.01 and
// later), else the MS OS 1.0 extended properties of each vendor-specific interface. Nothing
// when the device does not name the class, does not answer or answers what is not understood;
// a device that lets one request time out is asked nothing more. Sends descriptor requests
// only: no interface is claimed and no configuration set.
// `settled` (when given) tells whether the answer can be kept: false when a request failed
// for another reason than a refusal (stall) or a time-out, as it does while a device that was
// just announced cannot take requests yet, or when the deadline cut the probe short; such a
// device is worth asking again.
std::optional<std::uint8_t> AnnouncedInterface(libusb_device_handle* device,
                                               const ProbeTarget& target,
                                               const Guid& interfaceClass, ProbeDeadline deadline,
                                               bool* settled = nullptr);

}  // namespace wusb::libusb

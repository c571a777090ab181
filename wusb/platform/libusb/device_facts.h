// What the listing knows of a USB device from the descriptors the system keeps for it, without
// opening it or sending it anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "wusb/platform/libusb/ms_os_probe.h"
#include "wusb/usb_ids.h"

struct libusb_device;

namespace wusb::libusb {

struct DeviceFacts {
    std::uint8_t bus = 0;
    std::vector<std::uint8_t> ports;
    // "usb:<bus>-<port>.<port>...", as stable as the socket the device is plugged into.
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t bcdDevice = 0;
    // Given anew on every plugging.
    std::uint8_t address = 0;
    ProbeTarget probe;
    // The first vendor-specific interface with exactly one bulk IN and one bulk OUT pipe, the
    // shape of the USB-Wiegand interface.
    std::optional<std::uint8_t> bulkPairInterface;
};

// Equal for one connection of one device, different after a re-plug or a firmware change.
using ConnectionKey =
    std::tuple<std::string, std::uint16_t, std::uint16_t, std::uint16_t, std::uint8_t>;
inline ConnectionKey ConnectionOf(const DeviceFacts& d) {
    return {d.path, d.vendorId, d.productId, d.bcdDevice, d.address};
}

// Nothing for root hubs (they have no port) and devices whose descriptors cannot be read.
std::optional<DeviceFacts> FactsOf(libusb_device* device);

// True when the user names the device by its ids: it is then taken on its bulkPairInterface
// without being asked anything.
bool IsNamed(const DeviceFacts& facts, const std::vector<UsbId>& namedDevices);

}  // namespace wusb::libusb

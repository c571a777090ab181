#include "sim/usb_descriptors.h"

#include <algorithm>

#include "wusb/le_bytes.h"
#include "wusb/platform.h"

namespace sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kConfigurationType = 2;
constexpr std::uint8_t kInterfaceType = 4;
constexpr std::uint8_t kEndpointType = 5;
constexpr std::uint8_t kBulk = 2;
constexpr std::uint8_t kVendorSpecific = 0xFF;
// A descriptor's length is one byte: 2 header bytes and at most 126 UTF-16 code units.
constexpr std::size_t kMaxStringUnits = 126;

void AppendBulkEndpoint(Bytes& out, std::uint8_t address) {
    out.insert(out.end(), {7, kEndpointType, address, kBulk});
    wusb::AppendLe16(out, kBulkPacketSize);
    out.push_back(0);
}

Bytes Utf16String(const std::string& text) {
    const std::size_t units = std::min(text.size(), kMaxStringUnits);
    Bytes out{static_cast<std::uint8_t>(2 + 2 * units), wusb::kStringDescriptor};
    for (std::size_t i = 0; i < units; ++i) {
        out.push_back(static_cast<std::uint8_t>(text[i]));
        out.push_back(0);
    }
    return out;
}

}  // namespace

Bytes DeviceDescriptor(const UsbIdentity& identity) {
    Bytes d{18,   wusb::kDeviceDescriptor,
            0x00,
            0x02,  // USB 2.0
            0,    0,
            0,  // class per interface
            64};
    wusb::AppendLe16(d, identity.vendorId);
    wusb::AppendLe16(d, identity.productId);
    wusb::AppendLe16(d, identity.deviceRelease);
    d.insert(d.end(), {1, 2, 3, 1});
    return d;
}

Bytes ConfigurationDescriptor() {
    constexpr std::uint16_t kTotal = 9 + 9 + 7 + 7;
    Bytes d{9, kConfigurationType};
    wusb::AppendLe16(d, kTotal);
    d.insert(d.end(), {1, 1, 0, 0x80, 50});
    d.insert(d.end(), {9, kInterfaceType, 0, 0, 2, kVendorSpecific, 0, 0, 0});
    AppendBulkEndpoint(d, kBulkInPipe);
    AppendBulkEndpoint(d, kBulkOutPipe);
    return d;
}

Bytes StringDescriptor(const UsbIdentity& identity, std::uint8_t index) {
    switch (index) {
        case 0:
            return Bytes{4, wusb::kStringDescriptor, 0x09, 0x04};
        case 1:
            return Utf16String(identity.manufacturer);
        case 2:
            return Utf16String(identity.product);
        case 3:
            return Utf16String(identity.serialNumber);
        default:
            return {};
    }
}

}  // namespace sim

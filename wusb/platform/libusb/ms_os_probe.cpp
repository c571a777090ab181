#include "wusb/platform/libusb/ms_os_probe.h"

#include <libusb.h>

#include "wusb/le_bytes.h"
#include "wusb/platform/libusb/ms_os_descriptors.h"

namespace wusb::libusb {

namespace {

// A device that does not answer a probe must not hold up the listing for long.
constexpr unsigned kProbeTimeoutMs = 500;
constexpr std::uint16_t kMsOs20DescriptorIndex = 7;
constexpr std::uint16_t kMsOs10ExtendedPropertiesIndex = 5;
constexpr std::uint8_t kMsOs10StringIndex = 0xEE;
// Enough for any set of registry properties a small device carries.
constexpr std::uint16_t kMsOs10PropertiesCapacity = 4096;
// Request types, spelled out: libusb's enumerations do not combine cleanly in C++20.
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kVendorInToInterface = 0xC1;

// A control read; the bytes the device really sent, nothing on failure.
std::optional<std::vector<std::uint8_t>> ControlRead(libusb_device_handle* device,
                                                     std::uint8_t requestType, std::uint8_t request,
                                                     std::uint16_t value, std::uint16_t index,
                                                     std::uint16_t length) {
    std::vector<std::uint8_t> bytes(length);
    const int got = libusb_control_transfer(device, requestType, request, value, index,
                                            bytes.data(), length, kProbeTimeoutMs);
    if (got < 0)
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadDescriptor(libusb_device_handle* device,
                                                        std::uint8_t type, std::uint8_t index,
                                                        std::uint16_t language,
                                                        std::uint16_t length) {
    return ControlRead(device, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                       static_cast<std::uint16_t>((type << 8) | index), language, length);
}

std::optional<std::uint8_t> FromMsOs20(libusb_device_handle* device, const Guid& interfaceClass) {
    constexpr std::uint16_t kBosHeaderLength = 5;
    const auto header = ReadDescriptor(device, LIBUSB_DT_BOS, 0, 0, kBosHeaderLength);
    if (!header || header->size() < kBosHeaderLength)
        return std::nullopt;
    const auto totalLength = ReadLe16(&(*header)[2]);
    const auto bos = ReadDescriptor(device, LIBUSB_DT_BOS, 0, 0, totalLength);
    if (!bos)
        return std::nullopt;
    const auto location = FindMsOs20Capability(*bos);
    if (!location)
        return std::nullopt;
    const auto set = ControlRead(device, kVendorIn, location->vendorCode, 0, kMsOs20DescriptorIndex,
                                 location->totalLength);
    if (!set)
        return std::nullopt;
    return MsOs20InterfaceFor(*set, interfaceClass);
}

bool MsOs10Names(libusb_device_handle* device, std::uint8_t vendorCode, std::uint8_t interface,
                 const Guid& interfaceClass) {
    // The interface number travels in the high byte, page 0 in the low one. Some devices only
    // answer the request addressed to the device, so that is the second try.
    const auto value = static_cast<std::uint16_t>(interface << 8);
    for (const std::uint8_t requestType : {kVendorInToInterface, kVendorIn}) {
        const auto properties =
            ControlRead(device, requestType, vendorCode, value, kMsOs10ExtendedPropertiesIndex,
                        kMsOs10PropertiesCapacity);
        if (properties)
            return MsOs10PropertiesName(*properties, interfaceClass);
    }
    return false;
}

std::optional<std::uint8_t> FromMsOs10(libusb_device_handle* device,
                                       const std::vector<std::uint8_t>& vendorInterfaces,
                                       const Guid& interfaceClass) {
    constexpr std::uint16_t kStringCapacity = 255;
    const auto string =
        ReadDescriptor(device, LIBUSB_DT_STRING, kMsOs10StringIndex, 0, kStringCapacity);
    if (!string)
        return std::nullopt;
    const auto vendorCode = MsOs10VendorCode(*string);
    if (!vendorCode)
        return std::nullopt;
    for (const std::uint8_t interface : vendorInterfaces) {
        if (MsOs10Names(device, *vendorCode, interface, interfaceClass))
            return interface;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint8_t> AnnouncedInterface(libusb_device_handle* device, std::uint16_t bcdUSB,
                                               const std::vector<std::uint8_t>& vendorInterfaces,
                                               const Guid& interfaceClass) {
    constexpr std::uint16_t kFirstUsbWithBos = 0x0201;
    if (bcdUSB >= kFirstUsbWithBos) {
        if (auto found = FromMsOs20(device, interfaceClass))
            return found;
    }
    return FromMsOs10(device, vendorInterfaces, interfaceClass);
}

}  // namespace wusb::libusb

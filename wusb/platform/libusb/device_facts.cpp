#include "wusb/platform/libusb/device_facts.h"

#include <libusb.h>

#include <algorithm>

namespace wusb::libusb {

namespace {

constexpr std::uint8_t kVendorSpecificClass = 0xFF;
// USB 3 allows seven tiers of hubs below the root.
constexpr int kMaxPortDepth = 7;

bool IsCompositeClass(const libusb_device_descriptor& d) {
    constexpr std::uint8_t kPerInterface = 0x00;
    constexpr std::uint8_t kMiscellaneous = 0xEF;
    return d.bDeviceClass == kPerInterface ||
           (d.bDeviceClass == kMiscellaneous && d.bDeviceSubClass == 0x02 &&
            d.bDeviceProtocol == 0x01);
}

bool HasOneBulkPair(const libusb_interface_descriptor& alt) {
    int in = 0;
    int out = 0;
    for (int i = 0; i < alt.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& ep = alt.endpoint[i];
        if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
            continue;
        ++((ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? in : out);
    }
    return in == 1 && out == 1;
}

// The active configuration's index among the device's configurations.
std::uint8_t ConfigurationIndex(libusb_device* device, std::uint8_t configurations,
                                std::uint8_t activeValue) {
    for (std::uint8_t i = 0; i < configurations; ++i) {
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_config_descriptor(device, i, &config) != 0)
            continue;
        const bool active = config->bConfigurationValue == activeValue;
        libusb_free_config_descriptor(config);
        if (active)
            return i;
    }
    return 0;
}

}  // namespace

std::optional<DeviceFacts> FactsOf(libusb_device* device) {
    DeviceFacts facts;
    facts.bus = libusb_get_bus_number(device);
    std::uint8_t ports[kMaxPortDepth];
    const int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    libusb_device_descriptor descriptor{};
    if (depth <= 0 || libusb_get_device_descriptor(device, &descriptor) != 0)
        return std::nullopt;
    facts.ports.assign(ports, ports + depth);
    facts.path = "usb:" + std::to_string(facts.bus) + "-";
    for (int i = 0; i < depth; ++i) {
        facts.path += (i ? "." : "") + std::to_string(ports[i]);
    }
    facts.vendorId = descriptor.idVendor;
    facts.productId = descriptor.idProduct;
    facts.bcdDevice = descriptor.bcdDevice;
    facts.address = libusb_get_device_address(device);
    facts.probe.bcdUSB = descriptor.bcdUSB;

    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0)
        return facts;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& interface = config->interface[i];
        if (interface.num_altsetting <= 0 ||
            interface.altsetting[0].bInterfaceClass != kVendorSpecificClass)
            continue;
        const libusb_interface_descriptor& alt = interface.altsetting[0];
        facts.probe.vendorInterfaces.push_back(alt.bInterfaceNumber);
        if (!facts.bulkPairInterface && HasOneBulkPair(alt))
            facts.bulkPairInterface = alt.bInterfaceNumber;
    }
    // Windows gives each interface of a composite device its own node; device-level
    // properties then stay with the device. Otherwise the device is its first interface.
    if (config->bNumInterfaces > 1 && IsCompositeClass(descriptor)) {
        facts.probe.scope.deviceLevelInterface.reset();
    } else if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        facts.probe.scope.deviceLevelInterface =
            config->interface[0].altsetting[0].bInterfaceNumber;
    }
    facts.probe.scope.configurationIndex =
        ConfigurationIndex(device, descriptor.bNumConfigurations, config->bConfigurationValue);
    libusb_free_config_descriptor(config);
    return facts;
}

bool IsNamed(const DeviceFacts& facts, const std::vector<UsbId>& namedDevices) {
    return std::find(namedDevices.begin(), namedDevices.end(),
                     UsbId{facts.vendorId, facts.productId}) != namedDevices.end();
}

}  // namespace wusb::libusb

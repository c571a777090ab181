// Reading the interface class a device announces for Windows' driverless binding, from the raw
// bytes of its Microsoft OS descriptors. The bytes come from the device and are not trusted:
// every length is checked against the bytes actually present.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "wusb/guid.h"

namespace wusb::libusb {

using ByteView = std::span<const std::uint8_t>;

// Where a device keeps its MS OS 2.0 descriptor set: the vendor request code and the set's size.
struct MsOs20SetLocation {
    std::uint8_t vendorCode = 0;
    std::uint16_t totalLength = 0;
};

// Finds the MS OS 2.0 platform capability in a whole BOS descriptor (header included) and, of
// its descriptor-set records, the one meant for the newest Windows version it lists.
std::optional<MsOs20SetLocation> FindMsOs20Capability(ByteView bos);

// Which properties of an MS OS 2.0 descriptor set apply to the device as it is now.
struct MsOs20Scope {
    // The active configuration's index (0 for the first), the number configuration subsets
    // carry although the field is named like the configuration value.
    std::uint8_t configurationIndex = 0;
    // The interface that properties outside any function subset belong to; nothing on a
    // composite device, where they belong to the device and never to an interface.
    std::optional<std::uint8_t> deviceLevelInterface = 0;
};

// The interface that an MS OS 2.0 descriptor set binds to `interfaceClass` through a
// "DeviceInterfaceGUIDs" (REG_MULTI_SZ) or "DeviceInterfaceGUID" (REG_SZ) property: the first
// interface of the enclosing function subset, or the scope's device-level interface outside
// any. Subsets of other configurations do not count. Nothing when none does.
std::optional<std::uint8_t> MsOs20InterfaceFor(ByteView descriptorSet, const Guid& interfaceClass,
                                               const MsOs20Scope& scope = {});

// The vendor code from the MS OS 1.0 string descriptor (index 0xEE, "MSFT100").
std::optional<std::uint8_t> MsOs10VendorCode(ByteView stringDescriptor);

// True when an MS OS 1.0 extended properties descriptor names `interfaceClass` in one of the
// two properties above.
bool MsOs10PropertiesName(ByteView extendedProperties, const Guid& interfaceClass);

}  // namespace wusb::libusb

// Reading the interface class a device announces for Windows' driverless binding, from the raw
// bytes of its Microsoft OS descriptors. The bytes come from any device (the udev probe reads
// them as root) and are not trusted: a descriptor is understood only when its own total length
// is exactly the bytes that arrived, and nothing is read outside them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "wusb/guid.h"

namespace wusb {

using ByteView = std::span<const std::uint8_t>;

// Where a device keeps its MS OS 2.0 descriptor set: the vendor request code and the set's size.
struct MsOs20SetLocation {
    std::uint8_t vendorCode = 0;
    std::uint16_t totalLength = 0;
};

// The largest descriptor set asked for: what libusb can fetch on Linux in one control transfer,
// and far more than the few properties a device carries.
inline constexpr std::uint16_t kMaxMsOs20SetLength = 4096;

// Finds the MS OS 2.0 platform capability in a whole BOS descriptor (header included) and, of
// its usable descriptor-set records, the one meant for the newest Windows version it lists. A
// record is usable with a non-zero vendor code and a set of 10 to kMaxMsOs20SetLength bytes.
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

// The vendor code from the MS OS 1.0 string descriptor (index 0xEE, "MSFT100"); nothing for
// the code 0, which no firmware that means it uses.
std::optional<std::uint8_t> MsOs10VendorCode(ByteView stringDescriptor);

// True when an MS OS 1.0 extended properties descriptor names `interfaceClass` in one of the
// two properties above.
bool MsOs10PropertiesName(ByteView extendedProperties, const Guid& interfaceClass);

}  // namespace wusb

// The descriptors of an emulated USB-Wiegand interface, built byte by byte as a device sends
// them, with the interface class announced the MS OS 2.0 way, the MS OS 1.0 way, or not at all;
// alone, or as the second function of a composite device behind another-class interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace usbtest {

using Bytes = std::vector<std::uint8_t>;

enum class Announce { MsOs20, MsOs10, Nothing };

struct DeviceSpec {
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = 0x57A1;
    std::string serial = "0001A2F3";
    Announce announce = Announce::MsOs20;
    std::string interfaceGuid = "{42CE4F4D-ADC2-4F1C-9110-649710D65996}";
    std::uint8_t interfaceClass = 0xFF;
    // Interface 0 is then a HID function with one interrupt pipe, the USB-Wiegand interface 1.
    bool composite = false;
    // Vendor requests are never answered (neither data nor stall): a wedged device.
    bool ignoresVendorRequests = false;
    // The device node refuses to be opened: the user has no permission for it.
    bool deniesOpen = false;
    // Claiming the interface answers busy: another program holds it.
    bool claimedElsewhere = false;
    // Control requests are answered (or stalled) this late: a slow device.
    int answerDelayMs = 0;
    // The device is announced and its node is there, but it takes requests (they fail) only
    // this long after: the moment a hot-plug notification can come too early.
    int takesRequestsAfterMs = 0;
    // Vendor-specific interfaces without pipes after the USB-Wiegand one.
    std::uint8_t extraVendorInterfaces = 0;
};

// The USB-Wiegand interface's number on the device.
std::uint8_t WiegandInterface(const DeviceSpec& spec);

inline constexpr std::uint8_t kInEndpoint = 0x81;
inline constexpr std::uint8_t kOutEndpoint = 0x02;
inline constexpr std::uint8_t kHidEndpoint = 0x83;
inline constexpr std::uint8_t kVendorCode = 0x21;
inline constexpr std::uint8_t kSerialIndex = 3;

// Device descriptor followed by the configuration descriptor: what sysfs shows in "descriptors".
Bytes SysfsDescriptors(const DeviceSpec& spec);

// The answer to a control request's data stage; nothing means the device stalls it.
std::optional<Bytes> ControlAnswer(const DeviceSpec& spec, std::uint8_t requestType,
                                   std::uint8_t request, std::uint16_t value, std::uint16_t index);

}  // namespace usbtest

// The standard USB descriptors the simulated interface presents: one configuration with one
// vendor-specific interface holding a bulk IN and a bulk OUT endpoint.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::uint8_t kBulkInPipe = 0x81;
inline constexpr std::uint8_t kBulkOutPipe = 0x02;
inline constexpr std::uint16_t kBulkPacketSize = 64;

struct UsbIdentity {
    std::uint16_t vendorId = 0x1209;
    std::uint16_t productId = 0x5701;
    std::uint16_t deviceRelease = 0x0100;
    std::string manufacturer = "Trelvo";
    std::string product = "USB-Wiegand (simulated)";
    std::string serialNumber = "0001A2F3";  // ASCII; sent as UTF-16LE
};

// 18 bytes; string indexes: manufacturer 1, product 2, serial number 3.
std::vector<std::uint8_t> DeviceDescriptor(const UsbIdentity& identity);
// Configuration, interface and both endpoint descriptors: 32 bytes.
std::vector<std::uint8_t> ConfigurationDescriptor();
// Index 0 is the language list (US English only); 1 to 3 as above; empty for any other index.
std::vector<std::uint8_t> StringDescriptor(const UsbIdentity& identity, std::uint8_t index);

}  // namespace sim

// Checksums of the link: CRC-16/MODBUS over every frame, CRC-32/MPEG-2 over a written
// configuration record. Neither applies a final XOR, so chained calls compose.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wusb {

// Returns the 16-bit register (0..0xFFFF) after the last byte. Reflected, poly 0x8005.
std::uint32_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t initial);

// Returns the 32-bit register after the last byte. Not reflected, poly 0x04C11DB7.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t initial);

}  // namespace wusb

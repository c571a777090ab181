#include "wusb/crc.h"

#include <bit>

namespace wusb {

std::uint32_t Crc16(const std::uint8_t* data, std::size_t length, std::uint16_t initial) {
    std::uint32_t reg = initial;
    for (std::size_t i = 0; i < length; ++i) {
        // One byte of the reflected 0x8005 division at once: the low byte folds into the
        // register shifted by 7 and 6, plus 0xC001 for odd parity.
        const std::uint32_t t = (reg ^ data[i]) & 0xFFu;
        reg = (reg >> 8) ^ (t << 7) ^ (t << 6) ^ ((std::popcount(t) & 1) != 0 ? 0xC001u : 0u);
        reg &= 0xFFFFu;
    }
    return reg;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t initial) {
    std::uint32_t reg = initial;
    for (std::size_t i = 0; i < length; ++i) {
        reg ^= static_cast<std::uint32_t>(data[i]) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x80000000u) != 0 ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
        }
    }
    return reg;
}

}  // namespace wusb

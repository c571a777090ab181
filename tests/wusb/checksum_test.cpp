#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "wusb/crc.h"

namespace wusb {
namespace {

const std::uint8_t* Bytes(std::string_view text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// Bit-at-a-time forms of the same two checksums, to cross-check the byte-wise routines.
std::uint32_t Crc16Bitwise(const std::vector<std::uint8_t>& data, std::uint16_t initial) {
    std::uint32_t reg = initial;
    for (std::uint8_t byte : data) {
        reg ^= byte;
        for (int i = 0; i < 8; ++i) {
            reg = (reg & 1) != 0 ? (reg >> 1) ^ 0xA001 : reg >> 1;
        }
    }
    return reg;
}

TEST(Checksum, CatalogueCheckValuesOverDigits) {
    EXPECT_EQ(Crc16(Bytes("123456789"), 9, 0xFFFF), 0x4B37u);
    EXPECT_EQ(Crc32(Bytes("123456789"), 9, 0xFFFFFFFF), 0x0376E6E7u);
}

TEST(Checksum, EmptyInputReturnsInitialValue) {
    EXPECT_EQ(Crc16(nullptr, 0, 0xFFFF), 0xFFFFu);
    EXPECT_EQ(Crc16(nullptr, 0, 0x1234), 0x1234u);
    EXPECT_EQ(Crc32(nullptr, 0, 0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(Checksum, ChainedCallsEqualOneCallOverConcatenation) {
    const std::string_view text = "123456789";
    const std::uint32_t first16 = Crc16(Bytes(text), 4, 0xFFFF);
    EXPECT_EQ(Crc16(Bytes(text) + 4, 5, static_cast<std::uint16_t>(first16)), 0x4B37u);
    const std::uint32_t first32 = Crc32(Bytes(text), 4, 0xFFFFFFFF);
    EXPECT_EQ(Crc32(Bytes(text) + 4, 5, first32), 0x0376E6E7u);
}

TEST(Checksum, HighBytesAreUnsignedAndMatchBitwiseForm) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(round * 21 + 1));
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(byte(random));
        }
        data[0] = 0xFF;  // always at least one byte with the top bit set
        EXPECT_EQ(Crc16(data.data(), data.size(), 0xFFFF), Crc16Bitwise(data, 0xFFFF));
    }
    // Reference values over 0x80..0xFF, where sign extension would change every byte.
    std::vector<std::uint8_t> high;
    for (int b = 0x80; b <= 0xFF; ++b) {
        high.push_back(static_cast<std::uint8_t>(b));
    }
    EXPECT_EQ(Crc16(high.data(), high.size(), 0xFFFF), 0xFC65u);
    EXPECT_EQ(Crc32(high.data(), high.size(), 0xFFFFFFFF), 0x4A68D5ACu);
}

}  // namespace
}  // namespace wusb

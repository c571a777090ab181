// Byte order of the shared field helpers, checked against fixed layouts so that every user of
// them (frames, descriptors, reader records, images) cannot agree on a wrong order by accident.
#include "wusb/le_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

TEST(LeBytes, ReadsLowByteFirstWithHighBitsSet) {
    const std::array<std::uint8_t, 4> bytes{0x34, 0x92, 0xFE, 0xFF};
    EXPECT_EQ(wusb::ReadLe16(bytes.data()), 0x9234);
    EXPECT_EQ(wusb::ReadLe16(&bytes[2]), 0xFFFE);
    EXPECT_EQ(wusb::ReadLe32(bytes.data()), 0xFFFE9234u);
}

TEST(LeBytes, WritesAndAppendsTheSameLayoutTheyRead) {
    std::array<std::uint8_t, 6> written{};
    wusb::WriteLe16(&written[0], 0xA1B2);
    wusb::WriteLe32(&written[2], 0x8C7D6E5Fu);
    const std::array<std::uint8_t, 6> expected{0xB2, 0xA1, 0x5F, 0x6E, 0x7D, 0x8C};
    EXPECT_EQ(written, expected);

    std::vector<std::uint8_t> appended{0x01};
    wusb::AppendLe16(appended, 0xA1B2);
    wusb::AppendLe32(appended, 0x8C7D6E5Fu);
    EXPECT_EQ(appended, (std::vector<std::uint8_t>{0x01, 0xB2, 0xA1, 0x5F, 0x6E, 0x7D, 0x8C}));
    EXPECT_EQ(wusb::ReadLe32(&appended[3]), 0x8C7D6E5Fu);
}

}  // namespace

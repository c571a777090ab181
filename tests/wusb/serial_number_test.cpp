#include <gtest/gtest.h>

#include <string>

#include "wusb/device.h"

namespace wusb {
namespace {

std::uint32_t Parse(const std::u16string& text) {
    return ParseSerialNumber(text.data(), text.size());
}

TEST(SerialNumber, HexadecimalDigitsUpToTheFirstOther) {
    EXPECT_EQ(Parse(u"0001A2F3"), 0x0001A2F3u);
    EXPECT_EQ(Parse(u"12AB-34"), 0x12ABu);
    EXPECT_EQ(Parse(u"abcdef"), 0xABCDEFu);
    EXPECT_EQ(Parse(u"0x1f"), 0x1Fu);
    EXPECT_EQ(Parse(u"0X1F"), 0x1Fu);
    EXPECT_EQ(Parse(u"FFFFFFFF"), 0xFFFFFFFFu);
}

TEST(SerialNumber, NoDigitsGivesZero) {
    EXPECT_EQ(Parse(u""), 0u);
    EXPECT_EQ(Parse(u"XYZ"), 0u);
    EXPECT_EQ(Parse(u"   "), 0u);
    EXPECT_EQ(Parse(u"-"), 0u);
    EXPECT_EQ(Parse(u"0x"), 0u);
    EXPECT_EQ(Parse(u"0xG1"), 0u);
}

TEST(SerialNumber, OverflowSaturatesWhateverTheSign) {
    EXPECT_EQ(Parse(u"123456789"), 0xFFFFFFFFu);
    EXPECT_EQ(Parse(u"-100000000"), 0xFFFFFFFFu);
    EXPECT_EQ(Parse(u"FFFFFFFFFFFFFFFFFFFFFFFF"), 0xFFFFFFFFu);
    // Leading zeros are not significant digits.
    EXPECT_EQ(Parse(u"000000000001"), 1u);
}

TEST(SerialNumber, BlanksAndOneSign) {
    EXPECT_EQ(Parse(u" \t\n\v\f\r1A"), 0x1Au);
    EXPECT_EQ(Parse(u"+1A"), 0x1Au);
    EXPECT_EQ(Parse(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(Parse(u"-0x10"), 0xFFFFFFF0u);
    EXPECT_EQ(Parse(u"--1"), 0u);
    EXPECT_EQ(Parse(u"+-1"), 0u);
    EXPECT_EQ(Parse(u"- 1"), 0u);
}

TEST(SerialNumber, WideCodeUnitsEndTheNumber) {
    // Full-width digits and letters whose low byte is a hex digit must not count.
    EXPECT_EQ(Parse(u"12\uFF13"), 0x12u);
    EXPECT_EQ(Parse(u"12\u0141"), 0x12u);  // low byte 0x41 'A'
    EXPECT_EQ(Parse(u"\u0131"), 0u);
    EXPECT_EQ(Parse(u"\u00A01"), 0u);
}

TEST(SerialNumber, LengthBoundsTheText) {
    const std::u16string text = u"12345";
    EXPECT_EQ(ParseSerialNumber(text.data(), 3), 0x123u);
    EXPECT_EQ(ParseSerialNumber(text.data(), 0), 0u);
}

}  // namespace
}  // namespace wusb

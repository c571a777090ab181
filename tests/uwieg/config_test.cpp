// The configuration record against the configuration controls, and the LED time text.
#include <gtest/gtest.h>

#include "uwieg/config.h"

namespace uwieg_test {
namespace {

TEST(ParseLedTime, DecimalTextClampedToTheByte) {
    EXPECT_EQ(uwieg::ParseLedTime("5"), 5);
    EXPECT_EQ(uwieg::ParseLedTime("007"), 7);
    EXPECT_EQ(uwieg::ParseLedTime("255"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("256"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("300"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("999"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("99999999999999999999999"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("-4"), 0);
    EXPECT_EQ(uwieg::ParseLedTime("-7"), 0);
    EXPECT_EQ(uwieg::ParseLedTime("-99999999999999999999999"), 0);
    EXPECT_EQ(uwieg::ParseLedTime("+12"), 12);
    EXPECT_EQ(uwieg::ParseLedTime("  \t42"), 42);
}

TEST(ParseLedTime, HexadecimalWithDollarOrPrefix) {
    EXPECT_EQ(uwieg::ParseLedTime("$1F"), 31);
    EXPECT_EQ(uwieg::ParseLedTime("$ff"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("0x10"), 16);
    EXPECT_EQ(uwieg::ParseLedTime("0X1a"), 26);
    EXPECT_EQ(uwieg::ParseLedTime(" 0x100"), 255);
    EXPECT_EQ(uwieg::ParseLedTime("-$10"), 0);
    EXPECT_EQ(uwieg::ParseLedTime("1F"), 0);  // hex digits need their prefix
}

TEST(ParseLedTime, AnythingButAnIntegerIsZero) {
    for (const char* text :
         {"", "   ", "abc", "5a", "5 ", "1.5", "-", "+", "$", "0x", "$-5", "- 5", "５"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(uwieg::ParseLedTime(text), 0);
    }
}

TEST(DecodeConfig, FillsEveryControl) {
    uwieg::ConfigControls c;
    EXPECT_TRUE(uwieg::DecodeConfig({2, 0x41, 200, 0x55, 0xE4, 1, 2, 0}, c));
    EXPECT_FALSE(c.ledChecked);
    EXPECT_TRUE(c.buzChecked);
    EXPECT_EQ(c.ledStabItem, 1);
    EXPECT_EQ(c.ledTimText, "200");
    EXPECT_EQ(c.buzSlots, (std::array<bool, 7>{true, false, true, false, true, false, true}));
    EXPECT_EQ(c.wiegSizeItem, 4);
    EXPECT_FALSE(c.noParityChecked);
    EXPECT_EQ(c.wiegOrderItem, 1);
    EXPECT_EQ(c.wiegEndBitItem, 1);
    EXPECT_EQ(c.wiegBegBitItem, 1);
    EXPECT_EQ(c.keybItem, 1);
    EXPECT_FALSE(c.mifareChecked);
    EXPECT_TRUE(c.icodeChecked);
}

TEST(DecodeConfig, FrameFormats) {
    uwieg::ConfigControls c;
    for (const std::uint8_t format : std::initializer_list<std::uint8_t>{0x07, 0x06, 0x05}) {
        uwieg::DecodeConfig({2, 0, 0, 0, format, 0, 0, 0}, c);
        EXPECT_EQ(c.wiegSizeItem, 5) << int(format);
    }
    uwieg::DecodeConfig({2, 0, 0, 0, 0x48, 0, 0, 0}, c);
    EXPECT_EQ(c.wiegSizeItem, 0);
    EXPECT_TRUE(c.noParityChecked);
    EXPECT_EQ(c.wiegOrderItem, 0);
    EXPECT_EQ(c.wiegEndBitItem, 1);
    EXPECT_EQ(c.wiegBegBitItem, 0);
}

TEST(DecodeConfig, WrongMarkIsReportedAndDecodedAllTheSame) {
    uwieg::ConfigControls c;
    EXPECT_FALSE(uwieg::DecodeConfig({0, 0x80, 17, 0x01, 0x02, 0, 1, 0}, c));
    EXPECT_TRUE(c.ledChecked);
    EXPECT_EQ(c.ledTimText, "17");
    EXPECT_TRUE(c.buzSlots[0]);
    EXPECT_EQ(c.wiegSizeItem, 2);
    EXPECT_TRUE(c.mifareChecked);
}

TEST(EncodeConfig, TheDocumentedRecord) {
    uwieg::ConfigControls c;
    c.ledChecked = true;
    c.buzChecked = true;
    c.ledStabItem = 0;
    c.ledTimText = "5";
    c.buzSlots = {true, true, false, false, false, false, false};
    c.wiegSizeItem = 0;
    c.noParityChecked = false;
    c.wiegOrderItem = 0;
    c.wiegBegBitItem = 0;
    c.wiegEndBitItem = 1;
    c.keybItem = 0;
    c.mifareChecked = true;
    c.icodeChecked = false;
    EXPECT_EQ(uwieg::EncodeConfig(c), (uwieg::ReaderConfig{2, 0xC0, 5, 3, 0x40, 0, 1, 0}));
}

TEST(EncodeConfig, LedTimeTextIsWrittenBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"300", "255"}, {"999", "255"}, {"-4", "0"},  {"-7", "0"},
        {"abc", "0"},   {"", "0"},      {"007", "7"}, {"$1F", "31"}};
    for (const auto& [text, shown] : cases) {
        uwieg::ConfigControls c;
        c.keybItem = 0;
        c.ledTimText = text;
        const uwieg::ReaderConfig record = uwieg::EncodeConfig(c);
        EXPECT_EQ(c.ledTimText, shown) << text;
        EXPECT_EQ(std::to_string(record[2]), shown) << text;
    }
}

TEST(EncodeConfig, RadioGroupWithoutItemStaysInItsBits) {
    uwieg::ConfigControls c;
    c.keybItem = -1;
    c.wiegSizeItem = -1;
    c.wiegOrderItem = -1;
    c.wiegEndBitItem = -1;
    c.wiegBegBitItem = -1;
    c.ledStabItem = -1;
    const uwieg::ReaderConfig record = uwieg::EncodeConfig(c);
    EXPECT_EQ(record[5], 0);
    EXPECT_EQ(record[4], 0);
    EXPECT_EQ(record[1] & 0x3F, 0);
}

TEST(ConfigRoundTrip, DecodeThenEncodeNormalisesOnlyTheIgnoredBits) {
    struct Case {
        uwieg::ReaderConfig read;
        uwieg::ReaderConfig written;
    };
    const Case cases[] = {
        {{2, 0xC0, 5, 3, 0x40, 0, 1, 0}, {2, 0xC0, 5, 3, 0x40, 0, 1, 0}},
        {{2, 0xC1, 255, 0x7F, 0xED, 1, 3, 0}, {2, 0xC1, 255, 0x7F, 0xED, 1, 3, 0}},
        {{7, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {2, 0xC1, 0, 0x7F, 0xED, 1, 3, 0}},
        {{0, 0x3E, 9, 0x80, 0x16, 0xFE, 0xFC, 0x12}, {2, 0x00, 9, 0x00, 0x05, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        uwieg::ConfigControls controls;
        uwieg::DecodeConfig(c.read, controls);
        EXPECT_EQ(uwieg::EncodeConfig(controls), c.written);
    }
}

}  // namespace
}  // namespace uwieg_test

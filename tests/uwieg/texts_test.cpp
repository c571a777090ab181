// Failure messages, the reader identity and the monitor's report lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "uwieg/err.h"
#include "uwieg/identity.h"
#include "uwieg/report.h"

namespace uwieg_test {
namespace {

TEST(UWiegErrMessage, ByCode) {
    const std::string communication = "Błąd komunikacji z interfacem USB-Wiegand.";
    EXPECT_EQ(uwieg::Message({0}), communication);
    EXPECT_EQ(uwieg::Message({1}), communication);
    EXPECT_EQ(uwieg::Message({2}), "Nie znany typ czytnika.");
    EXPECT_EQ(uwieg::Message({3}), "Brak opisu błędu.");
    EXPECT_EQ(uwieg::Message({7}), "Brak opisu błędu.");
    EXPECT_EQ(uwieg::Message({0xFFFFFFFF}), "Brak opisu błędu.");
}

TEST(ReaderIdentity, FieldsOfAnIdentifyAnswer) {
    const uwieg::ReaderIdentity id{0x00153039, 12, 0};
    EXPECT_EQ(id.readerNumber(), 12345);
    EXPECT_EQ(id.typeCode(), 21u);
    EXPECT_EQ(id.typeNumber(), 41);
    EXPECT_EQ(id.typeVariant(), 0u);
    EXPECT_TRUE(id.isKnownType());
    EXPECT_FALSE(id.offersCardTypes());
    EXPECT_FALSE(id.offersKeypadMode());
    EXPECT_EQ(id.Description(), "Czytnik KV-T41X, Nr: 12345 (soft: 12)");
}

TEST(ReaderIdentity, VariantAndDigitsDecideWhatTheReaderOffers) {
    const uwieg::ReaderIdentity variant1{0x04213039, 1, 0};
    EXPECT_EQ(variant1.typeCode(), 33u);
    EXPECT_EQ(variant1.typeNumber(), 53);
    EXPECT_EQ(variant1.typeVariant(), 1u);
    EXPECT_TRUE(variant1.offersKeypadMode());
    EXPECT_FALSE(variant1.offersCardTypes());

    const uwieg::ReaderIdentity variant0{0x00213039, 1, 0};
    EXPECT_TRUE(variant0.offersKeypadMode());
    EXPECT_TRUE(variant0.offersCardTypes());

    // Bits 28-31 carry nothing the tool reads.
    const uwieg::ReaderIdentity topBits{0xF01F0007, 65535, 0};
    EXPECT_EQ(topBits.typeNumber(), 51);
    EXPECT_TRUE(topBits.offersCardTypes());
    EXPECT_FALSE(topBits.offersKeypadMode());
    EXPECT_EQ(topBits.Description(), "Czytnik KV-T51X, Nr: 00007 (soft: 65535)");
}

TEST(ReaderIdentity, KnownTypes) {
    std::vector<int> known;
    for (std::uint32_t code = 0; code < 1024; ++code) {
        const uwieg::ReaderIdentity id{code << 16, 0, 0};
        if (id.isKnownType()) {
            known.push_back(id.typeNumber());
        }
    }
    // Several 10-bit codes give each type: 21, 121, ..., 1021 for 41; 31, ..., 931 for 51.
    EXPECT_EQ(std::count(known.begin(), known.end(), 41), 11);
    EXPECT_EQ(std::count(known.begin(), known.end(), 43), 11);
    EXPECT_EQ(std::count(known.begin(), known.end(), 51), 10);
    EXPECT_EQ(std::count(known.begin(), known.end(), 53), 10);
    EXPECT_EQ(known.size(), 42u);
    EXPECT_TRUE(uwieg::ReaderIdentity({121u << 16, 0, 0}).isKnownType());
    EXPECT_EQ(uwieg::ReaderIdentity({80u << 16, 0, 0}).typeNumber(), 0);
    EXPECT_FALSE(uwieg::ReaderIdentity({80u << 16, 0, 0}).isKnownType());
    EXPECT_FALSE(uwieg::ReaderIdentity({22u << 16, 0, 0}).isKnownType());
}

std::string Line(const std::vector<std::uint8_t>& payload) {
    return uwieg::FormatReport(payload.data(), payload.size());
}

TEST(FormatReport, LinesOfEachKind) {
    EXPECT_EQ(Line({0x1A, 0xAB, 0xCD, 0xE0}), "AB,CD,E0   {nie rozpoznana transmisja 30 bit}");
    EXPECT_EQ(Line({0x00}), "   {nie rozpoznana transmisja 4 bit}");
    EXPECT_EQ(Line({0x40, 0x70}), "0111   {klawisz 7}");
    EXPECT_EQ(Line({0x44, 0x87}), "10000111   {klawisz 7}");
    EXPECT_EQ(Line({0x41, 0xF5}), "11110   {klawisz 5}");
    EXPECT_EQ(Line({0x9C, 0x12, 0x34, 0x56, 0x78}), "12,34,56,78   {karta: 32 bit}");
    EXPECT_EQ(Line({0xD4, 0x12, 0x12, 0x34, 0x56}),
              "1_12,34,56_0   {karta: Even parity + 24 bit + Odd parity}");
    EXPECT_EQ(Line({0xC0, 0x00}), "0__0   {karta: Even parity + 4 bit + Even parity}");
    EXPECT_EQ(Line({0xFF, 0x23, 0x0A}), "0_0A_1   {karta: Odd parity + 67 bit + Odd parity}");
    EXPECT_EQ(Line({0x96}), "   {karta: 26 bit}");
    EXPECT_EQ(Line({0x80}), "   {karta: 4 bit}");
}

TEST(FormatReport, EachLineStandsAlone) {
    Line({0x1A, 0xAB, 0xCD, 0xE0});
    EXPECT_EQ(Line({0x80}), "   {karta: 4 bit}");
}

TEST(FormatReport, MissingByteOneReadsAsZero) {
    EXPECT_EQ(Line({0x40}), "0000   {klawisz 0}");
    EXPECT_EQ(Line({0xC4}), "0__0   {karta: Even parity + 8 bit + Even parity}");
}

TEST(FormatReport, KeyDigitsBeyondTheKeyByteAreZero) {
    EXPECT_EQ(Line({0x46, 0xA5}), "1010010100   {klawisz 5}");
    EXPECT_EQ(Line({0x7F, 0xFF}), "11111111" + std::string(59, '0') + "   {klawisz 15}");
}

}  // namespace
}  // namespace uwieg_test

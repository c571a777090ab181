// Decoding reports: the published examples of every format, parity verdicts, the UID, and
// payloads too short for their bit count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wiegand/decode.h"
#include "wiegand/report_bits.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wiegand::BitString;

wiegand::Decoded DecodeBytes(const Bytes& payload) {
    return wiegand::Decode(payload.data(), payload.size());
}

// A kind 2 report of a frame given as the bit string the format descriptions print.
wiegand::Decoded DecodeFrame(const std::string& bits) {
    return DecodeBytes(wiegand::CardReport(BitString::FromText(bits)));
}

wiegand::Interpretation Only(const wiegand::Decoded& d, const std::string& name) {
    for (const auto& it : d.formats) {
        if (it.format->name == name) {
            return it;
        }
    }
    ADD_FAILURE() << "no " << name << " reading";
    return {};
}

std::string Flip(std::string bits, std::size_t position) {
    bits[position] = bits[position] == '0' ? '1' : '0';
    return bits;
}

TEST(Decode, H10301PublishedExamples) {
    // accessgrid.com "Examples of every access control bit format", Standard 26bit (H10301):
    // 10010101000000000010001010 is facility 42, card 69, both parity bits valid. The payload
    // pins the byte layout: 26 bits left-aligned in four bytes.
    const auto d = DecodeBytes({0x96, 0x95, 0x00, 0x22, 0x80});
    EXPECT_EQ(d.kind, 2);
    EXPECT_EQ(d.bits, 26);
    ASSERT_EQ(d.formats.size(), 1u);
    EXPECT_EQ(*d.formats[0].facility, 42u);
    EXPECT_EQ(d.formats[0].card, 69u);
    EXPECT_EQ(d.formats[0].ParityText(), "ok");
    EXPECT_FALSE(d.formats[0].company);

    // npm wiegand-encoder's README: 00101101000000001010001000 is facility 90, card 324.
    const auto other = Only(DecodeFrame("00101101000000001010001000"), "H10301");
    EXPECT_EQ(*other.facility, 90u);
    EXPECT_EQ(other.card, 324u);
    EXPECT_TRUE(other.parityOk());
}

TEST(Decode, AFlippedParityBitIsNamed) {
    const std::string good = "10010101000000000010001010";
    EXPECT_EQ(Only(DecodeFrame(Flip(good, 0)), "H10301").ParityText(), "begin");
    EXPECT_EQ(Only(DecodeFrame(Flip(good, 25)), "H10301").ParityText(), "end");
    EXPECT_EQ(Only(DecodeFrame(Flip(Flip(good, 0), 25)), "H10301").ParityText(), "both");
    // A flipped data bit in the first half breaks the begin bit's sum only.
    const auto data = Only(DecodeFrame(Flip(good, 3)), "H10301");
    EXPECT_EQ(data.ParityText(), "begin");
    EXPECT_EQ(*data.facility, 42u - 32u);
}

TEST(Decode, H10306PublishedExample) {
    // Reader manual (CN56 series, "Wiegand34 Format"): data 89 D4 1B 81 travels as
    // 1 10001001 11010100 00011011 10000001 1.
    const auto it = Only(DecodeFrame("1100010011101010000011011100000011"), "H10306");
    EXPECT_EQ(*it.facility, 0x89D4u);
    EXPECT_EQ(it.card, 0x1B81u);
    EXPECT_TRUE(it.parityOk());
    EXPECT_EQ(
        Only(DecodeFrame(Flip("1100010011101010000011011100000011", 33)), "H10306").ParityText(),
        "end");
}

TEST(Decode, Corporate1000) {
    // Company code 3522 and the largest card number 1048575 of the 35-bit example in the
    // e3 access toolbox; bits set by hand from the layout (parity bits 1, 2 and 35).
    const std::string bits = "01110111000010111111111111111111110";
    const auto d = DecodeBytes({0x9F, 0x77, 0x0B, 0xFF, 0xFF, 0xC0});
    ASSERT_EQ(d.formats.size(), 1u);
    const auto& it = d.formats[0];
    EXPECT_EQ(std::string(it.format->name), "C1000-35");
    EXPECT_EQ(*it.company, 3522u);
    EXPECT_FALSE(it.facility);
    EXPECT_EQ(it.card, 1048575u);
    EXPECT_TRUE(it.parityOk());
    EXPECT_EQ(Only(DecodeFrame(Flip(bits, 0)), "C1000-35").ParityText(), "begin");
    // Bit 1 covers bits 2 and 35 too, and bit 35 covers bit 2: a flipped parity bit breaks
    // every parity bit that covers it as well.
    EXPECT_EQ(Only(DecodeFrame(Flip(bits, 1)), "C1000-35").ParityText(), "second+end+begin");
    EXPECT_EQ(Only(DecodeFrame(Flip(bits, 34)), "C1000-35").ParityText(), "end+begin");
}

TEST(Decode, ThirtySevenBitsReadAsBothFormats) {
    // Facility 42 and card 69 as in the accessgrid.com examples; H10304 layout from
    // ooaccess.com/kb/37-bit-fc/ (bits set by hand).
    const std::string h10304 = "1000000000010101000000000000010001010";
    const auto d = DecodeFrame(h10304);
    ASSERT_EQ(d.formats.size(), 2u);
    const auto site = Only(d, "H10304");
    EXPECT_EQ(*site.facility, 42u);
    EXPECT_EQ(site.card, 69u);
    EXPECT_TRUE(site.parityOk());
    EXPECT_EQ(Only(d, "H10302").card, (42ull << 19) | 69u);
    EXPECT_EQ(Only(DecodeFrame(Flip(h10304, 36)), "H10304").ParityText(), "end");

    const auto huge = Only(DecodeFrame("0000000000000000000000000000010001010"), "H10302");
    EXPECT_EQ(huge.card, 69u);
    EXPECT_FALSE(huge.facility);
    EXPECT_TRUE(huge.parityOk());
    // The middle bit (19) counts towards both parity bits.
    EXPECT_EQ(Only(DecodeFrame(Flip(h10304, 18)), "H10304").ParityText(), "both");
}

TEST(Decode, KindThreeChecksTheDescribedParityOverTheHalves) {
    // CN56 manual, "Wiegand26 Format": data D4 1B 81 goes out as 1 11010100 00011011 10000001 0
    // (even begin bit 1, odd end bit 0): with its two parity bits described, H10301.
    const auto d = DecodeBytes({0xD4, 0x12, 0xD4, 0x1B, 0x81});
    EXPECT_EQ(d.kind, 3);
    EXPECT_EQ(d.bits, 24);
    ASSERT_EQ(d.formats.size(), 1u);
    EXPECT_EQ(std::string(d.formats[0].format->name), "H10301");
    EXPECT_EQ(*d.formats[0].facility, 0xD4u);
    EXPECT_EQ(d.formats[0].card, 0x1B81u);
    EXPECT_EQ(d.formats[0].ParityText(), "ok");
    // The same data with the end bit declared even: now the end bit is wrong.
    EXPECT_EQ(DecodeBytes({0xD4, 0x10, 0xD4, 0x1B, 0x81}).formats[0].ParityText(), "end");
    // The report line's own example, 1_12,34,56_0: facility 18, card 13398; 0x123 has four
    // ones, so an even begin bit of 1 is wrong.
    const auto line = DecodeBytes({0xD4, 0x12, 0x12, 0x34, 0x56});
    EXPECT_EQ(*line.formats[0].facility, 18u);
    EXPECT_EQ(line.formats[0].card, 13398u);
    EXPECT_EQ(line.formats[0].ParityText(), "begin");

    // 32 data bits with their parity bits: H10306 (the Wiegand34 example above).
    const auto wide = DecodeBytes({0xDC, 0x13, 0x89, 0xD4, 0x1B, 0x81});
    ASSERT_EQ(wide.formats.size(), 1u);
    EXPECT_EQ(std::string(wide.formats[0].format->name), "H10306");
    EXPECT_EQ(wide.formats[0].card, 0x1B81u);
    EXPECT_TRUE(wide.formats[0].parityOk());
    EXPECT_EQ(DecodeBytes({0xDC, 0x33, 0x89, 0xD4, 0x1B, 0x81}).formats[0].ParityText(), "begin");
}

TEST(Decode, UidInBothByteOrdersAndDecimal) {
    const auto d = DecodeBytes({0x9C, 0x12, 0x34, 0x56, 0x78});
    ASSERT_TRUE(d.uid);
    EXPECT_EQ(d.uid->hex, "12345678");
    EXPECT_EQ(d.uid->hexReversed, "78563412");
    EXPECT_EQ(d.uid->decimal, 305419896u);
    EXPECT_TRUE(d.formats.empty());

    // 64 bits, the widest decimal; kind 3 counts only the bits between the parity bits.
    const auto wide = DecodeBytes({0xFC, 0x00, 0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88});
    ASSERT_TRUE(wide.uid);
    EXPECT_EQ(wide.uid->hex, "FFEEDDCCBBAA9988");
    EXPECT_EQ(wide.uid->hexReversed, "8899AABBCCDDEEFF");
    EXPECT_EQ(wide.uid->decimal, 0xFFEEDDCCBBAA9988u);
    // 65 bits and more: hex only.
    const auto wider = DecodeBytes({0xBD, 0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88, 0x80});
    ASSERT_TRUE(wider.uid);
    EXPECT_EQ(wider.uid->hex, "FFEEDDCCBBAA998880");
    EXPECT_FALSE(wider.uid->decimal);
    // 26 bits: the number is the 26 bits, not the padded bytes.
    EXPECT_EQ(DecodeBytes({0x96, 0x95, 0x00, 0x22, 0x80}).uid->decimal, 0x254008Au);
}

TEST(Decode, ShortPayloadsKeepKindAndBitsButDecodeNothing) {
    // 30 bits announced, three data bytes sent.
    const auto shortData = DecodeBytes({0x1A, 0xAB, 0xCD, 0xE0});
    EXPECT_EQ(shortData.kind, 0);
    EXPECT_EQ(shortData.bits, 30);
    EXPECT_FALSE(shortData.uid);
    EXPECT_TRUE(shortData.formats.empty());
    const auto headOnly = DecodeBytes({0x96});
    EXPECT_EQ(headOnly.bits, 26);
    EXPECT_FALSE(headOnly.uid);
    EXPECT_FALSE(DecodeBytes({0xD4}).uid);
    EXPECT_EQ(wiegand::Decode(nullptr, 0).kind, -1);
    // Bytes beyond those the bits need are not part of the card.
    EXPECT_EQ(DecodeBytes({0x9C, 0x12, 0x34, 0x56, 0x78, 0x9A}).uid->hex, "12345678");
}

TEST(Decode, KeysGiveTheirValueOnly) {
    const auto four = DecodeBytes({0x40, 0x70});
    EXPECT_EQ(four.kind, 1);
    EXPECT_EQ(four.key, 7);
    EXPECT_FALSE(four.uid);
    EXPECT_EQ(DecodeBytes({0x44, 0x87}).key, 7);
}

TEST(Decode, BestPrefersRightParity) {
    // Both 37-bit readings fit; the one with a facility code comes first.
    EXPECT_EQ(
        std::string(DecodeFrame("1000000000010101000000000000010001010").Best()->format->name),
        "H10304");
    // A 26-bit frame of wrong parity is still its best reading; no format, no best.
    EXPECT_EQ(DecodeFrame("00010101000000000010001010").Best()->ParityText(), "begin");
    EXPECT_EQ(DecodeBytes({0x9C, 1, 2, 3, 4}).Best(), nullptr);
}

}  // namespace

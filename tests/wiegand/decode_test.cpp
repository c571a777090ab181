// Decoding reports: the published examples of every format, parity verdicts, the UID, the
// reader's configured frame, and payloads too short for their bit count.
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
    ASSERT_EQ(d.formats.size(), 2u) << "H10301, then the reader's own 24+2 frame";
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
    // Bit 1 covers bits 2 and 35 too, and bit 35 covers bit 2: a flipped parity bit is named
    // alone, not with every parity bit that covers it.
    EXPECT_EQ(Only(DecodeFrame(Flip(bits, 1)), "C1000-35").ParityText(), "second");
    EXPECT_EQ(Only(DecodeFrame(Flip(bits, 34)), "C1000-35").ParityText(), "end");
    EXPECT_EQ(Only(DecodeFrame(Flip(Flip(bits, 0), 34)), "C1000-35").ParityText(), "both");
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

TEST(Decode, KindThreeIsTheWholeFrameJudgedByEachFormat) {
    // CN56 manual, "Wiegand26 Format": data D4 1B 81 goes out as 1 11010100 00011011 10000001 0
    // (even begin bit 1, odd end bit 0): with its two parity bits described, H10301.
    const auto d = DecodeBytes({0xD4, 0x12, 0xD4, 0x1B, 0x81});
    EXPECT_EQ(d.kind, 3);
    EXPECT_EQ(d.bits, 24);
    ASSERT_EQ(d.formats.size(), 2u);
    EXPECT_EQ(std::string(d.formats[0].format->name), "H10301");
    EXPECT_EQ(*d.formats[0].facility, 0xD4u);
    EXPECT_EQ(d.formats[0].card, 0x1B81u);
    EXPECT_EQ(d.formats[0].ParityText(), "ok");
    // The same bits with the end bit declared even: H10301's end bit is odd and right; the
    // declaration is noted.
    const auto declared = DecodeBytes({0xD4, 0x10, 0xD4, 0x1B, 0x81}).formats[0];
    EXPECT_EQ(declared.ParityText(), "ok");
    EXPECT_EQ(declared.declaredOtherwise, std::vector<std::string>{"end"});
    // The report line's own example, 1_12,34,56_0: facility 18, card 13398; 0x123 has four
    // ones, so an even begin bit of 1 is wrong.
    const auto line = DecodeBytes({0xD4, 0x12, 0x12, 0x34, 0x56});
    EXPECT_EQ(*line.formats[0].facility, 18u);
    EXPECT_EQ(line.formats[0].card, 13398u);
    EXPECT_EQ(line.formats[0].ParityText(), "begin");

    // 32 data bits with their parity bits: H10306 (the Wiegand34 example above).
    const auto wide = DecodeBytes({0xDC, 0x13, 0x89, 0xD4, 0x1B, 0x81});
    ASSERT_EQ(wide.formats.size(), 2u);
    EXPECT_EQ(std::string(wide.formats[0].format->name), "H10306");
    EXPECT_EQ(wide.formats[0].card, 0x1B81u);
    EXPECT_TRUE(wide.formats[0].parityOk());
    EXPECT_EQ(DecodeBytes({0xDC, 0x33, 0x89, 0xD4, 0x1B, 0x81}).formats[0].ParityText(), "ok");
}

// Every reading in order, as "name FC/CC numbers CN number parity [declared …]".
std::vector<std::string> Readings(const wiegand::Decoded& d) {
    std::vector<std::string> texts;
    for (const auto& it : d.formats) {
        std::string text = it.format->name;
        if (it.facility) {
            text += " FC " + std::to_string(*it.facility);
        }
        if (it.company) {
            text += " CC " + std::to_string(*it.company);
        }
        text += " CN " + std::to_string(it.card) + " " + it.ParityText();
        for (const std::string& name : it.declaredOtherwise) {
            text += " declared-" + name;
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(Decode, FramesReadAsPublishedWithEveryReadingThatFits) {
    struct Row {
        const char* what;
        Bytes payload;
        std::vector<std::string> readings;
    };
    const Row rows[] = {
        // accessgrid.com's H10301 example (FC 42, CN 69) as kind 3 from a reader declaring an
        // odd begin bit: judged by H10301's own even begin bit, the declaration noted.
        {"kind 3, declared odd",
         {0xD4, 0x32, 0x2A, 0x00, 0x45},
         {"H10301 FC 42 CN 69 ok declared-begin", "24+2 CN 2752581 ok declared-begin"}},
        {"kind 3, begin flipped",
         {0xD4, 0x22, 0x2A, 0x00, 0x45},
         {"H10301 FC 42 CN 69 begin declared-begin", "24+2 CN 2752581 begin declared-begin"}},
        // The e3 access toolbox's Corporate 1000 example as kind 3, its begin bit declared
        // even where Corporate 1000's is odd.
        {"C1000-35 as kind 3",
         {0xDD, 0x02, 0xEE, 0x17, 0xFF, 0xFF, 0x80},
         {"C1000-35 CC 3522 CN 1048575 ok declared-begin"}},
        // Both 37-bit readings fit: the one with a facility code first.
        {"37 bits",
         {0xA1, 0x80, 0x15, 0x00, 0x04, 0x50},
         {"H10304 FC 42 CN 69 ok", "H10302 CN 22020165 ok"}},
        // A camera manual's Wiegand34 coding of card 1234567890 (0x499602D2): 1, the 32 bits,
        // 0; as kind 2 and as kind 3 alike.
        {"32+2 as kind 2",
         {0x9E, 0xA4, 0xCB, 0x01, 0x69, 0x00},
         {"H10306 FC 18838 CN 722 ok", "32+2 CN 1234567890 ok"}},
        {"32+2 as kind 3",
         {0xDC, 0x12, 0x49, 0x96, 0x02, 0xD2},
         {"H10306 FC 18838 CN 722 ok", "32+2 CN 1234567890 ok"}},
        // A public decode of a 36-bit frame (proxmark3 issue 1302: "C15001 HID KeyScan 36-bit
        // FC: 129 CN: 9752", parity failing).
        {"C15001",
         wiegand::CardReport(BitString::FromText("110110000001000000100100110000110000")),
         {"C15001 FC 129 CN 9752 both"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Readings(DecodeBytes(row.payload)), row.readings);
    }
    // The card number of the reader's frame in hex, in the order sent and reversed.
    const auto frame = DecodeBytes({0xDC, 0x12, 0x49, 0x96, 0x02, 0xD2});
    EXPECT_EQ(frame.formats[1].cardHex, "499602D2");
    EXPECT_EQ(frame.formats[1].cardHexReversed, "D2029649");
    EXPECT_EQ(frame.uid->hex, "499602D2");
    EXPECT_EQ(frame.uid->decimal, 1234567890u);
    EXPECT_EQ(frame.MoreThatFit(), 1);
}

TEST(Decode, TheReadersConfiguredFrameIsTheFirstReading) {
    struct Row {
        const char* what;
        wiegand::ReaderFrame reader;
        Bytes payload;
        std::vector<std::string> readings;
        bool matches;
    };
    const wiegand::ReaderFrame standard32{32, true, false, true, false};
    const wiegand::ReaderFrame loHi32{32, true, false, true, true};
    const wiegand::ReaderFrame oddBegin24{24, true, true, true, false};
    const wiegand::ReaderFrame bare32{32, false, false, true, false};
    const Row rows[] = {
        {"standard",
         standard32,
         {0xDC, 0x12, 0x49, 0x96, 0x02, 0xD2},
         {"32+2 CN 1234567890 ok", "H10306 FC 18838 CN 722 ok"},
         true},
        // Lo...Hi: the reader sent D2 02 96 49, the number is the bytes reversed.
        {"bytes reversed",
         loHi32,
         {0xDC, 0x12, 0xD2, 0x02, 0x96, 0x49},
         {"32+2 CN 1234567890 ok", "H10306 FC 53762 CN 38473 ok"},
         true},
        // An odd begin bit by configuration: H10301's card read by a reader set to "Odd".
        {"odd begin",
         oddBegin24,
         {0xD4, 0x32, 0x2A, 0x00, 0x45},
         {"24+2 CN 2752581 begin", "H10301 FC 42 CN 69 ok declared-begin"},
         false},
        {"another size",
         standard32,
         {0x96, 0x95, 0x00, 0x22, 0x80},
         {"H10301 FC 42 CN 69 ok", "24+2 CN 2752581 ok"},
         false},
        {"without parity bits",
         bare32,
         {0x9C, 0x49, 0x96, 0x02, 0xD2},
         {"32 CN 1234567890 ok"},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        wiegand::DecodeSettings settings;
        settings.reader = row.reader;
        const auto d = wiegand::Decode(row.payload.data(), row.payload.size(), settings);
        EXPECT_EQ(Readings(d), row.readings);
        EXPECT_EQ(d.matchesReader, row.matches);
        EXPECT_EQ(d.formats.front().readerFrame, row.matches || row.reader.dataBits == 24);
    }
    // A key is no card frame: nothing to match.
    wiegand::DecodeSettings settings;
    settings.reader = standard32;
    const Bytes key{0x40, 0x70};
    EXPECT_FALSE(wiegand::Decode(key.data(), key.size(), settings).matchesReader);
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
    // 65 bits and more, no format of that length: the raw bits as one number, hex only.
    const auto wider = DecodeBytes({0xBD, 0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88, 0x80});
    ASSERT_TRUE(wider.uid);
    EXPECT_EQ(wider.uid->hex, "01FFDDBB9977553311");
    EXPECT_FALSE(wider.uid->decimal);
    // 26 bits of H10301: the 24 data bits without the parity bits, hex and decimal alike.
    const auto h10301 = DecodeBytes({0x96, 0x95, 0x00, 0x22, 0x80});
    EXPECT_EQ(h10301.uid->hex, "2A0045");
    EXPECT_EQ(h10301.uid->decimal, 0x2A0045u);
    // 30 bits that no format reads: the raw bits, right-aligned.
    const auto raw = DecodeBytes({0x1A, 0xAB, 0xCD, 0xEF, 0xFC});
    EXPECT_EQ(raw.uid->hex, "2AF37BFF");
    EXPECT_EQ(raw.uid->decimal, 0x2AF37BFFu);
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

// From numbers to reports and back: the encoder reads the same table as the decoder, so every
// format must survive encode -> report -> decode with its numbers and its parity verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "wiegand/decode.h"
#include "wiegand/encode.h"
#include "wiegand/formats.h"

namespace {

using wiegand::Format;
using wiegand::ParityChoice;

std::uint64_t CodeMaximum(const Format& f) {
    for (auto kind : {wiegand::FieldKind::Facility, wiegand::FieldKind::Company}) {
        if (const auto* field = wiegand::FindField(f, kind)) {
            return wiegand::FieldMaximum(*field);
        }
    }
    return 0;
}

wiegand::Interpretation RoundTrip(const Format& f, std::uint64_t code, std::uint64_t card,
                                  ParityChoice parity, bool describe) {
    const auto payload = wiegand::EncodeReport(f, code, card, parity, describe);
    const auto d = wiegand::Decode(payload.data(), payload.size());
    for (const auto& it : d.formats) {
        if (it.format.get() == &f) {
            return it;
        }
    }
    ADD_FAILURE() << f.name << " not decoded back";
    return {};
}

TEST(Encode, PublishedBitStrings) {
    // accessgrid.com's H10301 example (facility 42, card 69) and the CN56 manual's Wiegand34
    // frame of 89 D4 1B 81.
    EXPECT_EQ(wiegand::Encode(*wiegand::FindFormat("H10301"), 42, 69, ParityChoice::Right).Text(),
              "10010101000000000010001010");
    EXPECT_EQ(
        wiegand::Encode(*wiegand::FindFormat("H10306"), 0x89D4, 0x1B81, ParityChoice::Right).Text(),
        "1100010011101010000011011100000011");
}

TEST(Encode, EveryFormatRoundTripsWithItsNumbersAndParity) {
    for (const Format& f : wiegand::Formats()) {
        SCOPED_TRACE(f.name);
        EXPECT_FALSE(wiegand::CheckRow(f)) << wiegand::CheckRow(f)->message;
        const std::uint64_t codeMax = CodeMaximum(f);
        const std::uint64_t cardMax =
            wiegand::FieldMaximum(*wiegand::FindField(f, wiegand::FieldKind::Card));
        const std::vector<std::pair<std::uint64_t, std::uint64_t>> numbers = {
            {0, 0},
            {codeMax, cardMax},
            {codeMax / 3, cardMax / 5 + 1},
            {std::min<std::uint64_t>(1, codeMax), cardMax}};
        for (bool describe : {false, true}) {
            for (const auto& [code, card] : numbers) {
                const auto it = RoundTrip(f, code, card, ParityChoice::Right, describe);
                EXPECT_EQ(it.card, card);
                EXPECT_EQ(it.facility.value_or(0) + it.company.value_or(0), code);
                EXPECT_TRUE(it.parityOk()) << it.ParityText();
            }
            const auto begin = RoundTrip(f, codeMax, 2, ParityChoice::WrongBegin, describe);
            EXPECT_EQ(begin.wrongParity, std::vector<std::string>{"begin"});
            EXPECT_EQ(begin.card, 2u);
            const auto end = RoundTrip(f, 1, 2, ParityChoice::WrongEnd, describe);
            ASSERT_FALSE(end.wrongParity.empty());
            EXPECT_EQ(end.wrongParity.front(), "end");
        }
    }
}

TEST(Encode, EdgeFormatsTravelAsKindThreeWhenAsked) {
    const Format& f = *wiegand::FindFormat("H10301");
    const auto described = wiegand::EncodeReport(f, 18, 13398, ParityChoice::Right, true);
    EXPECT_EQ(described, (std::vector<std::uint8_t>{0xD4, 0x02, 0x12, 0x34, 0x56}));
    const auto whole = wiegand::EncodeReport(f, 18, 13398, ParityChoice::Right, false);
    EXPECT_EQ(whole.front(), 0x96);
    EXPECT_EQ(whole.size(), 5u);
    // Corporate 1000 has no such shape: kind 2 whatever is asked.
    EXPECT_EQ(
        wiegand::EncodeReport(*wiegand::FindFormat("C1000-35"), 1, 1, ParityChoice::Right, true)
                .front() >>
            6,
        2);
}

TEST(Encode, NumbersThatDoNotFitAreRefused) {
    const Format& f = *wiegand::FindFormat("H10301");
    EXPECT_TRUE(wiegand::Fits(f, 255, 65535));
    EXPECT_FALSE(wiegand::Fits(f, 256, 0));
    EXPECT_FALSE(wiegand::Fits(f, 0, 65536));
    EXPECT_THROW(wiegand::Encode(f, 256, 0, ParityChoice::Right), std::invalid_argument);
    // A format without a code field ignores the code.
    EXPECT_TRUE(wiegand::Fits(*wiegand::FindFormat("H10302"), 99999, (1ull << 35) - 1));
    EXPECT_FALSE(wiegand::Fits(*wiegand::FindFormat("H10302"), 0, 1ull << 35));
}

}  // namespace

// Every interpretation of one transmission report that fits: the card formats of the table
// with their numbers and parity, the reader's own configured frame, and the plain UID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wiegand/formats.h"

namespace wiegand {

struct Interpretation {
    std::shared_ptr<const Format> format;
    std::optional<std::uint64_t> facility;
    std::optional<std::uint64_t> company;
    std::uint64_t card = 0;
    // A format whose only field is a card number of whole bytes (the reader's own frames):
    // those bytes in hex as sent and reversed, upper-case.
    std::optional<std::string> cardHex;
    std::optional<std::string> cardHexReversed;
    std::vector<std::string> wrongParity;  // names of the parity bits that do not match
    // Kind 3: "begin", "end" where the report declares another sense than the format's.
    std::vector<std::string> declaredOtherwise;
    // The reading of the reader's configured frame (size, byte order, parity senses).
    bool readerFrame = false;

    bool parityOk() const { return wrongParity.empty(); }
    // "ok", "begin", "end", "both" (begin and end), or the wrong bits' names in frame order
    // joined by '+' ("second", "begin+second").
    std::string ParityText() const;
};

struct Uid {
    std::string hex;                       // the number's bytes, upper-case, no separators
    std::string hexReversed;               // the same bytes in reverse order
    std::optional<std::uint64_t> decimal;  // the same number, up to 64 bits
};

// The reader's Wiegand output as its configuration sets it.
struct ReaderFrame {
    int dataBits = 64;  // N: 24, 32, … 64
    bool parityBits = true;
    bool beginOdd = false;
    bool endOdd = true;
    bool loHi = false;  // the card number's bytes least significant first

    // "32+2", or "32" without parity bits.
    std::string Name() const;
};

struct DecodeSettings {
    FormatTable formats = BuiltInTable();
    std::optional<ReaderFrame> reader;  // known once the reader's configuration was read
};

struct Decoded {
    int kind = -1;           // -1 for an empty payload
    int bits = 0;            // n as the report gives it
    std::optional<int> key;  // kind 1
    // Card kinds whose payload holds all data bits: the data bits without the parity bits of
    // the first reading, or the whole frame when no format has its length.
    std::optional<Uid> uid;
    // The reader's configured frame first, then those with right parity, then by preference.
    std::vector<Interpretation> formats;
    std::optional<ReaderFrame> reader;  // as the settings knew it
    // A card frame when the reader's configuration is known: of its size with right parity.
    std::optional<bool> matchesReader;

    // The first reading; nullptr without formats.
    const Interpretation* Best() const;
    // Readings after the first whose parity is right too.
    int MoreThatFit() const;
};

Decoded Decode(const std::uint8_t* payload, std::size_t count, const DecodeSettings& settings = {});

}  // namespace wiegand

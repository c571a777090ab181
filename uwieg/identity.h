// The reader's identity as answered to 'M', and what follows from it.
#pragma once

#include <cstdint>
#include <string>

namespace uwieg {

struct ReaderIdentity {
    std::uint32_t identityWord = 0;
    std::uint16_t firmwareVersion = 0;
    std::uint16_t extraWord = 0;

    std::uint16_t readerNumber() const { return static_cast<std::uint16_t>(identityWord); }
    std::uint32_t typeCode() const { return (identityWord >> 16) & 0x3FF; }
    std::uint32_t typeVariant() const { return (identityWord >> 26) & 0x3; }
    // (typeCode + 20) mod 100.
    int typeNumber() const { return static_cast<int>((typeCode() + 20) % 100); }
    bool isKnownType() const;  // 41, 43, 51, 53
    bool offersCardTypes() const { return typeNumber() / 10 == 5 && typeVariant() == 0; }
    bool offersKeypadMode() const { return typeNumber() % 10 == 3; }
    // "Czytnik KV-T%dX, Nr: %05d (soft: %d)".
    std::string Description() const;
};

}  // namespace uwieg

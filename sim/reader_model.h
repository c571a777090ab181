// What the simulated KV-T reader is and holds.
#pragma once

#include <array>
#include <cstdint>

namespace sim {

struct ReaderModel {
    std::uint16_t readerNumber = 42;
    int typeNumber = 51;           // any 0..99; typeCode is derived as (typeNumber + 80) % 100
    std::uint8_t typeVariant = 0;  // identity bits 26-27
    std::uint8_t topBits = 0;      // identity bits 28-31, not interpreted by the tool
    std::uint16_t firmwareVersion = 2;
    std::uint16_t extraWord = 0;
    std::array<std::uint8_t, 8> config{2, 0xC0, 5, 3, 0x45, 0, 1, 0};
};

// Bytes 0..3 of the identity: reader number, type code, variant and the top bits.
std::uint32_t IdentityWord(const ReaderModel& reader);

}  // namespace sim

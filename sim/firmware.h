// Deterministic test firmware images for the four KV-T reader types, and the checks the
// simulated reader applies when one is streamed to it. The blocks and the entry table are
// pseudo-random but fixed per type, so every build and every test sees the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kImageHeaderSize = 16;
inline constexpr std::size_t kImageBlockSize = 520;
inline constexpr std::size_t kReaderEntrySize = 8;
inline constexpr std::size_t kEntryGroupSize = 520;  // 65 slots; the last one is never used
inline constexpr std::size_t kEntryTableSize = 4 * kEntryGroupSize;

// The header values of one reader type's image.
struct ImageSpec {
    int typeNumber = 0;
    std::uint16_t headerWord0 = 0;
    std::uint16_t version = 0;
    std::uint16_t blockCount = 0;
};

// The layout of a supported type (41, 43, 51, 53), or one with blockCount 0 otherwise.
ImageSpec TestImageSpec(int typeNumber);

// The full image of a supported type; empty for any other type.
Bytes MakeTestImage(int typeNumber);

// Bytes 8..11 of the header: CRC-32 (initial 0xFFFFFFFF) over the concatenated blocks.
std::uint32_t ImageBlocksCrc(const std::uint8_t* blocks, std::size_t length);

// The 8-byte entry for a reader whose number has this low byte; empty when `image` is too short
// for the block count its header declares.
Bytes ReaderEntryFor(const Bytes& image, std::uint8_t readerLowByte);

// The entry a reader of this type and number accepts: the one its own type's image carries.
// Empty for an unsupported type.
Bytes ExpectedReaderEntry(int typeNumber, std::uint8_t readerLowByte);

}  // namespace sim

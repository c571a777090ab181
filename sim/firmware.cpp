#include "sim/firmware.h"

#include <algorithm>
#include <array>

#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace sim {
namespace {

constexpr std::array<ImageSpec, 4> kSpecs{{
    {41, 0x1500, 2, 13},
    {43, 0x1700, 2, 16},
    {51, 0x1F00, 2, 15},
    {53, 0x2100, 2, 18},
}};

// A splitmix64 finaliser over (type, offset): cheap, well mixed and stable across platforms.
std::uint8_t FillByte(int typeNumber, std::size_t offset) {
    std::uint64_t x = (static_cast<std::uint64_t>(typeNumber) << 32) ^
                      static_cast<std::uint64_t>(offset) ^ 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return static_cast<std::uint8_t>(x >> 56);
}

std::size_t EntryOffset(std::uint8_t readerLowByte) {
    return (readerLowByte / 64u) * kEntryGroupSize + (readerLowByte % 64u) * kReaderEntrySize;
}

}  // namespace

ImageSpec TestImageSpec(int typeNumber) {
    for (const ImageSpec& spec : kSpecs) {
        if (spec.typeNumber == typeNumber) {
            return spec;
        }
    }
    return ImageSpec{typeNumber, 0, 0, 0};
}

std::uint32_t ImageBlocksCrc(const std::uint8_t* blocks, std::size_t length) {
    return wusb::Crc32(blocks, length, 0xFFFFFFFFu);
}

Bytes MakeTestImage(int typeNumber) {
    const ImageSpec spec = TestImageSpec(typeNumber);
    if (spec.blockCount == 0) {
        return {};
    }
    const std::size_t blocksSize = spec.blockCount * kImageBlockSize;
    Bytes image(kImageHeaderSize + blocksSize + kEntryTableSize);
    for (std::size_t offset = kImageHeaderSize; offset < image.size(); ++offset) {
        image[offset] = FillByte(typeNumber, offset);
    }
    std::uint8_t* table = image.data() + kImageHeaderSize + blocksSize;
    // The unused last slot of each group is zero, as a real table's padding would be.
    for (std::size_t group = 0; group < 4; ++group) {
        std::uint8_t* slot = table + group * kEntryGroupSize + 64 * kReaderEntrySize;
        std::fill(slot, slot + kReaderEntrySize, std::uint8_t{0});
    }
    wusb::WriteLe16(&image[0], spec.headerWord0);
    wusb::WriteLe16(&image[2], spec.version);
    wusb::WriteLe16(&image[4], spec.blockCount);
    wusb::WriteLe16(&image[6], 0);
    wusb::WriteLe32(&image[8], ImageBlocksCrc(image.data() + kImageHeaderSize, blocksSize));
    wusb::WriteLe32(&image[12], wusb::Crc32(table, kEntryTableSize, 0xFFFFFFFFu));
    return image;
}

Bytes ReaderEntryFor(const Bytes& image, std::uint8_t readerLowByte) {
    if (image.size() < kImageHeaderSize) {
        return {};
    }
    const std::size_t tableStart = kImageHeaderSize + wusb::ReadLe16(&image[4]) * kImageBlockSize;
    const std::size_t offset = tableStart + EntryOffset(readerLowByte);
    if (image.size() < tableStart + kEntryTableSize) {
        return {};
    }
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(offset),
                 image.begin() + static_cast<std::ptrdiff_t>(offset + kReaderEntrySize));
}

Bytes ExpectedReaderEntry(int typeNumber, std::uint8_t readerLowByte) {
    return ReaderEntryFor(MakeTestImage(typeNumber), readerLowByte);
}

}  // namespace sim

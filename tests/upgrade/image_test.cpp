// The image container: which fields it reads, what it accepts, and which bytes it hands out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/firmware.h"
#include "uwieg/image.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A well-formed image whose every byte differs from its neighbours, so a wrong offset shows.
Bytes MakeImage(std::uint16_t blockCount, std::uint16_t reserved = 0) {
    Bytes image(16 + blockCount * 520u + 2080u);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    }
    image[0] = 0x34;
    image[1] = 0x12;
    image[2] = 5;
    image[3] = 0;
    image[4] = static_cast<std::uint8_t>(blockCount);
    image[5] = static_cast<std::uint8_t>(blockCount >> 8);
    image[6] = static_cast<std::uint8_t>(reserved);
    image[7] = static_cast<std::uint8_t>(reserved >> 8);
    return image;
}

Bytes ToBytes(std::span<const std::uint8_t> span) {
    return Bytes(span.begin(), span.end());
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(UpgradeImage, ReadsHeaderFieldsLittleEndian) {
    Bytes bytes = MakeImage(3, 0);
    bytes[2] = 0x02;
    bytes[3] = 0x01;
    const uwieg::UpgradeImage image(bytes);
    EXPECT_EQ(image.headerWord0(), 0x1234);
    EXPECT_EQ(image.version(), 0x0102);
    EXPECT_EQ(image.blockCount(), 3);
    EXPECT_EQ(image.reservedWord(), 0);
    EXPECT_EQ(ToBytes(image.Header()), Slice(bytes, 0, 16));
}

TEST(UpgradeImage, TooShortForTheHeaderReadsZerosAndIsInvalid) {
    const Bytes bytes{0x00, 0x15, 0x02};
    const uwieg::UpgradeImage image(bytes);
    EXPECT_EQ(image.headerWord0(), 0x1500);
    EXPECT_EQ(image.version(), 0);
    EXPECT_EQ(image.blockCount(), 0);
    EXPECT_FALSE(image.IsValid());
    EXPECT_THROW(image.Header(), std::out_of_range);
    EXPECT_FALSE(uwieg::UpgradeImage({}).IsValid());
}

TEST(UpgradeImage, ValidOnlyWithZeroReservedWordAndExactSize) {
    EXPECT_TRUE(uwieg::UpgradeImage(MakeImage(13)).IsValid());
    EXPECT_TRUE(uwieg::UpgradeImage(MakeImage(0)).IsValid());  // 2096 bytes: header and table

    const Bytes reserved = MakeImage(13, 1);
    EXPECT_FALSE(uwieg::UpgradeImage(reserved).IsValid());
    const Bytes reservedHigh = MakeImage(13, 0x8000);
    EXPECT_FALSE(uwieg::UpgradeImage(reservedHigh).IsValid());

    Bytes longer = MakeImage(13);
    longer.push_back(0);
    EXPECT_FALSE(uwieg::UpgradeImage(longer).IsValid());
    Bytes shorter = MakeImage(13);
    shorter.pop_back();
    EXPECT_FALSE(uwieg::UpgradeImage(shorter).IsValid());
    // Block count one too high or too low for the stored size.
    Bytes miscounted = MakeImage(13);
    miscounted[4] = 14;
    EXPECT_FALSE(uwieg::UpgradeImage(miscounted).IsValid());
    miscounted[4] = 12;
    EXPECT_FALSE(uwieg::UpgradeImage(miscounted).IsValid());
}

TEST(UpgradeImage, BlocksAreConsecutive520ByteSlicesAfterTheHeader) {
    const Bytes bytes = MakeImage(13);
    const uwieg::UpgradeImage image(bytes);
    EXPECT_EQ(ToBytes(image.Block(0)), Slice(bytes, 16, 520));
    EXPECT_EQ(ToBytes(image.Block(1)), Slice(bytes, 536, 520));  // bytes 536..1055
    EXPECT_EQ(ToBytes(image.Block(12)), Slice(bytes, 16 + 12 * 520, 520));
    EXPECT_THROW(image.Block(13), std::out_of_range);
}

TEST(UpgradeImage, NeverHandsOutBytesBeyondTheStoredData) {
    // Header claims 13 blocks but only 2 are stored: nothing past the end may be read.
    Bytes truncated = MakeImage(13);
    truncated.resize(16 + 2 * 520);
    const uwieg::UpgradeImage image(truncated);
    EXPECT_FALSE(image.IsValid());
    EXPECT_NO_THROW(image.Block(1));
    EXPECT_THROW(image.Block(2), std::out_of_range);
    EXPECT_THROW(image.ReaderEntry(0), std::out_of_range);
}

TEST(UpgradeImage, EntryOffsetFollowsTheLowByteOfTheReaderNumber) {
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(0), 0u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(63), 504u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(64), 520u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(255), 2064u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(0x0100), 0u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(0xFFFF), 2064u);
    EXPECT_EQ(uwieg::UpgradeImage::EntryTableOffset(0x3040), 520u);
}

TEST(UpgradeImage, EveryReaderGetsADistinctEntryAndNoneIsTheSpareSlot) {
    const Bytes bytes = MakeImage(15);
    const uwieg::UpgradeImage image(bytes);
    const std::size_t table = 16 + 15 * 520;
    std::vector<std::size_t> seen;
    for (unsigned low = 0; low < 256; ++low) {
        const std::size_t offset =
            uwieg::UpgradeImage::EntryTableOffset(static_cast<std::uint16_t>(low));
        EXPECT_LT(offset % 520, 512u) << "reader low byte " << low << " hit the spare slot";
        EXPECT_EQ(offset % 8, 0u);
        EXPECT_EQ(ToBytes(image.ReaderEntry(static_cast<std::uint16_t>(0xAB00 | low))),
                  Slice(bytes, table + offset, 8));
        seen.push_back(offset);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

struct BuiltIn {
    int typeNumber;
    std::size_t size;
    std::uint16_t headerWord0;
    std::uint16_t blockCount;
};

constexpr BuiltIn kBuiltIns[] = {
    {41, 8856, 0x1500, 13},
    {43, 10416, 0x1700, 16},
    {51, 9896, 0x1F00, 15},
    {53, 11456, 0x2100, 18},
};

TEST(BuiltInImage, OneWellFormedVersion2ImagePerKnownType) {
    for (const BuiltIn& expected : kBuiltIns) {
        SCOPED_TRACE(expected.typeNumber);
        const auto image = uwieg::BuiltInImage(expected.typeNumber);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->bytes().size(), expected.size);
        EXPECT_EQ(image->headerWord0(), expected.headerWord0);
        EXPECT_EQ(image->version(), 2);
        EXPECT_EQ(image->blockCount(), expected.blockCount);
        EXPECT_EQ(image->reservedWord(), 0);
        EXPECT_TRUE(image->IsValid());
    }
    for (int other : {0, 40, 42, 50, 52, 99, -41, 141}) {
        EXPECT_FALSE(uwieg::BuiltInImage(other).has_value()) << other;
    }
}

// The .bin files are checked in; this keeps them, the embedded copies and the generator's
// output from drifting apart unnoticed.
TEST(BuiltInImage, CommittedFilesMatchTheGeneratorAndTheEmbeddedCopies) {
    for (const BuiltIn& expected : kBuiltIns) {
        SCOPED_TRACE(expected.typeNumber);
        const std::string path =
            std::string(TRELVO_IMAGES_DIR) + "/kvt" + std::to_string(expected.typeNumber) + ".bin";
        const Bytes committed = ReadFile(path);
        const Bytes generated = sim::MakeTestImage(expected.typeNumber);
        ASSERT_FALSE(committed.empty()) << path;
        EXPECT_EQ(committed, generated) << path << " differs from the generator's output";
        EXPECT_EQ(ToBytes(uwieg::BuiltInImage(expected.typeNumber)->bytes()), committed);
    }
}

TEST(BuiltInImage, EntriesAreTheOnesTheSimulatedReaderExpects) {
    for (const BuiltIn& expected : kBuiltIns) {
        const auto image = uwieg::BuiltInImage(expected.typeNumber);
        for (std::uint16_t number :
             std::initializer_list<std::uint16_t>{0, 63, 64, 255, 0x0100, 12345}) {
            EXPECT_EQ(
                ToBytes(image->ReaderEntry(number)),
                sim::ExpectedReaderEntry(expected.typeNumber, static_cast<std::uint8_t>(number)))
                << expected.typeNumber << " reader " << number;
        }
    }
}

}  // namespace

// Test firmware images and the reader's side of an upgrade.
#include <gtest/gtest.h>

#include "sim/firmware.h"
#include "sim_helpers.h"
#include "wusb/crc.h"
#include "wusb/le_bytes.h"

namespace sim {
namespace {

using testing::OpenForReader;
using testing::SendRaw;
using testing::Tunnel;

struct Expected {
    int type;
    std::size_t size;
    std::uint16_t word0;
    std::uint16_t blocks;
};
constexpr Expected kImages[] = {{41, 8856, 0x1500, 13},
                                {43, 10416, 0x1700, 16},
                                {51, 9896, 0x1F00, 15},
                                {53, 11456, 0x2100, 18}};

TEST(TestImages, HaveTheHeaderSizeAndChecksumsOfTheirType) {
    for (const Expected& e : kImages) {
        SCOPED_TRACE(e.type);
        const Bytes image = MakeTestImage(e.type);
        ASSERT_EQ(image.size(), e.size);
        EXPECT_EQ(wusb::ReadLe16(&image[0]), e.word0);
        EXPECT_EQ(wusb::ReadLe16(&image[2]), 2);
        EXPECT_EQ(wusb::ReadLe16(&image[4]), e.blocks);
        EXPECT_EQ(wusb::ReadLe16(&image[6]), 0);
        const std::size_t blocksSize = e.blocks * kImageBlockSize;
        EXPECT_EQ(wusb::ReadLe32(&image[8]), wusb::Crc32(&image[16], blocksSize, 0xFFFFFFFF));
        EXPECT_EQ(wusb::ReadLe32(&image[12]),
                  wusb::Crc32(&image[16 + blocksSize], kEntryTableSize, 0xFFFFFFFF));
        EXPECT_EQ(MakeTestImage(e.type), image);  // deterministic
    }
    EXPECT_TRUE(MakeTestImage(42).empty());
    // Same offsets, different types: different bytes.
    const Bytes a = MakeTestImage(41);
    const Bytes b = MakeTestImage(43);
    EXPECT_NE(Bytes(a.begin() + 16, a.begin() + 64), Bytes(b.begin() + 16, b.begin() + 64));
}

TEST(TestImages, SelectTheEntryByTheReaderNumbersLowByte) {
    const Bytes image = MakeTestImage(41);
    const std::size_t table = 16 + 13 * kImageBlockSize;
    const auto at = [&](std::size_t offset) {
        return Bytes(image.begin() + static_cast<std::ptrdiff_t>(table + offset),
                     image.begin() + static_cast<std::ptrdiff_t>(table + offset + 8));
    };
    EXPECT_EQ(ReaderEntryFor(image, 0), at(0));
    EXPECT_EQ(ReaderEntryFor(image, 63), at(504));
    EXPECT_EQ(ReaderEntryFor(image, 64), at(520));
    EXPECT_EQ(ReaderEntryFor(image, 255), at(2064));
    EXPECT_NE(ReaderEntryFor(image, 0), ReaderEntryFor(image, 1));
    EXPECT_EQ(ExpectedReaderEntry(41, 64), at(520));
    EXPECT_TRUE(ExpectedReaderEntry(42, 0).empty());
    EXPECT_TRUE(ReaderEntryFor(Bytes(image.begin(), image.end() - 1), 0).empty());
}

class SimUpgrade : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.reader().typeNumber = 41;
        sim.reader().readerNumber = 0x0107;
        sim.reader().firmwareVersion = 1;
        OpenForReader(sim);
    }

    std::uint8_t Status(std::uint8_t command, const Bytes& data = {}) {
        const std::optional<Bytes> answer = Tunnel(sim, command, data);
        EXPECT_TRUE(answer && answer->size() == 2 && (*answer)[0] == 0);
        return answer && answer->size() == 2 ? (*answer)[1] : 0xFF;
    }
    Bytes Header() const { return Bytes(image.begin(), image.begin() + 16); }
    Bytes Block(std::uint16_t index) const {
        Bytes data{static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8)};
        const auto start = image.begin() + static_cast<std::ptrdiff_t>(16 + index * 520);
        data.insert(data.end(), start, start + 520);
        return data;
    }
    Bytes Entry() const { return ReaderEntryFor(image, 0x07); }
    void SendBlocks(std::uint16_t from, std::uint16_t to) {
        for (std::uint16_t i = from; i < to; ++i) {
            ASSERT_EQ(Status('Y', Block(i)), kStatusOk) << i;
        }
    }

    SimInterface sim;
    Bytes image = MakeTestImage(41);
};

TEST_F(SimUpgrade, CompletedUpgradeInstallsTheImageVersion) {
    EXPECT_EQ(Status('Z', Header()), kStatusOk);
    EXPECT_TRUE(sim.upgradeInProgress());
    SendBlocks(0, 13);
    // An entry that differs above bit 7 of the reader number is the same entry.
    EXPECT_EQ(Status('y', ReaderEntryFor(image, 0x07)), kStatusOk);
    // The finish on the wire: 06 00 54 7A BF 8F, answered 07 00 D4 00 00 D1 F8.
    SendRaw(sim, {0x06, 0x00, 0x54, 0x7A, 0xBF, 0x8F});
    EXPECT_EQ(testing::Drain(sim),
              (std::vector<Bytes>{{0x07, 0x00, 0xD4, 0x00, 0x00, 0xD1, 0xF8}}));
    EXPECT_EQ(sim.reader().firmwareVersion, 2);
    EXPECT_EQ(sim.completedUpgrades(), 1);
    EXPECT_FALSE(sim.upgradeInProgress());
    EXPECT_EQ((*Tunnel(sim, 'M'))[5], 2);
}

TEST_F(SimUpgrade, BlocksMustComeInAscendingOrderFromZero) {
    EXPECT_EQ(Status('Y', Block(0)), kStatusNoUpgrade);
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    EXPECT_EQ(Status('Y', Block(1)), kStatusOutOfOrder);
    SendBlocks(0, 2);
    EXPECT_EQ(Status('Y', Block(1)), kStatusOutOfOrder);  // a repeat
    EXPECT_EQ(Status('Y', Block(3)), kStatusOutOfOrder);  // a gap
    EXPECT_EQ(Status('Y', Bytes(521, 0)), kStatusBadData);
    // A refused block leaves the upgrade where it was.
    SendBlocks(2, 13);
    Bytes beyond = Block(12);
    beyond[0] = 13;
    EXPECT_EQ(Status('Y', beyond), kStatusOutOfOrder);
    EXPECT_EQ(Status('y', Entry()), kStatusOk);
    EXPECT_EQ(Status('z'), kStatusOk);
}

TEST_F(SimUpgrade, IntegrityFailuresKeepTheOldFirmware) {
    // Missing last block.
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    SendBlocks(0, 12);
    ASSERT_EQ(Status('y', Entry()), kStatusOk);
    EXPECT_EQ(Status('z'), kStatusIntegrity);
    EXPECT_FALSE(sim.upgradeInProgress());

    // A block damaged on the way.
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    SendBlocks(0, 5);
    Bytes damaged = Block(5);
    damaged[100] ^= 0x10;
    ASSERT_EQ(Status('Y', damaged), kStatusOk);
    SendBlocks(6, 13);
    ASSERT_EQ(Status('y', Entry()), kStatusOk);
    EXPECT_EQ(Status('z'), kStatusIntegrity);

    // Another reader's entry is refused, and without the right one 'z' fails.
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    SendBlocks(0, 13);
    EXPECT_EQ(Status('y', ReaderEntryFor(image, 0x08)), kStatusBadData);
    EXPECT_EQ(Status('y', ReaderEntryFor(MakeTestImage(43), 0x07)), kStatusBadData);
    EXPECT_EQ(Status('z'), kStatusIntegrity);

    EXPECT_EQ(Status('z'), kStatusNoUpgrade);
    EXPECT_EQ(sim.reader().firmwareVersion, 1);
    EXPECT_EQ(sim.completedUpgrades(), 0);
}

TEST_F(SimUpgrade, ANewHeaderStartsOverAndBadHeadersAreRefused) {
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    SendBlocks(0, 7);
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    EXPECT_EQ(Status('Y', Block(7)), kStatusOutOfOrder);
    SendBlocks(0, 13);
    ASSERT_EQ(Status('y', Entry()), kStatusOk);

    Bytes reserved = Header();
    reserved[6] = 1;
    EXPECT_EQ(Status('Z', reserved), kStatusBadData);
    EXPECT_FALSE(sim.upgradeInProgress());  // the unfinished one was dropped too
    EXPECT_EQ(Status('Z', Bytes(15, 0)), kStatusBadData);
    EXPECT_EQ(Status('z'), kStatusNoUpgrade);
    EXPECT_EQ(sim.reader().firmwareVersion, 1);
}

TEST_F(SimUpgrade, AnInterruptedUpgradeLeavesTheOldFirmware) {
    ASSERT_EQ(Status('Z', Header()), kStatusOk);
    SendBlocks(0, 13);
    ASSERT_EQ(Status('y', Entry()), kStatusOk);
    sim.Reset();  // unplugged before 'z'
    OpenForReader(sim);
    EXPECT_EQ(Status('z'), kStatusNoUpgrade);
    EXPECT_EQ(sim.reader().firmwareVersion, 1);
}

}  // namespace
}  // namespace sim

// The reader's identity and configuration record through the tunnel.
#include <gtest/gtest.h>

#include "sim_helpers.h"

namespace sim {
namespace {

using testing::OnlyAnswer;
using testing::OpenForReader;
using testing::SendRaw;
using testing::Tunnel;

TEST(SimReaderIdentity, PacksNumberTypeVariantAndVersion) {
    SimInterface sim;
    sim.reader().readerNumber = 12345;
    sim.reader().typeNumber = 41;
    sim.reader().firmwareVersion = 12;
    OpenForReader(sim);
    EXPECT_EQ(Tunnel(sim, 'M'), (Bytes{0, 0x39, 0x30, 0x15, 0x00, 0x0C, 0x00, 0x00, 0x00}));

    sim.reader().typeNumber = 53;
    sim.reader().typeVariant = 1;
    sim.reader().topBits = 0xA;
    sim.reader().extraWord = 0xBEEF;
    EXPECT_EQ(Tunnel(sim, 'M'), (Bytes{0, 0x39, 0x30, 0x21, 0xA4, 0x0C, 0x00, 0xEF, 0xBE}));

    // An unknown type is just a number outside the four: 42 becomes type code 22.
    sim.reader().typeNumber = 42;
    sim.reader().typeVariant = 0;
    sim.reader().topBits = 0;
    EXPECT_EQ((*Tunnel(sim, 'M'))[3], 22);
    sim.reader().typeNumber = 0;
    EXPECT_EQ((*Tunnel(sim, 'M'))[3], 80);
}

TEST(SimReaderConfig, ReadsTheRecord) {
    SimInterface sim;
    OpenForReader(sim);
    // The read on the wire: 06 00 54 63 7E 45.
    SendRaw(sim, {0x06, 0x00, 0x54, 0x63, 0x7E, 0x45});
    EXPECT_EQ(OnlyAnswer(sim, 'T'), (Bytes{0, 2, 0xC0, 5, 3, 0x45, 0, 1, 0}));
}

TEST(SimReaderConfig, StoresARecordOnlyWithTheRightCrc) {
    SimInterface sim;
    OpenForReader(sim);
    const std::array<std::uint8_t, 8> before = sim.reader().config;

    Bytes data{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00, 0xC7, 0xD4, 0x8A, 0xC8};
    Bytes bad = data;
    bad[11] ^= 0x01;
    EXPECT_EQ(Tunnel(sim, 'C', bad), (Bytes{0, kStatusBadData}));
    EXPECT_EQ(sim.reader().config, before);
    Bytes changedRecord = data;
    changedRecord[2] = 6;  // the CRC no longer covers the record
    EXPECT_EQ(Tunnel(sim, 'C', changedRecord), (Bytes{0, kStatusBadData}));
    EXPECT_EQ(Tunnel(sim, 'C', Bytes(data.begin(), data.begin() + 11)), (Bytes{0, kStatusBadData}));
    EXPECT_EQ(sim.reader().config, before);

    SendRaw(sim, {0x12, 0x00, 0x54, 0x43, 0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00, 0xC7,
                  0xD4, 0x8A, 0xC8, 0x83, 0xB5});
    EXPECT_EQ(OnlyAnswer(sim, 'T'), (Bytes{0, kStatusOk}));
    EXPECT_EQ(sim.reader().config,
              (std::array<std::uint8_t, 8>{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00}));
    EXPECT_EQ(Tunnel(sim, 'c'), (Bytes{0, 0x02, 0xC0, 0x05, 0x03, 0x40, 0x00, 0x01, 0x00}));
}

}  // namespace
}  // namespace sim

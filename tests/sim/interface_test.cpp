// The interface's own commands, its framing rules and the 'W' reports.
#include <gtest/gtest.h>

#include "sim_helpers.h"

namespace sim {
namespace {

using testing::Drain;
using testing::OnlyAnswer;
using testing::Send;
using testing::SendRaw;
using testing::Tunnel;

TEST(SimInterfaceCommands, AnswersTheChannelCommandsOnTheWire) {
    SimInterface sim;
    SendRaw(sim, {0x06, 0x00, 0x4F, 0x00, 0x34, 0x9C});  // 'O' mode 0
    EXPECT_EQ(Drain(sim), (std::vector<Bytes>{{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C}}));
    EXPECT_TRUE(sim.channelOpen());
    EXPECT_EQ(sim.channelMode(), 0);

    SendRaw(sim, {0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C});  // 'O' mode 1
    Drain(sim);
    EXPECT_EQ(sim.channelMode(), 1);

    SendRaw(sim, {0x05, 0x00, 0x6F, 0x21, 0xED});  // 'o'
    EXPECT_EQ(Drain(sim), (std::vector<Bytes>{{0x06, 0x00, 0xEF, 0x00, 0x4C, 0x9C}}));
    EXPECT_FALSE(sim.channelOpen());
}

TEST(SimInterfaceCommands, OutputTestKeepsTheLineStateAndRefusesNonsense) {
    SimInterface sim;
    SendRaw(sim, {0x06, 0x00, 0x53, 0x03, 0x7C, 0x5D});  // both lines "Lo"
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{0});
    EXPECT_EQ(sim.outputLines(), 3);

    Send(sim, 'S', {4});
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{kAckRefused});
    Send(sim, 'S', {});
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{kAckRefused});
    EXPECT_EQ(sim.outputLines(), 3);

    Send(sim, 'O', {2});
    EXPECT_EQ(OnlyAnswer(sim, 'O'), Bytes{kAckRefused});
    EXPECT_FALSE(sim.channelOpen());
}

TEST(SimInterfaceCommands, IgnoresInvalidFramesAndUnknownCommands) {
    SimInterface sim;
    const Bytes open{0x06, 0x00, 0x4F, 0x01, 0xF5, 0x5C};

    Bytes badCrc = open;
    badCrc[5] ^= 1;
    Bytes longerField = open;
    longerField[0] = 7;
    Bytes twoFrames = open;
    twoFrames.insert(twoFrames.end(), open.begin(), open.end());
    for (const Bytes& bytes :
         {badCrc, longerField, twoFrames, Bytes{0x04, 0x00, 0x4F, 0x01}, Bytes{}}) {
        SendRaw(sim, bytes);
    }
    Send(sim, 'Q', {1, 2});
    EXPECT_FALSE(sim.HasIn());
    EXPECT_FALSE(sim.channelOpen());
    ASSERT_EQ(sim.received().size(), 1u);  // only the well-formed unknown command was seen
    EXPECT_EQ(sim.received()[0].command, 'Q');
}

TEST(SimInterfaceTunnel, ReaderCommandsNeedTheChannelOpenInMode1) {
    SimInterface sim;
    EXPECT_EQ(Tunnel(sim, 'M'), Bytes{kTunnelChannelClosed});
    Send(sim, 'O', {0});
    Drain(sim);
    EXPECT_EQ(Tunnel(sim, 'M'), Bytes{kTunnelChannelClosed});
    Send(sim, 'O', {1});
    Drain(sim);
    EXPECT_EQ(Tunnel(sim, 'M')->size(), 9u);
    // The identify on the wire: 06 00 54 4D FE 59.
    SendRaw(sim, {0x06, 0x00, 0x54, 0x4D, 0xFE, 0x59});
    EXPECT_EQ(OnlyAnswer(sim, 'T')->size(), 9u);

    EXPECT_EQ(Tunnel(sim, 'q'), Bytes{kTunnelNoReaderAnswer});
    EXPECT_EQ(Tunnel(sim, 'M', {0}), Bytes{kTunnelNoReaderAnswer});
    Send(sim, 'T', {});
    EXPECT_EQ(OnlyAnswer(sim, 'T'), Bytes{kTunnelNoReaderAnswer});
}

TEST(SimInterfaceReports, ReportsOnlyInMode0OnePerTransferAfterTheAnswer) {
    SimInterface sim;
    sim.Present(Transmission::Card(32, {0x12, 0x34, 0x56, 0x78}));
    sim.Present(Transmission::Key(4, 7));
    EXPECT_FALSE(sim.HasIn());  // channel closed

    testing::OpenForReader(sim);
    EXPECT_FALSE(sim.HasIn());  // mode 1 carries reader commands, not reports
    EXPECT_EQ(sim.pendingTransmissions(), 2u);

    Send(sim, 'O', {0});
    const std::vector<Bytes> frames = Drain(sim);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], (Bytes{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C}));
    EXPECT_EQ(frames[1], (Bytes{0x0A, 0x00, 0x57, 0x9C, 0x12, 0x34, 0x56, 0x78, 0x66, 0xBB}));
    EXPECT_EQ(frames[2], MakeFrame('W', {0x40, 0x70}));
    EXPECT_EQ(sim.pendingTransmissions(), 0u);

    Send(sim, 'o');
    Drain(sim);
    sim.Present(Transmission::Key(8, 0x87));
    EXPECT_FALSE(sim.HasIn());
    EXPECT_EQ(sim.pendingTransmissions(), 1u);
}

TEST(SimInterfaceReset, StartsTheHostSideOverAndKeepsTheReader) {
    SimInterface sim;
    sim.reader().firmwareVersion = 7;
    Send(sim, 'O', {0});
    Send(sim, 'S', {2});
    sim.Present(Transmission::Key(4, 1));
    sim.Reset();
    EXPECT_FALSE(sim.channelOpen());
    EXPECT_EQ(sim.outputLines(), 0);
    EXPECT_FALSE(sim.HasIn());
    EXPECT_EQ(sim.pendingTransmissions(), 0u);
    EXPECT_EQ(sim.reader().firmwareVersion, 7);
}

TEST(Transmissions, BuildTheReportPayloads) {
    EXPECT_EQ(Transmission::Key(4, 7).payload, (Bytes{0x40, 0x70}));
    EXPECT_EQ(Transmission::Key(8, 0x87).payload, (Bytes{0x44, 0x87}));
    EXPECT_EQ(Transmission::Card(32, {0x12, 0x34, 0x56, 0x78}).payload,
              (Bytes{0x9C, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Transmission::Card(26, {}).payload, Bytes{0x96});
    EXPECT_EQ(
        Transmission::CardWithParity(24, {0x12, 0x34, 0x56}, false, true, true, false).payload,
        (Bytes{0xD4, 0x12, 0x12, 0x34, 0x56}));
    EXPECT_EQ(Transmission::CardWithParity(4, {}, true, true, true, true).payload,
              (Bytes{0xC0, 0x33}));
    EXPECT_EQ(Transmission::Unrecognised(30, {0xAB, 0xCD, 0xE0}).payload,
              (Bytes{0x1A, 0xAB, 0xCD, 0xE0}));
    EXPECT_EQ(Transmission::Card(67, {}).payload, Bytes{0xBF});
}

TEST(Transmissions, RefuseWhatNoReportCanCarry) {
    EXPECT_THROW(Transmission::Card(3, {}), std::invalid_argument);
    EXPECT_THROW(Transmission::Card(68, {}), std::invalid_argument);
    EXPECT_THROW(Transmission::Card(64, Bytes(27, 0)), std::invalid_argument);
    EXPECT_NO_THROW(Transmission::Card(64, Bytes(26, 0)));
    EXPECT_THROW(Transmission::CardWithParity(64, Bytes(26, 0), 0, 0, 0, 0), std::invalid_argument);
    EXPECT_THROW(Transmission::Key(4, 16), std::invalid_argument);
    EXPECT_THROW(Transmission::Key(6, 1), std::invalid_argument);

    // Hand-made payloads beyond a report's 27 bytes still travel (the host must drop them),
    // as long as a frame can hold them.
    SimInterface sim;
    Transmission oversized;
    oversized.payload.assign(28, 0x80);
    sim.Present(oversized);
    oversized.payload.assign(1028, 0x80);
    EXPECT_THROW(sim.Present(oversized), std::invalid_argument);
    Send(sim, 'O', {0});
    const std::vector<Bytes> frames = Drain(sim);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].size(), 33u);
}

}  // namespace
}  // namespace sim

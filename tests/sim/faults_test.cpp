// Injected faults: what each does to the answer, and which command it meets.
#include <gtest/gtest.h>

#include "sim/firmware.h"
#include "sim_helpers.h"
#include "wusb/frame.h"

namespace sim {
namespace {

using testing::Drain;
using testing::OnlyAnswer;
using testing::OpenForReader;
using testing::Send;
using testing::Tunnel;

bool Acceptable(const Bytes& frame) {
    return wusb::IsAcceptableFrame(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

TEST(SimFaults, NoAnswerTakesTheCommandAndTheLostAnswerComesLateAsAStaleFrame) {
    SimInterface sim;
    sim.InjectFault({FaultKind::NoAnswer, 'O'});
    sim.InjectFault({FaultKind::StaleBefore, 'o'});
    Send(sim, 'O', {1});
    EXPECT_FALSE(sim.HasIn());
    EXPECT_TRUE(sim.channelOpen());

    Send(sim, 'o');
    EXPECT_EQ(Drain(sim), (std::vector<Bytes>{{0x06, 0x00, 0xCF, 0x00, 0x55, 0x5C},
                                              {0x06, 0x00, 0xEF, 0x00, 0x4C, 0x9C}}));
    // One-shot: the next 'O' is answered plainly.
    Send(sim, 'O', {1});
    EXPECT_EQ(OnlyAnswer(sim, 'O'), Bytes{0});
}

TEST(SimFaults, StaleFrameBeforeAnyAnswerIsALateCloseAcknowledgement) {
    SimInterface sim;
    sim.InjectFault({FaultKind::StaleBefore, 'S'});
    Send(sim, 'S', {1});
    EXPECT_EQ(Drain(sim), (std::vector<Bytes>{MakeFrame(0xEF, {0}), MakeFrame(0xD3, {0})}));
}

TEST(SimFaults, NakRefusesWithoutActing) {
    SimInterface sim;
    sim.InjectFault({FaultKind::Nak, 'O'});
    Send(sim, 'O', {1});
    EXPECT_EQ(OnlyAnswer(sim, 'O'), Bytes{kAckRefused});
    EXPECT_FALSE(sim.channelOpen());

    OpenForReader(sim);
    sim.InjectFault({FaultKind::Nak, 'T', 'C'});
    EXPECT_EQ(Tunnel(sim, 'M')->size(), 9u);
    EXPECT_EQ(Tunnel(sim, 'C', Bytes(12, 0)), Bytes{kTunnelRefused});
}

TEST(SimFaults, DamagedAnswersFailTheHostsFrameCheckOrLengthCheck) {
    SimInterface sim;
    OpenForReader(sim);
    sim.InjectFault({FaultKind::WrongLength, 'T', 'M'});
    const std::optional<Bytes> longer = Tunnel(sim, 'M');
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->size(), 10u);

    sim.InjectFault({FaultKind::CorruptCrc, 'o'});
    Send(sim, 'o');
    const std::vector<Bytes> frames = Drain(sim);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(Acceptable(frames[0]));
    EXPECT_EQ(Bytes(frames[0].begin(), frames[0].begin() + 4), (Bytes{0x06, 0x00, 0xEF, 0x00}));
    EXPECT_FALSE(sim.channelOpen());  // the command itself was carried out
}

TEST(SimFaults, ReportAndInvalidFloodPrecedeTheAnswer) {
    SimInterface sim;
    OpenForReader(sim);
    sim.InjectFault({FaultKind::ReportBefore, 'T'});
    Send(sim, 'T', {'c'});
    std::vector<Bytes> frames = Drain(sim);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(Acceptable(frames[0]));
    EXPECT_EQ(frames[0][2], 'W');
    EXPECT_EQ(frames[1][2], 0xD4);

    Fault flood{FaultKind::InvalidFlood, 'T'};
    flood.floodLength = 9;
    sim.InjectFault(flood);
    Send(sim, 'T', {'M'});
    frames = Drain(sim);
    ASSERT_EQ(frames.size(), 10u);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_FALSE(Acceptable(frames[i])) << i;
    }
    EXPECT_TRUE(Acceptable(frames[9]));
    EXPECT_EQ(frames[9].size(), 14u);

    flood.floodLength = 1'000'000;  // bounded
    sim.InjectFault(flood);
    Send(sim, 'T', {'M'});
    EXPECT_EQ(Drain(sim).size(), static_cast<std::size_t>(kMaxFloodLength) + 1);
}

TEST(SimFaults, ReaderStatusRefusesTheMatchingStatusCommandOnly) {
    SimInterface sim;
    sim.reader().typeNumber = 41;
    OpenForReader(sim);
    const Bytes image = MakeTestImage(41);
    const auto block = [&](std::uint16_t i) {
        Bytes data{static_cast<std::uint8_t>(i), 0};
        const auto start = image.begin() + static_cast<std::ptrdiff_t>(16 + i * 520);
        data.insert(data.end(), start, start + 520);
        return data;
    };
    sim.InjectFault({FaultKind::ReaderStatus, 'T', 0, 2});  // the third status command
    EXPECT_EQ(Tunnel(sim, 'M')->size(), 9u);                // not a status command: not counted
    EXPECT_EQ(Tunnel(sim, 'Z', Bytes(image.begin(), image.begin() + 16)), (Bytes{0, 0}));
    EXPECT_EQ(Tunnel(sim, 'Y', block(0)), (Bytes{0, 0}));
    const std::optional<Bytes> refused = Tunnel(sim, 'Y', block(1));
    ASSERT_TRUE(refused);
    ASSERT_EQ(refused->size(), 2u);
    EXPECT_NE((*refused)[1], 0);
    // The refused block was not taken: sending it again is in order.
    EXPECT_EQ(Tunnel(sim, 'Y', block(1)), (Bytes{0, 0}));
}

TEST(SimFaults, SkipCountAndFiltersChooseTheCommands) {
    SimInterface sim;
    Fault nak{FaultKind::Nak, 'S'};
    nak.skip = 1;
    nak.count = 2;
    sim.InjectFault(nak);
    sim.InjectFault({FaultKind::NoAnswer, 0});  // any command, the first one due

    Send(sim, 'S', {0});  // skipped by the Nak, met by NoAnswer
    EXPECT_FALSE(sim.HasIn());
    Send(sim, 'S', {0});
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{kAckRefused});
    Send(sim, 'S', {0});
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{kAckRefused});
    Send(sim, 'S', {0});
    EXPECT_EQ(OnlyAnswer(sim, 'S'), Bytes{0});

    // A reader-command filter never meets interface commands.
    sim.InjectFault({FaultKind::NoAnswer, 0, 'M'});
    Send(sim, 'O', {1});
    EXPECT_EQ(OnlyAnswer(sim, 'O'), Bytes{0});
    Send(sim, 'T', {'M'});
    EXPECT_FALSE(sim.HasIn());

    sim.InjectFault({FaultKind::NoAnswer, 'o'});
    sim.ClearFaults();
    Send(sim, 'o');
    EXPECT_EQ(OnlyAnswer(sim, 'o'), Bytes{0});
}

TEST(SimFaults, UnplugIsRequestedOnceAndTheCommandIsLost) {
    SimInterface sim;
    sim.InjectFault({FaultKind::Unplug, 'O'});
    Send(sim, 'O', {1});
    EXPECT_FALSE(sim.HasIn());
    EXPECT_FALSE(sim.channelOpen());
    EXPECT_TRUE(sim.TakeUnplugRequest());
    EXPECT_FALSE(sim.TakeUnplugRequest());
}

}  // namespace
}  // namespace sim

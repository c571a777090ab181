// Nothing is lost when a transfer breaks: an interrupted write leaves the reader with its old
// record or the new one, never a mix, and an interrupted upgrade leaves the reader on a firmware
// it can run, with the next read offering the upgrade again and completing it.
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "reliability_fixture.h"
#include "sim/firmware.h"

namespace reliability {
namespace {

const uwieg::ReaderConfig kOldRecord{2, 0xC0, 5, 3, 0x45, 0, 1, 0};
const uwieg::ReaderConfig kNewRecord{2, 0xC0, 77, 3, 0x45, 0, 1, 0};
constexpr std::uint32_t kWriteFrameSize = 18;  // 5 framing + 'C' + 8 record + 4 CRC-32
const std::uint16_t kImageVersion = sim::TestImageSpec(51).version;
const int kBlocks = sim::TestImageSpec(51).blockCount;

class WriteSafety : public ReliabilityTest {
  protected:
    // A window that has read the old record and whose controls now hold the new one.
    void ReadyToWrite() {
        reader().config = kOldRecord;
        dialogs.shown.clear();
        Build();
        StartUp();
        ASSERT_TRUE(dialogs.Errors().empty()) << dialogs.Errors().front();
        win->LedTim->setText("77");
        dialogs.shown.clear();
    }

    // After the fault is gone, the window shows exactly what the reader holds, and writing
    // again stores the new record.
    void ReadThenWriteAgain() {
        ClearFaults();
        dialogs.shown.clear();
        win->RdBtn->click();
        EXPECT_TRUE(dialogs.Errors().empty());
        ExpectReaderShown();
        win->LedTim->setText("77");
        win->WrBtn->click();
        EXPECT_TRUE(dialogs.Errors().empty());
        EXPECT_EQ(reader().config, kNewRecord);
    }
};

TEST_F(WriteSafety, WriteFrameCutAtEveryLength) {
    PlugReader();
    for (std::uint32_t keep = 0; keep <= kWriteFrameSize; ++keep) {
        SCOPED_TRACE("bytes delivered: " + std::to_string(keep));
        ASSERT_NO_FATAL_FAILURE(ReadyToWrite());
        const int applied = faulty.outFaultsApplied();
        faulty.CutWrite({'T', 'C', 0}, keep);
        win->WrBtn->click();
        ASSERT_EQ(faulty.outFaultsApplied(), applied + 1) << "the cut met the write";

        if (keep < kWriteFrameSize) {
            EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
            ExpectNotResponding();
            EXPECT_EQ(reader().config, kOldRecord);
        } else {
            EXPECT_TRUE(dialogs.Errors().empty());
            EXPECT_EQ(reader().config, kNewRecord);
        }
        ReadThenWriteAgain();
    }
}

TEST_F(WriteSafety, WriteFrameDamagedInAnyBitIsRefusedWhole) {
    PlugReader();
    for (std::uint32_t bit = 0; bit < kWriteFrameSize * 8; ++bit) {
        SCOPED_TRACE("bit inverted: " + std::to_string(bit));
        ASSERT_NO_FATAL_FAILURE(ReadyToWrite());
        faulty.FlipBitInWrite({'T', 'C', 0}, bit);
        win->WrBtn->click();
        EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
        EXPECT_EQ(reader().config, kOldRecord);
        if (HasFailure()) {
            return;
        }
    }
    ReadThenWriteAgain();
}

TEST_F(WriteSafety, InterfaceUnpluggedAroundTheWrite) {
    PlugReader();
    {
        SCOPED_TRACE("unplugged as the write arrives");
        ASSERT_NO_FATAL_FAILURE(ReadyToWrite());
        iface->InjectFault({sim::FaultKind::Unplug, 'T', 'C'});
        win->WrBtn->click();
        EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
        EXPECT_TRUE(win->device.channelOpen) << "the next connect closes it first";
        EXPECT_EQ(reader().config, kOldRecord);
        ReadThenWriteAgain();
    }
    {
        SCOPED_TRACE("unplugged after the reader took the write");
        ASSERT_NO_FATAL_FAILURE(ReadyToWrite());
        faulty.UnplugAfterWrite({'T', 'C', 0});
        win->WrBtn->click();
        EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
        EXPECT_EQ(reader().config, kNewRecord);
        ReadThenWriteAgain();
    }
    {
        SCOPED_TRACE("unplugged after the closing 'o' of a completed write");
        ASSERT_NO_FATAL_FAILURE(ReadyToWrite());
        faulty.UnplugAfterWrite({'o', 0, 1});
        win->WrBtn->click();
        EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Brak odpowiedzi., rozk: o"});
        EXPECT_EQ(reader().config, kNewRecord);
        ReadThenWriteAgain();
    }
}

// How the upgrade is broken off at one of its commands.
enum class Break {
    PowerLostAfter,  // the reader took the command, then the interface lost power
    FrameCut,        // the command's frame arrived cut in half; the interface stays powered
    PowerLostAt,     // the interface lost power as the command arrived
};

struct UpgradeCut {
    std::uint8_t readerCommand;
    int skip;  // which 'Y'
    Break how;
};

class UpgradeSafety : public ReliabilityTest, public ::testing::WithParamInterface<UpgradeCut> {
  protected:
    std::vector<int> BlockIndexes() const {
        std::vector<int> indexes;
        for (const auto& r : iface->received()) {
            if (r.command == 'T' && r.payload.size() >= 3 && r.payload[0] == 'Y') {
                indexes.push_back(r.payload[1] | (r.payload[2] << 8));
            }
        }
        return indexes;
    }
};

TEST_P(UpgradeSafety, NextReadOffersTheUpgradeAgainAndCompletesIt) {
    const UpgradeCut cut = GetParam();
    PlugReader();
    reader().firmwareVersion = 1;
    dialogs.answers = {true};
    Build();
    const OutMatch match{'T', cut.readerCommand, cut.skip};
    switch (cut.how) {
        case Break::PowerLostAfter:
            faulty.UnplugAfterWrite(match);
            break;
        case Break::FrameCut:
            // Half of a 'Y' frame, or of the shorter ones.
            faulty.CutWrite(match, cut.readerCommand == 'Y' ? 264 : 5);
            break;
        case Break::PowerLostAt:
            iface->InjectFault({sim::FaultKind::Unplug, 'T', cut.readerCommand, cut.skip});
            break;
    }
    StartUp();

    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
    ExpectNotResponding();
    const bool accepted = cut.readerCommand == 'z' && cut.how == Break::PowerLostAfter;
    EXPECT_EQ(reader().firmwareVersion, accepted ? kImageVersion : 1);
    EXPECT_EQ(iface->completedUpgrades(), accepted ? 1 : 0);
    EXPECT_EQ(reader().config, kOldRecord) << "an upgrade leaves the record alone";

    ClearFaults();
    iface->ClearReceived();
    dialogs.shown.clear();
    dialogs.answers = {true};
    win->RdBtn->click();
    EXPECT_TRUE(dialogs.Errors().empty());
    EXPECT_EQ(reader().firmwareVersion, kImageVersion);
    EXPECT_EQ(iface->completedUpgrades(), 1);
    ExpectReaderShown();
    if (accepted) {
        EXPECT_TRUE(dialogs.shown.empty()) << "nothing left to offer";
        EXPECT_EQ(ReaderCommands(), "Mc");
    } else {
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Shown::Question);
        // Started over from the header and block 0, every block once.
        std::vector<int> all(static_cast<std::size_t>(kBlocks));
        for (int i = 0; i < kBlocks; ++i) {
            all[static_cast<std::size_t>(i)] = i;
        }
        EXPECT_EQ(BlockIndexes(), all);
        EXPECT_EQ(ReaderCommands(),
                  "MZ" + std::string(static_cast<std::size_t>(kBlocks), 'Y') + "yzMc");
    }
}

std::vector<UpgradeCut> AllUpgradeCuts() {
    std::vector<UpgradeCut> cuts;
    for (Break how : {Break::PowerLostAfter, Break::FrameCut}) {
        cuts.push_back({'Z', 0, how});
        for (int i = 0; i < kBlocks; ++i) {
            cuts.push_back({'Y', i, how});
        }
        cuts.push_back({'y', 0, how});
        cuts.push_back({'z', 0, how});
    }
    cuts.push_back({'z', 0, Break::PowerLostAt});
    return cuts;
}

std::string UpgradeCutName(const ::testing::TestParamInfo<UpgradeCut>& info) {
    const UpgradeCut& c = info.param;
    const char* how = c.how == Break::PowerLostAfter ? "PowerLostAfter"
                      : c.how == Break::FrameCut     ? "FrameCut"
                                                     : "PowerLostAt";
    std::string step = c.readerCommand == 'Y'   ? "Y" + std::to_string(c.skip)
                       : c.readerCommand == 'y' ? std::string("entry")
                       : c.readerCommand == 'z' ? std::string("finish")
                                                : std::string("header");
    return step + "_" + how;
}

INSTANTIATE_TEST_SUITE_P(Steps, UpgradeSafety, ::testing::ValuesIn(AllUpgradeCuts()),
                         UpgradeCutName);

}  // namespace
}  // namespace reliability

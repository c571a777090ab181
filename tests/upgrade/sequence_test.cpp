// The upgrade check and stream against the simulated reader: what is offered, what goes over
// the wire in which order and when, what the view shows, and how failures end it.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/upgrade/rig.h"
#include "uwieg/err.h"
#include "uwieg/image.h"
#include "uwieg/session.h"
#include "uwieg/upgrade.h"

namespace upgrade_test {
namespace {

Bytes ImageBytes(int typeNumber) {
    const auto image = uwieg::BuiltInImage(typeNumber);
    return Bytes(image->bytes().begin(), image->bytes().end());
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

// The timeline of a completed upgrade of `blocks` blocks, from the question to the reconnect.
Timeline CompletedTimeline(int blocks) {
    Timeline expected{"label+", "ask", "Z", "max" + std::to_string(blocks), "pos0", "bar+"};
    for (int i = 0; i < blocks; ++i) {
        expected.push_back("pos" + std::to_string(i));
        expected.push_back("Y" + std::to_string(i));
    }
    for (const char* step : {"y", "z", "label-", "bar-", "o", "O", "M", "reconnected"}) {
        expected.push_back(step);
    }
    expected.insert(expected.begin() + 6 + 2 * blocks, "pos" + std::to_string(blocks));
    return expected;
}

using Versions = std::initializer_list<std::uint16_t>;

std::int64_t MsBetween(const SentFrame& from, const SentFrame& to) {
    return wusb::ElapsedMs(from.at, to.at);
}

TEST(UpgrCheck, CompletedUpgradeRunsEveryStepInOrderForEachType) {
    for (int type : {41, 43, 51, 53}) {
        SCOPED_TRACE(type);
        Rig rig(type, 1);
        rig.dialogs.answers = {true};
        EXPECT_EQ(uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view), uwieg::UpgradeOutcome::Done);

        const int blocks = uwieg::BuiltInImage(type)->blockCount();
        EXPECT_EQ(rig.timeline, CompletedTimeline(blocks));
        ASSERT_EQ(rig.dialogs.questions.size(), 1u);
        EXPECT_EQ(rig.dialogs.questions[0].text,
                  "    Czytnik zawiera nieaktualne oprogramowanie.\n"
                  "    Wykonać upgrade oprogramowania czytnika?");
        EXPECT_EQ(rig.dialogs.questions[0].caption, "Upgrade");
        EXPECT_FALSE(rig.view.labelVisible);
        EXPECT_FALSE(rig.view.progressVisible);
        EXPECT_EQ(rig.view.progressMaximum, blocks);
        EXPECT_EQ(rig.view.progressPosition, blocks);
        // The reader took the image and the reconnect read its new version.
        EXPECT_EQ(rig.simDevice->completedUpgrades(), 1);
        EXPECT_EQ(rig.reader().firmwareVersion, 2);
        EXPECT_EQ(rig.dev.firmwareVersion, 2);
        EXPECT_TRUE(rig.dev.channelOpen);
    }
}

TEST(UpgrCheck, FramesCarryTheImageByteForByte) {
    Rig rig(41, 1, 0x1234);
    rig.dialogs.answers = {true};
    uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
    const Bytes image = ImageBytes(41);

    const auto headers = rig.Tunnelled('Z');
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].readerData(), Slice(image, 0, 16));

    const auto blocks = rig.Tunnelled('Y');
    ASSERT_EQ(blocks.size(), 13u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(blocks[i].bytes.size(), 528u);
        const Bytes data = blocks[i].readerData();
        EXPECT_EQ(data[0], i);  // index, low byte first
        EXPECT_EQ(data[1], 0);
        EXPECT_EQ(Slice(data, 2, 520), Slice(image, 16 + i * 520, 520));
    }
    EXPECT_EQ(Slice(blocks[1].readerData(), 2, 520), Slice(image, 536, 520));

    const auto entries = rig.Tunnelled('y');
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].readerData(), Slice(image, 16 + 13 * 520 + 0x34 * 8, 8));

    const auto finishes = rig.Tunnelled('z');
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0].bytes, (Bytes{0x06, 0x00, 0x54, 0x7A, 0xBF, 0x8F}));
}

TEST(UpgrCheck, WaitsASecondAfterFinishingThenReconnectsWithTheQuietPeriod) {
    Rig rig(53, 1);
    rig.dialogs.answers = {true};
    const auto sleptBefore = rig.clock.slept();
    uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);

    const auto& sent = rig.sent();
    ASSERT_GE(sent.size(), 4u);
    const SentFrame& finish = sent[sent.size() - 4];
    const SentFrame& close = sent[sent.size() - 3];
    const SentFrame& open = sent[sent.size() - 2];
    const SentFrame& identify = sent[sent.size() - 1];
    ASSERT_EQ(finish.readerCommand(), 'z');
    ASSERT_EQ(close.command(), 'o');
    ASSERT_EQ(open.command(), 'O');
    ASSERT_EQ(identify.readerCommand(), 'M');
    EXPECT_EQ(MsBetween(finish, close), 1000);
    EXPECT_EQ(MsBetween(close, open), 100);
    EXPECT_EQ(MsBetween(open, identify), 100);
    // Nothing else waited: the blocks follow each other without a pause.
    EXPECT_EQ(MsBetween(sent.front(), finish), 0);
    EXPECT_EQ(rig.clock.slept() - sleptBefore, 1200u);
}

TEST(UpgrCheck, EntryIsChosenByTheLowByteOfTheReaderNumber) {
    struct Case {
        std::uint16_t readerNumber;
        std::size_t tableOffset;
    };
    const Bytes image = ImageBytes(43);
    const std::size_t table = 16 + 16 * 520;
    for (const Case& c : {Case{0, 0}, Case{63, 504}, Case{64, 520}, Case{255, 2064},
                          Case{0x0100, 0}, Case{0xFF40, 520}}) {
        SCOPED_TRACE(c.readerNumber);
        Rig rig(43, 1, c.readerNumber);
        rig.dialogs.answers = {true};
        uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
        const auto entries = rig.Tunnelled('y');
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].readerData(), Slice(image, table + c.tableOffset, 8));
        EXPECT_EQ(rig.reader().firmwareVersion, 2);  // the reader accepted its entry
    }
}

TEST(UpgrCheck, OffersOnlyWhenTheImageIsStrictlyNewer) {
    for (std::uint16_t version : Versions{2, 3, 0x8000, 0xFFFF}) {
        SCOPED_TRACE(version);
        Rig rig(51, version);
        EXPECT_EQ(uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view), uwieg::UpgradeOutcome::Current);
        EXPECT_TRUE(rig.timeline.empty());
    }
    for (std::uint16_t version : Versions{0, 1}) {
        SCOPED_TRACE(version);
        Rig rig(51, version);
        rig.dialogs.answers = {false};
        uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
        EXPECT_EQ(rig.dialogs.questions.size(), 1u);
    }
}

TEST(UpgrCheck, NothingForATypeWithoutAnImage) {
    Rig rig(41, 1);
    rig.dev.identityWord = (rig.dev.identityWord & 0xFC00FFFFu) | (22u << 16);  // type 42
    ASSERT_EQ(rig.dev.identity().typeNumber(), 42);
    EXPECT_EQ(uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view), uwieg::UpgradeOutcome::Current);
    EXPECT_TRUE(rig.timeline.empty());
}

TEST(UpgrCheck, AnswerNoHidesTheLabelAndSendsNothing) {
    Rig rig(41, 1);
    rig.dialogs.answers = {false};
    EXPECT_EQ(uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view), uwieg::UpgradeOutcome::Declined);
    EXPECT_EQ(rig.timeline, (Timeline{"label+", "ask", "label-"}));
    EXPECT_TRUE(rig.sent().empty());
    EXPECT_EQ(rig.reader().firmwareVersion, 1);
}

TEST(UpgrCheck, MalformedImageIsReportedAndNothingIsSent) {
    const Bytes good = ImageBytes(41);
    Bytes reserved = good;
    reserved[6] = 1;
    Bytes reservedHigh = good;
    reservedHigh[7] = 0x80;
    Bytes longer = good;
    longer.push_back(0);
    Bytes shorter = good;
    shorter.pop_back();
    for (const Bytes* bad : {&reserved, &reservedHigh, &longer, &shorter}) {
        Rig rig(41, 1);
        rig.dialogs.answers = {true};
        EXPECT_EQ(uwieg::UpgrCheck(rig.dev, uwieg::UpgradeImage(*bad), rig.dialogs, rig.view),
                  uwieg::UpgradeOutcome::BadImage);
        EXPECT_EQ(rig.timeline, (Timeline{"label+", "ask", "message"}));
        EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"Błąd pliku upgrade."});
        EXPECT_TRUE(rig.view.labelVisible);
        EXPECT_TRUE(rig.sent().empty());
    }
}

TEST(UpgrCheck, ReaderRefusingTheThirdBlockStopsTheStreamAndKeepsItsFirmware) {
    Rig rig(41, 1);
    rig.simDevice->InjectFault(
        {.kind = sim::FaultKind::ReaderStatus, .command = 'T', .readerCommand = 'Y', .skip = 2});
    rig.dialogs.answers = {true};
    try {
        uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
        FAIL() << "the refused block did not reach the caller";
    } catch (const uwieg::UWiegErr& err) {
        EXPECT_EQ(err.code, 1u);
        EXPECT_EQ(uwieg::Message(err), "Błąd komunikacji z interfacem USB-Wiegand.");
    }
    EXPECT_EQ(rig.timeline.back(), "Y2");
    EXPECT_EQ(rig.Tunnelled('Y').size(), 3u);
    EXPECT_TRUE(rig.Tunnelled('y').empty());
    EXPECT_TRUE(rig.Tunnelled('z').empty());
    EXPECT_TRUE(rig.view.labelVisible);
    EXPECT_TRUE(rig.view.progressVisible);
    EXPECT_EQ(rig.view.progressPosition, 2);
    EXPECT_EQ(rig.reader().firmwareVersion, 1);
    EXPECT_TRUE(rig.dev.channelOpen);

    // The next read flow starts over from the header and completes.
    rig.Forget();
    uwieg::ConnectReader(rig.dev);
    EXPECT_EQ(rig.sent().front().command(), 'o');
    EXPECT_EQ(rig.dev.firmwareVersion, 1);
    rig.Forget();
    rig.dialogs.answers = {true};
    uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
    EXPECT_EQ(rig.timeline, CompletedTimeline(13));
    EXPECT_EQ(rig.reader().firmwareVersion, 2);
    EXPECT_EQ(rig.dev.firmwareVersion, 2);
}

TEST(UpgrCheck, FailuresAtTheEdgesOfTheStreamLeaveTheViewAsReached) {
    {
        SCOPED_TRACE("header refused");
        Rig rig(51, 1);
        rig.simDevice->InjectFault(
            {.kind = sim::FaultKind::ReaderStatus, .command = 'T', .readerCommand = 'Z'});
        rig.dialogs.answers = {true};
        EXPECT_THROW(uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view), uwieg::UWiegErr);
        EXPECT_EQ(rig.timeline, (Timeline{"label+", "ask", "Z"}));
        EXPECT_TRUE(rig.view.labelVisible);
    }
    {
        SCOPED_TRACE("no answer to finish");
        Rig rig(51, 1);
        rig.simDevice->InjectFault(
            {.kind = sim::FaultKind::NoAnswer, .command = 'T', .readerCommand = 'z'});
        rig.dialogs.answers = {true};
        const auto sleptBefore = rig.clock.slept();
        try {
            uwieg::UpgrCheck(rig.dev, rig.dialogs, rig.view);
            FAIL() << "the missing answer did not reach the caller";
        } catch (const uwieg::UWiegErr& err) {
            EXPECT_EQ(err.code, 0u);
        }
        EXPECT_EQ(rig.timeline.back(), "z");
        EXPECT_TRUE(rig.view.labelVisible);
        EXPECT_TRUE(rig.view.progressVisible);
        EXPECT_EQ(rig.view.progressPosition, 15);
        EXPECT_EQ(rig.view.reconnects, 0);
        // Only the read time-out passed: no post-upgrade wait on a failed finish.
        EXPECT_LT(rig.clock.slept() - sleptBefore, 1000u);
    }
}

}  // namespace
}  // namespace upgrade_test

// Answers that arrive when nobody waits for them any more, and the largest flood the simulator
// makes: the next flow drops what does not belong to it and works without an error.
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "reliability_fixture.h"

namespace reliability {
namespace {

using LateAnswer = ReliabilityTest;

// An answer that came after its wait ended stays in the pipe; the next read begins with the
// quiet-period close, whose wait drops it.
TEST_F(LateAnswer, AnswerAfterAFailedWaitIsDroppedByTheNextRead) {
    PlugReader();
    for (const char readerCommand : {'M', 'c'}) {
        SCOPED_TRACE(std::string("late answer to ") + readerCommand);
        dialogs.shown.clear();
        Build();
        StartUp();
        ASSERT_TRUE(dialogs.Errors().empty());

        iface->InjectFault(
            {sim::FaultKind::NoAnswer, 'T', static_cast<std::uint8_t>(readerCommand)});
        win->RdBtn->click();
        EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});

        dialogs.shown.clear();
        iface->InjectFault({sim::FaultKind::StaleBefore, 'o'});
        win->RdBtn->click();
        EXPECT_TRUE(dialogs.Errors().empty());
        ExpectReaderShown();
    }
}

TEST_F(LateAnswer, WriteAnswerAfterAFailedWaitIsDroppedAndTheRecordShown) {
    PlugReader();
    Build();
    StartUp();
    win->LedTim->setText("77");
    iface->InjectFault({sim::FaultKind::NoAnswer, 'T', 'C'});
    win->WrBtn->click();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
    EXPECT_EQ(reader().config[2], 77) << "the reader took the record; only its answer is late";

    dialogs.shown.clear();
    iface->InjectFault({sim::FaultKind::StaleBefore, 'o'});
    win->RdBtn->click();
    EXPECT_TRUE(dialogs.Errors().empty());
    ExpectReaderShown();
    EXPECT_EQ(win->LedTim->text(), "77");
}

TEST_F(LateAnswer, LargestFloodBeforeEveryAnswerOfARead) {
    PlugReader();
    Build();
    StartUp();
    for (const std::uint8_t command : {'o', 'O', 'T'}) {
        iface->InjectFault({sim::FaultKind::InvalidFlood, command, 0, 0, 3, sim::kMaxFloodLength});
    }
    platform.ResetCounts();
    win->RdBtn->click();
    EXPECT_TRUE(dialogs.Errors().empty());
    ExpectReaderShown();
    // Both closes, the open, the identify and the record read each waded through one.
    EXPECT_GE(platform.counts().reads, 5u * sim::kMaxFloodLength);
}

}  // namespace
}  // namespace reliability

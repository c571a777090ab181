// The upgrade offer at start-up, as the configuration tab shows it.
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include "uwieg/upgrade.h"
#include "window_fixture.h"

namespace {

using UpgradeTest = WindowTest;

TEST_F(UpgradeTest, AcceptedUpgradeShowsProgressAndTheNewFirmware) {
    Plug();
    reader().firmwareVersion = 1;
    Create();
    dialogs.answers = {true};
    bool labelDuringQuestion = false;
    dialogs.onShown = [&] { labelDuringQuestion = win->UpgrLbl->isVisible(); };
    // The upgrade runs without the event loop: its progress must be painted as it goes.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    PaintCounter paints;
    win->UpgrProgrBar->installEventFilter(&paints);
    struct Seen {
        bool label;
        bool bar;
        int position;
        int maximum;
        int paints;
    };
    std::vector<Seen> atWait;
    clock.onSleep = [&](std::uint32_t ms) {
        if (ms == uwieg::kAfterUpgradeMs) {
            atWait.push_back({win->UpgrLbl->isVisible(), win->UpgrProgrBar->isVisible(),
                              win->UpgrProgrBar->value(), win->UpgrProgrBar->maximum(),
                              paints.count});
        }
    };
    StartUp();

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Shown::Question);
    EXPECT_EQ(dialogs.shown[0].text, uwieg::kUpgradeQuestion);
    EXPECT_EQ(dialogs.shown[0].caption, "Upgrade");
    EXPECT_TRUE(labelDuringQuestion);
    ASSERT_EQ(atWait.size(), 1u);
    EXPECT_TRUE(atWait[0].label);
    EXPECT_TRUE(atWait[0].bar);
    EXPECT_EQ(atWait[0].maximum, 15);  // type 51 image blocks
    EXPECT_EQ(atWait[0].position, 15);
    EXPECT_GE(atWait[0].paints, 16) << "positions 0 to 15";

    EXPECT_TRUE(win->UpgrLbl->isHidden());
    EXPECT_TRUE(win->UpgrProgrBar->isHidden());
    EXPECT_EQ(iface->completedUpgrades(), 1);
    EXPECT_EQ(ReaderCommands(), "MZ" + std::string(15, 'Y') + "yzMc");
    EXPECT_EQ(win->RdLbl->text(), "Czytnik KV-T51X, Nr: 00042 (soft: 2)");
    EXPECT_TRUE(win->WrBtn->isEnabled());
}

TEST_F(UpgradeTest, RefusedUpgradeHidesTheLabelAndReadsAsUsual) {
    Plug();
    reader().firmwareVersion = 1;
    Create();
    dialogs.answers = {false};
    StartUp();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(win->UpgrLbl->isHidden());
    EXPECT_TRUE(win->UpgrProgrBar->isHidden());
    EXPECT_EQ(ReaderCommands(), "Mc");
    EXPECT_EQ(win->RdLbl->text(), "Czytnik KV-T51X, Nr: 00042 (soft: 1)");
}

TEST_F(UpgradeTest, CurrentFirmwareIsNotOffered) {
    Plug();
    Create();
    StartUp();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(win->UpgrLbl->isHidden());
}

TEST_F(UpgradeTest, FailureOnTheThirdBlockStopsAndLeavesTheProgressShown) {
    Plug();
    reader().firmwareVersion = 1;
    Create();
    dialogs.answers = {true};
    iface->InjectFault({sim::FaultKind::ReaderStatus, 'T', 'Y', 2});
    StartUp();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
    EXPECT_EQ(ReaderCommands(), "MZYYY");
    EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
    EXPECT_FALSE(win->UpgrLbl->isHidden());
    EXPECT_FALSE(win->UpgrProgrBar->isHidden());
    EXPECT_EQ(win->UpgrProgrBar->value(), 2);
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_TRUE(win->device.channelOpen);

    // A later read closes the channel first and offers the upgrade again from the start.
    iface->ClearReceived();
    dialogs.answers = {false};
    win->RdBtnClick();
    EXPECT_EQ(Commands().substr(0, 2), "oO");
    EXPECT_TRUE(win->UpgrLbl->isHidden());
    EXPECT_TRUE(win->WrBtn->isEnabled());
}

}  // namespace

// The test tab: opening the channel for reports, one line per tick, the LED and BUZ lines,
// and failures that escape a tick.
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "app/widgets/RadioGroup.h"
#include "window_fixture.h"

namespace {

using TestTabTest = WindowTest;

QStringList Lines(const TMainWin& w) {
    return w.TstWin->toPlainText().split(QLatin1Char('\n'));
}

TEST_F(TestTabTest, ShowingTheTabResetsTheLinesAndOpensTheChannelOnly) {
    Plug();
    Create();
    ShowTestTab();
    win->LedRGrp->button(1)->click();
    win->BuzRGrp->button(1)->click();
    ShowConfigTab();
    iface->ClearReceived();

    ShowTestTab();
    ASSERT_EQ(iface->received().size(), 1u);
    EXPECT_EQ(iface->received()[0].command, 'O');
    EXPECT_EQ(iface->received()[0].payload, sim::Bytes{0});
    EXPECT_EQ(win->LedRGrp->itemIndex(), 0);
    EXPECT_EQ(win->BuzRGrp->itemIndex(), 0);
    EXPECT_FALSE(win->suppressTestClick);
    EXPECT_TRUE(win->Timer->isActive());
    EXPECT_TRUE(win->device.channelOpen);
}

TEST_F(TestTabTest, OutputLinesFollowTheGroupsAndReclickingSendsNothing) {
    Plug();
    Create();
    ShowTestTab();
    iface->ClearReceived();
    auto sent = [&] {
        std::vector<int> values;
        for (const auto& r : iface->received()) {
            EXPECT_EQ(r.command, 'S');
            values.push_back(r.payload.at(0));
        }
        return values;
    };
    win->LedRGrp->button(1)->click();
    win->BuzRGrp->button(1)->click();
    win->LedRGrp->button(0)->click();
    EXPECT_EQ(sent(), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(iface->outputLines(), 2);

    win->LedRGrp->button(0)->click();
    win->BuzRGrp->button(1)->click();
    EXPECT_EQ(sent(), (std::vector<int>{1, 3, 2}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(TestTabTest, FailuresOfTheOutputTestAreShownAndTheChoiceStays) {
    Plug();
    Create();
    ShowTestTab();
    iface->InjectFault({sim::FaultKind::Nak, 'S'});
    win->LedRGrp->button(1)->click();
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_NE(dialogs.Errors()[0].find("rozk: S"), std::string::npos) << dialogs.Errors()[0];
    EXPECT_EQ(win->LedRGrp->itemIndex(), 1);

    platform.Unplug(deviceNumber);
    win->BuzRGrp->button(1)->click();
    EXPECT_EQ(dialogs.Errors().back(), kNoInterface);
    EXPECT_EQ(win->BuzRGrp->itemIndex(), 1);
}

TEST_F(TestTabTest, WithoutInterfaceTheTabDoesNotPoll) {
    Create();
    ShowTestTab();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kNoInterface});
    EXPECT_FALSE(win->Timer->isActive());
}

TEST_F(TestTabTest, RefusedOpenIsShownAndTheTabDoesNotPoll) {
    Plug();
    Create();
    iface->InjectFault({sim::FaultKind::Nak, 'O'});
    ShowTestTab();
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_NE(dialogs.Errors()[0].find("rozk: O"), std::string::npos) << dialogs.Errors()[0];
    EXPECT_FALSE(win->Timer->isActive());
    EXPECT_FALSE(win->device.channelOpen);
}

TEST_F(TestTabTest, EachTickAddsAtMostOneLineAfterTheUsersText) {
    Plug();
    Create();
    ShowTestTab();
    win->TstWin->setPlainText("notatka");
    iface->Present(sim::Transmission::Card(32, {0x12, 0x34, 0x56, 0x78}));
    iface->Present(sim::Transmission::Key(4, 7));

    win->TimerTimer();
    EXPECT_EQ(Lines(*win), (QStringList{"notatka", "12,34,56,78   {karta: 32 bit}"}));
    win->TimerTimer();
    win->TimerTimer();  // nothing waiting
    EXPECT_EQ(Lines(*win),
              (QStringList{"notatka", "12,34,56,78   {karta: 32 bit}", "0111   {klawisz 7}"}));

    // Kept across tab changes.
    ShowConfigTab();
    ShowTestTab();
    iface->Present(sim::Transmission::Unrecognised(30, {0xAB, 0xCD, 0xE0}));
    win->TimerTimer();
    EXPECT_EQ(Lines(*win).size(), 4);
    EXPECT_EQ(Lines(*win).last(), "AB,CD,E0   {nie rozpoznana transmisja 30 bit}");
}

TEST_F(TestTabTest, TicksFromTheEventLoopAddLines) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    iface->Present(sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40}));
    const QStringList expected{"12,34,56,40   {karta: 26 bit}"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lines(*win) == expected; }, 5000));
    EXPECT_EQ(Lines(*win), expected);
}

// A tick failing while its error box is open must not open further boxes on top of it, yet
// the timer keeps running and polling resumes once the box is closed.
TEST_F(TestTabTest, AFailingTickShowsOneBoxAtATime) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    platform.Unplug(deviceNumber);
    int boxesOpen = 0;
    int mostOpen = 0;
    dialogs.onShown = [&] {
        ++boxesOpen;
        mostOpen = std::max(mostOpen, boxesOpen);
        // The box is modal: the event loop keeps running while it is open.
        QTest::qWait(500);
        --boxesOpen;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.Errors().empty() && boxesOpen == 0; }, 5000));
    dialogs.onShown = nullptr;
    EXPECT_EQ(mostOpen, 1);
    ASSERT_FALSE(dialogs.Errors().empty());
    EXPECT_TRUE(win->Timer->isActive());
}

TEST_F(TestTabTest, AFailingPollIsShownOnceUntilTheTabIsShownAgain) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    platform.Unplug(deviceNumber);
    QTest::qWait(1100);  // about five ticks, each failing
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Błąd zapisu Pipe Timeout."});
    EXPECT_TRUE(win->Timer->isActive());

    ShowConfigTab();
    dialogs.shown.clear();
    platform.Replug(deviceNumber);
    iface->Present(sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x78}));
    ShowTestTab();
    // Real timer ticks: wait for the outcome rather than a fixed time, so a loaded machine
    // cannot make the test fail.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Lines(*win).last().endsWith("{karta: 26 bit}"); }, 5000))
        << Lines(*win).join('|').toStdString();
    EXPECT_TRUE(dialogs.Errors().empty());

    platform.Unplug(deviceNumber);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.Errors().empty(); }, 5000));
    QTest::qWait(450);  // two more failing ticks
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Błąd zapisu Pipe Timeout."})
        << "shown again after the tab was shown anew";
}

}  // namespace

// The window following the interface through the simulator's hot-plug events: the start-up read
// when the interface is plugged in after a start that found none, and the test tab's
// monitoring resumed when its interface comes back.
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "sim/hotplug.h"
#include "window_fixture.h"

namespace {

class HotplugTest : public WindowTest {
  protected:
    void Follow() {
        hotplug = std::make_unique<sim::SimHotplug>(platform, clock);
        win->FollowInterfaces(*hotplug);
    }
    void TearDown() override {
        WindowTest::TearDown();
        hotplug.reset();
    }
    std::unique_ptr<sim::SimHotplug> hotplug;
};

TEST_F(HotplugTest, StartUpReadRunsWhenTheInterfaceIsPluggedInAfterAStartThatFoundNone) {
    Create();
    Follow();
    StartUp();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kNoInterface});
    win->HotplugTimerTimer();  // nothing plugged yet: nothing happens
    EXPECT_EQ(dialogs.Errors().size(), 1u);

    reader().readerNumber = 321;
    Plug();
    // The window's own timer picks the arrival up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReaderCommands() == "Mc"; }, 5000));
    EXPECT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_NE(win->RdLbl->text().toStdString().find("00321"), std::string::npos);

    // Read once: unplugging and plugging again later reads nothing by itself.
    platform.Unplug(deviceNumber);
    platform.Replug(deviceNumber);
    win->HotplugTimerTimer();
    EXPECT_EQ(ReaderCommands(), "Mc");
}

TEST_F(HotplugTest, AnInterfaceFoundAtStartUpIsNotReadAgainWhenAnotherArrives) {
    Plug();
    Create();
    Follow();
    StartUp();
    win->HotplugTimerTimer();
    platform.Plug(std::make_shared<sim::SimInterface>());
    win->HotplugTimerTimer();
    EXPECT_EQ(ReaderCommands(), "Mc");
}

TEST_F(HotplugTest, MonitoringResumesWhenTheInterfaceComesBack) {
    Plug();
    Create();
    Follow();
    StartUp();
    win->HotplugTimerTimer();  // the interface present from the start
    ShowTestTab();
    ASSERT_TRUE(iface->channelOpen());
    platform.Unplug(deviceNumber);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.Errors().empty(); }, 5000));
    EXPECT_EQ(dialogs.Errors().size(), 1u) << "the one error box, as without hot-plug";

    platform.Replug(deviceNumber);
    win->HotplugTimerTimer();
    EXPECT_TRUE(iface->channelOpen());
    EXPECT_EQ(iface->channelMode(), 0);
    EXPECT_TRUE(win->Timer->isActive());
    iface->Present(sim::Transmission::Card(26, {0x12, 0x34, 0x56, 0x40}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return win->TstWin->toPlainText().contains("12,34,56,40"); }, 5000));
    EXPECT_EQ(dialogs.Errors().size(), 1u);
}

}  // namespace

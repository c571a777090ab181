// The configuration tab's workflows on the simulated interface: start-up, reader types and the
// enabling rules, read and write with the record on the wire, the check-box reactions, close.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/widgets/RadioGroup.h"
#include "window_fixture.h"

namespace {

using ConfigTabTest = WindowTest;

// The configuration controls whose enabling follows the reader.
std::vector<QWidget*> ConfigControls(TMainWin& w) {
    return {w.WiegSizeRGrp,
            w.WiegOrderRGrp,
            w.WiegNoParBitChkBx,
            w.WiegBegBitRGrp,
            w.WiegEndBitRGrp,
            w.KeybRGrp,
            w.LedStabRGrp,
            w.LedChkBx,
            w.LedTim,
            w.BuzChkBx,
            w.Buz0,
            w.Buz1,
            w.Buz2,
            w.Buz3,
            w.Buz4,
            w.Buz5,
            w.Buz6};
}

TEST_F(ConfigTabTest, StartUpWithoutInterfaceShowsOneBoxAndChangesNothing) {
    Create();
    StartUp();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kNoInterface});
    EXPECT_FALSE(win->UpgrTimer->isActive());
    EXPECT_EQ(win->RdLbl->text(), "Czytnik");
    for (QWidget* c : ConfigControls(*win)) {
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
    }
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_TRUE(win->KartTypeGrp->isHidden());
}

TEST_F(ConfigTabTest, StartUpShowsTheReaderAndItsConfigurationWithoutAnimation) {
    Plug();
    reader().readerNumber = 42;
    reader().firmwareVersion = 3;
    reader().config = {2, 0x41, 12, 0x55, 0x22, 1, 2, 0};
    std::vector<std::uint32_t> sleeps;
    clock.onSleep = [&](std::uint32_t ms) { sleeps.push_back(ms); };
    Create();
    EXPECT_TRUE(iface->received().empty()) << "the first show reads nothing";
    StartUp();

    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(win->RdLbl->text(), "Czytnik KV-T51X, Nr: 00042 (soft: 3)");
    EXPECT_GE(win->RdLbl->width(), win->RdLbl->sizeHint().width()) << "the label grows";
    EXPECT_FALSE(win->KartTypeGrp->isHidden());
    EXPECT_FALSE(win->KeybRGrp->isEnabled());
    EXPECT_TRUE(win->WrBtn->isEnabled());
    EXPECT_EQ(Commands(), "OTTo");
    EXPECT_EQ(ReaderCommands(), "Mc");
    EXPECT_FALSE(iface->channelOpen());
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 5u), 0) << "no animation at start-up";

    // The record in the controls.
    EXPECT_EQ(win->config, (uwieg::ReaderConfig{2, 0x41, 12, 0x55, 0x22, 1, 2, 0}));
    EXPECT_FALSE(win->LedChkBx->isChecked());
    EXPECT_TRUE(win->BuzChkBx->isChecked());
    EXPECT_EQ(win->LedStabRGrp->itemIndex(), 1);
    EXPECT_EQ(win->LedTim->text(), "12");
    EXPECT_FALSE(win->LedTim->isEnabled());
    const bool expectedSlots[] = {true, false, true, false, true, false, true};
    QCheckBox* boxes[] = {win->Buz0, win->Buz1, win->Buz2, win->Buz3,
                          win->Buz4, win->Buz5, win->Buz6};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(boxes[i]->isChecked(), expectedSlots[i]) << "Buz" << i;
    }
    EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 2);
    EXPECT_EQ(win->WiegOrderRGrp->itemIndex(), 1);
    EXPECT_EQ(win->KeybRGrp->itemIndex(), 1);
    EXPECT_FALSE(win->MifareChkBx->isChecked());
    EXPECT_TRUE(win->IcodeChkBx->isChecked());
}

TEST_F(ConfigTabTest, ReaderTypeDecidesCardTypesAndKeypad) {
    struct Case {
        int type;
        std::uint8_t variant;
        bool cardTypes;
        bool keypad;
    };
    const Case cases[] = {
        {41, 0, false, false}, {43, 0, false, true}, {51, 0, true, false},
        {53, 0, true, true},   {53, 1, false, true}, {51, 2, false, false},
    };
    Plug();
    for (const Case& c : cases) {
        reader().typeNumber = c.type;
        reader().typeVariant = c.variant;
        Create();
        StartUp();
        EXPECT_TRUE(dialogs.shown.empty()) << c.type;
        EXPECT_EQ(win->KartTypeGrp->isHidden(), !c.cardTypes) << c.type << "/" << int(c.variant);
        EXPECT_EQ(win->KeybRGrp->isEnabled(), c.keypad) << c.type << "/" << int(c.variant);
        EXPECT_TRUE(win->RdLbl->text().startsWith(QString("Czytnik KV-T%1X").arg(c.type)));
    }
}

TEST_F(ConfigTabTest, UnknownReaderTypeLeavesTheReaderNotResponding) {
    Plug();
    reader().typeNumber = 42;
    Create();
    StartUp();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Nie znany typ czytnika."});
    EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
    for (QWidget* c : ConfigControls(*win)) {
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    }
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_TRUE(win->RdBtn->isEnabled());
    EXPECT_TRUE(win->device.channelOpen) << "the channel stays open";
    EXPECT_EQ(ReaderCommands(), "M");

    // The next read closes it first.
    iface->ClearReceived();
    reader().typeNumber = 43;
    win->RdBtnClick();
    EXPECT_EQ(Commands().substr(0, 2), "oO");
    EXPECT_TRUE(win->WrBtn->isEnabled());
}

TEST_F(ConfigTabTest, FailureDuringReadKeepsTheRecordAndDisablesTheControls) {
    Plug();
    Create();
    StartUp();
    const uwieg::ReaderConfig before = win->config;
    iface->InjectFault({sim::FaultKind::NoAnswer, 'T', 'c'});
    win->RdBtnClick();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
    EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
    EXPECT_EQ(win->config, before);
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_FALSE(win->KartTypeGrp->isHidden()) << "left as it was";
    EXPECT_TRUE(win->RdProgrBar->isHidden());
}

TEST_F(ConfigTabTest, ReadButtonAnimatesBeforeTheControlsChange) {
    Plug();
    Create();
    StartUp();
    ASSERT_EQ(win->WiegSizeRGrp->itemIndex(), 5);
    reader().config[4] = 0x41;  // 32+2 bits
    // The event loop does not run during the animation: each position must be painted at once.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    PaintCounter paints;
    win->RdProgrBar->installEventFilter(&paints);
    std::vector<int> positions;
    clock.onSleep = [&](std::uint32_t ms) {
        if (ms == 5) {
            EXPECT_TRUE(win->RdProgrBar->isVisible());
            EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 5) << "controls changed too early";
            EXPECT_GT(paints.count, 0) << "position " << win->RdProgrBar->value() << " not painted";
            paints.count = 0;
            positions.push_back(win->RdProgrBar->value());
        }
    };
    QTest::mouseClick(win->RdBtn, Qt::LeftButton);
    std::vector<int> expected;
    for (int p = 0; p <= 100; p += 5) {
        expected.push_back(p);
    }
    EXPECT_EQ(positions, expected);
    EXPECT_TRUE(win->RdProgrBar->isHidden());
    EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 1);
}

// Paints of a progress bar that cost `costMs` of the clock each; records when each began and
// when the bar was hidden.
struct CostlyPaints : QObject {
    CostlyPaints(wusb::FakeClock& clock, std::int64_t costMs) : clock_(clock), costMs_(costMs) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const std::int64_t now = wusb::ElapsedMs({}, clock_.Now());
        if (event->type() == QEvent::Paint) {
            paints.push_back({static_cast<QProgressBar*>(watched)->value(), now});
            clock_.Advance(costMs_);
        } else if (event->type() == QEvent::Hide) {
            hiddenAt = now;
        }
        return false;
    }
    struct Paint {
        int value;
        std::int64_t at;
    };
    std::vector<Paint> paints;
    std::int64_t hiddenAt = -1;

  private:
    wusb::FakeClock& clock_;
    std::int64_t costMs_;
};

TEST_F(ConfigTabTest, ButtonAnimationsKeepTheirDeadlinesWhateverThePaintingCosts) {
    Plug();
    Create();
    StartUp();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    struct Button {
        QPushButton* button;
        QProgressBar* bar;
    };
    for (const Button b :
         {Button{win->RdBtn, win->RdProgrBar}, Button{win->WrBtn, win->WrProgrBar}}) {
        for (const std::int64_t cost : {0, 3, 8}) {
            SCOPED_TRACE(b.button->objectName().toStdString() + ", paint cost " +
                         std::to_string(cost) + " ms");
            CostlyPaints paints(clock.fake, cost);
            b.bar->installEventFilter(&paints);
            std::vector<std::uint32_t> sleeps;
            clock.onSleep = [&](std::uint32_t ms) {
                if (b.bar->isVisible()) {
                    sleeps.push_back(ms);
                }
            };
            QTest::mouseClick(b.button, Qt::LeftButton);
            b.bar->removeEventFilter(&paints);
            clock.onSleep = nullptr;

            // One paint per step, the first as the bar is shown.
            // Each step painted (the bar paints its maximum itself as well: a repeat is no
            // new step), the first as the bar is shown.
            std::vector<CostlyPaints::Paint> steps;
            for (const CostlyPaints::Paint& p : paints.paints) {
                if (steps.empty() || steps.back().value != p.value) {
                    steps.push_back(p);
                }
            }
            ASSERT_EQ(steps.size(), 21u);
            const std::int64_t start = steps.front().at;
            for (std::size_t k = 0; k < steps.size(); ++k) {
                EXPECT_EQ(steps[k].value, 5 * static_cast<int>(k));
                if (cost < 5) {
                    // Step k begins on its deadline, start + 5 ms x k, whatever the paints cost.
                    EXPECT_EQ(steps[k].at - start, 5 * static_cast<std::int64_t>(k))
                        << "step " << k;
                }
            }
            // The end: 21 steps of 5 ms and the 50 ms hold, unless the paints alone took longer.
            const std::int64_t painting = static_cast<std::int64_t>(paints.paints.size()) * cost;
            EXPECT_EQ(paints.hiddenAt - start, std::max<std::int64_t>(155, painting));
            for (const std::uint32_t ms : sleeps) {
                EXPECT_LE(ms, 50u) << "a wait past its deadline wrapped round";
            }
            EXPECT_TRUE(b.bar->isHidden());
        }
    }
}

TEST_F(ConfigTabTest, LaterShowsOfTheTabReadOnceWithoutAnimation) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    EXPECT_TRUE(win->Timer->isActive());
    iface->ClearReceived();
    int animationSleeps = 0;
    clock.onSleep = [&](std::uint32_t ms) { animationSleeps += ms == 5 ? 1 : 0; };
    ShowConfigTab();
    EXPECT_FALSE(win->Timer->isActive());
    // The test channel is closed first, then one read.
    EXPECT_EQ(Commands(), "oOTTo");
    EXPECT_EQ(ReaderCommands(), "Mc");
    EXPECT_EQ(animationSleeps, 0);
}

TEST_F(ConfigTabTest, FrameSizeSevenShowsStandardAndIsWrittenBackAsFive) {
    Plug();
    reader().config[4] = 0x47;
    Create();
    StartUp();
    EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 5);
    EXPECT_TRUE(win->WiegNoParBitChkBx->isChecked() == false);
    win->WrBtnClick();
    const sim::Bytes written = LastTunnelData('C');
    ASSERT_EQ(written.size(), 12u);
    EXPECT_EQ(written[4] & 0x07, 5);
    EXPECT_EQ(reader().config[4], 0x45);
}

TEST_F(ConfigTabTest, InvalidRecordMarkIsReportedBeforeTheControlsShowTheRecord) {
    Plug();
    reader().config = {0, 0x80, 9, 1, 0x03, 0, 0, 0};
    Create();
    QString ledTimWhenShown;
    dialogs.onShown = [&] { ledTimWhenShown = win->LedTim->text(); };
    StartUp();
    EXPECT_EQ(dialogs.Errors(),
              std::vector<std::string>{"Czytnik zawiera nieprawidłową konfigurację."});
    EXPECT_EQ(ledTimWhenShown, "5");
    EXPECT_EQ(win->LedTim->text(), "9");
    EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 3);
    EXPECT_FALSE(win->BuzChkBx->isChecked());
    EXPECT_EQ(win->config[0], 0);
}

TEST_F(ConfigTabTest, LedTimeIsClampedWhenWritten) {
    Plug();
    Create();
    StartUp();
    struct Case {
        QString text;
        std::uint8_t stored;
        QString shown;
    };
    const Case cases[] = {{"999", 255, "255"}, {"-7", 0, "0"},  {"abc", 0, "0"},
                          {"", 0, "0"},        {"007", 7, "7"}, {"42", 42, "42"}};
    for (const Case& c : cases) {
        win->LedTim->setText(c.text);
        win->WrBtnClick();
        EXPECT_EQ(LastTunnelData('C').at(2), c.stored) << c.text.toStdString();
        EXPECT_EQ(win->LedTim->text(), c.shown) << c.text.toStdString();
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ConfigTabTest, LedTimeIsNormalisedEvenWhenTheWriteFails) {
    Create();
    win->LedTim->setText("300");
    win->WrBtnClick();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kNoInterface});
    EXPECT_EQ(win->LedTim->text(), "255");
}

TEST_F(ConfigTabTest, BuzzerSlotsAndLedTimeFollowTheirCheckBoxes) {
    Plug();
    reader().config[1] = 0x80;  // LED signalling on, buzzer off
    Create();
    StartUp();
    auto slotsEnabled = [&](bool enabled) {
        for (QCheckBox* b :
             {win->Buz0, win->Buz1, win->Buz2, win->Buz3, win->Buz4, win->Buz5, win->Buz6}) {
            EXPECT_EQ(b->isEnabled(), enabled) << b->objectName().toStdString();
        }
        EXPECT_EQ(win->BuzSygnLbl->isEnabled(), enabled);
        EXPECT_TRUE(win->BuzDescrLbl->isEnabled());
    };
    EXPECT_FALSE(win->BuzChkBx->isChecked());
    slotsEnabled(false);

    // Read again with the box already unchecked: no reaction, still disabled.
    win->RdBtnClick();
    slotsEnabled(false);

    reader().config[1] = 0xC0;
    win->RdBtnClick();
    EXPECT_TRUE(win->BuzChkBx->isChecked());
    slotsEnabled(true);

    // The user's click.
    win->BuzChkBx->click();
    slotsEnabled(false);

    win->LedChkBx->click();
    EXPECT_FALSE(win->LedTim->isEnabled());
    EXPECT_FALSE(win->LedTimLbl->isEnabled());
    EXPECT_FALSE(win->LedSLbl->isEnabled());
    win->LedChkBx->click();
    EXPECT_TRUE(win->LedTim->isEnabled());
    EXPECT_TRUE(win->LedTimLbl->isEnabled());
    EXPECT_TRUE(win->LedSLbl->isEnabled());
}

TEST_F(ConfigTabTest, NoParityBitsDisablesBothParityGroups) {
    Plug();
    Create();
    StartUp();
    // A reader with parity bits on: both groups are there to choose from after connecting.
    ASSERT_FALSE(win->WiegNoParBitChkBx->isChecked());
    EXPECT_TRUE(win->WiegBegBitRGrp->isEnabled());
    EXPECT_TRUE(win->WiegEndBitRGrp->isEnabled());
    win->WiegNoParBitChkBx->click();
    EXPECT_FALSE(win->WiegBegBitRGrp->isEnabled());
    EXPECT_FALSE(win->WiegEndBitRGrp->isEnabled());
    win->WiegNoParBitChkBx->click();
    EXPECT_TRUE(win->WiegBegBitRGrp->isEnabled());
    EXPECT_TRUE(win->WiegEndBitRGrp->isEnabled());

    // A record without parity bits does the same through decoding, and the groups stay
    // disabled when the reader is shown as connected.
    reader().config[4] = 0x48;
    win->RdBtnClick();
    EXPECT_TRUE(win->WiegNoParBitChkBx->isChecked());
    EXPECT_FALSE(win->WiegBegBitRGrp->isEnabled());
    EXPECT_FALSE(win->WiegEndBitRGrp->isEnabled());
    EXPECT_EQ(win->WiegEndBitRGrp->itemIndex(), 1);
    EXPECT_EQ(win->WiegBegBitRGrp->itemIndex(), 0);
}

TEST_F(ConfigTabTest, DefaultControlsWriteTheStandardRecord) {
    Plug();
    Create();
    win->KeybRGrp->setItemIndex(0);
    int animationSleeps = 0;
    clock.onSleep = [&](std::uint32_t ms) { animationSleeps += ms == 5 ? 1 : 0; };
    win->WrBtnClick();
    EXPECT_TRUE(dialogs.shown.empty());
    const sim::Bytes expected{0x02, 0xC0, 0x05, 0x03, 0x40, 0x00,
                              0x01, 0x00, 0xC7, 0xD4, 0x8A, 0xC8};
    EXPECT_EQ(LastTunnelData('C'), expected);
    EXPECT_EQ(Commands(), "OTTo");
    EXPECT_EQ(ReaderCommands(), "MC") << "a write never offers the upgrade";
    EXPECT_EQ(animationSleeps, 21);
    EXPECT_TRUE(win->WrProgrBar->isHidden());
    EXPECT_TRUE(win->WrBtn->isEnabled());
}

TEST_F(ConfigTabTest, RefusedWriteLeavesTheReaderNotResponding) {
    Plug();
    Create();
    StartUp();
    iface->InjectFault({sim::FaultKind::ReaderStatus, 'T', 'C'});
    win->WrBtnClick();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kCommFailure});
    EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_TRUE(win->WrProgrBar->isHidden());
}

TEST_F(ConfigTabTest, ClosingSendsCloseOnlyWhenTheChannelIsOpen) {
    Plug();
    Create();
    StartUp();
    iface->ClearReceived();
    win->close();
    EXPECT_EQ(Commands(), "");
    EXPECT_FALSE(win->isVisible());

    Create();
    ShowTestTab();
    iface->ClearReceived();
    win->close();
    EXPECT_EQ(Commands(), "o");
    EXPECT_FALSE(win->isVisible());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ConfigTabTest, ClosingWithTheInterfaceUnpluggedTellsAndStillCloses) {
    Plug();
    Create();
    ShowTestTab();
    platform.Unplug(deviceNumber);
    win->close();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kNoInterface});
    EXPECT_FALSE(win->isVisible());
}

TEST_F(ConfigTabTest, FailedClosingExchangeIsShownAndTheWindowStillCloses) {
    Plug();
    Create();
    ShowTestTab();
    iface->InjectFault({sim::FaultKind::Nak, 'o'});
    win->close();
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_NE(dialogs.Errors()[0].find("rozk: o"), std::string::npos) << dialogs.Errors()[0];
    EXPECT_FALSE(win->isVisible());
}

TEST_F(ConfigTabTest, StartUpTimerRunsTheReadFromTheEventLoop) {
    Plug();
    Create();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !win->UpgrTimer->isActive(); }, 5000));
    EXPECT_FALSE(win->UpgrTimer->isActive());
    EXPECT_EQ(ReaderCommands(), "Mc");
    EXPECT_EQ(win->RdLbl->text(), "Czytnik KV-T51X, Nr: 00042 (soft: 2)");
}

// Restoring shows the page again, but changes no tab.
TEST_F(ConfigTabTest, RestoringTheMinimisedWindowReadsNothing) {
    Plug();
    Create();
    StartUp();
    iface->ClearReceived();
    win->showMinimized();
    QCoreApplication::processEvents();
    win->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(Commands(), "");
}

}  // namespace

// The window fixture of the app tests, with the simulator reached through a platform wrapper
// that can also break the transport.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "faulty_platform.h"
#include "window_fixture.h"

namespace reliability {

class ReliabilityTest : public WindowTest {
  protected:
    void PlugReader() {
        Plug();
        faulty.SetDevice(deviceNumber);
    }

    // A new window on the wrapped platform, shown, its start-up read not yet run.
    void Build() {
        win.reset();
        list = std::make_unique<wusb::WUsbDevTab>(faulty, uwieg::kInterfaceGuid);
        win = std::make_unique<TMainWin>(*list, clock, dialogs, files);
        win->show();
    }

    // Every injected fault gone and the interface plugged in.
    void ClearFaults() {
        faulty.Clear();
        iface->ClearFaults();
        if (!platform.IsPlugged(deviceNumber)) {
            platform.Replug(deviceNumber);
        }
    }

    QString ReaderDescription() {
        char text[64];
        std::snprintf(text, sizeof text, "Czytnik KV-T%dX, Nr: %05d (soft: %d)",
                      reader().typeNumber, reader().readerNumber, reader().firmwareVersion);
        return QString::fromUtf8(text);
    }

    std::vector<QWidget*> ConfigControls() const {
        return {win->WiegSizeRGrp, win->WiegOrderRGrp, win->WiegNoParBitChkBx,
                win->LedStabRGrp,  win->LedChkBx,      win->BuzChkBx};
    }

    // The state a completed read leaves: the reader shown, its record in the window, the channel
    // closed on both sides.
    void ExpectReaderShown() {
        EXPECT_EQ(win->RdLbl->text(), ReaderDescription());
        EXPECT_TRUE(win->WrBtn->isEnabled());
        for (QWidget* c : ConfigControls()) {
            EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
        }
        EXPECT_EQ(win->config, reader().config);
        EXPECT_FALSE(win->device.channelOpen);
        EXPECT_FALSE(iface->channelOpen());
    }

    // The state a flow that a failure ended leaves on the configuration tab.
    void ExpectNotResponding() {
        EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
        EXPECT_FALSE(win->WrBtn->isEnabled());
        EXPECT_TRUE(win->RdBtn->isEnabled());
        for (QWidget* c : ConfigControls()) {
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        }
    }

    FaultyPlatform faulty{platform};
};

}  // namespace reliability

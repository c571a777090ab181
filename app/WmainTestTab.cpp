// The test tab: live transmission lines and the LED and BUZ output lines.
#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "app/Wmain.h"
#include "uwieg/failure_text.h"
#include "uwieg/test_channel.h"
#include "wusb/err.h"

void TMainWin::TestShow() {
    suppressTestClick = true;
    LedRGrp->setItemIndex(0);
    BuzRGrp->setItemIndex(0);
    suppressTestClick = false;
    pollFailureShown_ = false;
    try {
        if (!uwieg::OpenTestChannel(deviceList_, device, dialogs_)) {
            return;
        }
        Timer->start();
    } catch (const wusb::WUsbErr& e) {
        dialogs_.ShowError(wusb::Message(e));
    }
}

void TMainWin::TimerTimer() {
    if (const std::optional<uwieg::TestReport> report = uwieg::PollTestReport(device)) {
        lineText = report->line;
        AddTestLine(lineText);
    }
}

void TMainWin::TimerTick() {
    try {
        TimerTimer();
        pollFailureShown_ = false;
    } catch (...) {
        if (!pollFailureShown_) {
            pollFailureShown_ = true;
            dialogs_.ShowError(uwieg::CurrentFailureText());
        }
    }
}

void TMainWin::LedRGrpClick() {
    if (suppressTestClick) {
        return;
    }
    const auto led = static_cast<std::uint8_t>(LedRGrp->itemIndex());
    const auto buz = static_cast<std::uint8_t>(BuzRGrp->itemIndex());
    try {
        if (!OpenInterface()) {
            return;
        }
        device.OutputTest(led, buz);
    } catch (const wusb::WUsbErr& e) {
        dialogs_.ShowError(wusb::Message(e));
    }
}

void TMainWin::AddTestLine(const std::string& text) {
    // A cursor of our own appends without moving the user's cursor or scrolling the view.
    QTextCursor cursor(TstWin->document());
    cursor.movePosition(QTextCursor::End);
    // A trailing empty line (empty memo, or text ending in a line break) takes the new text.
    if (!cursor.block().text().isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(QString::fromStdString(text));
}

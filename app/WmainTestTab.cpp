// The test tab: live transmission lines and the LED and BUZ output lines.
#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <cstdint>

#include "app/FailureText.h"
#include "app/Wmain.h"
#include "uwieg/report.h"
#include "wusb/err.h"

namespace {

constexpr std::uint8_t kTestChannelMode = 0;
constexpr int kReportBufferSize = 32;

}  // namespace

void TMainWin::TestShow() {
    suppressTestClick = true;
    LedRGrp->setItemIndex(0);
    BuzRGrp->setItemIndex(0);
    suppressTestClick = false;
    pollFailureShown_ = false;
    try {
        if (!OpenInterface()) {
            return;
        }
        device.OpenChannel(kTestChannelMode);
        Timer->start();
    } catch (const wusb::WUsbErr& e) {
        dialogs_.ShowError(wusb::Message(e));
    }
}

void TMainWin::TimerTimer() {
    std::uint8_t buffer[kReportBufferSize];
    const int n = device.PollReport(buffer);
    if (n != 0) {
        lineText = uwieg::FormatReport(buffer, static_cast<std::size_t>(n));
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
            dialogs_.ShowError(CurrentFailureText());
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

// The test tab: live transmission lines and the LED and BUZ output lines.
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolTip>
#include <cstdint>
#include <optional>
#include <utility>

#include "app/Wmain.h"
#include "uwieg/failure_text.h"
#include "uwieg/test_channel.h"
#include "wiegand/describe.h"
#include "wusb/err.h"

namespace {

// Which test-log entry a memo line shows; it stays with the line's block when the user edits
// other lines.
struct LogLine : QTextBlockUserData {
    explicit LogLine(std::size_t i) : index(i) {}
    std::size_t index;
};

}  // namespace

void TMainWin::TestShow() {
    suppressTestClick = true;
    LedRGrp->setItemIndex(0);
    BuzRGrp->setItemIndex(0);
    suppressTestClick = false;
    pollFailureShown_ = false;
    if (!formatsFault_.empty()) {
        dialogs_.ShowError(std::exchange(formatsFault_, {}));
    }
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
        const uwieg::TestLogEntry& entry = testLog.Add(clock_.Now(), *report);
        lineText = entry.line;
        AddTestLine(lineText);
        TstWin->document()->lastBlock().setUserData(new LogLine(testLog.entries().size() - 1));
        ShowDecoded(entry);
    }
}

void TMainWin::ShowDecoded(const uwieg::TestLogEntry& entry) {
    DecodeStrip->setText(QString::fromStdString(uwieg::ClockTime(entry.time) + "  " +
                                                wiegand::SummaryPolish(entry.decoded)));
}

QString TMainWin::LineTip(const QPoint& pos) const {
    const QTextCursor cursor = TstWin->cursorForPosition(pos);
    // Below the last line the nearest position is still on it; only the line under the pointer
    // counts.
    const QRect line = TstWin->cursorRect(cursor);
    const auto* tagged = dynamic_cast<const LogLine*>(cursor.block().userData());
    if (tagged == nullptr || pos.y() < line.top() || pos.y() > line.bottom()) {
        return {};
    }
    const uwieg::TestLogEntry& entry = testLog.entries().at(tagged->index);
    return QString::fromStdString(uwieg::ClockTime(entry.time) + "\n" +
                                  wiegand::DetailsPolish(entry.decoded));
}

void TMainWin::ShowLineTip(const QHelpEvent& event) {
    const QString tip = LineTip(event.pos());
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event.globalPos(), tip, TstWin);
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

void TMainWin::SaveTestLogClick() {
    uwieg::SaveTestLog(testLog, files_, dialogs_);
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

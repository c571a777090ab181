// The decode strip under the tab control, the memo lines' tooltips and the test log behind
// them.
#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

#include "uwieg/report.h"
#include "wiegand/encode.h"
#include "window_fixture.h"

namespace {

using DecodeStripTest = WindowTest;

sim::Transmission Card(const char* format, std::uint64_t code, std::uint64_t card,
                       wiegand::ParityChoice parity = wiegand::ParityChoice::Right) {
    sim::Transmission t;
    t.payload = wiegand::EncodeReport(*wiegand::FindFormat(format), code, card, parity, true);
    return t;
}

QString StripText(std::int32_t seconds, const char* decode) {
    return QString::fromStdString(uwieg::ClockTime({seconds, 0}) + "  ") +
           QString::fromUtf8(decode);
}

// A point on memo line `line` (0-based), `below` pixels under its middle.
QPoint OnLine(const TMainWin& w, int line, int below = 0) {
    const QTextCursor cursor(w.TstWin->document()->findBlockByNumber(line));
    return w.TstWin->cursorRect(cursor).center() + QPoint(4, below);
}

QString TipAtLine(const TMainWin& w, int line, int below = 0) {
    return w.LineTip(OnLine(w, line, below));
}

TEST_F(DecodeStripTest, ShownUnderTheTabsOnlyWithTheTestTab) {
    Plug();
    Create();
    const QRect strip = win->DecodeStrip->geometry();
    EXPECT_GE(strip.top(), win->PageControl1->geometry().bottom());
    EXPECT_LE(strip.bottom(), win->height());
    EXPECT_GE(strip.height(), win->DecodeStrip->sizeHint().height());
    EXPECT_FALSE(win->DecodeStrip->isVisible());
    ShowTestTab();
    EXPECT_TRUE(win->DecodeStrip->isVisible());
    ShowConfigTab();
    EXPECT_FALSE(win->DecodeStrip->isVisible());
}

TEST_F(DecodeStripTest, ShowsTheNewestTransmissionDecodedWithItsTime) {
    Plug();
    Create();
    ShowTestTab();
    iface->Present(Card("H10301", 18, 13398));
    win->TimerTimer();
    EXPECT_EQ(win->DecodeStrip->text(),
              StripText(clock.Now().seconds,
                        "26 bit H10301 · FC 18 · CN 13398 · parzystość OK · jeszcze 1 odczyt"));

    clock.fake.Advance(61'000);
    iface->Present(Card("H10306", 7, 9, wiegand::ParityChoice::WrongBegin));
    win->TimerTimer();
    EXPECT_EQ(win->DecodeStrip->text(),
              StripText(clock.Now().seconds,
                        "34 bit H10306 · FC 7 · CN 9 · parzystość błędna (początkowa)"));
    iface->Present(sim::Transmission::Key(4, 7));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().endsWith("  klawisz 7"))
        << win->DecodeStrip->text().toStdString();
    iface->Present(sim::Transmission::Card(32, {0x12, 0x34, 0x56, 0x78}));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().endsWith(
        "  32 bit · UID 12345678 (odwrotnie 78563412) · 305419896"));
    // A kind 3 report is judged by the format's own parity; what the reader declares otherwise
    // is noted.
    iface->Present(
        sim::Transmission::CardWithParity(24, {0x2A, 0x00, 0x45}, true, true, true, false));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().endsWith(
        "26 bit H10301 · FC 42 · CN 69 · parzystość OK · raport deklaruje początkową "
        "nieparzystą · jeszcze 1 odczyt"))
        << win->DecodeStrip->text().toStdString();
    // A tick without a report keeps the strip as it is.
    const QString before = win->DecodeStrip->text();
    win->TimerTimer();
    EXPECT_EQ(win->DecodeStrip->text(), before);
}

TEST_F(DecodeStripTest, MemoLinesStayAsTheyWereAndTheMemoDoesNotScroll) {
    Plug();
    Create();
    ShowTestTab();
    QStringList expected;
    for (int i = 0; i < 60; ++i) {
        const sim::Transmission t = Card("H10301", 1, static_cast<std::uint64_t>(i));
        expected << QString::fromStdString(uwieg::FormatReport(t.payload.data(), t.payload.size()));
        iface->Present(t);
        win->TimerTimer();
    }
    EXPECT_EQ(win->TstWin->toPlainText().split(QLatin1Char('\n')), expected);
    EXPECT_EQ(win->TstWin->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(win->DecodeStrip->text().endsWith("CN 59 · parzystość OK · jeszcze 1 odczyt"));
    EXPECT_EQ(win->testLog.entries().size(), 60u);
}

TEST_F(DecodeStripTest, HoveringALineShowsThatLinesDecode) {
    Plug();
    Create();
    win->show();
    ShowTestTab();
    win->TstWin->setPlainText("notatka");
    iface->Present(Card("H10301", 18, 13398));
    iface->Present(Card("H10304", 42, 69, wiegand::ParityChoice::WrongEnd));
    win->TimerTimer();
    win->TimerTimer();

    EXPECT_EQ(TipAtLine(*win, 0), QString()) << "the user's own line has no decode";
    const QString first = TipAtLine(*win, 1);
    EXPECT_TRUE(first.contains("26 bit H10301 · FC 18 · CN 13398 · parzystość OK"))
        << first.toStdString();
    EXPECT_TRUE(first.startsWith(QString::fromStdString(uwieg::ClockTime(clock.Now()))));
    const QString second = TipAtLine(*win, 2);
    EXPECT_TRUE(second.contains("37 bit H10304 · FC 42 · CN 69 · parzystość błędna (końcowa)"));
    EXPECT_TRUE(second.contains("37 bit H10302 · CN "));
    EXPECT_TRUE(second.contains("UID "));
    // Well below the last line: nothing.
    EXPECT_EQ(TipAtLine(*win, 2, 200), QString());

    // Hovering shows the same text as a tooltip.
    const QPoint at = OnLine(*win, 1);
    QHelpEvent hover(QEvent::ToolTip, at, win->TstWin->viewport()->mapToGlobal(at));
    QApplication::sendEvent(win->TstWin->viewport(), &hover);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), first);
    QToolTip::hideText();

    // A line the user types above keeps each tick's line with its own decode.
    QTextCursor top(win->TstWin->document());
    top.insertText("pierwsza\n");
    EXPECT_TRUE(TipAtLine(*win, 2).contains("H10301"));
    EXPECT_TRUE(TipAtLine(*win, 3).contains("H10304"));
}

TEST_F(DecodeStripTest, CardsAreReadAsTheReaderIsConfiguredAndWithTheUsersFormats) {
    Plug();
    reader().config[4] = 0x41;  // 32+2 bits, Hi...Lo, begin even, end odd
    Create();
    const std::string site = R"({"format": "trelvo-formats", "version": 1, "formats": [
        {"name": "SITE-30", "bits": 30, "fields": [{"name": "card", "first": 1, "width": 30}]}]})";
    files.Put("/cfg/formats.json", site);
    win->UseCardFormats(uwieg::LoadCardFormats(files, "/cfg/formats.json", true));
    StartUp();
    ShowTestTab();
    // A camera manual's Wiegand34 coding of card 1234567890: the reader's own frame.
    iface->Present(
        sim::Transmission::CardWithParity(32, {0x49, 0x96, 0x02, 0xD2}, false, true, true, false));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().endsWith(
        "34 bit 32+2 (konfiguracja czytnika) · CN 1234567890 · hex 499602D2 (odwrotnie "
        "D2029649) · parzystość OK · jeszcze 1 odczyt · zgodna z konfiguracją czytnika"))
        << win->DecodeStrip->text().toStdString();
    // Both 37-bit readings: counted in the strip, listed in the tooltip and the CSV.
    iface->Present(sim::Transmission::Card(37, {0x80, 0x15, 0x00, 0x04, 0x50}));
    iface->Present(sim::Transmission::Card(30, {0x12, 0x34, 0x56, 0x78}));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().contains(
        "37 bit H10304 · FC 42 · CN 69 · parzystość OK · jeszcze 1 odczyt · niezgodna z "
        "konfiguracją czytnika (32+2 bity)"))
        << win->DecodeStrip->text().toStdString();
    const QString tip = win->LineTip(OnLine(*win, 1));
    EXPECT_TRUE(
        tip.contains("37 bit H10304 · FC 42 · CN 69 · parzystość OK\n37 bit H10302 · CN "
                     "22020165 · parzystość OK\n"))
        << tip.toStdString();
    win->TimerTimer();
    EXPECT_TRUE(
        win->DecodeStrip->text().endsWith("30 bit SITE-30 · CN 76354974 · bez bitów parzystości · "
                                          "niezgodna z konfiguracją czytnika (32+2 bity)"))
        << win->DecodeStrip->text().toStdString();
    const std::string csv = win->testLog.Csv();
    EXPECT_NE(csv.find(",H10304,42,69,ok\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",H10302,,22020165,ok\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",SITE-30,,76354974,ok\r\n"), std::string::npos) << csv;
    EXPECT_TRUE(dialogs.Errors().empty());
}

TEST_F(DecodeStripTest, AFormatFileThatCannotBeUsedIsNamedOnce) {
    Plug();
    Create();
    files.Put("/cfg/formats.json", R"({"format": "trelvo-formats", "version": 1, "formats": [
        {"name": "SITE-30", "bits": 30, "fields": [{"name": "card", "first": 2, "width": 30}]}]})");
    win->UseCardFormats(uwieg::LoadCardFormats(files, "/cfg/formats.json", false));
    ShowTestTab();
    ShowConfigTab();
    ShowTestTab();
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_EQ(dialogs.Errors()[0],
              "Pominięto plik formatów „/cfg/formats.json”: 2:52: klucz „formats[0].fields[0]”: "
              "pole wychodzi poza ramkę");
    // The built-in table reads on.
    iface->Present(Card("H10301", 18, 13398));
    win->TimerTimer();
    EXPECT_TRUE(win->DecodeStrip->text().contains("H10301 · FC 18"));
}

TEST_F(DecodeStripTest, TheFileMenuSavesEveryTransmissionSinceStartAsCsv) {
    Plug();
    Create();
    ShowTestTab();
    iface->Present(Card("H10301", 18, 13398));
    win->TimerTimer();
    ShowConfigTab();
    ShowTestTab();
    iface->Present(Card("C1000-35", 3522, 1048575));
    win->TimerTimer();
    ASSERT_NE(win->PlikMenu->actions().indexOf(win->SaveTestLogItem), -1);
    EXPECT_EQ(win->SaveTestLogItem->text(), QStringLiteral("Zapisz &log testu…"));

    dialogs.fileAnswers.push_back("/tmp/test.csv");
    win->SaveTestLogItem->trigger();
    const std::string csv = win->testLog.Csv();
    EXPECT_EQ(files.AfterCrash("/tmp/test.csv"), csv);
    EXPECT_NE(csv.find(",H10301,18,13398,ok\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",C1000-35,3522,1048575,ok\r\n"), std::string::npos) << csv;

    // A failed save says so and keeps what was there.
    files.FailAt(trelvo_test::MemoryFiles::Step::kRename, 1);
    dialogs.fileAnswers.push_back("/tmp/test.csv");
    iface->Present(Card("H10301", 1, 2));
    win->TimerTimer();
    win->SaveTestLogItem->trigger();
    EXPECT_EQ(files.AfterCrash("/tmp/test.csv"), csv);
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_EQ(dialogs.Errors()[0].rfind("Nie udało się zapisać logu testu.", 0), 0u);
}

}  // namespace

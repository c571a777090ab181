// The log of received transmissions and its CSV: rows as a spreadsheet reads them back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "recording_dialogs.h"
#include "tests/support/memory_files.h"
#include "uwieg/report.h"
#include "uwieg/test_log.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const uwieg::TestLogEntry& Add(uwieg::TestLog& log, wusb::TimeStamp t, const Bytes& payload) {
    return log.Add(t, {payload, uwieg::FormatReport(payload.data(), payload.size())});
}

std::vector<std::string> Rows(const std::string& csv) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    for (std::size_t end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2) {
        rows.push_back(csv.substr(start, end - start));
    }
    EXPECT_EQ(start, csv.size()) << "every row ends in CRLF";
    return rows;
}

TEST(TestLog, KeepsEachTransmissionWithItsLineAndDecode) {
    uwieg::TestLog log;
    const auto& e = Add(log, {100, 5}, {0xD4, 0x12, 0xD4, 0x1B, 0x81});
    EXPECT_EQ(e.line, "1_D4,1B,81_0   {karta: Even parity + 24 bit + Odd parity}");
    EXPECT_EQ(e.decoded.Best()->card, 0x1B81u);
    Add(log, {101, 0}, {0x40, 0x70});
    ASSERT_EQ(log.entries().size(), 2u);
    EXPECT_EQ(log.entries()[1].time.seconds, 101);
    EXPECT_EQ(log.entries()[0].payload.size(), 5u);
}

TEST(TestLog, CsvRowsQuoteTheLineAndCarryEveryReading) {
    uwieg::TestLog log;
    const wusb::TimeStamp t{1'000'000, 250};
    Add(log, t, {0xD4, 0x12, 0x12, 0x34, 0x56});
    Add(log, t, {0x9F, 0x77, 0x0B, 0xFF, 0xFF, 0xC0});
    Add(log, t, {0x44, 0x87});
    Add(log, t, {0x1A, 0xAB, 0xCD, 0xE0});
    Add(log, t, {0xA1, 0x80, 0x15, 0x00, 0x04, 0x50});
    const auto rows = Rows(log.Csv());
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0], "time,line,kind,bits,data,format,facility,card,parity");
    const std::string time = uwieg::DateTime(t) + ",";
    // One row per reading, the first reading first.
    const std::string line24 =
        time + "\"1_12,34,56_0   {karta: Even parity + 24 bit + Odd parity}\",3,24,123456,";
    EXPECT_EQ(rows[1], line24 + "H10301,18,13398,begin");
    EXPECT_EQ(rows[2], line24 + "24+2,,1193046,begin");
    EXPECT_EQ(rows[3], time +
                           "\"77,0B,FF,FF,C0   {karta: 35 bit}\",2,35,770BFFFFC0,C1000-35,"
                           "3522,1048575,ok");
    EXPECT_EQ(rows[4], time + "10000111   {klawisz 7},1,8,87,key,,7,");
    EXPECT_EQ(rows[5], time + "\"AB,CD,E0   {nie rozpoznana transmisja 30 bit}\",0,30,ABCDE0,,,,");
    const std::string line37 = time + "\"80,15,00,04,50   {karta: 37 bit}\",2,37,8015000450,";
    EXPECT_EQ(rows[6], line37 + "H10304,42,69,ok");
    EXPECT_EQ(rows[7], line37 + "H10302,,22020165,ok");
}

TEST(TestLog, CsvFieldsFollowRfc4180) {
    EXPECT_EQ(uwieg::CsvField("plain text"), "plain text");
    EXPECT_EQ(uwieg::CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(uwieg::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(uwieg::CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(uwieg::CsvField(""), "");
}

TEST(TestLog, SaveWritesTheWholeCsvWhereTheUserChose) {
    uwieg::TestLog log;
    Add(log, {1'000'000, 0}, {0x96, 0x95, 0x00, 0x22, 0x80});
    trelvo_test::MemoryFiles files;
    uwieg_test::RecordingDialogs dialogs;
    dialogs.fileAnswers.push_back("/home/u/log.csv");
    EXPECT_TRUE(uwieg::SaveTestLog(log, files, dialogs));
    ASSERT_EQ(dialogs.fileQuestions.size(), 1u);
    EXPECT_EQ(dialogs.fileQuestions[0].filter, "Log testu CSV (*.csv)");
    EXPECT_EQ(files.AfterCrash("/home/u/log.csv"), log.Csv());
    EXPECT_TRUE(dialogs.errors.empty());

    // Cancelled: nothing written, nothing shown.
    EXPECT_FALSE(uwieg::SaveTestLog(log, files, dialogs));
    EXPECT_EQ(files.Paths().size(), 1u);
}

TEST(TestLog, AFailedSaveKeepsTheOldFileAndSaysSo) {
    uwieg::TestLog log;
    Add(log, {1'000'000, 0}, {0x40, 0x70});
    trelvo_test::MemoryFiles files;
    files.Put("/tmp/log.csv", "old");
    uwieg_test::RecordingDialogs dialogs;
    for (auto step : {trelvo_test::MemoryFiles::Step::kWrite, trelvo_test::MemoryFiles::Step::kSync,
                      trelvo_test::MemoryFiles::Step::kRename}) {
        files.FailAt(step, 1, 10);
        dialogs.fileAnswers.push_back("/tmp/log.csv");
        EXPECT_FALSE(uwieg::SaveTestLog(log, files, dialogs));
        EXPECT_EQ(files.AfterCrash("/tmp/log.csv"), "old");
        EXPECT_EQ(files.Content("/tmp/log.csv"), "old");
    }
    ASSERT_EQ(dialogs.errors.size(), 3u);
    EXPECT_EQ(dialogs.errors[0].rfind("Nie udało się zapisać logu testu.", 0), 0u);
}

#ifndef _WIN32
TEST(TestLog, TimesAreLocalWithMilliseconds) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(uwieg::DateTime({1'000'000, 7}), "1970-01-12 13:46:40.007");
    EXPECT_EQ(uwieg::ClockTime({1'000'000, 999}), "13:46:40");
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
#endif

}  // namespace

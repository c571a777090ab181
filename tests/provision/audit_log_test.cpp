// The audit log: its CSV form, whole synced records, and what it does with a line a crash tore.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/memory_files.h"
#include "uwieg/audit_log.h"

namespace uwieg {
namespace {

using trelvo_test::MemoryFiles;
using Step = MemoryFiles::Step;

const std::string kHeader = std::string(kAuditHeader) + "\n";

AuditRecord Sample() {
    AuditRecord r;
    r.time = {1796716923, 999};
    r.interfaceSerial = "0000ABCD";
    r.type = 51;
    r.number = 42;
    r.variant = 1;
    r.firmwareBefore = 2;
    r.firmwareAfter = 3;
    r.profile = "site.json";
    r.profileSha256 = "ab12";
    r.ok = true;
    return r;
}

TEST(AuditText, IsoUtcTimes) {
    EXPECT_EQ(wusb::IsoUtcText({0, 0}), "1970-01-01T00:00:00Z");
    EXPECT_EQ(wusb::IsoUtcText({951782400, 0}), "2000-02-29T00:00:00Z");
    EXPECT_EQ(wusb::IsoUtcText({1796716923, 999}), "2026-12-08T08:02:03Z");
    EXPECT_EQ(wusb::IsoUtcText({2147483647, 0}), "2038-01-19T03:14:07Z");
    EXPECT_EQ(wusb::IsoUtcText({-1, 0}), "1969-12-31T23:59:59Z");
}

TEST(AuditText, LinesQuoteWhatCsvNeedsQuoted) {
    EXPECT_EQ(AuditLine(Sample()),
              "2026-12-08T08:02:03Z,0000ABCD,51,42,1,2,3,site.json,ab12,ok,\n");
    AuditRecord failed = Sample();
    failed.ok = false;
    failed.type = 0;  // the reader never answered: nothing is known of it
    failed.profile = "a,b \"c\".json";
    failed.error = "Błąd\nodczytu";
    EXPECT_EQ(AuditLine(failed),
              "2026-12-08T08:02:03Z,0000ABCD,,,,,,\"a,b \"\"c\"\".json\",ab12,"
              "failed,Błąd | odczytu\n");
    // Line breaks stay visible on one line; what a spreadsheet would run as a formula is text.
    const std::pair<std::string, std::string> fields[] = {
        {"a\rb", "a | b"},
        {"a\r\nb\n", "a | b | "},
        {"=1+2", "'=1+2"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "' | x"},
        {"=A1,B1", "\"'=A1,B1\""},
        {"site-1.json", "site-1.json"},
    };
    for (const auto& [profile, written] : fields) {
        failed.profile = profile;
        EXPECT_EQ(AuditLine(failed), "2026-12-08T08:02:03Z,0000ABCD,,,,,," + written +
                                         ",ab12,failed,Błąd | odczytu\n");
    }
}

TEST(AuditLogTest, NewFileGetsTheHeaderAndEveryRecordIsSyncedWhole) {
    MemoryFiles files;
    AuditLog log(files, "log.csv");
    EXPECT_EQ(files.AfterCrash("log.csv"), kHeader);
    EXPECT_EQ(log.Append(Sample()), "");
    EXPECT_EQ(files.AfterCrash("log.csv"), kHeader + AuditLine(Sample()));
    EXPECT_TRUE(log.tornLine().empty());

    // Opened again: appended to, never rewritten, no second header.
    AuditLog again(files, "log.csv");
    EXPECT_EQ(again.Append(Sample()), "");
    EXPECT_EQ(files.Content("log.csv"), kHeader + AuditLine(Sample()) + AuditLine(Sample()));
}

TEST(AuditLogTest, TornLastLineIsReportedKeptAndFollowedByAFreshLine) {
    // Wherever a record with line breaks in its fields is cut, what is left is a torn line.
    AuditRecord multiLine = Sample();
    multiLine.ok = false;
    multiLine.error = "Konfiguracja różni się.\n  zapisano: 02\r\n  odczytano: 03";
    const std::string record = AuditLine(multiLine);
    for (std::size_t cut = 1; cut < record.size(); ++cut) {
        MemoryFiles files;
        files.Put("log.csv", kHeader + record.substr(0, cut));
        EXPECT_EQ(AuditLog(files, "log.csv").tornLine(), record.substr(0, cut)) << cut;
    }

    MemoryFiles files;
    files.Put("log.csv", kHeader + AuditLine(Sample()) + "2026-12-08T08:02:03Z,0000AB");
    AuditLog log(files, "log.csv");
    EXPECT_EQ(log.tornLine(), "2026-12-08T08:02:03Z,0000AB");
    EXPECT_EQ(log.Append(Sample()), "");
    EXPECT_EQ(
        files.AfterCrash("log.csv"),
        kHeader + AuditLine(Sample()) + "2026-12-08T08:02:03Z,0000AB\n" + AuditLine(Sample()));
}

TEST(AuditLogTest, TornHeaderIsFollowedByAWholeOne) {
    MemoryFiles files;
    files.Put("log.csv", "time,inter");
    AuditLog log(files, "log.csv");
    EXPECT_EQ(log.tornLine(), "time,inter");
    EXPECT_EQ(files.AfterCrash("log.csv"), "time,inter\n" + kHeader);
}

TEST(AuditLogTest, CrashDuringAnAppendLeavesATornLineTheNextStartRecovers) {
    MemoryFiles files;
    {
        AuditLog log(files, "log.csv");
        EXPECT_EQ(log.Append(Sample()), "");
        files.FailAt(Step::kWrite, 1, 10);  // a short write, then the process dies
        EXPECT_THROW(log.Append(Sample()), wusb::FileError);
    }
    const std::string crashed = *files.AfterCrash("log.csv");
    EXPECT_EQ(crashed, kHeader + AuditLine(Sample())) << "the torn bytes were never synced";
    // The torn bytes did reach the file, so the next run sees them.
    AuditLog next(files, "log.csv");
    EXPECT_EQ(next.tornLine(), AuditLine(Sample()).substr(0, 10));
}

TEST(AuditLogTest, AfterAFailedAppendTheNextRecordStartsOnItsOwnLine) {
    MemoryFiles files;
    AuditLog log(files, "log.csv");
    files.FailAt(Step::kWrite, 1, 10);
    EXPECT_THROW(log.Append(Sample()), wusb::FileError);
    EXPECT_EQ(log.Append(Sample()), "");
    EXPECT_EQ(files.Content("log.csv"),
              kHeader + AuditLine(Sample()).substr(0, 10) + "\n" + AuditLine(Sample()));

    // A whole line whose sync failed is logged, not confirmed on disk; nothing is added after it.
    files.FailAt(Step::kSync, 1);
    EXPECT_EQ(log.Append(Sample()), "Nie można zapisać pliku „log.csv”: injected failure");
    EXPECT_EQ(log.Append(Sample()), "");
    EXPECT_EQ(files.Content("log.csv").substr(files.Content("log.csv").size() -
                                              2 * AuditLine(Sample()).size()),
              AuditLine(Sample()) + AuditLine(Sample()));
}

TEST(AuditLogTest, ConcurrentAppendsNeverInterleave) {
    MemoryFiles files;
    AuditLog log(files, "log.csv");
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w) {
        workers.emplace_back([&log, w] {
            for (int i = 0; i < 50; ++i) {
                AuditRecord r = Sample();
                r.number = static_cast<std::uint16_t>(w * 100 + i);
                EXPECT_EQ(log.Append(r), "");
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const std::string content = files.Content("log.csv");
    std::size_t lines = 0;
    for (std::size_t at = kHeader.size(); at < content.size(); ++lines) {
        const std::size_t end = content.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(content.compare(at, 30, AuditLine(Sample()), 0, 30), 0);
        at = end + 1;
    }
    EXPECT_EQ(lines, 400u);
}

}  // namespace
}  // namespace uwieg

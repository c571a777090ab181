#include <gtest/gtest.h>

#include <thread>

#include "tests/support/memory_files.h"

namespace trelvo_test {
namespace {

using Step = MemoryFiles::Step;

TEST(MemoryFiles, CrashKeepsOnlySyncedAppends) {
    MemoryFiles files;
    auto log = files.OpenAppend("log");
    log->Append("one\n");
    log->Sync();
    log->Append("two\n");
    EXPECT_EQ(files.Content("log"), "one\ntwo\n");
    EXPECT_EQ(files.AfterCrash("log"), "one\n");
    EXPECT_EQ(files.ReadAll("log", 8), "one\ntwo\n");
    EXPECT_EQ(log->ReadTail(4), "two\n");
    EXPECT_EQ(log->Size(), 8u);
    EXPECT_FALSE(files.AfterCrash("other").has_value());
}

TEST(MemoryFiles, EachStepOfAReplaceCanFailAndLeavesTheOldFile) {
    for (const Step step : {Step::kWrite, Step::kSync, Step::kRename}) {
        MemoryFiles files;
        files.Put("p.json", "old");
        files.FailAt(step, 1);
        EXPECT_THROW(files.ReplaceAll("p.json", "new"), wusb::FileError);
        EXPECT_EQ(files.Content("p.json"), "old");
        EXPECT_EQ(files.AfterCrash("p.json"), "old");
        EXPECT_EQ(files.Paths(), std::vector<std::string>{"p.json"}) << "temporary file left";
        // Only that one step fails.
        files.ReplaceAll("p.json", "new");
        EXPECT_EQ(files.AfterCrash("p.json"), "new");
        EXPECT_EQ(files.Count(Step::kRename), step == Step::kRename ? 2 : 1);
    }
}

TEST(MemoryFiles, TheNthWriteFailsAfterKeepingAPrefix) {
    MemoryFiles files;
    auto log = files.OpenAppend("log");
    files.FailAt(Step::kWrite, 2, 3);
    log->Append("first\n");
    try {
        log->Append("second\n");
        FAIL() << "second write did not fail";
    } catch (const wusb::FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Nie można zapisać pliku „log”: injected failure");
    }
    log->Append("third\n");
    EXPECT_EQ(files.Content("log"), "first\nsecthird\n");
    EXPECT_EQ(files.Count(Step::kWrite), 3);
}

TEST(MemoryFiles, ReadsCanFailAndMissingFilesAreErrors) {
    MemoryFiles files;
    EXPECT_THROW(files.ReadAll("none", 10), wusb::FileError);
    files.Put("x", "data");
    files.FailAt(Step::kRead, 1);
    EXPECT_THROW(files.ReadAll("x", 10), wusb::FileError);
    EXPECT_EQ(files.ReadAll("x", 4), "data");
    EXPECT_THROW(files.ReadAll("x", 3), wusb::FileError);
}

TEST(MemoryFiles, AnOpenAppendFileKeepsItsFileWhenTheNameIsReplaced) {
    MemoryFiles files;
    auto log = files.OpenAppend("f");
    log->Append("old");
    files.ReplaceAll("f", "new");
    log->Append("+");
    EXPECT_EQ(files.Content("f"), "new");
    EXPECT_EQ(log->ReadTail(10), "old+");
}

TEST(MemoryFiles, AppendsFromSeveralThreadsAreAllKept) {
    MemoryFiles files;
    auto log = files.OpenAppend("log");
    const auto writer = [&](char mark) {
        for (int i = 0; i < 2000; ++i) {
            log->Append(std::string(3, mark));
            if (i % 100 == 0) {
                log->Sync();
            }
        }
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    writer('c');
    first.join();
    second.join();
    const std::string content = files.Content("log");
    ASSERT_EQ(content.size(), 3u * 3 * 2000);
    for (std::size_t i = 0; i < content.size(); i += 3) {
        ASSERT_TRUE(content[i] == content[i + 1] && content[i] == content[i + 2])
            << "torn at " << i;
    }
    EXPECT_EQ(files.Count(Step::kWrite), 3 * 2000);
}

}  // namespace
}  // namespace trelvo_test

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#endif

#include "wusb/files.h"
#include "wusb/system_error_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace wusb {
namespace {

namespace fs = std::filesystem;

class SystemFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / (std::string("trelvo-files-") + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir;
    SystemFiles files;
};

TEST_F(SystemFilesTest, AppendKeepsWhatIsThereAndReadsTheTail) {
    const std::string path = PathOf("log.txt");
    files.ReplaceAll(path, "first\n");
    {
        auto log = files.OpenAppend(path);
        EXPECT_EQ(log->Size(), 6u);
        log->Append("second\n");
        log->Sync();
        EXPECT_EQ(log->ReadTail(7), "second\n");
        // Reading moved the position; the next append must still land at the end.
        log->Append(std::string("\0\r\n", 3));
        EXPECT_EQ(log->ReadTail(100), std::string("first\nsecond\n\0\r\n", 16));
    }
    auto reopened = files.OpenAppend(path);
    EXPECT_EQ(reopened->Size(), 16u);
    EXPECT_EQ(Slurp(path), std::string("first\nsecond\n\0\r\n", 16));
}

TEST_F(SystemFilesTest, OpenAppendCreatesAMissingFile) {
    const std::string path = PathOf("new.log");
    auto log = files.OpenAppend(path);
    EXPECT_EQ(log->Size(), 0u);
    EXPECT_EQ(log->ReadTail(10), "");
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(SystemFilesTest, ReplaceAllReplacesWholeAndLeavesNoTemporaryFile) {
    const std::string path = PathOf("profile.json");
    files.ReplaceAll(path, "a much longer first content\n");
    files.ReplaceAll(path, "short");
    EXPECT_EQ(Slurp(path), "short");
    EXPECT_EQ(Names(), std::vector<std::string>{"profile.json"});
}

#ifndef _WIN32
TEST_F(SystemFilesTest, ReplaceKeepsThePermissionsOfTheOldFile) {
    const std::string path = PathOf("private.json");
    files.ReplaceAll(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    files.ReplaceAll(path, "new");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Slurp(path), "new");
}
#endif

TEST_F(SystemFilesTest, ReadAllRefusesAFileLongerThanItsLimitWithoutReadingOn) {
    const std::string path = PathOf("ten.json");
    files.ReplaceAll(path, "0123456789");
    EXPECT_EQ(files.ReadAll(path, 10), "0123456789");
    try {
        files.ReadAll(path, 9);
        FAIL() << "a file over the limit was read";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nie można odczytać pliku „" + path + "”: plik jest większy niż 9 B");
    }
#ifndef _WIN32
    EXPECT_THROW(files.ReadAll("/dev/zero", 1 << 20), FileError);
#endif
}

#ifndef _WIN32
TEST_F(SystemFilesTest, ReplaceThroughALinkReplacesItsFinalTargetAndKeepsTheLinks) {
    fs::create_directories(dir / "real");
    const std::string target = PathOf("real/profile.json");
    files.ReplaceAll(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/profile.json", dir / "link.json");
    fs::create_symlink(dir / "link.json", dir / "chain.json");
    files.ReplaceAll(PathOf("chain.json"), "new");
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_symlink(dir / "link.json"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain.json"));

    // A link to a file not there yet makes it where the link points.
    fs::create_symlink("real/later.json", dir / "dangling.json");
    files.ReplaceAll(PathOf("dangling.json"), "made");
    EXPECT_EQ(Slurp(PathOf("real/later.json")), "made");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.json"));
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"chain.json", "dangling.json", "link.json", "real"}));
}

TEST_F(SystemFilesTest, DevicesFifosAndOpenStreamsAreWrittenInPlaceNeverReplaced) {
    // A character device, reached through a link so that no fault can ever replace /dev/null.
    fs::create_symlink("/dev/null", dir / "null");
    files.ReplaceAll(PathOf("null"), "gone");
    EXPECT_TRUE(fs::is_symlink(dir / "null"));

    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    files.ReplaceAll(fifo, "through");
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // What /dev/stdout is when the output is redirected with >> to a file: it is appended to.
    const std::string redirected = PathOf("out.txt");
    files.ReplaceAll(redirected, "kept\n");
    const int stream = ::open(redirected.c_str(), O_WRONLY | O_APPEND);
    fs::create_symlink("/proc/self/fd/" + std::to_string(stream), dir / "stdout");
    files.ReplaceAll(PathOf("stdout"), "profile\n");
    ::close(stream);
    EXPECT_EQ(Slurp(redirected), "kept\nprofile\n");
    EXPECT_TRUE(fs::is_symlink(dir / "stdout"));

    // A socket cannot take a file's content: refused, and left as it is.
    const std::string socketPath = PathOf("socket");
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    try {
        files.ReplaceAll(socketPath, "x");
        ADD_FAILURE() << "a socket was replaced";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nie można zapisać pliku „" + socketPath + "”: to gniazdo, nie plik");
    }
    ::close(server);
    EXPECT_TRUE(fs::is_socket(socketPath));
    EXPECT_EQ(Names(), (std::vector<std::string>{"fifo", "null", "out.txt", "socket", "stdout"}));
}
#else
TEST_F(SystemFilesTest, TheNulDeviceIsWrittenInPlace) {
    EXPECT_NO_THROW(files.ReplaceAll("NUL", "nothing"));
}
#endif

TEST_F(SystemFilesTest, FailedReplaceLeavesTheTargetAndRemovesTheTemporaryFile) {
    // A directory in the way makes the final rename fail after the temporary file was written.
    const std::string path = PathOf("busy");
    fs::create_directories(dir / "busy" / "inside");
    try {
        files.ReplaceAll(path, "content");
        FAIL() << "replacing a directory succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nie można zapisać pliku „" + path + "”: to jest folder");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"busy"});
    EXPECT_TRUE(fs::is_directory(dir / "busy" / "inside"));
}

TEST_F(SystemFilesTest, MissingFilesAndFoldersAreReportedWithPathAndReason) {
    const std::string missing = PathOf("none.json");
    try {
        files.ReadAll(missing, 100);
        FAIL() << "reading a missing file succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nie można odczytać pliku „" + missing + "”: nie ma takiego pliku ani folderu");
    }
    try {
        files.ReadAll(dir.string(), 100);
        FAIL() << "reading a folder succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Nie można odczytać pliku „" + dir.string() + "”: to jest folder");
    }
    EXPECT_THROW(files.ReplaceAll(PathOf("no-dir/x.json"), "x"), FileError);
    EXPECT_THROW(files.OpenAppend(PathOf("no-dir/x.log")), FileError);
    EXPECT_EQ(Names(), std::vector<std::string>{});
}

// The reasons a user meets are Polish, the same on every system; the rest as the system says.
TEST(SystemErrorText, TheCommonReasonsArePolishOnEverySystem) {
    struct Case {
        int error;
        const char* text;
    };
    for (const Case& c :
         {Case{ENOENT, "nie ma takiego pliku ani folderu"}, Case{EACCES, "brak uprawnień"},
          Case{EISDIR, "to jest folder"}, Case{ENOSPC, "brak miejsca na dysku"},
          Case{EROFS, "system plików jest tylko do odczytu"},
          Case{EMFILE, "zbyt wiele otwartych plików"},
          Case{ENFILE, "zbyt wiele otwartych plików"}}) {
        EXPECT_EQ(SystemErrorText(c.error, "x"), c.text) << c.error;
    }
    EXPECT_EQ(SystemErrorText(EIO, "x"), std::generic_category().message(EIO));
#ifdef _WIN32
    for (const Case& c : {Case{ERROR_FILE_NOT_FOUND, "nie ma takiego pliku ani folderu"},
                          Case{ERROR_PATH_NOT_FOUND, "nie ma takiego pliku ani folderu"},
                          Case{ERROR_ACCESS_DENIED, "brak uprawnień"},
                          Case{ERROR_DISK_FULL, "brak miejsca na dysku"},
                          Case{ERROR_HANDLE_DISK_FULL, "brak miejsca na dysku"},
                          Case{ERROR_WRITE_PROTECT, "system plików jest tylko do odczytu"},
                          Case{ERROR_TOO_MANY_OPEN_FILES, "zbyt wiele otwartych plików"}}) {
        EXPECT_EQ(WindowsErrorText(static_cast<unsigned long>(c.error), "x"), c.text) << c.error;
    }
    EXPECT_FALSE(WindowsErrorText(ERROR_SHARING_VIOLATION, "x").empty());
#endif
}

#ifndef _WIN32
// A file size limit makes the kernel refuse the write itself (EFBIG) once SIGXFSZ is ignored.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(SystemFilesTest, FailedWriteKeepsTheOldFileWhole) {
    const std::string path = PathOf("profile.json");
    files.ReplaceAll(path, "old content\n");
    {
        FileSizeLimit limit(16);
        EXPECT_THROW(files.ReplaceAll(path, std::string(100, 'x')), FileError);
    }
    EXPECT_EQ(Slurp(path), "old content\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"profile.json"});
}

TEST_F(SystemFilesTest, FailedAppendIsReportedAndKeepsEarlierBytes) {
    const std::string path = PathOf("capture.log");
    auto log = files.OpenAppend(path);
    log->Append("kept\n");
    {
        FileSizeLimit limit(8);
        EXPECT_THROW(log->Append("too long for the limit\n"), FileError);
    }
    EXPECT_EQ(Slurp(path).substr(0, 5), "kept\n");
}
#endif

}  // namespace
}  // namespace wusb

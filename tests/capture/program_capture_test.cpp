// The programs capture like the library does: `trelvo-sim` run headless with --capture or
// TRELVO_CAPTURE records its start-up read, `trelvo-cli --sim --capture FILE read` its read, and
// the dissector reads them back.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "pcapng_reader.h"
#include "trelvo/version.h"
#include "tshark.h"

extern char** environ;

namespace capture_test {
namespace {

void ExpectStartupRead(const std::string& path, const std::string& program) {
    const TsharkResult r = TsharkFields(
        path, "trelvo", {"trelvo.cmd", "trelvo.response", "trelvo.reader_cmd", "trelvo.crc_ok"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    std::string seen;
    for (const Row& row : r.rows) {
        seen += row.at(0) + (row.at(1) == "1" ? "<" : ">") + row.at(2) +
                (row.at(3) == "1" ? " " : "(bad CRC) ");
    }
    EXPECT_EQ(seen, "'O'> 'O'< 'T'>M 'T'<M 'T'>c 'T'<c 'o'> 'o'< ");
    int code = 0;
    const std::string info = RunCommand(std::string(TRELVO_CAPINFOS) + " '" + path + "'", code);
    EXPECT_EQ(code, 0) << info;
    EXPECT_NE(info.find("Capture application: " + program + " " + trelvo::kVersion),
              std::string::npos)
        << info;
}

#ifdef TRELVO_CLI_PROGRAM
TEST(ProgramCapture, TheCommandLineReadIsCapturedOnTheSimulator) {
    const std::string path = FreshPath("cli-read.pcapng");
    int code = -1;
    RunCommand(std::string(TRELVO_CLI_PROGRAM) + " --sim --capture '" + path + "' read", code);
    ASSERT_EQ(code, 0);
    ExpectStartupRead(path, "trelvo-cli");
}
#endif

#ifdef TRELVO_SIM_PROGRAM
std::string FileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// True once the file holds the acknowledgement of the closing 'o': the start-up read is over.
bool StartupReadDone(const std::string& path) {
    try {
        for (const ReadPacket& packet : Packets(FileContent(path))) {
            if (packet.data.size() > 2 && packet.data[2] == 0xEF) {
                return true;
            }
        }
    } catch (const std::runtime_error&) {
        // A block still being written.
    }
    return false;
}

// Runs the demo headless until its start-up read is in `path`, then ends it as a crash would.
void RunDemo(const std::vector<std::string>& arguments) {
    std::vector<std::string> args{TRELVO_SIM_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    const std::string path = getenv("TRELVO_CAPTURE") != nullptr && arguments.empty()
                                 ? getenv("TRELVO_CAPTURE")
                                 : arguments.back();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!StartupReadDone(path) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

TEST(ProgramCapture, TheDemoCapturesItsStartupReadWithTheOption) {
    const std::string path = FreshPath("demo-option.pcapng");
    unsetenv("TRELVO_CAPTURE");
    RunDemo({"--capture", path});
    ExpectStartupRead(path, "trelvo-sim");
}

TEST(ProgramCapture, TheDemoCapturesItsStartupReadWithTheVariable) {
    const std::string path = FreshPath("demo-variable.pcapng");
    setenv("TRELVO_CAPTURE", path.c_str(), 1);
    RunDemo({});
    unsetenv("TRELVO_CAPTURE");
    ExpectStartupRead(path, "trelvo-sim");
}
#endif

}  // namespace
}  // namespace capture_test

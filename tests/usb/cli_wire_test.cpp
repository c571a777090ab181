// trelvo-cli on the real libusb: the program runs as a child process whose umockdev preload
// forwards its USB requests to the emulated device in this process; the test reads what it
// prints.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim_firmware.h"
#include "usb_bench.h"
#include "wiegand/encode.h"

extern char** environ;

namespace usbtest {
namespace {

using CliOnEmulatedUsb = UsbBench;

// Runs the program with `args` and returns its standard output once it ends (or is killed
// after 10 s).
std::string RunCli(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), TRELVO_CLI_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    EXPECT_EQ(spawned, 0);

    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        pollfd ready{out[0], POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            ADD_FAILURE() << "trelvo-cli did not end";
            break;
        }
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char chunk[512];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return text;
}

TEST_F(CliOnEmulatedUsb, MonitorDecodeJsonNamesTheCard) {
    SimFirmware firmware;
    sim::Transmission card;
    card.payload = wiegand::EncodeReport(*wiegand::FindFormat("H10301"), 18, 13398,
                                         wiegand::ParityChoice::Right, true);
    firmware.sim.Present(card);
    AddDevice("1", {}, firmware);

    const std::string out = RunCli({"--json", "monitor", "--decode", "--count", "1"});
    const nlohmann::json object = nlohmann::json::parse(out);
    EXPECT_EQ(object.at("formats"), nlohmann::json::parse(R"([{"name":"H10301","bits":26,
        "facility":18,"card":13398,"parity":"ok"}])"));
    EXPECT_EQ(
        object.at("uid"),
        nlohmann::json::parse(R"({"hex":"123456","hex_reversed":"563412","decimal":1193046})"));
}

}  // namespace
}  // namespace usbtest

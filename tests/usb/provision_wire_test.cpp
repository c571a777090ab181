// The real trelvo-cli on the real libusb: `provision` runs as a child process whose umockdev
// preload forwards its USB requests to the emulated interfaces in this process.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim_firmware.h"
#include "usb_bench.h"
#include "uwieg/profile.h"

extern char** environ;

namespace usbtest {
namespace {

const uwieg::ReaderConfig kRecord{2, 0x80, 7, 1, 0x44, 0, 1, 0};
constexpr int kInterfaces = 8;

class ProvisionOnEmulatedUsb : public UsbBench {
  protected:
    void SetUp() override {
        UsbBench::SetUp();
        const char* tmp = std::getenv("TMPDIR");
        dir_ = std::string(tmp ? tmp : "/tmp") + "/cli-wire-" + std::to_string(getpid());
        mkdir(dir_.c_str(), 0700);
        std::ofstream(dir_ + "/site.json") << uwieg::ProfileFromRecord(kRecord);
        std::remove((dir_ + "/audit.csv").c_str());
    }
    void PlugInterfaces(int count, const DeviceSpec& spec = {}) {
        for (int i = 0; i < count; ++i) {
            auto firmware = std::make_unique<SimFirmware>();
            firmware->sim.reader().readerNumber = static_cast<std::uint16_t>(100 + i);
            AddDevice(std::to_string(i + 1), spec, *firmware);
            firmwares_.push_back(std::move(firmware));
        }
    }
    // Starts trelvo-cli with these arguments, its output into a file.
    void Start(const std::vector<std::string>& args) {
        std::vector<std::string> all{TRELVO_CLI_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (dir_ + "/out.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(posix_spawn(&child_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    int Wait() {
        int status = 0;
        waitpid(child_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::vector<std::string> Lines(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // `provision --watch` started, the interface plugged in 300 ms later: configured and
    // logged once within 10 s, and Ctrl+C ends the watch with success.
    void WatchServesOnePluggedInLater(const DeviceSpec& spec) {
        Start({"provision", dir_ + "/site.json", "--watch", "--log", dir_ + "/audit.csv"});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PlugInterfaces(1, spec);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Lines(dir_ + "/audit.csv").size() < 2 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(child_, SIGINT);
        EXPECT_EQ(Wait(), 0);
        EXPECT_TRUE(Configured(0));
        const auto log = Lines(dir_ + "/audit.csv");
        ASSERT_EQ(log.size(), 2u);
        EXPECT_NE(log[1].find(",51,100,"), std::string::npos) << log[1];
    }
    bool Configured(int n) {
        bool done = false;
        devices_[static_cast<std::size_t>(n)]->WithFirmware([&](Firmware&) {
            done = firmwares_[static_cast<std::size_t>(n)]->sim.reader().config == kRecord;
        });
        return done;
    }

    std::string dir_;
    std::vector<std::unique_ptr<SimFirmware>> firmwares_;
    pid_t child_ = 0;
};

TEST_F(ProvisionOnEmulatedUsb, ProvisionAllConfiguresEightInterfacesAndLogsEachOnce) {
    PlugInterfaces(kInterfaces);
    Start({"provision", dir_ + "/site.json", "--all", "--log", dir_ + "/audit.csv"});
    EXPECT_EQ(Wait(), 0);
    const auto out = Lines(dir_ + "/out.txt");
    ASSERT_EQ(out.size(), kInterfaces + 1u);
    EXPECT_EQ(out.back(), "Skonfigurowano 8 z 8 czytników; błędów: 0.");
    const auto log = Lines(dir_ + "/audit.csv");
    ASSERT_EQ(log.size(), kInterfaces + 1u);
    for (int n = 0; n < kInterfaces; ++n) {
        EXPECT_TRUE(Configured(n)) << n;
        EXPECT_NE(log[static_cast<std::size_t>(n) + 1].find(",ok,"), std::string::npos);
    }
}

TEST_F(ProvisionOnEmulatedUsb, OneFaultyInterfaceFailsAloneAndTheExitCodeSaysSo) {
    PlugInterfaces(kInterfaces);
    devices_[3]->WithFirmware([](Firmware& f) {
        static_cast<SimFirmware&>(f).sim.InjectFault({sim::FaultKind::ReaderStatus, 'T', 'C'});
    });
    Start({"provision", dir_ + "/site.json", "--all", "--log", dir_ + "/audit.csv"});
    EXPECT_EQ(Wait(), 3);
    const auto log = Lines(dir_ + "/audit.csv");
    ASSERT_EQ(log.size(), kInterfaces + 1u);
    int failed = 0;
    for (std::size_t i = 1; i < log.size(); ++i) {
        failed += log[i].find(",failed,") != std::string::npos;
    }
    EXPECT_EQ(failed, 1);
    for (int n = 0; n < kInterfaces; ++n) {
        EXPECT_EQ(Configured(n), n != 3) << n;
    }
}

TEST_F(ProvisionOnEmulatedUsb, WatchProvisionsAnInterfacePluggedInAfterTheStart) {
    WatchServesOnePluggedInLater({});
}

// The worst moment: libusb's notification comes while the device cannot take requests yet, so
// the listing it causes finds nothing and no further notification follows.
TEST_F(ProvisionOnEmulatedUsb, WatchProvisionsAnInterfaceAnnouncedBeforeItTakesRequests) {
    DeviceSpec early;
    early.takesRequestsAfterMs = 400;
    WatchServesOnePluggedInLater(early);
}

}  // namespace
}  // namespace usbtest

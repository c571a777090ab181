#include "bench/child_process.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <stdexcept>

namespace bench {
namespace {

// Qt wants a private runtime folder and complains on every start without one; one per user,
// reused by every run.
void EnsureRuntimeDir() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr) {
        return;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp != nullptr ? tmp : "/tmp") + "/trelvo-bench-runtime-" +
                            std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
}

}  // namespace

long long MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

ChildOutcome RunChild(const std::vector<std::string>& args, int stopAfterMs, int limitMs) {
    // Everything the child needs is prepared here: after fork it only calls what is safe in a
    // child of a threaded process (the emulated-USB benches run threads).
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureRuntimeDir();
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ChildOutcome outcome;
    outcome.spawnNs = MonotonicNs();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    // A hung child would block the reading below for ever: a watchdog ends it.
    const pid_t watchdog = fork();
    if (watchdog == 0) {
        if (stopAfterMs > 0) {
            usleep(static_cast<useconds_t>(stopAfterMs) * 1000);
            kill(pid, SIGTERM);
        }
        usleep(static_cast<useconds_t>(limitMs) * 1000);
        kill(pid, SIGKILL);
        _exit(0);
    }
    if (FILE* stream = fdopen(out[0], "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, stream) != nullptr) {
            std::istringstream in(line);
            std::string key, value;
            if (in >> key >> value) {
                outcome.values[key] = value;
            }
        }
        std::fclose(stream);
    } else {
        close(out[0]);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    kill(watchdog, SIGKILL);
    waitpid(watchdog, nullptr, 0);
    outcome.maxRssKb = usage.ru_maxrss;
    outcome.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}

double Reported(const ChildOutcome& outcome, const std::string& key) {
    const auto it = outcome.values.find(key);
    if (it == outcome.values.end()) {
        throw std::runtime_error("the program did not report " + key);
    }
    return std::stod(it->second);
}

}  // namespace bench

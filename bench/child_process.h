// Runs a program of the bench as a child process on Qt's offscreen platform and collects what
// it reports ("key value" lines on its output) and what it cost (peak resident memory).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace bench {

struct ChildOutcome {
    long long spawnNs = 0;  // CLOCK_MONOTONIC just before the child was started
    std::map<std::string, std::string> values;
    long maxRssKb = 0;
    bool exitedCleanly = false;
};

// CLOCK_MONOTONIC in nanoseconds: comparable across processes.
long long MonotonicNs();

// Runs `args` (program first) on Qt's offscreen platform (set in this process's environment
// too). With `stopAfterMs` > 0 the child is ended with SIGTERM after
// that long, for a program that never closes itself; after `limitMs` it is killed.
ChildOutcome RunChild(const std::vector<std::string>& args, int stopAfterMs, int limitMs);

// The reported value of `key` as a number; throws std::runtime_error when it is missing.
double Reported(const ChildOutcome& outcome, const std::string& key);

}  // namespace bench

// A program run as a child process under the emulation: it inherits the umockdev preload and
// the testbed's location, so its USB requests reach the emulated devices of this process.
#pragma once

#include <string>
#include <vector>

namespace usbtest {

struct ChildRun {
    int code = -1;  // -1 when it did not exit normally
    std::string out;
};

// Runs `argv` (the program first) to its end; standard error is discarded.
ChildRun RunChild(const std::vector<std::string>& argv);

}  // namespace usbtest

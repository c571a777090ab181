#include "usb/preload.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

namespace bench {
namespace {

constexpr const char* kReexecMark = "TRELVO_BENCH_USB_REEXEC";

bool PreloadActive() {
    return dlopen(kUmockdevPreload, RTLD_NOW | RTLD_NOLOAD) != nullptr;
}

}  // namespace

bool EnsureUmockdevPreload(char** argv) {
    if (!PreloadActive() && std::getenv(kReexecMark) == nullptr) {
        setenv("LD_PRELOAD", kUmockdevPreload, 1);
        setenv(kReexecMark, "1", 1);
        execv("/proc/self/exe", argv);
    }
    return PreloadActive();
}

}  // namespace bench

// The entry of the emulated-USB tests. umockdev works only when its preload library is loaded
// before everything else, so a run without it re-executes itself with it. Under AddressSanitizer
// the sanitizer's runtime has to come first.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "usb_main.h"

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";
constexpr const char* kReexecMark = "TRELVO_USB_TEST_REEXEC";

std::string PreloadList() {
    std::string list;
#ifdef TRELVO_ASAN_RUNTIME
    list = TRELVO_ASAN_RUNTIME ":";
#endif
    return list + kPreload;
}

}  // namespace

namespace usbtest {

bool PreloadActive() {
    return dlopen(kPreload, RTLD_NOW | RTLD_NOLOAD) != nullptr;
}

}  // namespace usbtest

int main(int argc, char** argv) {
    if (!usbtest::PreloadActive() && std::getenv(kReexecMark) == nullptr) {
        const std::string preload = PreloadList();
        setenv("LD_PRELOAD", preload.c_str(), 1);
        setenv(kReexecMark, "1", 1);
        execv("/proc/self/exe", argv);
        std::perror("re-executing with the umockdev preload");
        // Carry on: every test then skips, saying why.
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

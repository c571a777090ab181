// umockdev works only when its preload library is loaded before everything else: a bench that
// emulates USB executes itself again with it.
#pragma once

namespace bench {

inline constexpr const char* kUmockdevPreload = "libumockdev-preload.so.0";

// Re-executes the program with the preload when it is missing (once); returns whether the
// preload is active in this process.
bool EnsureUmockdevPreload(char** argv);

}  // namespace bench

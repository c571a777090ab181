// Why the operating system refused an operation on a file, in the user's language: Polish for
// the failures a user meets and can act on, the system's own words for the rest. One place, so
// every program and every seam says the same thing for the same condition.
#pragma once

#include <string>

namespace wusb {

// From an errno value (POSIX, or the Windows C runtime) of an operation on `path`.
std::string SystemErrorText(int errnoValue, const std::string& path);

#ifdef _WIN32
// From a Windows error code (GetLastError): the same texts for the same conditions.
std::string WindowsErrorText(unsigned long code, const std::string& path);
#endif

}  // namespace wusb

// The text shown for a failure caught with catch (...): the layers' own messages for WUsbErr and
// UWiegErr, what() for standard exceptions, a fixed text for anything else.
#pragma once

#include <string>

namespace uwieg {

// Call only inside a catch block.
std::string CurrentFailureText();

}  // namespace uwieg

// The platform of the machine the program runs on: WinUSB on Windows, libusb elsewhere.
#pragma once

#include <memory>

#include "wusb/platform.h"

namespace wusb {

std::unique_ptr<Platform> MakeNativePlatform();

}  // namespace wusb

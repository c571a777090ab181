// The link layer's forwarding platform under the name the test suites know it by.
#pragma once

#include "wusb/forwarding_platform.h"

namespace wusb::testing {

using ForwardingPlatform = wusb::ForwardingPlatform;

}  // namespace wusb::testing

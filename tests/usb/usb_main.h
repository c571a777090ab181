#pragma once

namespace usbtest {

// True when umockdev's preload library is loaded into this process.
bool PreloadActive();

}  // namespace usbtest

// The program around the window, shared by the real-USB program and the simulator demo.
#pragma once

#include <functional>

#include "wusb/clock.h"
#include "wusb/hotplug.h"
#include "wusb/platform.h"

class TMainWin;

// Initialises the application and runs `body`; a failure that escapes it is shown in an error
// box. The exit code is 0 in every case.
int ProgramEntry(int& argc, char** argv, const std::function<void()>& body);

// Creates the USB-Wiegand device list on `platform` and the main window, shows the window
// centred and runs the message loop until it is closed. `alongside` runs just before the
// window is shown (the simulator demo opens its panel there). With `hotplug`, the window
// follows the interface as it is plugged in and out.
void RunMainWindow(wusb::Platform& platform, wusb::Clock& clock,
                   const std::function<void(TMainWin&)>& alongside = {},
                   wusb::Hotplug* hotplug = nullptr);

// The program around the window, shared by the real-USB program and the simulator demo.
#pragma once

#include <functional>
#include <string>

#include "wusb/clock.h"
#include "wusb/hotplug.h"
#include "wusb/platform.h"

class TMainWin;

// What the command line and the environment ask of a window program.
struct ProgramOptions {
    std::string program;      // the program's name, as captures record it
    std::string capturePath;  // empty: no capture
};

// The environment variable that turns the wire capture on for a window started from a menu.
inline constexpr const char* kCaptureVariable = "TRELVO_CAPTURE";

// The application's name, version, style and font, as every window program sets them up.
void SetUpApplication();

// Initialises the application and runs `body`; a failure that escapes it is shown in an error
// box. The exit code is 0 in every case.
int ProgramEntry(int& argc, char** argv, const std::function<void()>& body);
// The same for the programs `trelvo` and `trelvo-sim`, which also read their command line
// (--capture FILE) and TRELVO_CAPTURE; a bad command line ends the program
// with a message and exit code 1.
int ProgramEntry(int& argc, char** argv, const char* program,
                 const std::function<void(const ProgramOptions&)>& body);

// Creates the USB-Wiegand device list on `platform` (recorded to a capture file when `options`
// ask for it) and the main window, shows the window centred and runs the message loop until it
// is closed. `alongside` runs just before the window is shown (the simulator demo opens its
// panel there). With `hotplug`, the window follows the interface as it is plugged in and out.
void RunMainWindow(wusb::Platform& platform, wusb::Clock& clock, const ProgramOptions& options,
                   const std::function<void(TMainWin&)>& alongside = {},
                   wusb::Hotplug* hotplug = nullptr);

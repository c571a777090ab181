// A running wire capture: its file and the platform decorator that records into it. Programs
// create one only when asked to capture, and use platform() in place of the real platform.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "wusb/capture/capture_platform.h"
#include "wusb/clock.h"
#include "wusb/files.h"
#include "wusb/platform.h"

namespace wusb::capture {

// Opens `path` for a capture and writes a section header naming `program` and its version.
// A new or empty file starts there; a capture file already there keeps its contents and gains
// a new section. Raises FileError when the file cannot be opened or written, or when it holds
// something other than whole capture blocks (it is left as it was).
std::unique_ptr<AppendFile> OpenCaptureFile(Files& files, const std::string& path,
                                            std::string_view program);

class WireCapture {
  public:
    // Raises FileError as OpenCaptureFile does.
    WireCapture(Platform& inner, Files& files, Clock& clock, const std::string& path,
                std::string_view program)
        : file_(OpenCaptureFile(files, path, program)), platform_(inner, *file_, clock) {}

    Platform& platform() { return platform_; }
    std::string failure() const { return platform_.failure(); }

  private:
    std::unique_ptr<AppendFile> file_;
    CapturePlatform platform_;
};

}  // namespace wusb::capture

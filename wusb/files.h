// The files seam: what the programs read and write besides the USB device (profiles, logs,
// captures). Production uses the operating system's files; tests use MemoryFiles, which can
// fail any step and show exactly what a crash at that moment would leave on disk.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace wusb {

// A file operation failed; what() names the path and the system's reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// ReadAll found no file at the path: for optional files, the usual case rather than a fault.
class FileMissing : public FileError {
  public:
    using FileError::FileError;
};

// A file opened for appending only: every Append goes straight to the operating system (no
// buffering in the process), so a crash keeps everything appended before it.
class AppendFile {
  public:
    virtual ~AppendFile() = default;
    // The file's size in bytes now.
    virtual std::uint64_t Size() = 0;
    // The last `count` bytes (fewer when the file is shorter).
    virtual std::string ReadTail(std::uint64_t count) = 0;
    virtual void Append(std::string_view bytes) = 0;
    // Flushes the appended bytes to the storage device (fsync).
    virtual void Sync() = 0;
};

class Files {
  public:
    virtual ~Files() = default;
    // The whole file; FileMissing when there is none.
    virtual std::string ReadAll(const std::string& path) = 0;
    // Writes a temporary file beside `path`, flushes it and renames it over `path`: a failure
    // leaves the old file (or none) in place, never half a file.
    virtual void ReplaceAll(const std::string& path, std::string_view content) = 0;
    // Opens for appending, creating the file when it does not exist; never truncates.
    virtual std::unique_ptr<AppendFile> OpenAppend(const std::string& path) = 0;
};

// The operating system's files (POSIX, or the Windows C runtime).
class SystemFiles final : public Files {
  public:
    std::string ReadAll(const std::string& path) override;
    void ReplaceAll(const std::string& path, std::string_view content) override;
    std::unique_ptr<AppendFile> OpenAppend(const std::string& path) override;
};

}  // namespace wusb

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

// The complaint about a file longer than `limit` bytes.
FileError FileTooLarge(const std::string& path, std::uint64_t limit);

class Files {
  public:
    virtual ~Files() = default;
    // The whole file; FileMissing when there is none. Throws FileTooLarge, having read no more
    // than `limit` + 1 bytes, when it is longer than `limit` (so a device such as /dev/zero is
    // refused, not read for ever).
    virtual std::string ReadAll(const std::string& path, std::uint64_t limit) = 0;
    // A regular file (or one not there yet) is replaced whole: a temporary file beside it is
    // written, flushed and renamed over it, so a failure leaves the old file (or none) in place,
    // never half a file, and the permissions stay. Through a symbolic link the link's final
    // target is replaced in its own folder and the link stays. A device or FIFO (and an open
    // descriptor named as a file, such as /dev/stdout) is written in place, never replaced; a
    // socket or block device is refused.
    virtual void ReplaceAll(const std::string& path, std::string_view content) = 0;
    // Opens for appending, creating the file when it does not exist (and then syncing its folder,
    // so the new name survives a crash); never truncates.
    virtual std::unique_ptr<AppendFile> OpenAppend(const std::string& path) = 0;
};

// The operating system's files (POSIX, or the Windows C runtime).
class SystemFiles final : public Files {
  public:
    std::string ReadAll(const std::string& path, std::uint64_t limit) override;
    void ReplaceAll(const std::string& path, std::string_view content) override;
    std::unique_ptr<AppendFile> OpenAppend(const std::string& path) override;
};

}  // namespace wusb

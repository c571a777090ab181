#include "wusb/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <utility>

#include "wusb/system_error_text.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace wusb {

namespace {

#ifdef _WIN32
using Offset = __int64;
constexpr int kBinary = _O_BINARY;
// The C runtime accepts only these two permission bits.
constexpr int kNewFileMode = _S_IREAD | _S_IWRITE;
int OpenFd(const std::string& path, int flags, int mode) {
    return _open(path.c_str(), flags, mode);
}
int CloseFd(int fd) {
    return _close(fd);
}
long long ReadFd(int fd, char* data, std::size_t size) {
    return _read(fd, data, static_cast<unsigned>(size > 1u << 30 ? 1u << 30 : size));
}
long long WriteFd(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size > 1u << 30 ? 1u << 30 : size));
}
Offset SeekFd(int fd, Offset offset, int whence) {
    return _lseeki64(fd, offset, whence);
}
int SyncFd(int fd) {
    return _commit(fd);
}
int ProcessId() {
    return _getpid();
}
#else
using Offset = off_t;
constexpr int kBinary = 0;
constexpr int kNewFileMode = 0666;  // narrowed by the umask, as for any new file
int OpenFd(const std::string& path, int flags, int mode) {
    return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}
int CloseFd(int fd) {
    return ::close(fd);
}
long long ReadFd(int fd, char* data, std::size_t size) {
    return ::read(fd, data, size);
}
long long WriteFd(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}
Offset SeekFd(int fd, Offset offset, int whence) {
    return ::lseek(fd, offset, whence);
}
int SyncFd(int fd) {
    return ::fsync(fd);
}
int ProcessId() {
    return static_cast<int>(::getpid());
}
#endif

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
    throw FileError(std::string(what) + " „" + path + "”: " + SystemErrorText(error, path));
}

constexpr const char* kCannotRead = "Nie można odczytać pliku";
constexpr const char* kCannotWrite = "Nie można zapisać pliku";
constexpr const char* kCannotOpen = "Nie można otworzyć pliku";

// Closes the descriptor when the scope ends, unless it was released.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            CloseFd(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now, reporting the result (a close can report a delayed write error).
    int Close() {
        const int result = CloseFd(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

// Writes everything, retrying short writes and interruptions; returns 0 or the errno value.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const long long written = WriteFd(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Reads from the current position to the end (or `limit` bytes); returns 0 or the errno value.
int ReadToEnd(int fd, std::string& out, std::uint64_t limit) {
    char buffer[64 * 1024];
    while (limit > 0) {
        const std::size_t want =
            limit < sizeof buffer ? static_cast<std::size_t>(limit) : sizeof buffer;
        const long long got = ReadFd(fd, buffer, want);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
        limit -= static_cast<std::uint64_t>(got);
    }
    return 0;
}

// A name beside `path` that no other writer (this process or another) picks at the same time.
std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp-%d-%u-%llx", ProcessId(), counter++,
                  ticks & 0xffffff);
    return path + suffix;
}

// Moves `from` over `to` in one step; returns 0 or an errno-style value.
int RenameOver(const std::string& from, const std::string& to, std::string& reason) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return 0;
    }
    reason = WindowsErrorText(GetLastError(), to);
    return -1;
#else
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return 0;
    }
    const int error = errno;
    reason = SystemErrorText(error, to);
    return error;
#endif
}

// Makes the rename itself durable. Best effort: the new content is already in place and readable,
// so a directory that cannot be synced (some file systems refuse) is not reported as a failure.
void SyncDirectoryOf(const std::string& path) {
#ifndef _WIN32
    const auto slash = path.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(directory.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    (void)path;
#endif
}

// A replaced file keeps its permissions (a profile made private stays private). Best effort: a
// file whose permissions cannot be copied is still replaced, as a new file would be.
void KeepPermissionsOf(const std::string& path, int fd) {
#ifndef _WIN32
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    }
#else
    (void)path;
    (void)fd;
#endif
}

class SystemAppendFile final : public AppendFile {
  public:
    SystemAppendFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

    std::uint64_t Size() override {
        const Offset end = SeekFd(fd_.get(), 0, SEEK_END);
        if (end < 0) {
            Fail(kCannotRead, path_, errno);
        }
        return static_cast<std::uint64_t>(end);
    }

    std::string ReadTail(std::uint64_t count) override {
        const std::uint64_t size = Size();
        const std::uint64_t start = count < size ? size - count : 0;
        if (SeekFd(fd_.get(), static_cast<Offset>(start), SEEK_SET) < 0) {
            Fail(kCannotRead, path_, errno);
        }
        std::string tail;
        if (const int error = ReadToEnd(fd_.get(), tail, size - start); error != 0) {
            Fail(kCannotRead, path_, error);
        }
        return tail;
    }

    // The descriptor is in append mode, so writes land at the end wherever ReadTail left it.
    void Append(std::string_view bytes) override {
        if (const int error = WriteAll(fd_.get(), bytes); error != 0) {
            Fail(kCannotWrite, path_, error);
        }
    }

    void Sync() override {
        if (SyncFd(fd_.get()) != 0) {
            Fail(kCannotWrite, path_, errno);
        }
    }

  private:
    std::string path_;
    Descriptor fd_;
};

}  // namespace

std::string SystemFiles::ReadAll(const std::string& path) {
    Descriptor fd(OpenFd(path, O_RDONLY | kBinary, 0));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            throw FileMissing(std::string(kCannotRead) + " „" + path + "”: " + Reason(errno));
        }
        Fail(kCannotRead, path, errno);
    }
    std::string content;
    if (const int error = ReadToEnd(fd.get(), content, UINT64_MAX); error != 0) {
        Fail(kCannotRead, path, error);
    }
    return content;
}

void SystemFiles::ReplaceAll(const std::string& path, std::string_view content) {
    const std::string temporary = TemporaryName(path);
    Descriptor fd(OpenFd(temporary, O_WRONLY | O_CREAT | O_EXCL | kBinary, kNewFileMode));
    if (fd.get() < 0) {
        Fail(kCannotWrite, path, errno);
    }
    KeepPermissionsOf(path, fd.get());
    int error = WriteAll(fd.get(), content);
    if (error == 0 && SyncFd(fd.get()) != 0) {
        error = errno;
    }
    if (fd.Close() != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        std::remove(temporary.c_str());
        Fail(kCannotWrite, path, error);
    }
    std::string reason;
    if (RenameOver(temporary, path, reason) != 0) {
        std::remove(temporary.c_str());
        throw FileError(std::string(kCannotWrite) + " „" + path + "”: " + reason);
    }
    SyncDirectoryOf(path);
}

std::unique_ptr<AppendFile> SystemFiles::OpenAppend(const std::string& path) {
    const int fd = OpenFd(path, O_RDWR | O_APPEND | O_CREAT | kBinary, kNewFileMode);
    if (fd < 0) {
        Fail(kCannotOpen, path, errno);
    }
    return std::make_unique<SystemAppendFile>(path, fd);
}

}  // namespace wusb

#include "wusb/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "wusb/system_error_text.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <climits>

#include <unistd.h>
#endif

namespace wusb {

namespace {

#ifdef _WIN32
using Offset = __int64;
constexpr int kBinary = _O_BINARY;
// The C runtime accepts only these two permission bits.
constexpr int kNewFileMode = _S_IREAD | _S_IWRITE;
// Devices and pipes have no end to append at.
constexpr int kInPlaceFlags = _O_WRONLY | _O_BINARY;
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
// Appending, so a standard output redirected with >> keeps what it held.
constexpr int kInPlaceFlags = O_WRONLY | O_APPEND;
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

#ifndef _WIN32
// The folder holding `path`.
std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}
#endif

// Makes a rename or a new name durable. Best effort: the content is already in place and
// readable, so a directory that cannot be synced (some file systems refuse) is no failure.
void SyncDirectoryOf(const std::string& path) {
#ifndef _WIN32
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_CLOEXEC);
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

// What ReplaceAll writes for a path.
struct Target {
    std::string path;      // the regular file to replace (a link's final target)
    bool inPlace = false;  // a device, pipe or open descriptor: written as it is, never replaced
};

#ifdef _WIN32

Target TargetOf(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {path};  // not there yet, or the rename will say what is wrong
    }
    Target target{path};
    const DWORD type = GetFileType(file);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
        target.inPlace = true;
    } else if (attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        std::vector<char> final(32768);
        const DWORD length =
            GetFinalPathNameByHandleA(file, final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length > 0 && length < final.size()) {
            target.path.assign(final.data(), length);
        }
    }
    CloseHandle(file);
    return target;
}

#else

// A name under /proc or /dev/fd stands for a descriptor a process holds open (/dev/stdout leads
// there): writing to it means writing to that stream, not replacing the file behind it.
bool NamesAnOpenDescriptor(const std::string& path) {
    return path.rfind("/proc/", 0) == 0 || path.rfind("/dev/fd/", 0) == 0;
}

Target TargetOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISSOCK(status.st_mode) || S_ISBLK(status.st_mode)) {
            throw FileError(std::string(kCannotWrite) + " „" + path + "”: " +
                            (S_ISSOCK(status.st_mode) ? "to gniazdo, nie plik"
                                                      : "to urządzenie blokowe (dysk), nie plik"));
        }
        if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)) {
            return {path, true};
        }
    }
    // Link by link, so a link to a file not there yet leads to where that file is to be.
    std::string at = path;
    for (int links = 0; links < 40; ++links) {
        if (NamesAnOpenDescriptor(at)) {
            return {path, true};
        }
        struct stat link {};
        if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            return {at};
        }
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(at.c_str(), buffer, sizeof buffer);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof buffer) {
            Fail(kCannotWrite, path, length < 0 ? errno : ENAMETOOLONG);
        }
        const std::string next(buffer, static_cast<std::size_t>(length));
        at = next.front() == '/' ? next : FolderOf(at) + "/" + next;
    }
    Fail(kCannotWrite, path, ELOOP);
}

#endif

void WriteInPlace(const std::string& path, std::string_view content) {
    Descriptor fd(OpenFd(path, kInPlaceFlags, 0));
    if (fd.get() < 0) {
        Fail(kCannotWrite, path, errno);
    }
    int error = WriteAll(fd.get(), content);
    if (fd.Close() != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        Fail(kCannotWrite, path, error);
    }
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

FileError FileTooLarge(const std::string& path, std::uint64_t limit) {
    constexpr std::uint64_t kMiB = 1 << 20;
    const std::string size =
        limit % kMiB == 0 ? std::to_string(limit / kMiB) + " MiB" : std::to_string(limit) + " B";
    return FileError(std::string(kCannotRead) + " „" + path + "”: plik jest większy niż " + size);
}

std::string SystemFiles::ReadAll(const std::string& path, std::uint64_t limit) {
    Descriptor fd(OpenFd(path, O_RDONLY | kBinary, 0));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            throw FileMissing(std::string(kCannotRead) + " „" + path + "”: " + SystemErrorText(errno, path));
        }
        Fail(kCannotRead, path, errno);
    }
    std::string content;
    if (const int error = ReadToEnd(fd.get(), content, limit + 1); error != 0) {
        Fail(kCannotRead, path, error);
    }
    if (content.size() > limit) {
        throw FileTooLarge(path, limit);
    }
    return content;
}

void SystemFiles::ReplaceAll(const std::string& path, std::string_view content) {
    const Target target = TargetOf(path);
    if (target.inPlace) {
        WriteInPlace(path, content);
        return;
    }
    const std::string temporary = TemporaryName(target.path);
    Descriptor fd(OpenFd(temporary, O_WRONLY | O_CREAT | O_EXCL | kBinary, kNewFileMode));
    if (fd.get() < 0) {
        Fail(kCannotWrite, path, errno);
    }
    KeepPermissionsOf(target.path, fd.get());
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
    if (RenameOver(temporary, target.path, reason) != 0) {
        std::remove(temporary.c_str());
        throw FileError(std::string(kCannotWrite) + " „" + path + "”: " + reason);
    }
    SyncDirectoryOf(target.path);
}

std::unique_ptr<AppendFile> SystemFiles::OpenAppend(const std::string& path) {
    constexpr int kFlags = O_RDWR | O_APPEND | kBinary;
    int fd = OpenFd(path, kFlags | O_CREAT | O_EXCL, kNewFileMode);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST) {
        fd = OpenFd(path, kFlags | O_CREAT, kNewFileMode);  // O_CREAT: a link to a missing file
    }
    if (fd < 0) {
        Fail(kCannotOpen, path, errno);
    }
    if (created) {
        SyncDirectoryOf(path);
    }
    return std::make_unique<SystemAppendFile>(path, fd);
}

}  // namespace wusb

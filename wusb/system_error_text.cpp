#include "wusb/system_error_text.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace wusb {

namespace {

std::string ErrnoText(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return "nie ma takiego pliku ani folderu";
        case EACCES:
            return "brak uprawnień";
        case EISDIR:
            return "to jest folder";
        case ENOSPC:
            return "brak miejsca na dysku";
        case EROFS:
            return "system plików jest tylko do odczytu";
        case EMFILE:
        case ENFILE:
            return "zbyt wiele otwartych plików";
        default:
            return std::generic_category().message(errnoValue);
    }
}

#ifdef _WIN32
bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The system's own text in its own language, as UTF-8 like every other message.
std::string SystemWords(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
        wide.pop_back();
    }
    if (wide.empty()) {
        return "błąd systemu " + std::to_string(code);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}
#endif

}  // namespace

#ifdef _WIN32
std::string SystemErrorText(int errnoValue, const std::string& path) {
    // The C runtime reports a folder and a write-protected medium as "access denied" too.
    if (errnoValue == EACCES) {
        if (IsFolder(path)) {
            return ErrnoText(EISDIR);
        }
        if (_doserrno == ERROR_WRITE_PROTECT) {
            return ErrnoText(EROFS);
        }
    }
    return ErrnoText(errnoValue);
}

std::string WindowsErrorText(unsigned long code, const std::string& path) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ErrnoText(ENOENT);
        case ERROR_ACCESS_DENIED:
            return ErrnoText(IsFolder(path) ? EISDIR : EACCES);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ErrnoText(ENOSPC);
        case ERROR_WRITE_PROTECT:
            return ErrnoText(EROFS);
        case ERROR_TOO_MANY_OPEN_FILES:
            return ErrnoText(EMFILE);
        default:
            return SystemWords(code);
    }
}
#else
std::string SystemErrorText(int errnoValue, const std::string& /*path*/) {
    return ErrnoText(errnoValue);
}
#endif

}  // namespace wusb

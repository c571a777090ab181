// The audit log of provisioning: one CSV record per reader, each on exactly one line, appended
// and flushed to disk before the reader is reported done. The file is never rewritten or
// truncated; a last line torn by a crash is detected when the log is opened, reported, and left
// as it is, and the new records start on a fresh line.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "wusb/clock.h"
#include "wusb/files.h"

namespace uwieg {

inline constexpr const char* kAuditHeader =
    "time,interface,type,number,variant,firmware_before,firmware_after,profile,profile_sha256,"
    "result,error";

struct AuditRecord {
    wusb::TimeStamp time;
    std::string interfaceSerial;  // as printed; the path when it was never linked
    int type = 0;                 // 0 when the reader never answered
    std::uint16_t number = 0;
    std::uint32_t variant = 0;
    std::uint16_t firmwareBefore = 0;
    std::uint16_t firmwareAfter = 0;
    std::string profile;  // the profile's file name as given
    std::string profileSha256;
    bool ok = false;
    std::string error;
};

// One CSV line with its newline. A line break inside a field is shown as " | " (a record never
// spans lines, or a torn one could pass for whole); a field beginning with = + - @, a tab or a
// carriage return gets a leading ' so that a spreadsheet shows it as text, never runs it as a
// formula; fields holding a comma or quote are quoted.
std::string AuditLine(const AuditRecord& record);

class AuditLog {
  public:
    // Opens `path` for appending (creating it with the header row). Throws wusb::FileError.
    AuditLog(wusb::Files& files, const std::string& path);

    // The torn last line found at opening, without its missing end; empty when there was none.
    const std::string& tornLine() const { return tornLine_; }

    // Appends the record whole and syncs it. Safe from several threads. Throws wusb::FileError
    // when the record could not be written whole; the next record then still starts on a line
    // of its own. A record written whole whose sync failed is logged, only not confirmed on
    // disk: the sync's complaint is returned (empty when the record is on disk).
    [[nodiscard]] std::string Append(const AuditRecord& record);

  private:
    // Ends a line that a crash or a failed append left open, so the next record starts fresh.
    void CloseOpenLine();

    std::mutex mutex_;
    std::unique_ptr<wusb::AppendFile> file_;
    std::string tornLine_;
    bool lineMayBeOpen_ = false;
};

}  // namespace uwieg

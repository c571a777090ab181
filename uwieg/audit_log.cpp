#include "uwieg/audit_log.h"

#include <cstdio>
#include <iterator>

namespace uwieg {

namespace {

// Enough of the end of the file to show a torn line to the user.
constexpr std::uint64_t kTornLineShown = 4096;

// The proleptic Gregorian date of a day counted from 1970-01-01 (after H. Hinnant's
// civil_from_days), without the C library's gmtime, which is not safe across threads.
struct Date {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

Date DateOfDay(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
    return {year, month, day};
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

}  // namespace

std::string IsoUtcText(wusb::TimeStamp time) {
    constexpr std::int64_t kSecondsPerDay = 86400;
    std::int64_t days = time.seconds / kSecondsPerDay;
    std::int64_t second = time.seconds % kSecondsPerDay;
    if (second < 0) {
        second += kSecondsPerDay;
        --days;
    }
    const Date date = DateOfDay(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60),
                  static_cast<int>(second % 60));
    return text;
}

std::string AuditLine(const AuditRecord& r) {
    const std::string fields[] = {IsoUtcText(r.time),
                                  r.interface,
                                  r.type == 0 ? "" : std::to_string(r.type),
                                  r.type == 0 ? "" : std::to_string(r.number),
                                  r.type == 0 ? "" : std::to_string(r.variant),
                                  r.type == 0 ? "" : std::to_string(r.firmwareBefore),
                                  r.type == 0 ? "" : std::to_string(r.firmwareAfter),
                                  r.profile,
                                  r.profileSha256,
                                  r.ok ? "ok" : "failed",
                                  r.error};
    std::string line;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        line += (i == 0 ? "" : ",") + CsvField(fields[i]);
    }
    return line + "\n";
}

AuditLog::AuditLog(wusb::Files& files, const std::string& path) : file_(files.OpenAppend(path)) {
    const std::uint64_t size = file_->Size();
    if (size == 0) {
        file_->Append(std::string(kAuditHeader) + "\n");
        file_->Sync();
        return;
    }
    const std::string tail = file_->ReadTail(kTornLineShown);
    if (tail.empty() || tail.back() == '\n') {
        return;
    }
    const std::size_t lineStart = tail.rfind('\n');
    tornLine_ = lineStart == std::string::npos ? tail : tail.substr(lineStart + 1);
    file_->Append("\n");
    // A crash while the header itself was written leaves a file without one.
    if (size <= kTornLineShown && lineStart == std::string::npos) {
        file_->Append(std::string(kAuditHeader) + "\n");
    }
    file_->Sync();
}

void AuditLog::CloseOpenLine() {
    if (!lineMayBeOpen_) {
        return;
    }
    const std::string last = file_->ReadTail(1);
    if (!last.empty() && last != "\n") {
        file_->Append("\n");
    }
    lineMayBeOpen_ = false;
}

void AuditLog::Append(const AuditRecord& record) {
    const std::string line = AuditLine(record);
    const std::lock_guard lock(mutex_);
    try {
        CloseOpenLine();
        file_->Append(line);
        file_->Sync();
    } catch (const wusb::FileError&) {
        lineMayBeOpen_ = true;
        throw;
    }
}

}  // namespace uwieg

#include "uwieg/audit_log.h"

#include <iterator>
#include <string_view>

namespace uwieg {

namespace {

// Enough of the end of the file to show a torn line to the user.
constexpr std::uint64_t kTornLineShown = 4096;

constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr std::string_view kLineBreakShown = " | ";

std::string CsvField(const std::string& raw) {
    std::string text =
        !raw.empty() && kFormulaStarts.find(raw.front()) != std::string::npos ? "'" : "";
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\r' && raw[i] != '\n') {
            text += raw[i];
            continue;
        }
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            ++i;  // CR LF is one line break
        }
        text += kLineBreakShown;
    }
    if (text.find_first_of(",\"") == std::string::npos) {
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

std::string AuditLine(const AuditRecord& r) {
    const std::string fields[] = {wusb::IsoUtcText(r.time),
                                  r.interfaceSerial,
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

std::string AuditLog::Append(const AuditRecord& record) {
    const std::string line = AuditLine(record);
    const std::lock_guard lock(mutex_);
    try {
        CloseOpenLine();
        file_->Append(line);
    } catch (const wusb::FileError&) {
        lineMayBeOpen_ = true;
        throw;
    }
    try {
        file_->Sync();
    } catch (const wusb::FileError& e) {
        return e.what();
    }
    return {};
}

}  // namespace uwieg

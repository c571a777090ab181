#include "uwieg/test_log.h"

#include <cstdio>
#include <ctime>
#include <optional>

namespace uwieg {

namespace {

std::tm LocalTime(wusb::TimeStamp t) {
    const std::time_t seconds = t.seconds;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return local;
}

// The bytes after the head: the data of kinds 0 and 2, the key byte, kind 3's description
// byte excluded.
std::string DataHex(const TestLogEntry& e) {
    const std::size_t first = e.decoded.kind == 3 ? 2 : 1;
    std::string hex;
    for (std::size_t i = first; i < e.payload.size(); ++i) {
        char piece[3];
        std::snprintf(piece, sizeof piece, "%02X", e.payload[i]);
        hex += piece;
    }
    return hex;
}

std::string Row(const TestLogEntry& e, const std::string& format, const std::string& facility,
                const std::string& card, const std::string& parity) {
    const std::string fields[] = {DateTime(e.time),
                                  e.line,
                                  std::to_string(e.decoded.kind),
                                  std::to_string(e.decoded.bits),
                                  DataHex(e),
                                  format,
                                  facility,
                                  card,
                                  parity};
    std::string row;
    for (const std::string& f : fields) {
        row += (row.empty() ? "" : ",") + CsvField(f);
    }
    return row + "\r\n";
}

// One row per reading, the first reading first; one row without a reading for keys and
// frames no format reads.
std::string Rows(const TestLogEntry& e) {
    if (e.decoded.formats.empty()) {
        return e.decoded.key ? Row(e, "key", "", std::to_string(*e.decoded.key), "")
                             : Row(e, "", "", "", "");
    }
    std::string rows;
    for (const wiegand::Interpretation& it : e.decoded.formats) {
        std::string facility;
        if (it.facility || it.company) {
            facility = std::to_string(it.facility.value_or(0) + it.company.value_or(0));
        }
        rows += Row(e, it.format->name, facility, std::to_string(it.card), it.ParityText());
    }
    return rows;
}

}  // namespace

const TestLogEntry& TestLog::Add(wusb::TimeStamp time, const TestReport& report) {
    TestLogEntry e;
    e.time = time;
    e.line = report.line;
    e.payload = report.payload;
    e.decoded = wiegand::Decode(report.payload.data(), report.payload.size(), decoding_);
    entries_.push_back(std::move(e));
    return entries_.back();
}

std::string TestLog::Csv() const {
    std::string csv = "time,line,kind,bits,data,format,facility,card,parity\r\n";
    for (const TestLogEntry& e : entries_) {
        csv += Rows(e);
    }
    return csv;
}

bool SaveTestLog(const TestLog& log, wusb::Files& files, Dialogs& dialogs) {
    const std::optional<std::string> path =
        dialogs.ChooseFileToSave({"Zapisz log testu", "Log testu CSV (*.csv)", "log-testu.csv"});
    if (!path) {
        return false;
    }
    try {
        files.ReplaceAll(*path, log.Csv());
        return true;
    } catch (const wusb::FileError& e) {
        dialogs.ShowError(std::string("Nie udało się zapisać logu testu.\n") + e.what());
        return false;
    }
}

std::string ClockTime(wusb::TimeStamp t) {
    const std::tm local = LocalTime(t);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string DateTime(wusb::TimeStamp t) {
    const std::tm local = LocalTime(t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(t.milliseconds));
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

}  // namespace uwieg

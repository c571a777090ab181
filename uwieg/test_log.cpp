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

std::string Row(const TestLogEntry& e) {
    std::string format, facility, card, parity;
    if (const wiegand::Interpretation* best = e.decoded.Best()) {
        format = best->format->name;
        if (best->facility || best->company) {
            facility = std::to_string(best->facility.value_or(0) + best->company.value_or(0));
        }
        card = std::to_string(best->card);
        parity = best->ParityText();
    } else if (e.decoded.key) {
        format = "key";
        card = std::to_string(*e.decoded.key);
    }
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

}  // namespace

const TestLogEntry& TestLog::Add(wusb::TimeStamp time, const TestReport& report) {
    TestLogEntry e;
    e.time = time;
    e.line = report.line;
    e.payload = report.payload;
    e.decoded = wiegand::Decode(report.payload.data(), report.payload.size());
    entries_.push_back(std::move(e));
    return entries_.back();
}

std::string TestLog::Csv() const {
    std::string csv = "time,line,kind,bits,data,format,facility,card,parity\r\n";
    for (const TestLogEntry& e : entries_) {
        csv += Row(e);
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

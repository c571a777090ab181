// The lines of the monitor memo as the user sees them.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace reliability {

// An empty memo has no lines (not one empty line).
inline std::vector<std::string> MemoLines(const QPlainTextEdit& memo) {
    std::vector<std::string> lines;
    const QString text = memo.toPlainText();
    if (text.isEmpty()) {
        return lines;
    }
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        lines.push_back(line.toStdString());
    }
    return lines;
}

}  // namespace reliability

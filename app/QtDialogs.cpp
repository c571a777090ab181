#include "app/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

int Run(QMessageBox::Icon icon, const QString& title, const std::string& text,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, Text(text), buttons, QApplication::activeWindow());
    return box.exec();
}

}  // namespace

void QtDialogs::ShowError(const std::string& text) {
    Run(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
}

bool QtDialogs::AskYesNo(const std::string& text, const std::string& caption) {
    return Run(QMessageBox::NoIcon, Text(caption), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void QtDialogs::ShowMessage(const std::string& text) {
    Run(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

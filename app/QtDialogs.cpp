#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

int Run(QMessageBox::Icon icon, const QString& title, const std::string& text,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, Text(text), buttons, QApplication::activeWindow());
    return box.exec();
}

// "json" from "Profil Trelvo (*.json)": the first extension the filter lists.
QString FirstSuffix(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.(\w+))"));
    return pattern.match(filter).captured(1);
}

std::optional<std::string> ChooseFile(QFileDialog::AcceptMode mode,
                                      const uwieg::FileQuestion& question) {
    const bool save = mode == QFileDialog::AcceptSave;
    QFileDialog dialog(QApplication::activeWindow(), Text(question.caption), QString(),
                       Text(question.filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Applied before the dialog's own check for a file to be replaced, so that it asks about
    // the file really written.
    dialog.setDefaultSuffix(FirstSuffix(dialog.nameFilters().value(0)));
    // Qt's own dialog in the program's language (a native one speaks the system's).
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Szukaj w:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nazwa pliku:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Typ pliku:"));
    dialog.setLabelText(QFileDialog::Accept,
                        save ? QStringLiteral("Zapisz") : QStringLiteral("Otwórz"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Anuluj"));
    if (!question.suggestedName.empty()) {
        dialog.selectFile(Text(question.suggestedName));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.first().toStdString();
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

std::optional<std::string> QtDialogs::ChooseFileToOpen(const uwieg::FileQuestion& question) {
    return ChooseFile(QFileDialog::AcceptOpen, question);
}

std::optional<std::string> QtDialogs::ChooseFileToSave(const uwieg::FileQuestion& question) {
    return ChooseFile(QFileDialog::AcceptSave, question);
}

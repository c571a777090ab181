// The production dialogs: what each box looks like and what it answers. Each box is inspected
// and closed from a timer started before it opens, since it runs its own event loop.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/QtDialogs.h"

namespace {

struct BoxSeen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QList<QMessageBox::StandardButton> buttons;
};

// Records the modal box that opens next and presses `press` in it.
void InspectNextBox(BoxSeen& seen, QMessageBox::StandardButton press) {
    QTimer::singleShot(0, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.icon = box->icon();
        seen.title = box->windowTitle();
        seen.text = box->text();
        for (QAbstractButton* b : box->buttons()) {
            seen.buttons << box->standardButton(b);
        }
        box->button(press)->click();
    });
}

TEST(QtDialogsTest, ErrorBoxIsCriticalWithTitleErrorAndOneOk) {
    BoxSeen seen;
    InspectNextBox(seen, QMessageBox::Ok);
    QtDialogs().ShowError("Nie znaleziono interface'u USB-Wiegand.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, "Nie znaleziono interface'u USB-Wiegand.");
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(QtDialogsTest, QuestionHasNoIconAndAnswersTrueOnlyForYes) {
    for (const auto press : {QMessageBox::Yes, QMessageBox::No}) {
        BoxSeen seen;
        InspectNextBox(seen, press);
        const bool answer = QtDialogs().AskYesNo("    Wykonać upgrade?", "Upgrade");
        EXPECT_EQ(answer, press == QMessageBox::Yes);
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_EQ(seen.title, "Upgrade");
        EXPECT_EQ(seen.text, "    Wykonać upgrade?");
        EXPECT_EQ(seen.buttons.size(), 2);
        EXPECT_TRUE(seen.buttons.contains(QMessageBox::Yes));
        EXPECT_TRUE(seen.buttons.contains(QMessageBox::No));
    }
}

TEST(QtDialogsTest, PlainMessageHasOneOk) {
    BoxSeen seen;
    InspectNextBox(seen, QMessageBox::Ok);
    QtDialogs().ShowMessage("Błąd pliku upgrade.");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.text, "Błąd pliku upgrade.");
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

// Runs `act` on the file dialog that opens next.
void OnNextFileDialog(std::function<void(QFileDialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

const uwieg::FileQuestion kSaveProfile{"Zapisz profil", "Profil Trelvo (*.json)", "profil.json"};

TEST(QtDialogsTest, SaveChooserAsksInPolishAndAddsTheFiltersExtensionToABareName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString title;
    QStringList filters;
    QString suggested;
    QStringList labels;
    OnNextFileDialog([&](QFileDialog& d) {
        title = d.windowTitle();
        filters = d.nameFilters();
        suggested = d.selectedFiles().value(0);
        labels << d.labelText(QFileDialog::Accept) << d.labelText(QFileDialog::Reject);
        d.selectFile(dir.filePath("biuro"));
        static_cast<QDialog&>(d).accept();  // QFileDialog::accept, as the button runs it
    });
    EXPECT_EQ(QtDialogs().ChooseFileToSave(kSaveProfile), dir.filePath("biuro.json").toStdString());
    EXPECT_EQ(title, "Zapisz profil");
    EXPECT_EQ(filters, QStringList{"Profil Trelvo (*.json)"});
    EXPECT_TRUE(suggested.endsWith("/profil.json")) << suggested.toStdString();
    EXPECT_EQ(labels, (QStringList{"Zapisz", "Anuluj"}));

    // A name that already ends in the extension keeps it once.
    OnNextFileDialog([&](QFileDialog& d) {
        d.selectFile(dir.filePath("drzwi.json"));
        static_cast<QDialog&>(d).accept();  // QFileDialog::accept, as the button runs it
    });
    EXPECT_EQ(QtDialogs().ChooseFileToSave(kSaveProfile), dir.filePath("drzwi.json").toStdString());
}

TEST(QtDialogsTest, OpenChooserReturnsTheFileChosenAndNothingOnCancel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("wejście.json");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const uwieg::FileQuestion question{"Wczytaj profil", "Profil Trelvo (*.json)", {}};

    QString acceptLabel;
    OnNextFileDialog([&](QFileDialog& d) {
        acceptLabel = d.labelText(QFileDialog::Accept);
        d.selectFile(existing);
        static_cast<QDialog&>(d).accept();  // QFileDialog::accept, as the button runs it
    });
    EXPECT_EQ(QtDialogs().ChooseFileToOpen(question), existing.toStdString());
    EXPECT_EQ(acceptLabel, "Otwórz");

    OnNextFileDialog([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(QtDialogs().ChooseFileToOpen(question), std::nullopt);
    OnNextFileDialog([](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(QtDialogs().ChooseFileToSave(kSaveProfile), std::nullopt);
}

}  // namespace

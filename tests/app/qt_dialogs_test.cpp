// The production dialogs: what each box looks like and what it answers. Each box is inspected
// and closed from a timer started before it opens, since it runs its own event loop.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

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

}  // namespace

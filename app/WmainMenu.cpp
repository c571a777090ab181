// The menu bar: profiles to and from files, the end of the program and the about box.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <string>

#include "app/Wmain.h"
#include "trelvo/version.h"
#include "uwieg/profile.h"
#include "uwieg/session.h"

namespace {

constexpr const char* kProfileFilter = "Profil Trelvo (*.json)";
constexpr const char* kDefaultProfileName = "profil.json";

// Where the profile went wrong, in the words of the window: the key and the line and column
// when the profile reader knows them.
std::string ProfileErrorText(const std::string& path, const uwieg::ProfileError& e) {
    std::string place;
    if (!e.key().empty()) {
        place = "klucz „" + e.key() + "”";
    }
    if (e.line() > 0) {
        const std::string position =
            "wiersz " + std::to_string(e.line()) + ", kolumna " + std::to_string(e.column());
        place = place.empty() ? position : place + " (" + position + ")";
    }
    return "Nieprawidłowy profil „" + path + "”:\n" + (place.empty() ? "" : place + ": ") +
           e.message() + ".";
}

}  // namespace

void TMainWin::BuildMenu() {
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    PlikMenu = MainMenu->addMenu(QStringLiteral("&Plik"));
    PlikMenu->setObjectName(QStringLiteral("PlikMenu"));
    exitSeparator_ = PlikMenu->addSeparator();
    ExitItem = PlikMenu->addAction(QStringLiteral("Za&kończ"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                                   this, [this] { close(); });
    LoadProfileItem =
        AddFileMenuItem(QStringLiteral("&Wczytaj profil…"), QKeySequence(Qt::CTRL | Qt::Key_O),
                        [this] { LoadProfileClick(); });
    SaveProfileItem =
        AddFileMenuItem(QStringLiteral("&Zapisz profil…"), QKeySequence(Qt::CTRL | Qt::Key_S),
                        [this] { SaveProfileClick(); });
    SaveTestLogItem = AddFileMenuItem(QStringLiteral("Zapisz &log testu…"), QKeySequence(),
                                      [this] { SaveTestLogClick(); });
    PomocMenu = MainMenu->addMenu(QStringLiteral("Po&moc"));
    PomocMenu->setObjectName(QStringLiteral("PomocMenu"));
    AboutItem =
        PomocMenu->addAction(QStringLiteral("&O programie"), this, [this] { AboutClick(); });

    // The layout keeps the bar across the top at any width; it places nothing else, so the
    // form's controls keep their places in the area under the bar, and the window grows by it.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(MainMenu);
    const int menuHeight = MainMenu->isNativeMenuBar() ? 0 : MainMenu->sizeHint().height();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != MainMenu) {
            child->move(child->pos() + QPoint(0, menuHeight));
        }
    }
    resize(width(), height() + menuHeight);
}

std::string TMainWin::SuggestedProfile() const {
    return lastProfilePath_.empty() ? kDefaultProfileName : lastProfilePath_;
}

void TMainWin::LoadProfileClick() {
    const std::optional<std::string> path =
        dialogs_.ChooseFileToOpen({"Wczytaj profil", kProfileFilter, lastProfilePath_});
    if (!path) {
        return;
    }
    uwieg::ReaderConfig record;
    try {
        record = uwieg::RecordFromProfile(files_.ReadAll(*path, uwieg::kLargestProfile));
    } catch (const uwieg::ProfileError& e) {
        dialogs_.ShowError(ProfileErrorText(*path, e));
        return;
    } catch (const wusb::FileError& e) {
        dialogs_.ShowError(e.what());
        return;
    }
    lastProfilePath_ = *path;
    // Showing the configuration tab reads the reader, as it always does; the profile then
    // fills the controls, so the read cannot overwrite it.
    PageControl1->setCurrentWidget(Konfiguracja);
    config = record;
    DecodeConfig();
    // Decoding runs the check-box reactions, which know nothing of the reader: the controls
    // stay as enabled as the reader's state says (all of them before the first read).
    if (readerResponding_) {
        EnableConfigControls(*readerResponding_);
    }
}

void TMainWin::SaveProfileClick() {
    const std::optional<std::string> path =
        dialogs_.ChooseFileToSave({"Zapisz profil", kProfileFilter, SuggestedProfile()});
    if (!path) {
        return;
    }
    try {
        files_.ReplaceAll(*path, uwieg::ProfileFromRecord(RecordFromControls()));
    } catch (const wusb::FileError& e) {
        dialogs_.ShowError(e.what());
        return;
    }
    lastProfilePath_ = *path;
}

void TMainWin::AboutClick() {
    dialogs_.ShowMessage(std::string(trelvo::kProductName) + " " + trelvo::kVersion +
                         "\nKonfiguracja i test czytników KV-T41X, KV-T43X, KV-T51X, KV-T53X."
                         "\n\nLicencja: MIT"
                         "\nGUID klasy interface'u USB-Wiegand:\n" +
                         uwieg::kInterfaceGuid.ToString());
}

// The menu bar: profiles loaded and saved through the files seam, cancels, invalid profiles
// and file failures, the shortcuts, the about box, and the form's place under the bar.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app/widgets/RadioGroup.h"
#include "trelvo/version.h"
#include "uwieg/config.h"
#include "uwieg/profile.h"
#include "window_fixture.h"

namespace {

using MenuTest = WindowTest;
using Step = trelvo_test::MemoryFiles::Step;

const std::string kInvalidRecord = "Czytnik zawiera nieprawidłową konfigurację.";

// The record the window's controls produce for `record` (what a read then a write gives).
uwieg::ReaderConfig AsTheWindowWritesIt(const uwieg::ReaderConfig& record) {
    uwieg::ConfigControls controls;
    uwieg::DecodeConfig(record, controls);
    return uwieg::EncodeConfig(controls);
}

// Everything the configuration controls show, for "nothing changed" checks.
struct ControlState {
    explicit ControlState(TMainWin& w) {
        for (RadioGroup* g : {w.WiegSizeRGrp, w.WiegOrderRGrp, w.WiegBegBitRGrp, w.WiegEndBitRGrp,
                              w.KeybRGrp, w.LedStabRGrp}) {
            items.push_back(g->itemIndex());
        }
        for (QCheckBox* c : {w.WiegNoParBitChkBx, w.LedChkBx, w.BuzChkBx, w.Buz0, w.Buz1, w.Buz2,
                             w.Buz3, w.Buz4, w.Buz5, w.Buz6, w.MifareChkBx, w.IcodeChkBx}) {
            checks.push_back(c->isChecked());
        }
        ledTime = w.LedTim->text();
    }
    bool operator==(const ControlState&) const = default;
    std::vector<int> items;
    std::vector<bool> checks;
    QString ledTime;
};

TEST_F(MenuTest, MenusListTheirItemsAndNewItemsGoAboveZakoncz) {
    Create(false);
    ASSERT_EQ(win->MainMenu->actions().size(), 2);
    EXPECT_EQ(win->MainMenu->actions()[0]->text(), "&Plik");
    EXPECT_EQ(win->MainMenu->actions()[1]->text(), "Po&moc");
    QStringList items;
    for (QAction* a : win->PlikMenu->actions()) {
        items << (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(items, (QStringList{"&Wczytaj profil…", "&Zapisz profil…", "Zapisz &log testu…", "-",
                                  "Za&kończ"}));
    ASSERT_EQ(win->PomocMenu->actions().size(), 1);
    EXPECT_EQ(win->PomocMenu->actions()[0]->text(), "&O programie");

    // An item added later lands above "Zakończ"; what its handler throws is shown, not fatal.
    QAction* added = win->AddFileMenuItem("Nowa pozycja", QKeySequence(),
                                          [] { throw std::runtime_error("Błąd pozycji."); });
    EXPECT_EQ(win->PlikMenu->actions().value(3), added);
    EXPECT_EQ(win->PlikMenu->actions().last(), win->ExitItem);
    added->trigger();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Błąd pozycji."});
}

TEST_F(MenuTest, TheFormKeepsItsPlacesUnderTheMenuBarAndTheWindowGrowsByIt) {
    Create();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    const QRect bar = win->MainMenu->geometry();
    EXPECT_GT(bar.height(), 0);
    EXPECT_EQ(bar.topLeft(), QPoint(0, 0));
    EXPECT_EQ(bar.width(), win->width());
    // The form's size, and its one top-level control where the form puts it, measured from
    // the top of the area under the bar.
    EXPECT_EQ(win->size(), QSize(737, 540 + bar.height()));
    EXPECT_EQ(win->PageControl1->geometry().translated(0, -bar.height()), QRect(16, 16, 697, 505));
    EXPECT_EQ(win->RdBtn->geometry(), QRect(72, 416, 145, 25)) << "inside the tab, as before";

    win->resize(900, win->height());
    QApplication::processEvents();
    EXPECT_EQ(win->MainMenu->width(), 900) << "the bar spans the window at any width";
    EXPECT_EQ(win->PageControl1->pos(), QPoint(16, 16 + bar.height()));
}

TEST_F(MenuTest, SavedProfilesLoadBackAndWriteTheSameRecord) {
    Plug();
    Create();
    StartUp();
    const uwieg::ReaderConfig records[] = {
        {2, 0x41, 12, 0x55, 0x22, 1, 2, 0},
        {2, 0x80, 0, 0x7F, 0x03, 0, 1, 0},
        {2, 0xC0, 255, 0x00, 0x45, 1, 0, 0},
    };
    for (const uwieg::ReaderConfig& given : records) {
        const uwieg::ReaderConfig record = AsTheWindowWritesIt(given);
        const std::string profile = uwieg::ProfileFromRecord(record);
        files.Put("/profile/in.json", profile);
        iface->ClearReceived();

        dialogs.fileAnswers = {"/profile/in.json", "/profile/out.json"};
        win->LoadProfileItem->trigger();
        win->SaveProfileItem->trigger();
        EXPECT_TRUE(dialogs.Errors().empty());
        EXPECT_TRUE(iface->received().empty()) << "loading and saving talk to no reader";
        EXPECT_EQ(win->config, record);
        EXPECT_EQ(files.Content("/profile/out.json"), profile) << "saved as loaded";

        // "Zapis konfiguracji" then sends the profile's record.
        win->WrBtnClick();
        const sim::Bytes written = LastTunnelData('C');
        ASSERT_EQ(written.size(), 12u);
        EXPECT_EQ(sim::Bytes(written.begin(), written.begin() + 8),
                  sim::Bytes(record.begin(), record.end()));
    }
}

TEST_F(MenuTest, SaveWritesTheRecordBuiltFromTheControlsAsTheWriteWould) {
    Plug();
    Create();
    StartUp();
    win->WiegSizeRGrp->setItemIndex(1);
    win->LedTim->setText("$1F");  // three characters at most
    win->Buz6->setChecked(true);
    dialogs.fileAnswers = {"/profile/biuro.json"};
    win->SaveProfileItem->trigger();
    EXPECT_EQ(win->LedTim->text(), "31") << "the field shows the stored time, as after a write";
    const uwieg::ReaderConfig saved =
        uwieg::RecordFromProfile(files.Content("/profile/biuro.json"));

    iface->ClearReceived();
    win->WrBtnClick();
    const sim::Bytes written = LastTunnelData('C');
    ASSERT_EQ(written.size(), 12u);
    EXPECT_EQ(sim::Bytes(written.begin(), written.begin() + 8),
              sim::Bytes(saved.begin(), saved.end()));

    // The next chooser suggests the file last used.
    win->SaveProfileItem->trigger();
    win->LoadProfileItem->trigger();
    ASSERT_GE(dialogs.shown.size(), 3u);
    const auto& open = dialogs.shown.back();
    const auto& save = dialogs.shown[dialogs.shown.size() - 2];
    EXPECT_EQ(save.kind, RecordingDialogs::Shown::SaveFile);
    EXPECT_EQ(save.caption, "Zapisz profil");
    EXPECT_EQ(save.text, "Profil Trelvo (*.json)");
    EXPECT_EQ(save.suggestedName, "/profile/biuro.json");
    EXPECT_EQ(open.kind, RecordingDialogs::Shown::OpenFile);
    EXPECT_EQ(open.caption, "Wczytaj profil");
    EXPECT_EQ(open.suggestedName, "/profile/biuro.json");
}

TEST_F(MenuTest, CancelledChoosersChangeNothing) {
    Plug();
    Create();
    StartUp();
    win->LedTim->setText("0x10");  // a save would normalise it
    const ControlState before(*win);
    const uwieg::ReaderConfig config = win->config;
    iface->ClearReceived();
    win->LoadProfileItem->trigger();
    win->SaveProfileItem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].suggestedName, "") << "nothing loaded yet";
    EXPECT_EQ(dialogs.shown[1].suggestedName, "profil.json");
    EXPECT_TRUE(dialogs.Errors().empty());
    EXPECT_TRUE(files.Paths().empty());
    EXPECT_EQ(files.Count(Step::kRead), 0);
    EXPECT_TRUE(ControlState(*win) == before);
    EXPECT_EQ(win->config, config);
    EXPECT_TRUE(iface->received().empty());
}

TEST_F(MenuTest, InvalidProfileNamesTheKeyAndPositionAndChangesNoControl) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    const ControlState before(*win);
    const uwieg::ReaderConfig config = win->config;
    std::string profile =
        uwieg::ProfileFromRecord(AsTheWindowWritesIt({2, 0x41, 12, 0x55, 0x22, 1, 2, 0}));
    const std::string good = "\"time_100ms\": 12";
    ASSERT_NE(profile.find(good), std::string::npos);
    profile.replace(profile.find(good), good.size(), "\"time_100ms\": 300");
    files.Put("/profile/zly.json", profile);
    files.Put("/profile/pusty.json", "");
    iface->ClearReceived();

    dialogs.fileAnswers = {"/profile/zly.json", "/profile/pusty.json"};
    win->LoadProfileItem->trigger();
    win->LoadProfileItem->trigger();
    const std::vector<std::string> errors = dialogs.Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Nieprawidłowy profil „/profile/zly.json”:\nklucz „led.time_100ms” "
                              "(wiersz 16, kolumna 5): ",
                              0),
              0u)
        << errors[0];
    EXPECT_NE(errors[1].find("wiersz 1"), std::string::npos) << errors[1];
    EXPECT_TRUE(ControlState(*win) == before);
    EXPECT_EQ(win->config, config);
    EXPECT_EQ(win->PageControl1->currentWidget(), win->Test) << "the tab stays";
    EXPECT_TRUE(iface->received().empty()) << "nothing crossed the wire";
}

TEST_F(MenuTest, FileFailuresAreShownAndKeepTheOldFile) {
    Plug();
    Create();
    StartUp();
    const ControlState before(*win);
    files.FailAt(Step::kRead, 1);
    dialogs.fileAnswers = {"/profile/a.json"};
    win->LoadProfileItem->trigger();
    ASSERT_EQ(dialogs.Errors().size(), 1u);
    EXPECT_NE(dialogs.Errors()[0].find("/profile/a.json"), std::string::npos);
    EXPECT_TRUE(ControlState(*win) == before);

    files.Put("/profile/b.json", "stary");
    files.FailAt(Step::kWrite, 1, 3);
    dialogs.fileAnswers = {"/profile/b.json"};
    win->SaveProfileItem->trigger();
    ASSERT_EQ(dialogs.Errors().size(), 2u);
    EXPECT_NE(dialogs.Errors()[1].find("/profile/b.json"), std::string::npos);
    EXPECT_EQ(files.Content("/profile/b.json"), "stary");
}

TEST_F(MenuTest, LoadingFromTheTestTabReadsFirstSoTheProfileStays) {
    Plug();
    Create();
    StartUp();
    ShowTestTab();
    const uwieg::ReaderConfig record = AsTheWindowWritesIt({2, 0x80, 30, 0x0F, 0x42, 1, 1, 0});
    ASSERT_NE(record, reader().config);
    files.Put("/p.json", uwieg::ProfileFromRecord(record));
    iface->ClearReceived();
    dialogs.fileAnswers = {"/p.json"};
    win->LoadProfileItem->trigger();
    EXPECT_EQ(win->PageControl1->currentWidget(), win->Konfiguracja);
    EXPECT_EQ(Commands(), "oOTTo") << "the tab's own read, before the profile fills the controls";
    EXPECT_EQ(win->config, record);
    EXPECT_EQ(win->LedTim->text(), "30");
    EXPECT_FALSE(win->Timer->isActive());
}

TEST_F(MenuTest, LoadKeepsTheEnablingOfTheReadersState) {
    // A profile whose buzzer check would enable its slots.
    uwieg::ConfigControls controls;
    controls.buzChecked = true;
    controls.ledChecked = true;
    const std::string profile = uwieg::ProfileFromRecord(uwieg::EncodeConfig(controls));

    // Before any reader answered (no interface at start): everything stays enabled, the write
    // stays off.
    Create();
    StartUp();
    win->BuzChkBx->setChecked(false);
    files.Put("/p.json", profile);
    dialogs.fileAnswers = {"/p.json"};
    win->LoadProfileItem->trigger();
    EXPECT_TRUE(win->BuzChkBx->isChecked());
    EXPECT_TRUE(win->Buz3->isEnabled());
    EXPECT_TRUE(win->WiegSizeRGrp->isEnabled());
    EXPECT_FALSE(win->WrBtn->isEnabled());

    // A reader that stopped answering: the controls show the profile but stay disabled.
    Plug();
    Create();
    StartUp();
    win->BuzChkBx->setChecked(false);
    iface->InjectFault({sim::FaultKind::NoAnswer, 'T', 'c'});
    win->RdBtnClick();
    ASSERT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
    dialogs.fileAnswers = {"/p.json"};
    win->LoadProfileItem->trigger();
    EXPECT_TRUE(win->BuzChkBx->isChecked());
    EXPECT_FALSE(win->BuzChkBx->isEnabled());
    EXPECT_FALSE(win->Buz3->isEnabled());
    EXPECT_FALSE(win->LedTim->isEnabled());
    EXPECT_FALSE(win->WrBtn->isEnabled());
    EXPECT_EQ(win->RdLbl->text(), QString::fromStdString(kNotResponding));
}

TEST_F(MenuTest, ProfileWithAnInvalidRecordMarkGivesTheReadsError) {
    Plug();
    Create();
    StartUp();
    uwieg::ReaderConfig record = AsTheWindowWritesIt({2, 0x41, 9, 0x55, 0x23, 1, 2, 0});
    record[0] = 0;
    files.Put("/p.json", uwieg::ProfileFromRecord(record));
    dialogs.fileAnswers = {"/p.json"};
    win->LoadProfileItem->trigger();
    EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{kInvalidRecord});
    EXPECT_EQ(win->LedTim->text(), "9") << "filled all the same, as a read does";
    EXPECT_EQ(win->WiegSizeRGrp->itemIndex(), 3);
}

TEST_F(MenuTest, ShortcutsOpenTheChoosersAndCloseTheWindow) {
    Plug();
    Create();
    StartUp();
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
    QTest::keySequence(win.get(), QKeySequence("Ctrl+O"));
    QTest::keySequence(win.get(), QKeySequence("Ctrl+S"));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Shown::OpenFile);
    EXPECT_EQ(dialogs.shown[1].kind, RecordingDialogs::Shown::SaveFile);

    // Closing the window from the test tab ends the test channel, as any close does.
    ShowTestTab();
    iface->ClearReceived();
    QTest::keySequence(win.get(), QKeySequence("Ctrl+Q"));
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(Commands(), "o");
}

TEST_F(MenuTest, AboutNamesTheVersionLicenceAndInterfaceClass) {
    Create(false);
    win->AboutItem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, RecordingDialogs::Shown::Message);
    const std::string& text = dialogs.shown[0].text;
    EXPECT_EQ(text.rfind(std::string("Trelvo ") + trelvo::kVersion + "\n", 0), 0u) << text;
    EXPECT_NE(text.find("Licencja: MIT"), std::string::npos) << text;
    EXPECT_NE(text.find(uwieg::kInterfaceGuid.ToString()), std::string::npos) << text;
}

}  // namespace

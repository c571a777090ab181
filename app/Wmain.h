// The main window: the menu bar (profiles, the end of the program, the about box), the
// configuration tab (read, write, upgrade offer, enabling rules) and the test tab (live
// transmissions, LED and BUZ lines). Controls are public members named after their
// objectName, as the form defines them.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "ui_Wmain.h"
#include "uwieg/config.h"
#include "uwieg/device.h"
#include "uwieg/dialogs.h"
#include "uwieg/format_file.h"
#include "uwieg/test_log.h"
#include "uwieg/upgrade.h"
#include "wusb/clock.h"
#include "wusb/device.h"
#include "wusb/files.h"
#include "wusb/hotplug.h"

class QAction;
class QCheckBox;
class QCloseEvent;
class QHelpEvent;
class QKeySequence;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QTimer;

class TMainWin : public QWidget, public Ui::TMainWin, private uwieg::UpgradeView {
    Q_OBJECT

  public:
    // `deviceList` is the USB-Wiegand device list (bound to uwieg::kInterfaceGuid); the
    // collaborators must outlive the window. `files` holds the profiles. Nothing is sent to the
    // hardware here.
    TMainWin(wusb::WUsbDevTab& deviceList, wusb::Clock& clock, uwieg::Dialogs& dialogs,
             wusb::Files& files, QWidget* parent = nullptr);
    ~TMainWin() override;

    // The menu bar above the form; the form's controls keep their places under it.
    QMenuBar* MainMenu;
    QMenu* PlikMenu;
    QMenu* PomocMenu;
    QAction* LoadProfileItem;  // Ctrl+O
    QAction* SaveProfileItem;  // Ctrl+S
    QAction* SaveTestLogItem;  // "Zapisz log testu…": the transmissions since start as CSV
    QAction* ExitItem;         // Ctrl+Q
    QAction* AboutItem;

    // Adds an item to "Plik" above "Zakończ"; a failure its handler leaves uncaught is shown in
    // the error box.
    QAction* AddFileMenuItem(const QString& text, const QKeySequence& shortcut,
                             std::function<void()> handler);

    QTimer* Timer;         // 200 ms, test-tab polling
    QTimer* UpgrTimer;     // 50 ms once, the start-up read
    QTimer* HotplugTimer;  // 250 ms while following the interface
    // One line under the tab control, shown with the test tab: the newest transmission decoded,
    // so it stays in view although the memo never scrolls by itself.
    QLabel* DecodeStrip;

    // Follows the interface through `hotplug` (which must outlive the window): when the
    // start-up read found no interface, it runs by itself once one is plugged in; when the
    // test tab lost its interface, monitoring resumes when one comes back.
    void FollowInterfaces(wusb::Hotplug& hotplug);
    // The card formats the test tab decodes with (the built-in table and the user's file). A
    // file that could not be used is named once, when the test tab is first shown.
    void UseCardFormats(const uwieg::CardFormats& formats);
    void HotplugTimerTimer();

    // Event handlers.
    void WrBtnClick();
    void RdBtnClick();
    void BuzChkBxClick();
    void LedChkBxClick();
    void WiegNoParBitChkBxClick();
    void TestShow();
    void KonfiguracjaShow();
    void TimerTimer();
    void UpgrTimerTimer();
    void FormClose();
    void LedRGrpClick();
    void LoadProfileClick();
    void SaveProfileClick();
    void SaveTestLogClick();
    void AboutClick();

    // Steps of the flows.
    bool OpenInterface();
    void UpgrCheck();
    bool ReadFlow();
    bool WriteFlow();
    void AnimateProgress(QProgressBar* bar);
    void ShowReaderState(bool connected);
    void EnableConfigControls(bool connected);
    void EnableParityGroups(bool enabled);
    void DecodeConfig();
    void EncodeConfig();
    // The record the controls describe, as a write sends it; the LED time field then shows
    // the stored value.
    uwieg::ReaderConfig RecordFromControls();
    void AddTestLine(const std::string& text);
    // The tooltip of the memo line at `pos` (viewport coordinates): the decode of a line a tick
    // added, empty for other lines and below the last one.
    QString LineTip(const QPoint& pos) const;

    uwieg::UWiegDev device;
    uwieg::ReaderConfig config{};
    // Every transmission received since the window was created; memo lines it added point here.
    uwieg::TestLog testLog;
    std::string lineText;
    bool suppressTestClick = false;
    // Set by the first show of the configuration tab, which reads nothing. One window per
    // program, so a member serves as the program-wide flag (and keeps tests independent).
    bool firstShowDone = false;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The upgrade's progress on UpgrLbl and UpgrProgrBar, painted at once because the upgrade
    // runs without returning to the event loop.
    void SetUpgradeLabelVisible(bool visible) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressVisible(bool visible) override;
    void ReaderReconnected() override;

    std::array<QCheckBox*, 7> BuzSlots() const;
    uwieg::ConfigControls ReadControls() const;
    void ApplyControls(const uwieg::ConfigControls& controls);
    void SetReaderLabel(const std::string& text);
    void Wire();
    void BuildMenu();
    // The file the save chooser suggests: the profile last loaded or saved, else a bare name.
    std::string SuggestedProfile() const;
    // Runs a handler from the event loop: a failure the handler leaves uncaught is shown in
    // the error box instead of ending the program.
    template <typename Handler>
    void RunGuarded(Handler handler);
    // Open, connect, `step`, close (uwieg::RunReaderFlow): the road of both the read and the
    // write. A link or protocol failure is shown and leaves the reader "not responding".
    template <typename Step>
    bool ReaderFlow(Step step);
    // A tick of Timer: a poll that fails (the interface unplugged, say) fails again on every
    // tick, so its failure is shown once, until a poll succeeds or the tab is shown again.
    void TimerTick();
    void ShowDecoded(const uwieg::TestLogEntry& entry);
    void ShowLineTip(const QHelpEvent& event);

    bool pollFailureShown_ = false;
    std::string formatsFault_;  // until shown
    // The reader's state as the window last showed it (responding or not); nothing before the
    // first exchange with a reader.
    std::optional<bool> readerResponding_;
    std::string lastProfilePath_;
    QAction* exitSeparator_ = nullptr;
    // The start-up read found no interface; the next one plugged in gets it.
    bool awaitingInterface_ = false;
    wusb::Hotplug* hotplug_ = nullptr;

    wusb::WUsbDevTab& deviceList_;
    wusb::Clock& clock_;
    uwieg::Dialogs& dialogs_;
    wusb::Files& files_;
};

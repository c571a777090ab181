#include "app/Wmain.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <utility>

#include "app/WindowFont.h"
#include "app/widgets/PaintNow.h"
#include "uwieg/failure_text.h"
#include "uwieg/identity.h"
#include "uwieg/reader_flow.h"
#include "uwieg/session.h"
#include "uwieg/upgrade.h"

namespace {

constexpr const char* kNotRespondingText = "Czytnik nie odpowiada.";
constexpr int kFontPixels = 13;
constexpr int kReaderLabelPixels = 19;
constexpr int kUpgrTimerMs = 50;
constexpr int kTimerMs = 200;
constexpr int kProgressEnd = 100;
constexpr int kProgressStep = 5;
constexpr std::uint32_t kProgressStepMs = 5;
constexpr std::uint32_t kProgressHoldMs = 50;
// Under the tab control (which ends at 521), across its width, within the 540-pixel client area.
constexpr QRect kDecodeStripGeometry{16, 523, 697, 16};

}  // namespace

TMainWin::TMainWin(wusb::WUsbDevTab& deviceList, wusb::Clock& clock, uwieg::Dialogs& dialogs,
                   wusb::Files& files, QWidget* parent)
    : QWidget(parent),
      Timer(new QTimer(this)),
      UpgrTimer(new QTimer(this)),
      HotplugTimer(new QTimer(this)),
      DecodeStrip(new QLabel(this)),
      device(clock),
      deviceList_(deviceList),
      clock_(clock),
      dialogs_(dialogs),
      files_(files) {
    setupUi(this);
    setObjectName(QStringLiteral("MainWin"));
    setFont(WindowFont(kFontPixels));
    RdLbl->setFont(WindowFont(kReaderLabelPixels));
    // Labels size themselves to their text; the reference geometry fits only the reference font.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->adjustSize();
    }
    DecodeStrip->setObjectName(QStringLiteral("DecodeStrip"));
    DecodeStrip->setGeometry(kDecodeStripGeometry);
    DecodeStrip->setText(QStringLiteral("Brak odebranych transmisji."));
    DecodeStrip->setVisible(false);
    BuildMenu();
    Timer->setInterval(kTimerMs);
    UpgrTimer->setInterval(kUpgrTimerMs);
    Wire();
    UpgrTimer->start();
}

TMainWin::~TMainWin() = default;

template <typename Handler>
void TMainWin::RunGuarded(Handler handler) {
    try {
        handler();
    } catch (...) {
        dialogs_.ShowError(uwieg::CurrentFailureText());
    }
}

void TMainWin::Wire() {
    connect(RdBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { RdBtnClick(); }); });
    connect(WrBtn, &QPushButton::clicked, this, [this] { RunGuarded([this] { WrBtnClick(); }); });
    // toggled fires exactly when the checked state changes, by the user or by the program.
    connect(BuzChkBx, &QCheckBox::toggled, this, [this] { BuzChkBxClick(); });
    connect(LedChkBx, &QCheckBox::toggled, this, [this] { LedChkBxClick(); });
    connect(WiegNoParBitChkBx, &QCheckBox::toggled, this, [this] { WiegNoParBitChkBxClick(); });
    connect(LedRGrp, &RadioGroup::clicked, this,
            [this] { RunGuarded([this] { LedRGrpClick(); }); });
    connect(BuzRGrp, &RadioGroup::clicked, this,
            [this] { RunGuarded([this] { LedRGrpClick(); }); });
    connect(Timer, &QTimer::timeout, this, [this] { TimerTick(); });
    connect(UpgrTimer, &QTimer::timeout, this,
            [this] { RunGuarded([this] { UpgrTimerTimer(); }); });
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this] { DecodeStrip->setVisible(PageControl1->currentWidget() == Test); });
    connect(HotplugTimer, &QTimer::timeout, this,
            [this] { RunGuarded([this] { HotplugTimerTimer(); }); });
    Konfiguracja->installEventFilter(this);
    Test->installEventFilter(this);
    TstWin->viewport()->installEventFilter(this);
}

QAction* TMainWin::AddFileMenuItem(const QString& text, const QKeySequence& shortcut,
                                   std::function<void()> handler) {
    auto* item = new QAction(text, PlikMenu);
    item->setShortcut(shortcut);
    connect(item, &QAction::triggered, this,
            [this, handler = std::move(handler)] { RunGuarded(handler); });
    PlikMenu->insertAction(exitSeparator_, item);
    return item;
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TstWin->viewport() && event->type() == QEvent::ToolTip) {
        ShowLineTip(*static_cast<QHelpEvent*>(event));
        return true;
    }
    // A page becomes visible: at the window's first show and whenever its tab is selected.
    // Spontaneous shows (the window restored from minimised) change no page.
    if (event->type() == QEvent::Show && !event->spontaneous()) {
        if (watched == Konfiguracja) {
            RunGuarded([this] { KonfiguracjaShow(); });
        } else if (watched == Test) {
            RunGuarded([this] { TestShow(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainWin::closeEvent(QCloseEvent* event) {
    // A failed closing exchange is shown, but never keeps the window open.
    RunGuarded([this] { FormClose(); });
    event->accept();
}

bool TMainWin::OpenInterface() {
    return uwieg::OpenInterface(deviceList_, device, dialogs_);
}

void TMainWin::UpgrCheck() {
    uwieg::UpgrCheck(device, dialogs_, *this);
}

void TMainWin::SetUpgradeLabelVisible(bool visible) {
    SetVisibleNow(*UpgrLbl, visible);
}

void TMainWin::SetProgressMaximum(int maximum) {
    UpgrProgrBar->setMaximum(maximum);
    UpgrProgrBar->repaint();
}

void TMainWin::SetProgressPosition(int position) {
    UpgrProgrBar->setValue(position);
    UpgrProgrBar->repaint();
}

void TMainWin::SetProgressVisible(bool visible) {
    SetVisibleNow(*UpgrProgrBar, visible);
}

void TMainWin::ReaderReconnected() {
    ShowReaderState(true);
}

bool TMainWin::ReadFlow() {
    return ReaderFlow([this] {
        UpgrCheck();
        device.ReadConfig(config);
        // From now on the test tab reads cards as this reader sends them.
        testLog.decoding().reader = uwieg::ReaderFrameOf(config);
    });
}

bool TMainWin::WriteFlow() {
    return ReaderFlow([this] {
        device.WriteConfig(config);
        testLog.decoding().reader = uwieg::ReaderFrameOf(config);
    });
}

void TMainWin::UseCardFormats(const uwieg::CardFormats& formats) {
    testLog.decoding().formats = formats.table;
    formatsFault_ = formats.fault;
}

template <typename Step>
bool TMainWin::ReaderFlow(Step step) {
    const uwieg::FlowOutcome outcome =
        uwieg::RunReaderFlow(deviceList_, device, dialogs_, uwieg::InterfaceChoice{}, [&] {
            ShowReaderState(true);
            step();
        });
    if (outcome == uwieg::FlowOutcome::Failed) {
        ShowReaderState(false);
    }
    return outcome == uwieg::FlowOutcome::Done;
}

void TMainWin::AnimateProgress(QProgressBar* bar) {
    // Step k is painted at start + 5 ms x k and the full bar held 50 ms after the last step's
    // 5 ms: painting eats into the waits instead of adding to them.
    wusb::Schedule schedule(clock_);
    std::int64_t stepEnd = 0;
    for (int position = 0; position <= kProgressEnd; position += kProgressStep) {
        bar->setValue(position);
        if (position == 0) {
            SetVisibleNow(*bar, true);  // one paint, and never the last run's full bar
        } else {
            bar->repaint();
        }
        stepEnd += kProgressStepMs;
        schedule.WaitUntil(stepEnd);
    }
    schedule.WaitUntil(stepEnd + kProgressHoldMs);
    SetVisibleNow(*bar, false);
}

void TMainWin::SetReaderLabel(const std::string& text) {
    RdLbl->setText(QString::fromStdString(text));
    RdLbl->adjustSize();
}

void TMainWin::ShowReaderState(bool connected) {
    readerResponding_ = connected;
    const uwieg::ReaderIdentity identity = device.identity();
    if (connected) {
        lineText = identity.Description();
        SetReaderLabel(lineText);
        KartTypeGrp->setVisible(identity.offersCardTypes());
    } else {
        SetReaderLabel(kNotRespondingText);
    }
    EnableConfigControls(connected);
}

void TMainWin::EnableConfigControls(bool connected) {
    const uwieg::ReaderIdentity identity = device.identity();
    WiegSizeRGrp->setEnabled(connected);
    WiegOrderRGrp->setEnabled(connected);
    WiegNoParBitChkBx->setEnabled(connected);
    EnableParityGroups(connected && !WiegNoParBitChkBx->isChecked());
    KeybRGrp->setEnabled(connected && identity.offersKeypadMode());
    LedStabRGrp->setEnabled(connected);
    LedChkBx->setEnabled(connected);
    LedTim->setEnabled(connected && LedChkBx->isChecked());
    BuzChkBx->setEnabled(connected);
    for (QCheckBox* slot : BuzSlots()) {
        slot->setEnabled(connected && BuzChkBx->isChecked());
    }
    WrBtn->setEnabled(connected);
}

void TMainWin::EnableParityGroups(bool enabled) {
    WiegBegBitRGrp->setEnabled(enabled);
    WiegEndBitRGrp->setEnabled(enabled);
}

void TMainWin::WiegNoParBitChkBxClick() {
    EnableParityGroups(!WiegNoParBitChkBx->isChecked());
}

void TMainWin::LedChkBxClick() {
    const bool on = LedChkBx->isChecked();
    LedTimLbl->setEnabled(on);
    LedTim->setEnabled(on);
    LedSLbl->setEnabled(on);
}

void TMainWin::BuzChkBxClick() {
    const bool on = BuzChkBx->isChecked();
    BuzSygnLbl->setEnabled(on);
    for (QCheckBox* slot : BuzSlots()) {
        slot->setEnabled(on);
    }
}

void TMainWin::RdBtnClick() {
    if (ReadFlow()) {
        AnimateProgress(RdProgrBar);
        DecodeConfig();
    }
}

void TMainWin::WrBtnClick() {
    // First, so the field shows the stored LED time even when the write then fails.
    EncodeConfig();
    if (WriteFlow()) {
        AnimateProgress(WrProgrBar);
    }
}

void TMainWin::UpgrTimerTimer() {
    UpgrTimer->stop();
    const bool read = ReadFlow();
    awaitingInterface_ = deviceList_.count() == 0;
    if (read) {
        DecodeConfig();
    }
}

void TMainWin::KonfiguracjaShow() {
    Timer->stop();
    if (!firstShowDone) {
        firstShowDone = true;
        return;
    }
    if (ReadFlow()) {
        DecodeConfig();
    }
}

void TMainWin::FormClose() {
    if (device.channelOpen && OpenInterface()) {
        device.CloseChannel();
    }
}

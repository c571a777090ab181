#include "app/SimPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

namespace {

constexpr int kRefreshMs = 250;

// Hex bytes separated by blanks or commas ("02 C0 05"); nullopt for anything else.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const QString& text) {
    std::vector<std::uint8_t> bytes;
    const QStringList parts =
        text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || value > 0xFF) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

QString HexBytes(const std::uint8_t* bytes, std::size_t count) {
    QStringList parts;
    for (std::size_t i = 0; i < count; ++i) {
        parts << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return parts.join(QLatin1Char(' '));
}

QSpinBox* SpinBox(int minimum, int maximum, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    return box;
}

enum TransmissionKind { kCard, kCardWithParity, kUnrecognised, kKey };

struct FaultChoice {
    const char* name;
    sim::FaultKind kind;
};

constexpr FaultChoice kFaults[] = {
    {"No answer", sim::FaultKind::NoAnswer},
    {"Refused (NAK)", sim::FaultKind::Nak},
    {"Answer one byte too long", sim::FaultKind::WrongLength},
    {"Damaged CRC", sim::FaultKind::CorruptCrc},
    {"Report before the answer", sim::FaultKind::ReportBefore},
    {"Stale answer before the answer", sim::FaultKind::StaleBefore},
    {"Invalid frames before the answer", sim::FaultKind::InvalidFlood},
    {"Reader status not 0", sim::FaultKind::ReaderStatus},
    {"Unplug on the command", sim::FaultKind::Unplug},
};

}  // namespace

SimPanel::SimPanel(sim::SimPlatform& platform, int device, QWidget* parent)
    : QWidget(parent, Qt::Window),
      platform_(platform),
      deviceNumber_(device),
      device_(*platform.device(device)),
      refresh_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Trelvo simulator"));
    // Closing the panel must not end the program; closing the main window does.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildInterfaceGroup());
    layout->addWidget(BuildReaderGroup());
    layout->addWidget(BuildTransmissionGroup());
    layout->addWidget(BuildFaultGroup());
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    layout->addWidget(message_);
    LoadReader();
    connect(refresh_, &QTimer::timeout, this, &SimPanel::Refresh);
    refresh_->start(kRefreshMs);
    Refresh();
}

QWidget* SimPanel::BuildInterfaceGroup() {
    auto* group = new QGroupBox(QStringLiteral("USB-Wiegand interface"), this);
    auto* row = new QHBoxLayout(group);
    plugButton_ = new QPushButton(group);
    stateLabel_ = new QLabel(group);
    stateLabel_->setWordWrap(true);
    row->addWidget(plugButton_);
    row->addWidget(stateLabel_, 1);
    connect(plugButton_, &QPushButton::clicked, this, [this] {
        if (platform_.IsPlugged(deviceNumber_)) {
            platform_.Unplug(deviceNumber_);
        } else {
            platform_.Replug(deviceNumber_);
        }
        Refresh();
    });
    return group;
}

QWidget* SimPanel::BuildReaderGroup() {
    auto* group = new QGroupBox(QStringLiteral("Reader"), this);
    auto* form = new QFormLayout(group);
    typeNumber_ = SpinBox(0, 99, group);
    readerNumber_ = SpinBox(0, 65535, group);
    typeVariant_ = SpinBox(0, 3, group);
    firmware_ = SpinBox(0, 65535, group);
    configBytes_ = new QLineEdit(group);
    form->addRow(QStringLiteral("Type (41, 43, 51, 53 known)"), typeNumber_);
    form->addRow(QStringLiteral("Number"), readerNumber_);
    form->addRow(QStringLiteral("Variant (identity bits 26-27)"), typeVariant_);
    form->addRow(QStringLiteral("Firmware version (built-in images: 2)"), firmware_);
    form->addRow(QStringLiteral("Stored configuration (8 hex bytes)"), configBytes_);
    for (QSpinBox* box : {typeNumber_, readerNumber_, typeVariant_, firmware_}) {
        connect(box, &QSpinBox::valueChanged, this, &SimPanel::StoreReader);
    }
    connect(configBytes_, &QLineEdit::editingFinished, this, &SimPanel::StoreReader);
    return group;
}

QWidget* SimPanel::BuildTransmissionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Present a transmission (test tab)"), this);
    auto* form = new QFormLayout(group);
    bits_ = SpinBox(4, 67, group);
    bits_->setValue(26);
    data_ = new QLineEdit(QStringLiteral("12 34 56 40"), group);
    form->addRow(QStringLiteral("Bits"), bits_);
    form->addRow(QStringLiteral("Data (hex bytes)"), data_);

    auto* parity = new QGridLayout;
    begOdd_ = new QCheckBox(QStringLiteral("begin odd"), group);
    begValue_ = new QCheckBox(QStringLiteral("begin bit 1"), group);
    endOdd_ = new QCheckBox(QStringLiteral("end odd"), group);
    endValue_ = new QCheckBox(QStringLiteral("end bit 1"), group);
    parity->addWidget(begOdd_, 0, 0);
    parity->addWidget(begValue_, 0, 1);
    parity->addWidget(endOdd_, 1, 0);
    parity->addWidget(endValue_, 1, 1);
    form->addRow(QStringLiteral("Parity bits"), parity);

    auto* cards = new QHBoxLayout;
    const std::pair<const char*, int> buttons[] = {
        {"Card", kCard}, {"Card with parity", kCardWithParity}, {"Unrecognised", kUnrecognised}};
    for (const auto& [text, kind] : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(text), group);
        connect(button, &QPushButton::clicked, this, [this, k = kind] { PresentFrom(k); });
        cards->addWidget(button);
    }
    form->addRow(cards);

    auto* keys = new QHBoxLayout;
    key_ = SpinBox(0, 255, group);
    keyWidth_ = new QComboBox(group);
    keyWidth_->addItem(QStringLiteral("4 bits"), 4);
    keyWidth_->addItem(QStringLiteral("8 bits"), 8);
    auto* keyButton = new QPushButton(QStringLiteral("Key"), group);
    connect(keyButton, &QPushButton::clicked, this, [this] { PresentFrom(kKey); });
    keys->addWidget(key_);
    keys->addWidget(keyWidth_);
    keys->addWidget(keyButton);
    form->addRow(QStringLiteral("Keypad key"), keys);
    return group;
}

QWidget* SimPanel::BuildFaultGroup() {
    auto* group = new QGroupBox(QStringLiteral("Inject a fault"), this);
    auto* form = new QFormLayout(group);
    faultKind_ = new QComboBox(group);
    for (const FaultChoice& f : kFaults) {
        faultKind_->addItem(QString::fromLatin1(f.name), static_cast<int>(f.kind));
    }
    faultCommand_ = new QComboBox(group);
    faultCommand_->addItem(QStringLiteral("any"), 0);
    for (char c : {'O', 'o', 'S', 'T'}) {
        faultCommand_->addItem(QString(QLatin1Char(c)), static_cast<int>(c));
    }
    faultReaderCommand_ = new QComboBox(group);
    faultReaderCommand_->addItem(QStringLiteral("any"), 0);
    for (char c : {'M', 'c', 'C', 'Z', 'Y', 'y', 'z'}) {
        faultReaderCommand_->addItem(QString(QLatin1Char(c)), static_cast<int>(c));
    }
    faultSkip_ = SpinBox(0, 1000, group);
    faultCount_ = SpinBox(1, 1000, group);
    form->addRow(QStringLiteral("Fault"), faultKind_);
    form->addRow(QStringLiteral("Interface command"), faultCommand_);
    form->addRow(QStringLiteral("Reader command (in 'T')"), faultReaderCommand_);
    form->addRow(QStringLiteral("Skip matching commands"), faultSkip_);
    form->addRow(QStringLiteral("Times"), faultCount_);
    auto* row = new QHBoxLayout;
    auto* inject = new QPushButton(QStringLiteral("Inject"), group);
    auto* clear = new QPushButton(QStringLiteral("Clear faults"), group);
    connect(inject, &QPushButton::clicked, this, &SimPanel::InjectFault);
    connect(clear, &QPushButton::clicked, this, [this] {
        device_.ClearFaults();
        Report(QStringLiteral("Faults cleared."));
    });
    row->addWidget(inject);
    row->addWidget(clear);
    form->addRow(row);
    return group;
}

void SimPanel::LoadReader() {
    const sim::ReaderModel& r = device_.reader();
    const QSignalBlocker b1(typeNumber_), b2(readerNumber_), b3(typeVariant_), b4(firmware_);
    typeNumber_->setValue(r.typeNumber);
    readerNumber_->setValue(r.readerNumber);
    typeVariant_->setValue(r.typeVariant);
    firmware_->setValue(r.firmwareVersion);
    configBytes_->setText(HexBytes(r.config.data(), r.config.size()));
}

void SimPanel::StoreReader() {
    sim::ReaderModel& r = device_.reader();
    r.typeNumber = typeNumber_->value();
    r.readerNumber = static_cast<std::uint16_t>(readerNumber_->value());
    r.typeVariant = static_cast<std::uint8_t>(typeVariant_->value());
    r.firmwareVersion = static_cast<std::uint16_t>(firmware_->value());
    const auto bytes = ParseHexBytes(configBytes_->text());
    if (bytes && bytes->size() == r.config.size()) {
        std::copy(bytes->begin(), bytes->end(), r.config.begin());
    } else {
        Report(QStringLiteral("The stored configuration needs exactly 8 hex bytes; kept."));
        configBytes_->setText(HexBytes(r.config.data(), r.config.size()));
    }
}

void SimPanel::PresentFrom(int kind) {
    const auto bytes = ParseHexBytes(data_->text());
    if (kind != kKey && !bytes) {
        Report(QStringLiteral("Data must be hex bytes."));
        return;
    }
    try {
        switch (kind) {
            case kCard:
                Present(sim::Transmission::Card(bits_->value(), *bytes));
                break;
            case kCardWithParity:
                Present(sim::Transmission::CardWithParity(
                    bits_->value(), *bytes, begOdd_->isChecked(), begValue_->isChecked(),
                    endOdd_->isChecked(), endValue_->isChecked()));
                break;
            case kUnrecognised:
                Present(sim::Transmission::Unrecognised(bits_->value(), *bytes));
                break;
            default:
                Present(sim::Transmission::Key(keyWidth_->currentData().toInt(),
                                               static_cast<std::uint8_t>(key_->value())));
                break;
        }
    } catch (const std::exception& e) {
        Report(QString::fromStdString(e.what()));
    }
}

void SimPanel::Present(const sim::Transmission& t) {
    device_.Present(t);
    Report(QStringLiteral("Presented: %1").arg(HexBytes(t.payload.data(), t.payload.size())));
    Refresh();
}

void SimPanel::InjectFault() {
    sim::Fault fault;
    fault.kind = static_cast<sim::FaultKind>(faultKind_->currentData().toInt());
    fault.command = static_cast<std::uint8_t>(faultCommand_->currentData().toInt());
    fault.readerCommand = static_cast<std::uint8_t>(faultReaderCommand_->currentData().toInt());
    fault.skip = faultSkip_->value();
    fault.count = faultCount_->value();
    device_.InjectFault(fault);
    Report(QStringLiteral("Fault armed: %1").arg(faultKind_->currentText()));
}

void SimPanel::Refresh() {
    const bool plugged = platform_.IsPlugged(deviceNumber_);
    plugButton_->setText(plugged ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
    QString state = plugged ? QStringLiteral("plugged in") : QStringLiteral("unplugged");
    if (plugged) {
        state += device_.channelOpen()
                     ? QStringLiteral(", channel open (mode %1)").arg(device_.channelMode())
                     : QStringLiteral(", channel closed");
        state += QStringLiteral(", output lines %1").arg(device_.outputLines());
        state += QStringLiteral(", %1 transmission(s) waiting").arg(device_.pendingTransmissions());
    }
    if (device_.completedUpgrades() > 0) {
        state += QStringLiteral(", %1 upgrade(s) done").arg(device_.completedUpgrades());
    }
    stateLabel_->setText(state);
    // An upgrade changes the firmware behind the panel's back.
    if (!firmware_->hasFocus() && firmware_->value() != device_.reader().firmwareVersion) {
        const QSignalBlocker block(firmware_);
        firmware_->setValue(device_.reader().firmwareVersion);
    }
}

void SimPanel::Report(const QString& text) {
    message_->setText(text);
}

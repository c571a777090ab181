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
#include <optional>
#include <stdexcept>
#include <vector>

#include "wiegand/encode.h"
#include "wiegand/formats.h"

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
    {"Brak odpowiedzi", sim::FaultKind::NoAnswer},
    {"Odmowa (NAK)", sim::FaultKind::Nak},
    {"Odpowiedź o bajt za długa", sim::FaultKind::WrongLength},
    {"Uszkodzone CRC", sim::FaultKind::CorruptCrc},
    {"Raport przed odpowiedzią", sim::FaultKind::ReportBefore},
    {"Stara odpowiedź przed odpowiedzią", sim::FaultKind::StaleBefore},
    {"Błędne ramki przed odpowiedzią", sim::FaultKind::InvalidFlood},
    {"Status czytnika różny od 0", sim::FaultKind::ReaderStatus},
    {"Odłączenie przy rozkazie", sim::FaultKind::Unplug},
};

}  // namespace

SimPanel::SimPanel(sim::SimPlatform& platform, int device, QWidget* parent)
    : QWidget(parent, Qt::Window),
      platform_(platform),
      deviceNumber_(device),
      device_(*platform.device(device)),
      refresh_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Symulator Trelvo"));
    // Closing the panel must not end the program; closing the main window does.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildInterfaceGroup());
    layout->addWidget(BuildReaderGroup());
    layout->addWidget(BuildCardGroup());
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
    auto* group = new QGroupBox(QStringLiteral("Interface USB-Wiegand"), this);
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
    auto* group = new QGroupBox(QStringLiteral("Czytnik"), this);
    auto* form = new QFormLayout(group);
    typeNumber_ = SpinBox(0, 99, group);
    readerNumber_ = SpinBox(0, 65535, group);
    typeVariant_ = SpinBox(0, 3, group);
    firmware_ = SpinBox(0, 65535, group);
    configBytes_ = new QLineEdit(group);
    form->addRow(QStringLiteral("Typ (znane: 41, 43, 51, 53)"), typeNumber_);
    form->addRow(QStringLiteral("Numer"), readerNumber_);
    form->addRow(QStringLiteral("Wariant (bity 26-27 identyfikacji)"), typeVariant_);
    form->addRow(QStringLiteral("Wersja firmware (wbudowane obrazy: 2)"), firmware_);
    form->addRow(QStringLiteral("Zapisana konfiguracja (8 bajtów hex)"), configBytes_);
    for (QSpinBox* box : {typeNumber_, readerNumber_, typeVariant_, firmware_}) {
        connect(box, &QSpinBox::valueChanged, this, &SimPanel::StoreReader);
    }
    connect(configBytes_, &QLineEdit::editingFinished, this, &SimPanel::StoreReader);
    return group;
}

QWidget* SimPanel::BuildCardGroup() {
    auto* group = new QGroupBox(QStringLiteral("Przedstaw kartę (format i numery)"), this);
    auto* form = new QFormLayout(group);
    cardFormat_ = new QComboBox(group);
    for (const wiegand::Format& f : wiegand::Formats()) {
        const QString name = QString::fromStdString(f.name);
        cardFormat_->addItem(QStringLiteral("%1 (%2 bit)").arg(name).arg(f.bits), name);
    }
    cardCode_ = new QLineEdit(QStringLiteral("18"), group);
    cardNumber_ = new QLineEdit(QStringLiteral("13398"), group);
    cardParity_ = new QComboBox(group);
    cardParity_->addItem(QStringLiteral("poprawna"),
                         static_cast<int>(wiegand::ParityChoice::Right));
    cardParity_->addItem(QStringLiteral("błędna (początkowa)"),
                         static_cast<int>(wiegand::ParityChoice::WrongBegin));
    cardParity_->addItem(QStringLiteral("błędna (końcowa)"),
                         static_cast<int>(wiegand::ParityChoice::WrongEnd));
    describeParity_ =
        new QCheckBox(QStringLiteral("bity parzystości opisane w raporcie (rodzaj 3)"), group);
    describeParity_->setChecked(true);
    cardCodeLabel_ = new QLabel(group);
    form->addRow(QStringLiteral("Format"), cardFormat_);
    form->addRow(cardCodeLabel_, cardCode_);
    form->addRow(QStringLiteral("Numer karty (CN)"), cardNumber_);
    form->addRow(QStringLiteral("Parzystość"), cardParity_);
    form->addRow(describeParity_);
    auto* present = new QPushButton(QStringLiteral("Przedstaw kartę"), group);
    connect(present, &QPushButton::clicked, this, &SimPanel::PresentCard);
    form->addRow(present);
    connect(cardFormat_, &QComboBox::currentIndexChanged, this, &SimPanel::ShowCardFields);
    ShowCardFields();
    return group;
}

void SimPanel::ShowCardFields() {
    const wiegand::Format& f =
        *wiegand::FindFormat(cardFormat_->currentData().toString().toStdString());
    const bool company = wiegand::FindField(f, wiegand::FieldKind::Company) != nullptr;
    const bool facility = wiegand::FindField(f, wiegand::FieldKind::Facility) != nullptr;
    cardCodeLabel_->setText(company ? QStringLiteral("Kod firmy (CC)")
                                    : QStringLiteral("Kod obiektu (FC)"));
    cardCode_->setEnabled(company || facility);
    // Only formats with one parity bit at each end fit a report that describes those bits.
    describeParity_->setEnabled(wiegand::HasEdgeParity(f));
}

void SimPanel::PresentCard() {
    const wiegand::Format& f =
        *wiegand::FindFormat(cardFormat_->currentData().toString().toStdString());
    bool codeOk = true;
    bool cardOk = false;
    const std::uint64_t code =
        cardCode_->isEnabled() ? cardCode_->text().trimmed().toULongLong(&codeOk) : 0;
    const std::uint64_t card = cardNumber_->text().trimmed().toULongLong(&cardOk);
    if (!codeOk || !cardOk || !wiegand::Fits(f, code, card)) {
        Report(
            QStringLiteral("Numery poza zakresem formatu %1.").arg(QString::fromStdString(f.name)));
        return;
    }
    sim::Transmission t;
    t.payload = wiegand::EncodeReport(
        f, code, card, static_cast<wiegand::ParityChoice>(cardParity_->currentData().toInt()),
        describeParity_->isChecked());
    Present(t);
}

QWidget* SimPanel::BuildTransmissionGroup() {
    auto* group = new QGroupBox(QStringLiteral("Przedstaw surowe bity (zakładka Test)"), this);
    auto* form = new QFormLayout(group);
    bits_ = SpinBox(4, 67, group);
    bits_->setValue(26);
    data_ = new QLineEdit(QStringLiteral("12 34 56 40"), group);
    form->addRow(QStringLiteral("Bity"), bits_);
    form->addRow(QStringLiteral("Dane (bajty hex)"), data_);

    auto* parity = new QGridLayout;
    begOdd_ = new QCheckBox(QStringLiteral("początkowy nieparzysty"), group);
    begValue_ = new QCheckBox(QStringLiteral("początkowy = 1"), group);
    endOdd_ = new QCheckBox(QStringLiteral("końcowy nieparzysty"), group);
    endValue_ = new QCheckBox(QStringLiteral("końcowy = 1"), group);
    parity->addWidget(begOdd_, 0, 0);
    parity->addWidget(begValue_, 0, 1);
    parity->addWidget(endOdd_, 1, 0);
    parity->addWidget(endValue_, 1, 1);
    form->addRow(QStringLiteral("Bity parzystości"), parity);

    auto* cards = new QHBoxLayout;
    const std::pair<const char*, int> buttons[] = {{"Karta", kCard},
                                                   {"Karta z parzystością", kCardWithParity},
                                                   {"Nierozpoznana", kUnrecognised}};
    for (const auto& [text, kind] : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(text), group);
        connect(button, &QPushButton::clicked, this, [this, k = kind] { PresentFrom(k); });
        cards->addWidget(button);
    }
    form->addRow(cards);

    auto* keys = new QHBoxLayout;
    key_ = SpinBox(0, 255, group);
    keyWidth_ = new QComboBox(group);
    keyWidth_->addItem(QStringLiteral("4 bity"), 4);
    keyWidth_->addItem(QStringLiteral("8 bitów"), 8);
    auto* keyButton = new QPushButton(QStringLiteral("Klawisz"), group);
    connect(keyButton, &QPushButton::clicked, this, [this] { PresentFrom(kKey); });
    keys->addWidget(key_);
    keys->addWidget(keyWidth_);
    keys->addWidget(keyButton);
    form->addRow(QStringLiteral("Klawisz klawiatury"), keys);
    return group;
}

QWidget* SimPanel::BuildFaultGroup() {
    auto* group = new QGroupBox(QStringLiteral("Wstrzyknij błąd"), this);
    auto* form = new QFormLayout(group);
    faultKind_ = new QComboBox(group);
    for (const FaultChoice& f : kFaults) {
        faultKind_->addItem(QString::fromUtf8(f.name), static_cast<int>(f.kind));
    }
    faultCommand_ = new QComboBox(group);
    faultCommand_->addItem(QStringLiteral("dowolny"), 0);
    for (char c : {'O', 'o', 'S', 'T'}) {
        faultCommand_->addItem(QString(QLatin1Char(c)), static_cast<int>(c));
    }
    faultReaderCommand_ = new QComboBox(group);
    faultReaderCommand_->addItem(QStringLiteral("dowolny"), 0);
    for (char c : {'M', 'c', 'C', 'Z', 'Y', 'y', 'z'}) {
        faultReaderCommand_->addItem(QString(QLatin1Char(c)), static_cast<int>(c));
    }
    faultSkip_ = SpinBox(0, 1000, group);
    faultCount_ = SpinBox(1, 1000, group);
    form->addRow(QStringLiteral("Błąd"), faultKind_);
    form->addRow(QStringLiteral("Rozkaz interface'u"), faultCommand_);
    form->addRow(QStringLiteral("Rozkaz czytnika (w 'T')"), faultReaderCommand_);
    form->addRow(QStringLiteral("Pomiń pasujące rozkazy"), faultSkip_);
    form->addRow(QStringLiteral("Ile razy"), faultCount_);
    auto* row = new QHBoxLayout;
    auto* inject = new QPushButton(QStringLiteral("Wstrzyknij"), group);
    auto* clear = new QPushButton(QStringLiteral("Usuń błędy"), group);
    connect(inject, &QPushButton::clicked, this, &SimPanel::InjectFault);
    connect(clear, &QPushButton::clicked, this, [this] {
        device_.ClearFaults();
        Report(QStringLiteral("Błędy usunięte."));
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
        Report(QStringLiteral("Zapisana konfiguracja to dokładnie 8 bajtów hex; bez zmian."));
        configBytes_->setText(HexBytes(r.config.data(), r.config.size()));
    }
}

void SimPanel::PresentFrom(int kind) {
    const auto bytes = ParseHexBytes(data_->text());
    if (kind != kKey && !bytes) {
        Report(QStringLiteral("Dane muszą być bajtami hex."));
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
    } catch (const std::invalid_argument&) {
        // The builders refuse what no report can carry.
        Report(QStringLiteral(
            "Takiej transmisji nie da się wysłać: raport ma najwyżej 27 bajtów, klawisz 4-bitowy "
            "0–15."));
    }
}

void SimPanel::Present(const sim::Transmission& t) {
    device_.Present(t);
    Report(QStringLiteral("Przedstawiono: %1").arg(HexBytes(t.payload.data(), t.payload.size())));
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
    Report(QStringLiteral("Błąd przygotowany: %1").arg(faultKind_->currentText()));
}

void SimPanel::Refresh() {
    const bool plugged = platform_.IsPlugged(deviceNumber_);
    plugButton_->setText(plugged ? QStringLiteral("Odłącz") : QStringLiteral("Podłącz"));
    QString state = plugged ? QStringLiteral("podłączony") : QStringLiteral("odłączony");
    if (plugged) {
        state += device_.channelOpen()
                     ? QStringLiteral(", kanał otwarty (tryb %1)").arg(device_.channelMode())
                     : QStringLiteral(", kanał zamknięty");
        state += QStringLiteral(", linie wyjściowe %1").arg(device_.outputLines());
        state += QStringLiteral(", czekające transmisje: %1").arg(device_.pendingTransmissions());
    }
    if (device_.completedUpgrades() > 0) {
        state += QStringLiteral(", wykonane aktualizacje: %1").arg(device_.completedUpgrades());
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

// The configuration record to and from the configuration controls.
#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <cstddef>

#include "app/Wmain.h"
#include "uwieg/config.h"

namespace {

constexpr const char* kInvalidConfigText = "Czytnik zawiera nieprawidłową konfigurację.";

}  // namespace

std::array<QCheckBox*, 7> TMainWin::BuzSlots() const {
    return {Buz0, Buz1, Buz2, Buz3, Buz4, Buz5, Buz6};
}

uwieg::ConfigControls TMainWin::ReadControls() const {
    uwieg::ConfigControls c;
    c.ledChecked = LedChkBx->isChecked();
    c.buzChecked = BuzChkBx->isChecked();
    c.ledStabItem = LedStabRGrp->itemIndex();
    c.ledTimText = LedTim->text().toStdString();
    const auto buzSlots = BuzSlots();
    for (std::size_t i = 0; i < buzSlots.size(); ++i) {
        c.buzSlots[i] = buzSlots[i]->isChecked();
    }
    c.wiegSizeItem = WiegSizeRGrp->itemIndex();
    c.noParityChecked = WiegNoParBitChkBx->isChecked();
    c.wiegOrderItem = WiegOrderRGrp->itemIndex();
    c.wiegEndBitItem = WiegEndBitRGrp->itemIndex();
    c.wiegBegBitItem = WiegBegBitRGrp->itemIndex();
    c.keybItem = KeybRGrp->itemIndex();
    c.mifareChecked = MifareChkBx->isChecked();
    c.icodeChecked = IcodeChkBx->isChecked();
    return c;
}

void TMainWin::ApplyControls(const uwieg::ConfigControls& c) {
    // setChecked raises toggled only on a real change, so each check-box reaction runs exactly
    // when decoding changes its box.
    LedChkBx->setChecked(c.ledChecked);
    BuzChkBx->setChecked(c.buzChecked);
    LedStabRGrp->setItemIndex(c.ledStabItem);
    LedTim->setText(QString::fromStdString(c.ledTimText));
    const auto buzSlots = BuzSlots();
    for (std::size_t i = 0; i < buzSlots.size(); ++i) {
        buzSlots[i]->setChecked(c.buzSlots[i]);
    }
    WiegSizeRGrp->setItemIndex(c.wiegSizeItem);
    WiegOrderRGrp->setItemIndex(c.wiegOrderItem);
    WiegNoParBitChkBx->setChecked(c.noParityChecked);
    WiegEndBitRGrp->setItemIndex(c.wiegEndBitItem);
    WiegBegBitRGrp->setItemIndex(c.wiegBegBitItem);
    KeybRGrp->setItemIndex(c.keybItem);
    MifareChkBx->setChecked(c.mifareChecked);
    IcodeChkBx->setChecked(c.icodeChecked);
}

void TMainWin::DecodeConfig() {
    uwieg::ConfigControls controls = ReadControls();
    if (!uwieg::DecodeConfig(config, controls)) {
        dialogs_.ShowError(kInvalidConfigText);
    }
    ApplyControls(controls);
}

void TMainWin::EncodeConfig() {
    config = RecordFromControls();
}

uwieg::ReaderConfig TMainWin::RecordFromControls() {
    uwieg::ConfigControls controls = ReadControls();
    const uwieg::ReaderConfig record = uwieg::EncodeConfig(controls);
    LedTim->setText(QString::fromStdString(controls.ledTimText));
    return record;
}

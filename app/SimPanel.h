// The simulator's control panel for the demo program: present cards (as raw bits or by format
// and numbers) and keys, change the
// reader, plug and unplug the interface, inject faults. Edits apply to the reader at once.
#pragma once

#include <QWidget>

#include "sim/platform.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

class SimPanel : public QWidget {
    Q_OBJECT

  public:
    // `device` is the platform's device number of the simulated interface.
    SimPanel(sim::SimPlatform& platform, int device, QWidget* parent = nullptr);

  private:
    QWidget* BuildInterfaceGroup();
    QWidget* BuildReaderGroup();
    QWidget* BuildCardGroup();
    QWidget* BuildTransmissionGroup();
    QWidget* BuildFaultGroup();
    void LoadReader();
    void StoreReader();
    void Present(const sim::Transmission& t);
    void PresentFrom(int kind);
    void PresentCard();
    void ShowCardFields();
    void InjectFault();
    void Refresh();
    void Report(const QString& text);

    sim::SimPlatform& platform_;
    int deviceNumber_;
    sim::SimInterface& device_;

    QPushButton* plugButton_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QSpinBox* typeNumber_ = nullptr;
    QSpinBox* readerNumber_ = nullptr;
    QSpinBox* typeVariant_ = nullptr;
    QSpinBox* firmware_ = nullptr;
    QLineEdit* configBytes_ = nullptr;
    QComboBox* cardFormat_ = nullptr;
    QLabel* cardCodeLabel_ = nullptr;
    QLineEdit* cardCode_ = nullptr;
    QLineEdit* cardNumber_ = nullptr;
    QComboBox* cardParity_ = nullptr;
    QCheckBox* describeParity_ = nullptr;
    QSpinBox* bits_ = nullptr;
    QLineEdit* data_ = nullptr;
    QCheckBox* begOdd_ = nullptr;
    QCheckBox* begValue_ = nullptr;
    QCheckBox* endOdd_ = nullptr;
    QCheckBox* endValue_ = nullptr;
    QSpinBox* key_ = nullptr;
    QComboBox* keyWidth_ = nullptr;
    QComboBox* faultKind_ = nullptr;
    QComboBox* faultCommand_ = nullptr;
    QComboBox* faultReaderCommand_ = nullptr;
    QSpinBox* faultSkip_ = nullptr;
    QSpinBox* faultCount_ = nullptr;
    QLabel* message_ = nullptr;
    QTimer* refresh_ = nullptr;
};

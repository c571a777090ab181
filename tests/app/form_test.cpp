// The window as built: every control's name, kind, parent, text, items and initial state, the
// tab order, and the radio group's click rule.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>

#include "app/widgets/RadioGroup.h"
#include "window_fixture.h"

namespace {

using FormTest = WindowTest;

template <typename T>
T* Find(QWidget& window, const char* name) {
    T* w = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QString ParentName(QWidget* w) {
    return w->parentWidget()->objectName();
}

struct Text {
    const char* name;
    const char* parent;
    QString text;
};

TEST_F(FormTest, ControlsHaveTheirTextsParentsAndInitialStates) {
    Create(false);
    QWidget& w = *win;
    EXPECT_EQ(w.windowTitle(),
              "Trelvo 2.0 (konfiguracja czytników KV-T41X, KV-T43X, KV-T51X, KV-T53X)");

    auto* tabs = Find<QTabWidget>(w, "PageControl1");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Konfiguracja");
    EXPECT_EQ(tabs->tabText(1), "Test");
    EXPECT_EQ(tabs->widget(0)->objectName(), "Konfiguracja");
    EXPECT_EQ(tabs->widget(1)->objectName(), "Test");
    EXPECT_EQ(tabs->currentIndex(), 0);

    const Text labels[] = {
        {"RdLbl", "Konfiguracja", "Czytnik"},
        {"UpgrLbl", "Konfiguracja", "Upgrade"},
        {"LedTimLbl", "LEDyGrpBx", "Czas sygnalizacji :"},
        {"LedSLbl", "LEDyGrpBx", "x 0.1s"},
        {"BuzSygnLbl", "BuzGrpBx", "Sygnał :"},
        {"BuzDescrLbl", "BuzGrpBx", "(kratka = 60ms)"},
    };
    for (const Text& t : labels) {
        auto* label = Find<QLabel>(w, t.name);
        EXPECT_EQ(label->text(), t.text) << t.name;
        EXPECT_EQ(ParentName(label), t.parent) << t.name;
        EXPECT_GE(label->width(), label->sizeHint().width()) << t.name << " is cut off";
    }
    const Text buttons[] = {{"RdBtn", "Konfiguracja", "Odczyt konfiguracji"},
                            {"WrBtn", "Konfiguracja", "Zapis konfiguracji"}};
    for (const Text& t : buttons) {
        auto* button = Find<QPushButton>(w, t.name);
        EXPECT_EQ(button->text(), t.text);
        EXPECT_EQ(ParentName(button), t.parent);
    }
    const Text groups[] = {
        {"KommBx", "Konfiguracja", " Komunikacja "},
        {"GroupBox2", "KommBx", " Bity parzystości "},
        {"SygnBx", "Konfiguracja", " Sygnalizacja "},
        {"LEDyGrpBx", "SygnBx", " LEDy "},
        {"BuzGrpBx", "SygnBx", " Buzzer "},
        {"KartTypeGrp", "Konfiguracja", " Czytane karty "},
    };
    for (const Text& t : groups) {
        auto* group = Find<QGroupBox>(w, t.name);
        EXPECT_EQ(group->title(), t.text) << t.name;
        EXPECT_EQ(ParentName(group), t.parent) << t.name;
    }

    struct Check {
        const char* name;
        const char* parent;
        QString text;
        bool checked;
    };
    const Check checks[] = {
        {"WiegNoParBitChkBx", "GroupBox2", "Bez bitów", false},
        {"LedChkBx", "LEDyGrpBx", "Sygnalizacja odczytu", true},
        {"Buz6", "BuzGrpBx", "", false},
        {"Buz5", "BuzGrpBx", "", false},
        {"Buz4", "BuzGrpBx", "", false},
        {"Buz3", "BuzGrpBx", "", false},
        {"Buz2", "BuzGrpBx", "", false},
        {"Buz1", "BuzGrpBx", "", true},
        {"Buz0", "BuzGrpBx", "", true},
        {"BuzChkBx", "BuzGrpBx", "Aktywny", true},
        {"MifareChkBx", "KartTypeGrp", "Mifare", true},
        {"IcodeChkBx", "KartTypeGrp", "iCode", false},
    };
    for (const Check& c : checks) {
        auto* box = Find<QCheckBox>(w, c.name);
        EXPECT_EQ(box->text(), c.text) << c.name;
        EXPECT_EQ(ParentName(box), c.parent) << c.name;
        EXPECT_EQ(box->isChecked(), c.checked) << c.name;
    }
    // Buz0 is the leftmost slot, Buz6 the rightmost.
    for (int i = 0; i < 6; ++i) {
        EXPECT_LT(Find<QCheckBox>(w, qPrintable(QString("Buz%1").arg(i)))->x(),
                  Find<QCheckBox>(w, qPrintable(QString("Buz%1").arg(i + 1)))->x());
    }

    struct Radio {
        const char* name;
        const char* parent;
        QString title;
        QStringList items;
        int columns;
        int index;
    };
    const Radio radios[] = {
        {"WiegSizeRGrp",
         "KommBx",
         " Wiegand ",
         {"24+2 bity", "32+2 bity", "40+2 bity", "48+2 bity", "56+2 bity", "64+2 bity (standard)"},
         1,
         0},
        {"WiegOrderRGrp", "KommBx", " Kolejność bajtów ", {"Hi...Lo (standard)", "Lo...Hi"}, 1, 0},
        {"WiegBegBitRGrp", "GroupBox2", " Początkowy ", {"Even (standard)", "Odd"}, 1, 0},
        {"WiegEndBitRGrp", "GroupBox2", " Końcowy ", {"Even", "Odd (standard)"}, 1, 1},
        {"KeybRGrp", "KommBx", " Klawiatura ", {"4 bity", "8 bitów"}, 2, -1},
        {"LedStabRGrp", "LEDyGrpBx", " Stan stabilny ", {"Czerwony", "Zielony"}, 2, 0},
        {"LedRGrp", "Test", " LED ", {"Hi", "Lo"}, 1, 0},
        {"BuzRGrp", "Test", " BUZ ", {"Hi", "Lo"}, 1, 0},
    };
    for (const Radio& r : radios) {
        auto* group = Find<RadioGroup>(w, r.name);
        EXPECT_EQ(ParentName(group), r.parent) << r.name;
        EXPECT_EQ(group->title(), r.title) << r.name;
        EXPECT_EQ(group->items(), r.items) << r.name;
        EXPECT_EQ(group->columns(), r.columns) << r.name;
        EXPECT_EQ(group->itemIndex(), r.index) << r.name;
        for (int i = 0; i < r.items.size(); ++i) {
            EXPECT_EQ(group->button(i)->isChecked(), i == r.index) << r.name << " item " << i;
        }
    }

    auto* ledTim = Find<QLineEdit>(w, "LedTim");
    EXPECT_EQ(ledTim->text(), "5");
    EXPECT_EQ(ledTim->maxLength(), 3);
    auto* memo = Find<QPlainTextEdit>(w, "TstWin");
    EXPECT_EQ(ParentName(memo), "Test");
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_FALSE(memo->isReadOnly());
    for (const char* name : {"RdProgrBar", "WrProgrBar", "UpgrProgrBar"}) {
        auto* bar = Find<QProgressBar>(w, name);
        EXPECT_EQ(bar->minimum(), 0) << name;
        EXPECT_EQ(bar->maximum(), 100) << name;
    }

    // Hidden at start: the card-types group, the three bars and the upgrade label.
    for (const char* name :
         {"KartTypeGrp", "RdProgrBar", "WrProgrBar", "UpgrProgrBar", "UpgrLbl"}) {
        EXPECT_TRUE(Find<QWidget>(w, name)->isHidden()) << name;
    }
    // WrBtn is the only disabled control.
    for (QWidget* child : w.findChildren<QWidget*>()) {
        if (child->objectName() == "WrBtn") {
            EXPECT_FALSE(child->isEnabled());
        } else if (!child->objectName().isEmpty() && !child->objectName().startsWith("qt_")) {
            EXPECT_TRUE(child->isEnabled()) << child->objectName().toStdString();
        }
    }

    EXPECT_EQ(win->Timer->interval(), 200);
    EXPECT_FALSE(win->Timer->isActive());
    EXPECT_EQ(win->UpgrTimer->interval(), 50);
    EXPECT_TRUE(win->UpgrTimer->isActive());
    EXPECT_EQ(win->config, uwieg::ReaderConfig{});
    EXPECT_FALSE(win->device.channelOpen);
}

TEST_F(FormTest, TabOrderFollowsTheControlOrder) {
    Create();
    const QStringList expected = {"RdBtn",
                                  "WrBtn",
                                  "WiegSizeRGrp",
                                  "WiegOrderRGrp",
                                  "WiegBegBitRGrp",
                                  "WiegEndBitRGrp",
                                  "WiegNoParBitChkBx",
                                  "KeybRGrp",
                                  "LedChkBx",
                                  "LedTim",
                                  "LedStabRGrp",
                                  "Buz6",
                                  "Buz5",
                                  "Buz4",
                                  "Buz3",
                                  "Buz2",
                                  "Buz1",
                                  "Buz0",
                                  "BuzChkBx",
                                  "MifareChkBx",
                                  "IcodeChkBx",
                                  "TstWin",
                                  "LedRGrp",
                                  "BuzRGrp"};
    // Walk the focus chain once round and name each stop by its control (a radio button stands
    // for its group).
    QStringList order;
    QWidget* start = win->RdBtn;
    QWidget* w = start;
    do {
        QWidget* named = w;
        while (named && named->objectName().isEmpty()) {
            named = named->parentWidget();
        }
        if (qobject_cast<QRadioButton*>(w)) {
            named = named->parentWidget();
            while (named && !qobject_cast<RadioGroup*>(named)) {
                named = named->parentWidget();
            }
        }
        if (named && expected.contains(named->objectName()) &&
            (order.isEmpty() || order.last() != named->objectName())) {
            order << named->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(order, expected);
}

TEST(RadioGroupTest, ClickedFiresExactlyWhenTheIndexChanges) {
    RadioGroup group;
    group.setItems({"a", "b", "c"});
    EXPECT_EQ(group.itemIndex(), -1);
    QSignalSpy clicked(&group, &RadioGroup::clicked);

    group.setItemIndex(1);  // by the program
    EXPECT_EQ(clicked.count(), 1);
    group.setItemIndex(1);  // the same index again
    EXPECT_EQ(clicked.count(), 1);

    group.button(2)->click();  // by the user
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_EQ(clicked.count(), 2);
    group.button(2)->click();  // the item already selected
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_EQ(clicked.count(), 2);

    group.setItemIndex(-1);
    EXPECT_EQ(clicked.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(group.button(i)->isChecked());
    }
    group.setItemIndex(7);  // out of range selects nothing: no change from -1
    EXPECT_EQ(group.itemIndex(), -1);
    EXPECT_EQ(clicked.count(), 3);
    group.button(0)->click();
    EXPECT_EQ(group.itemIndex(), 0);
    EXPECT_EQ(clicked.count(), 4);
}

TEST(RadioGroupTest, TwoColumnsSetItemsSideBySide) {
    RadioGroup group;
    group.resize(200, 60);
    group.setColumns(2);
    group.setItems({"4 bity", "8 bitów"});
    group.show();
    EXPECT_LT(group.button(0)->x(), group.button(1)->x());
    EXPECT_EQ(group.button(0)->y(), group.button(1)->y());
}

}  // namespace

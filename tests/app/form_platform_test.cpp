// The configuration tab as the programs show it on this platform, with the style and font they
// set up: no text is cut off, and, given a snapshot taken on another platform, every control
// sits at the same place (within 2 px, relative to the client area under the menu bar) and
// shows the same value. scripts/test-windows takes the snapshot on Linux and compares under
// Wine; without the variables below only the clipping is checked.
//   TRELVO_FORM_SNAPSHOT=FILE    write this platform's snapshot to FILE
//   TRELVO_FORM_REFERENCE=FILE   compare with the snapshot in FILE
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTextStream>

#include "app/Program.h"
#include "app/widgets/RadioGroup.h"
#include "window_fixture.h"

namespace {

struct Shot {
    QString path;  // named ancestors and the control, unnamed ones by class and text
    QString kind;  // the class
    QRect rect;
    bool visible = false;
    bool enabled = false;
    QString value;

    QString Line() const {
        return QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9")
            .arg(path, kind)
            .arg(rect.x())
            .arg(rect.y())
            .arg(rect.width())
            .arg(rect.height())
            .arg(int(visible))
            .arg(int(enabled))
            .arg(value);
    }
    static Shot FromLine(const QString& line) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 9) {
            return {};
        }
        return {f[0], f[1], QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt()),
                f[6] == QLatin1String("1"), f[7] == QLatin1String("1"), f[8]};
    }
};

QString TextOf(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->text();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
        return box->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        return edit->text();
    }
    return {};
}

QString ValueOf(const QWidget* w) {
    QString value = TextOf(w);
    if (const auto* button = qobject_cast<const QAbstractButton*>(w); button && button->isCheckable()) {
        value += button->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
    }
    if (const auto* group = qobject_cast<const RadioGroup*>(w)) {
        value = QStringLiteral("item %1").arg(group->itemIndex());
    }
    if (const auto* bar = qobject_cast<const QProgressBar*>(w)) {
        value = QStringLiteral("%1 of %2").arg(bar->value()).arg(bar->maximum());
    }
    return value;
}

QString PathOf(const QWidget* w, const QWidget* root) {
    QStringList parts;
    for (; w != nullptr && w != root; w = w->parentWidget()) {
        if (!w->objectName().isEmpty()) {
            parts.prepend(w->objectName());
        } else if (!TextOf(w).isEmpty()) {
            parts.prepend(QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(':') +
                          TextOf(w));
        }
    }
    return parts.join(QLatin1Char('/'));
}

// The width a control's text needs on this platform, or 0 where there is no text to cut off.
int NeededWidth(const QWidget* w) {
    const QString text = TextOf(w);
    if (text.isEmpty()) {
        return 0;
    }
    const QFontMetrics fm = w->fontMetrics();
    if (qobject_cast<const QPushButton*>(w) != nullptr) {
        return fm.horizontalAdvance(text) + 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin);
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = text;
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect label =
            box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return std::max(label.right() + 1, label.left() + fm.horizontalAdvance(text));
    }
    if (qobject_cast<const QLineEdit*>(w) != nullptr) {
        return fm.horizontalAdvance(text) + 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    }
    return w->sizeHint().width();  // labels, check boxes and radio buttons
}

class FormOnThisPlatform : public WindowTest {
  protected:
    void SetUp() override {
        savedFont = QApplication::font();
        savedStyle = QApplication::style()->name();
        SetUpApplication();
    }
    void TearDown() override {
        WindowTest::TearDown();
        QApplication::setStyle(savedStyle);
        QApplication::setFont(savedFont);
    }

    std::vector<Shot> TakeShots() {
        const int top = win->MainMenu->geometry().bottom() + 1;
        std::vector<Shot> shots;
        for (QWidget* w : win->Konfiguracja->findChildren<QWidget*>()) {
            const QString path = PathOf(w, win.get());
            if (path.isEmpty() || !w->isVisible()) {
                continue;
            }
            const QPoint at = w->mapTo(win.get(), QPoint(0, 0)) - QPoint(0, top);
            shots.push_back({path, QString::fromLatin1(w->metaObject()->className()),
                             QRect(at, w->size()), w->isVisible(), w->isEnabled(), ValueOf(w)});
        }
        return shots;
    }

    QFont savedFont;
    QString savedStyle;
};

TEST_F(FormOnThisPlatform, EveryTextFitsAndMatchesTheReferencePlatform) {
    Plug();
    Create();
    StartUp();
    QApplication::processEvents();

    for (QWidget* w : win->Konfiguracja->findChildren<QWidget*>()) {
        if (w->isVisible() && !TextOf(w).isEmpty()) {
            EXPECT_LE(NeededWidth(w), w->width()) << "cut off: " << PathOf(w, win.get()).toStdString();
            EXPECT_LE(w->fontMetrics().height(), w->height())
                << "cut off at the bottom: " << PathOf(w, win.get()).toStdString();
        }
    }

    const std::vector<Shot> shots = TakeShots();
    if (const QString out = qEnvironmentVariable("TRELVO_FORM_SNAPSHOT"); !out.isEmpty()) {
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
        QTextStream stream(&file);
        for (const Shot& s : shots) {
            stream << s.Line() << '\n';
        }
    }
    const QString reference = qEnvironmentVariable("TRELVO_FORM_REFERENCE");
    if (reference.isEmpty()) {
        return;
    }
    QFile file(reference);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << reference.toStdString();
    int compared = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const Shot expected = Shot::FromLine(line);
        const auto here = std::find_if(shots.begin(), shots.end(),
                                       [&](const Shot& s) { return s.path == expected.path; });
        ASSERT_NE(here, shots.end()) << "missing here: " << expected.path.toStdString();
        const QRect a = here->rect;
        const QRect b = expected.rect;
        // Labels take the size of their text in this platform's font; everything else keeps
        // the form's size.
        const bool sizedByText = here->kind == QLatin1String("QLabel");
        EXPECT_TRUE(std::abs(a.left() - b.left()) <= 2 && std::abs(a.top() - b.top()) <= 2 &&
                    (sizedByText || (std::abs(a.width() - b.width()) <= 2 &&
                                     std::abs(a.height() - b.height()) <= 2)))
            << here->Line().toStdString() << "\n  reference: " << line.toStdString();
        EXPECT_EQ(here->value, expected.value) << expected.path.toStdString();
        EXPECT_EQ(here->enabled, expected.enabled) << expected.path.toStdString();
        ++compared;
    }
    EXPECT_EQ(compared, static_cast<int>(shots.size())) << "controls only here";
}

}  // namespace

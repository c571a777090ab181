#include "app/WindowFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace {

constexpr const char* kFamily = "MS Sans Serif";
// Outside fontconfig's path, so it has to be loaded by hand.
constexpr const char* kStandInFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";
// Where the form's font is missing: the dialog fonts Windows has used since (the outline twin of
// MS Sans Serif, then the "MS Shell Dlg 2" face), then common sans-serif faces.
const QStringList kStandIns = {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                               QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                               QStringLiteral("Liberation Sans"), QStringLiteral("Arial")};

// A line of the form's letters and its width in MS Sans Serif at 13 px: the controls were sized
// for that font, so no font may take more room than it, or texts are cut off.
constexpr const char* kSample =
    "abcdefghijklmnopqrstuvwxyz ąćęłńóśźż ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789";
constexpr int kSampleWidth = 441;
constexpr int kSamplePixels = 13;

QString ResolveFamily() {
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(QString::fromLatin1(kFamily), Qt::CaseInsensitive)) {
        return QString::fromLatin1(kFamily);
    }
    const QString standIn = QString::fromLatin1(kStandInFile);
    if (QFile::exists(standIn)) {
        const int id = QFontDatabase::addApplicationFont(standIn);
        if (id >= 0) {
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty()) {
                return families.first();
            }
        }
    }
    return {};
}

QFont SansSerif() {
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : kStandIns) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return QFont(family);
        }
    }
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// The largest size up to `pixelSize` at which the font takes no more room than the form's own.
QFont Fitted(QFont font, int pixelSize) {
    const QString sample = QString::fromUtf8(kSample);
    const int room = kSampleWidth * pixelSize / kSamplePixels;
    int size = pixelSize;
    for (; size > pixelSize * 2 / 3; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(sample) <= room) {
            break;
        }
    }
    font.setPixelSize(size);
    return font;
}

}  // namespace

QFont WindowFont(int pixelSize) {
    static const QString family = ResolveFamily();
    if (!family.isEmpty()) {
        QFont font(family);
        font.setPixelSize(pixelSize);
        // The bitmap stand-in has only a few sizes and does not scale: a size it lacks (the
        // reader label's) would come out small.
        if (QFontInfo(font).pixelSize() == pixelSize) {
            return Fitted(font, pixelSize);
        }
    }
    return Fitted(SansSerif(), pixelSize);
}

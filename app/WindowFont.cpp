#include "app/WindowFont.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QString>

namespace {

constexpr const char* kFamily = "MS Sans Serif";
// Outside fontconfig's path, so it has to be loaded by hand.
constexpr const char* kStandInFile = "/usr/share/wine/fonts/ms_sans_serif.ttf";

QString ResolveFamily() {
    if (QFontDatabase::families().contains(QString::fromLatin1(kFamily), Qt::CaseInsensitive)) {
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

QFont SansSerif(int pixelSize) {
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

QFont WindowFont(int pixelSize) {
    static const QString family = ResolveFamily();
    if (family.isEmpty()) {
        return SansSerif(pixelSize);
    }
    QFont font(family);
    font.setPixelSize(pixelSize);
    // The bitmap stand-in has only a few sizes and does not scale: a size it lacks (the
    // reader label's) would come out small.
    if (QFontInfo(font).pixelSize() != pixelSize) {
        return SansSerif(pixelSize);
    }
    return font;
}

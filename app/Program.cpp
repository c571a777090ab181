#include "app/Program.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include "app/QtDialogs.h"
#include "app/WindowFont.h"
#include "app/Wmain.h"
#include "uwieg/failure_text.h"
#include "uwieg/session.h"
#include "wusb/device.h"
#include "wusb/guid.h"

namespace {

constexpr int kFontPixels = 13;

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
}

}  // namespace

int ProgramEntry(int& argc, char** argv, const std::function<void()>& body) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trelvo"));
    // Where the platform has no native look of its own (Qt falls back to Fusion), the classic
    // style keeps the form as designed: group titles on the frame line, flat button-face panels.
    if (QApplication::style()->name() == QLatin1String("fusion")) {
        QApplication::setStyle(QStringLiteral("windows"));
    }
    QApplication::setFont(WindowFont(kFontPixels));
    try {
        body();
    } catch (...) {
        QtDialogs().ShowError(uwieg::CurrentFailureText());
    }
    return 0;
}

void RunMainWindow(wusb::Platform& platform, wusb::Clock& clock,
                   const std::function<void(TMainWin&)>& alongside, wusb::Hotplug* hotplug) {
    // The link layer's own table of its second interface class lives as long as the program;
    // this program never enumerates it.
    wusb::WUsbDevTab linkLayerTable(platform, wusb::kLinkLayerGuid);
    // Declared before the window so that it outlives it: it owns every device handle.
    wusb::WUsbDevTab deviceList(platform, uwieg::kInterfaceGuid);
    QtDialogs dialogs;
    TMainWin MainWin(deviceList, clock, dialogs);
    CentreOnScreen(MainWin);
    if (hotplug != nullptr) {
        MainWin.FollowInterfaces(*hotplug);
    }
    if (alongside) {
        alongside(MainWin);
    }
    MainWin.show();
    QApplication::exec();
}

#include "app/Program.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/QtDialogs.h"
#include "app/WindowFont.h"
#include "app/Wmain.h"
#include "trelvo/version.h"
#include "uwieg/failure_text.h"
#include "uwieg/format_file.h"
#include "uwieg/session.h"
#include "wusb/capture/wire_capture.h"
#include "wusb/device.h"
#include "wusb/files.h"
#include "wusb/guid.h"

namespace {

constexpr int kFontPixels = 13;

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
}

std::unique_ptr<wusb::capture::WireCapture> StartCapture(wusb::Platform& platform,
                                                         wusb::Clock& clock,
                                                         const ProgramOptions& options) {
    if (options.capturePath.empty()) {
        return nullptr;
    }
    wusb::SystemFiles files;
    try {
        return std::make_unique<wusb::capture::WireCapture>(platform, files, clock,
                                                            options.capturePath, options.program);
    } catch (const wusb::FileError& e) {
        throw std::runtime_error(std::string("Nie można zapisywać ruchu USB do pliku: ") +
                                 e.what());
    }
}

}  // namespace

void SetUpApplication() {
    QApplication::setApplicationName(QStringLiteral("Trelvo"));
    QApplication::setApplicationVersion(QString::fromUtf8(trelvo::kVersion));
    // Where the platform has no native look of its own (Qt falls back to Fusion), the classic
    // style keeps the form as designed: group titles on the frame line, flat button-face panels.
    if (QApplication::style()->name() == QLatin1String("fusion")) {
        QApplication::setStyle(QStringLiteral("windows"));
    }
    QApplication::setFont(WindowFont(kFontPixels));
}

namespace {

ProgramOptions ReadOptions(const QApplication& app, const char* program) {
    QCommandLineParser parser;
    const QCommandLineOption capture(
        QStringLiteral("capture"),
        QStringLiteral("Zapisuje ruch USB do pliku pcapng (także zmienna %1).")
            .arg(QString::fromLatin1(kCaptureVariable)),
        QStringLiteral("PLIK"));
    parser.addOption(capture);
    // Ends the program with a message on a bad command line, as Qt programs do.
    parser.process(app);
    ProgramOptions options;
    options.program = program;
    if (parser.isSet(capture)) {
        options.capturePath = parser.value(capture).toStdString();
    } else {
        options.capturePath = qEnvironmentVariable(kCaptureVariable).toStdString();
    }
    return options;
}

void RunReportingFailures(const std::function<void()>& body) {
    try {
        body();
    } catch (...) {
        QtDialogs().ShowError(uwieg::CurrentFailureText());
    }
}

}  // namespace

int ProgramEntry(int& argc, char** argv, const std::function<void()>& body) {
    QApplication app(argc, argv);
    SetUpApplication();
    RunReportingFailures(body);
    return 0;
}

int ProgramEntry(int& argc, char** argv, const char* program,
                 const std::function<void(const ProgramOptions&)>& body) {
    QApplication app(argc, argv);
    SetUpApplication();
    const ProgramOptions options = ReadOptions(app, program);
    RunReportingFailures([&] { body(options); });
    return 0;
}

void RunMainWindow(wusb::Platform& platform, wusb::Clock& clock, const ProgramOptions& options,
                   const std::function<void(TMainWin&)>& alongside, wusb::Hotplug* hotplug) {
    // Not installed at all unless asked for: with capture off every transfer goes straight on.
    const std::unique_ptr<wusb::capture::WireCapture> capture =
        StartCapture(platform, clock, options);
    wusb::Platform& wire = capture ? capture->platform() : platform;
    // The link layer's own table of its second interface class lives as long as the program;
    // this program never enumerates it.
    wusb::WUsbDevTab linkLayerTable(wire, wusb::kLinkLayerGuid);
    // Declared before the window so that it outlives it: it owns every device handle.
    wusb::WUsbDevTab deviceList(wire, uwieg::kInterfaceGuid);
    QtDialogs dialogs;
    wusb::SystemFiles files;
    TMainWin MainWin(deviceList, clock, dialogs, files);
    if (const std::string formats = uwieg::UserFormatFilePath(); !formats.empty()) {
        MainWin.UseCardFormats(uwieg::LoadCardFormats(files, formats, false));
    }
    CentreOnScreen(MainWin);
    if (hotplug != nullptr) {
        MainWin.FollowInterfaces(*hotplug);
    }
    if (alongside) {
        alongside(MainWin);
    }
    MainWin.show();
    QApplication::exec();
    if (capture && !capture->failure().empty()) {
        // The window has closed by now; the terminal (or the session log) is where this goes.
        std::fprintf(stderr, "%s: capture stopped early: %s\n", options.program.c_str(),
                     capture->failure().c_str());
    }
}

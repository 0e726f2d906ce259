#include "app/Application.h"
#include "app/InstanceLock.h"
#include "app/SignalBridge.h"
#include "app/Version.h"
#include "platform/Desktop.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

oculet::Application* g_application = nullptr;

// Qt ends the process with exit() when the X connection breaks (the desktop session is gone);
// the event loop never returns, but the settings of this run must still reach the disk.
void saveOnExit() {
    if (g_application != nullptr) {
        g_application->saveSettingsIfNotShutDown();
    }
}

const char* const kHelp =
    "Usage: oculet [option]\n"
    "Copies the picture area of your SSTV radio program onto a 320 x 240 web-cam frame,\n"
    "writes it as Cam_1.bmp and can publish it by FTP.\n"
    "\n"
    "Options:\n"
    "  --help       show this text and exit\n"
    "  --version    show the version and exit\n"
    "  --edit-region N\n"
    "               open the capture-region editor once started: 1 capture area,\n"
    "               2 progress strip, 3 s-meter, 4 AUX1, 5 AUX2\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/Oculet/Oculet.ini (~/.config/Oculet/Oculet.ini)\n"
    "Data:     $XDG_DATA_HOME/Oculet (~/.local/share/Oculet)\n";

} // namespace

int main(int argc, char** argv) {
    int editRegion = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--edit-region") == 0 && i + 1 < argc) {
            editRegion = std::atoi(argv[++i]);
            if (editRegion >= 1 && editRegion <= 5) {
                continue;
            }
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", qPrintable(oculet::versionText()));
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        std::fprintf(stderr, "oculet: unknown option '%s'\n\n%s", argv[i], kHelp);
        return 2;
    }

    // Oculet reads other programs' windows and pixels through X11; on a Wayland desktop it runs
    // under XWayland and sees only the programs that do too.
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("oculet: no X11 display (DISPLAY is not set). Oculet needs an X11 or XWayland desktop.\n", stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(oculet::productName());
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per user, decided before any setting or file is read or written.
    oculet::InstanceLock lock(oculet::Paths::runtimeFolder());
    if (!lock.tryLock()) {
        // Started again, from the desktop's menu or a terminal: the running copy comes to the
        // front. Only a copy that does not answer leaves the user with the refusal.
        if (lock.askRunningCopyToShow()) {
            std::fputs("oculet: Oculet is already running; its window was brought to the front.\n", stderr);
            return 0;
        }
        QMessageBox box(QMessageBox::NoIcon, oculet::productName(),
                        QStringLiteral("Another instance of Oculet is open!"), QMessageBox::Ok);
        box.exec();
        return 1;
    }

    QString error;
    std::unique_ptr<oculet::Desktop> desktop = oculet::createX11Desktop(&error);
    if (!desktop) {
        QMessageBox::critical(nullptr, oculet::productName(),
                              QStringLiteral("Oculet cannot read the screen: %1").arg(error));
        return 1;
    }

    oculet::Application application(std::move(desktop));
    oculet::SignalBridge signalBridge;
    QObject::connect(&signalBridge, &oculet::SignalBridge::terminationRequested, &application,
                     &oculet::Application::shutdown);
    // Logging out ends the event loop: the settings are still saved.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &application, &oculet::Application::shutdown);

    application.start();
    if (editRegion != 0) {
        application.openRegionEditor(static_cast<oculet::RegionTarget>(editRegion));
    }
    // Registered after start-up has built everything the save uses: exit handlers run before
    // the destructors of statics made before them, never of statics made after.
    g_application = &application;
    std::atexit(saveOnExit);
    lock.listenForShowRequests([&application] {
        QWidget& window = application.window();
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });
    if (wayland) {
        application.messages().tell(
            QStringLiteral("This is a Wayland desktop. Oculet can only see and copy windows of "
                           "programs that run under XWayland (programs under Wine do)."));
    }
    // A signal taken in a nested event loop before this one has already run the shutdown, and
    // its quit has gone to that loop: this one would never end.
    const int result = application.hasShutDown() ? 0 : app.exec();
    g_application = nullptr;
    return result;
}

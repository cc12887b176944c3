// aes: the drop window. The command line is not read: names given to the
// program (a desktop passes dropped files that way) are ignored, and so are
// Qt's own options; files enter only by a drop on the window. Several
// copies may run at once, each with its own window.
#include "GuiBatch.h"
#include "MainDropWindow.h"
#include "PlatformChoice.h"
#include "QtShellServices.h"
#include "ScreenshotScene.h"
#include "platform/Console.h"

#include <QApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdlib>

int main(int, char* argv[])
{
    // X11 first, also on a Wayland session (through XWayland), Wayland
    // only where there is no X server: under a Wayland compositor a window
    // can neither place itself nor stay on top, start minimized or learn
    // where it is, and the drop window needs all of these. Qt alone would
    // take its wayland plugin whenever that package is installed. The
    // user's own QT_QPA_PLATFORM is left to decide.
    tessarin::QtArguments arguments(argv[0], [](const char* name) -> const char* { return std::getenv(name); });
    QApplication app(arguments.Count(), arguments.Values());
    QApplication::setApplicationName(QStringLiteral("Tessarin"));
    QApplication::setOrganizationName(QStringLiteral("Quenby Software"));
    QApplication::setDesktopFileName(QStringLiteral("tessarin"));

    // SIGTERM, SIGHUP and SIGINT ask the window to close (a batch under way
    // is cancelled and rolled back first); so does the end of the session.
    const tessarin::platform::InterruptGuard stopSignals;
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [] { tessarin::platform::RequestInterrupt(SIGHUP); });

    tessarin::QtShellServices shell;
    tessarin::GuiBatch batch(shell);
    tessarin::MainDropWindow window(batch, shell);  // loads the settings; saves them when it goes
    tessarin::ScreenshotScene::Arrange(window, shell);
    window.RunUntilClosed();
    return 0;
}

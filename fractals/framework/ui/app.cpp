#include "app.h"

#include "file_header.h"
#include "icons.h"
#include "main_wnd.h"
#include "shared_palette.h"
#include "splash_wnd.h"
#include "suite_version.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <clocale>

namespace fractals {

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt adopts the user's locale for the C library; the file and web-page texts ("%f") need
    // the decimal point whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setOrganizationName("Calvetra");
    QCoreApplication::setApplicationName(kWindowTitle);
    QCoreApplication::setApplicationVersion(SUITE_VERSION);
    QApplication::setWindowIcon(programIcon());
    // Creating the palette now builds the default table before any window exists.
    SharedPalette::instance();

    QStringList files;
    bool splash = true;
    // Qt has taken out its own options (-platform, -style); "--" ends the options, so a file
    // whose name starts with "-" can still be named.
    bool optionsEnded = false;
    for (const QString& arg : app.arguments().mid(1)) {
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && arg == "--no-splash")
            splash = false;
        else
            files << arg;
    }

    std::unique_ptr<CSplashWnd> splashWnd;
    if (splash) {
        splashWnd = std::make_unique<CSplashWnd>();
        splashWnd->show();
        // The splash stays about two seconds, painted while the main window is built.
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 1200)
            app.processEvents(QEventLoop::AllEvents, 10);
    }

    CMainWnd main;
    main.show();
    if (splashWnd) {
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 720)
            app.processEvents(QEventLoop::AllEvents, 10);
        splashWnd.reset();
    }

    // A file named on the command line that cannot be opened ends the start-up, after its
    // message.
    if (!main.processShellCommand(files))
        return 1;
    const int code = app.exec();
    SharedPalette::instance().stopCycling();
    return code;
}

} // namespace fractals

// setup (Ovalink): installs the files that "setup.inf" beside it lists and starts the programs
// it names. With --unattended it needs no display: messages go to stderr.
#include "bootstrapper.h"
#include "ovalink_window.h"
#include "qt_message_boxes.h"

#include "suite_version.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

const char* const kUsage = "usage: setup [--unattended] [--help] [--version]";

void printHelp()
{
    std::cout << kUsage << "\n\n"
              << "Installs every file that \"setup.inf\" in this program's directory lists and\n"
                 "then starts the programs it names.\n\n"
                 "  --unattended  no window and no dialogs: each message is printed on stderr,\n"
                 "                a file that cannot be copied is skipped (Ignore) and a program\n"
                 "                that cannot be started ends the starting (Cancel)\n"
                 "  --help        show this help and exit\n"
                 "  --version     show the version and exit\n\n"
                 "Directories: %SourceDir% is this program's directory, %WindowsDir% is $WINDIR\n"
                 "(else $XDG_CONFIG_HOME, else ~/.config), %SystemDir% is $SYSTEMDIR (else\n"
                 "~/.local/lib).\n"
                 "Exit status: 0 when the run ends (also after skipped files), 2 on bad\n"
                 "arguments or when there is no display.\n";
}

bool haveDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    bool unattended = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "setup (Ovalink) " << SUITE_VERSION << "\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--unattended") == 0) {
            unattended = true;
            continue;
        }
        std::cerr << "setup: unknown argument '" << argv[i] << "'\n" << kUsage << "\n";
        return 2;
    }

    if (unattended) {
        setup::StreamMessageBoxes boxes(std::cerr);
        setup::NoWaitWindow window;
        return setup::Bootstrapper(boxes, window, setup::hostPlatform()).run();
    }

    if (!haveDisplay()) {
        std::cerr << "setup: no display to show the setup window on; use --unattended\n";
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ovalink");
    QApplication::setApplicationVersion(SUITE_VERSION);
    QApplication::setWindowIcon(QIcon(":/setup/icon.png"));
    setup::QtMessageBoxes boxes;
    setup::QtWaitWindow window;
    return setup::Bootstrapper(boxes, window, setup::hostPlatform()).run();
}

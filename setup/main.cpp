// setup (Ovalink): installs the files that "setup.inf" beside it lists and starts the programs
// it names. With --unattended it needs no display: messages go to stderr.
#include "bootstrapper.h"
#include "command_line.h"
#include "ovalink_window.h"
#include "qt_message_boxes.h"

#include "suite_version.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

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
    std::string error;
    const auto cmd =
        setup::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!cmd) {
        std::cerr << "setup: " << error << "\n" << setup::usageLine() << "\n";
        return 2;
    }
    if (cmd->action == setup::CommandLine::Action::help) {
        std::cout << setup::helpText();
        return 0;
    }
    if (cmd->action == setup::CommandLine::Action::version) {
        std::cout << "setup (Ovalink) " << SUITE_VERSION << "\n";
        return 0;
    }
    const bool unattended = cmd->unattended;

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

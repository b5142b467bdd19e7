// qubex: a window that shows a random 3D IFS as a point cloud, or a batch job without one.
#include "batch.h"
#include "ui/prompts.h"
#include "ui/tform1.h"
#include "view/fps_probe.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <string>
#include <vector>

namespace {

// An exception that escapes a command handler ends up here instead of tearing down the event
// loop: it is shown, and the program carries on.
class QubexApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            QMessageBox::critical(nullptr, "qubex", QString::fromLocal8Bit(error.what()));
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool measureFps = !args.empty() && args.front() == "--measure-fps";
    if (qubex::isBatchInvocation(args) && !measureFps)
        return qubex::runBatch(args, std::cout, std::cerr);

    QubexApplication app(argc, argv);
    // Only the name: a display name would be appended to every window caption on X11
    // ("qubex - untitled — qubex"), and the captions are the program's own.
    QApplication::setApplicationName("qubex");
    qubex::QtPrompts prompts;
    qubex::TForm1::Options options;
    if (measureFps) {
        options.splash = false;
    } else {
        // Qt has taken its own options (-platform, -style, ...) out of the arguments by now.
        std::vector<std::string> left;
        for (const QString& a : QCoreApplication::arguments().mid(1))
            left.push_back(a.toLocal8Bit().toStdString());
        for (const std::string& a : qubex::windowFileArguments(left))
            options.arguments << QString::fromLocal8Bit(a.c_str());
    }
    qubex::TForm1 window(prompts, options);
    window.show();
    if (measureFps)
        return qubex::measureFramesPerSecond(window, args, std::cout);
    return app.exec();
}

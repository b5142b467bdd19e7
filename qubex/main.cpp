// qubex: a window that shows a random 3D IFS as a point cloud, or a batch job without one.
#include "batch.h"
#include "ui/prompts.h"
#include "ui/tform1.h"
#include "view/fps_probe.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool measureFps = !args.empty() && args.front() == "--measure-fps";
    if (qubex::isBatchInvocation(args) && !measureFps)
        return qubex::runBatch(args, std::cout, std::cerr);

    QApplication app(argc, argv);
    QApplication::setApplicationName("qubex");
    QApplication::setApplicationDisplayName("qubex");
    qubex::QtPrompts prompts;
    qubex::TForm1::Options options;
    if (measureFps) {
        options.splash = false;
    } else {
        for (const std::string& a : args)
            options.arguments << QString::fromLocal8Bit(a.c_str());
    }
    qubex::TForm1 window(prompts, options);
    window.show();
    if (measureFps)
        return qubex::measureFramesPerSecond(window, args, std::cout);
    return app.exec();
}

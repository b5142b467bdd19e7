#include "fps_probe.h"

#include "gl_cloud_view.h"
#include "ui/tform1.h"

#include <QApplication>
#include <QElapsedTimer>

#include <ostream>

namespace qubex {

int measureFramesPerSecond(TForm1& window, const std::vector<std::string>& args, std::ostream& out)
{
    const double seconds = args.size() > 1 ? std::max(0.5, std::atof(args[1].c_str())) : 5.0;
    const int iteration = args.size() > 2 ? std::atoi(args[2].c_str()) : kMaxPoints;
    auto* view = dynamic_cast<GlCloudView*>(&window.view());
    if (!view) {
        out << "qubex: no OpenGL view\n";
        return 1;
    }
    window.document().setIteration(iteration);
    window.document().generatePoints();
    // Let the window come up and draw once before counting.
    QElapsedTimer clock;
    clock.start();
    while (view->framesDrawn() == 0 && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!view->viewUsable() || view->framesDrawn() == 0) {
        out << "qubex: the view did not draw (no OpenGL?)\n";
        return 1;
    }
    const int first = view->framesDrawn();
    clock.restart();
    while (clock.elapsed() < seconds * 1000) {
        window.drawScene();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double elapsed = clock.elapsed() / 1000.0;
    const int frames = view->framesDrawn() - first;
    out << "qubex: " << frames << " frames of " << window.document().cloud().count << " points in "
        << elapsed << " s = " << frames / elapsed << " frames per second (" << view->width() << "x"
        << view->height() << ")\n";
    window.close();
    return 0;
}

} // namespace qubex

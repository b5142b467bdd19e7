#pragma once
// The window of one document: it owns the document, its build worker and its view, and
// handles the document's commands (builds, samples, saving, the bitmap export, printing).
#include "anim_production.h"
#include "build_worker.h"
#include "fractal_doc.h"
#include "memory_status.h"

#include <QMdiSubWindow>
#include <QTimer>
#include <functional>
#include <memory>

class QPrinter;

namespace ormolith {

class CFractal_View;
class CMainFrame;

// Where a build reads the machine's memory (tests put in their own figures).
using MemoryStatusSource = std::function<MemoryStatus()>;
void setMemoryStatusSource(MemoryStatusSource source); // empty: the machine's

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CMainFrame* main, std::unique_ptr<CFractal_Doc> doc);
    // Stops a running job and waits for it before the document goes.
    ~CChildFrame() override;

    CFractal_Doc& doc() { return *doc_; }
    const CFractal_Doc& doc() const { return *doc_; }
    CFractal_View* view() const { return view_; }
    BuildWorker& worker() { return worker_; }
    // The document's "is building" state: a build or another job (animation) runs.
    bool isBuilding() const { return worker_.isRunning(); }
    // A close was asked for during a build; the frame closes when the worker ends.
    bool closeAfterBuild() const { return closeAfterBuild_; }

    QString path() const { return path_; }
    void setPath(const QString& path);
    // The frame's caption follows the document's title.
    void refreshTitle();

    // Build commands (BuildFractal .. FractalPreview). False when refused (a worker runs,
    // or the user declined the memory question).
    bool startBuild(int command);
    void stopBuild();
    // Samples menu: refused while building or when the save question is cancelled.
    bool loadSample(int index);
    // Build Animation: the "Animation" dialog over this document, and the production when the
    // dialog ends with Compress. Refused with a message while the document is building.
    void buildAnimation();
    // The production of the document's animation on the worker: asks for the codec (unless
    // nothing is saved), then builds every frame, shows it and appends it to the file. False
    // when it did not start (the codec dialog was cancelled, a job runs).
    bool startProduction();
    // Save (or Save As when `askName` or the document has no file yet).
    bool save(bool askName);
    // The save question of a modified document; false when the user cancelled.
    bool saveModified();
    // Save Bitmap As: BMP or PNG by the chosen name.
    void saveBitmapAs();
    // Prints the picture on one page; shows "Not printed!" and returns false on failure.
    bool printTo(QPrinter& printer);
    void print(QPrinter& printer);
    void printPreview(QPrinter& printer);

    // The progress display: status bar, or the caption while the main window is minimised.
    void updateProgress();
    void setStatus(const QString& text);

signals:
    void buildStateChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildEnded(bool completed, const std::string& failure);
    void productionEnded(const ProductionResult& result, ImageBuffer& frames);

    CMainFrame* main_;
    std::unique_ptr<CFractal_Doc> doc_;
    BuildWorker worker_;
    CFractal_View* view_;
    QTimer progressTimer_;
    QString path_;
    bool closeAfterBuild_ = false;
    bool destroying_ = false;
};

} // namespace ormolith

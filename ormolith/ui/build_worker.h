#pragma once
// The one worker thread of a document. A build is one job; an animation production is another
// job run in the same place: start it with start(), and while it runs the document counts as
// building (isRunning), the build and sample commands are refused, Stop sets the scene's
// stopRequested that the job polls, and closing the frame waits for the job's end.
//
// Thread rules: the job runs on its own std::thread and may touch the scene and the image's
// pixels, nothing else of the document. It talks to the window only through its Context, whose
// calls are queued to the user-interface thread and never wait. When the job returns, `done`
// runs on the user-interface thread after the thread has been joined, so everything the job
// wrote is visible there without locks.
#include <QImage>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>
#include <thread>

namespace ormolith {

class ImageBuffer;

// The picture of a 24-bit bottom-up blue-green-red buffer as a top-down image.
QImage imageFromBuffer(const ImageBuffer& image);

class BuildWorker : public QObject {
    Q_OBJECT
public:
    // What a job may do from its thread.
    class Context {
    public:
        explicit Context(BuildWorker& worker) : worker_(worker) {}
        void setStatus(const QString& text);
        void setStatusPrefix(const QString& text);
        // Copies the pixels on this thread and hands the copy to the view (a frame of an
        // animation, shown while the next one builds).
        void showPicture(const ImageBuffer& image);
        // A message box shown on the user-interface thread; the job does not wait for it.
        void message(const QString& text, QMessageBox::Icon icon);

    private:
        BuildWorker& worker_;
    };
    using Job = std::function<void(Context&)>;
    using Done = std::function<void()>;

    explicit BuildWorker(QObject* parent = nullptr);
    // Waits for a running job; its owner must have asked it to stop first.
    ~BuildWorker() override;

    // False (and nothing happens) while a job runs.
    bool start(Job job, Done done = {});
    // The document's "is building" state, read and written on the user-interface thread only.
    bool isRunning() const { return running_; }
    // Blocks until a running job has ended and its `done` has run.
    void wait();

signals:
    void runningChanged(bool running);
    void statusChanged(const QString& text);
    void statusPrefixChanged(const QString& text);
    void pictureReady(const QImage& picture);
    void messageRequested(const QString& text, int icon);

private:
    void finish(unsigned generation);

    std::thread thread_;
    bool running_ = false;
    unsigned generation_ = 0; // of the job started last
    Done done_;
};

} // namespace ormolith

#include "build_worker.h"

#include "image_buffer.h"

namespace ormolith {

QImage imageFromBuffer(const ImageBuffer& image)
{
    const int w = int(image.bufferWidth), h = int(image.bufferHeight);
    if (!image.hasPixels() || w <= 0 || h <= 0)
        return {};
    QImage picture(w, h, QImage::Format_RGB32);
    const unsigned bytes = image.bitsPerPixel / 8;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = image.pixels.data() + std::size_t(h - 1 - y) * image.stride;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = row + std::size_t(x) * bytes;
            out[x] = qRgb(p[2], p[1], p[0]);
        }
    }
    return picture;
}

void BuildWorker::Context::setStatus(const QString& text)
{
    emit worker_.statusChanged(text);
}

void BuildWorker::Context::setStatusPrefix(const QString& text)
{
    emit worker_.statusPrefixChanged(text);
}

void BuildWorker::Context::showPicture(const ImageBuffer& image)
{
    emit worker_.pictureReady(imageFromBuffer(image));
}

void BuildWorker::Context::message(const QString& text, QMessageBox::Icon icon)
{
    emit worker_.messageRequested(text, int(icon));
}

BuildWorker::BuildWorker(QObject* parent) : QObject(parent) {}

BuildWorker::~BuildWorker()
{
    if (thread_.joinable())
        thread_.join();
}

bool BuildWorker::start(Job job, Done done)
{
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join(); // ended, its finish() not yet delivered
    running_ = true;
    done_ = std::move(done);
    const unsigned generation = ++generation_;
    emit runningChanged(true);
    thread_ = std::thread([this, generation, job = std::move(job)] {
        Context context(*this);
        job(context);
        // Queued: finish() joins this thread, so it must run on the user-interface thread
        // after this lambda has returned. If the worker object is destroyed first, the
        // destructor joins instead and the queued call is dropped with it.
        // A call left over from a job that wait() already finished carries an old generation.
        QMetaObject::invokeMethod(
            this, [this, generation] { finish(generation); }, Qt::QueuedConnection);
    });
    return true;
}

void BuildWorker::finish(unsigned generation)
{
    if (!running_ || generation != generation_)
        return;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    Done done = std::move(done_);
    done_ = {};
    if (done)
        done();
    emit runningChanged(false);
}

void BuildWorker::wait()
{
    if (!running_)
        return;
    if (thread_.joinable())
        thread_.join();
    finish(generation_);
}

} // namespace ormolith

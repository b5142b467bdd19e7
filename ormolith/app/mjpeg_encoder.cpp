#include "mjpeg_encoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

#include <algorithm>

namespace ormolith {

MjpegEncoder::MjpegEncoder(int quality) : quality_(std::clamp(quality, 1, 100)) {}

std::uint64_t MjpegEncoder::imageSize(unsigned width, unsigned height) const
{
    // JPEG frames are at most about as large as the raw picture; readers size their buffers
    // from this.
    return std::uint64_t(width) * height * 3;
}

bool MjpegEncoder::available()
{
    return QImageWriter::supportedImageFormats().contains("jpeg");
}

bool MjpegEncoder::encode(const FramePixels& pixels, std::string& out, std::string& error)
{
    if (pixels.data == nullptr || pixels.width == 0 || pixels.height == 0) {
        error = "the picture has no pixels";
        return false;
    }
    // The engine's rows are bottom-up; a JPEG's are top-down.
    const QImage bottomUp(pixels.data, int(pixels.width), int(pixels.height),
                          qsizetype(pixels.stride), QImage::Format_BGR888);
    const QImage picture = bottomUp.mirrored(false, true);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality_);
    if (!writer.write(picture)) {
        error = "JPEG: " + writer.errorString().toStdString();
        return false;
    }
    out.assign(bytes.constData(), std::size_t(bytes.size()));
    return true;
}

std::unique_ptr<FrameEncoder> makeMjpegEncoder(const CommandLine& cmd, std::string& error)
{
    if (!MjpegEncoder::available()) {
        error = "this Qt has no JPEG image writer";
        return nullptr;
    }
    return std::make_unique<MjpegEncoder>(cmd.quality);
}

} // namespace ormolith

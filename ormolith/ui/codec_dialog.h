#pragma once
// Which codec the video file gets: full frames (uncompressed 24-bit pictures) or Motion JPEG
// with a quality. Asked for after the file is chosen and before the first frame is built, so
// that the production never waits for a window.
#include <QDialog>
#include <memory>

class QListWidget;
class QSpinBox;

namespace ormolith {

class FrameEncoder;

struct CodecChoice {
    enum Codec { fullFrames, motionJpeg };
    Codec codec = motionJpeg;
    int quality = 85; // 1..100, Motion JPEG only
};

inline constexpr const char* kFullFramesCodecText = "Full frames (uncompressed)";
inline constexpr const char* kMotionJpegCodecText = "Motion JPEG";

// The encoder of a choice; Motion JPEG falls back to nothing (null) when this Qt cannot write
// JPEG.
std::unique_ptr<FrameEncoder> makeEncoder(const CodecChoice& choice);

class CodecDialog : public QDialog {
    Q_OBJECT
public:
    // Shows `initial` selected; Motion JPEG is offered only where Qt writes JPEG.
    explicit CodecDialog(const CodecChoice& initial, QWidget* parent = nullptr);
    CodecChoice choice() const;
    QListWidget* list() const { return list_; }
    QSpinBox* quality() const { return quality_; }

private:
    QListWidget* list_;
    QSpinBox* quality_;
};

} // namespace ormolith

#pragma once
// Motion JPEG frames for the AVI writer: each picture becomes one baseline JPEG image, encoded
// by Qt's image writer. The only Qt in the animation's file path; the container knows none.
#include <memory>
#include <string>

#include "avi_writer.h"
#include "batch.h"

namespace ormolith {

class MjpegEncoder : public FrameEncoder {
public:
    // Quality 1..100 (clamped), as Qt's JPEG writer takes it.
    explicit MjpegEncoder(int quality = 85);
    std::uint32_t handler() const override { return fourcc("MJPG"); }
    std::uint32_t compression() const override { return fourcc("MJPG"); }
    std::uint64_t imageSize(unsigned width, unsigned height) const override;
    bool compressed() const override { return true; }
    bool encode(const FramePixels& pixels, std::string& out, std::string& error) override;
    int quality() const { return quality_; }
    // Whether this Qt can write JPEG at all (its image-format plugin is installed).
    static bool available();

private:
    int quality_;
};

// The encoder batch mode's --codec mjpeg --quality Q asks for (an EncoderFactory).
std::unique_ptr<FrameEncoder> makeMjpegEncoder(const CommandLine& cmd, std::string& error);

} // namespace ormolith

// Fuzzes the animation's production on hostile documents and settings: frame counts of any
// size (up to the largest the file allows), key values that are no numbers, names that match
// nothing, pictures of no pixels or too many, fps 0 or huge, a start far past the end. Every
// run must end finished, stopped or with a message, never crash, and leave a file whose RIFF
// sizes agree with its bytes and whose index counts the frames written.
//
// Input: four bytes of settings, then the document's text.
//   byte 0, 1: width, height: 0..8 from the low bits; with bit 7 set, 40000 (too large)
//   byte 2:    fps (0 stands for 15); 255 means 4000000000
//   byte 3:    first frame: the low 7 bits; with bit 7 set, shifted up by 24
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "anim_production.h"
#include "animation.h"

using namespace ormolith;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::uint32_t le32(const std::string& b, std::size_t at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

unsigned side(std::uint8_t b)
{
    return (b & 0x80) != 0 ? 40000u : b % 9u;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    CFractal_Doc doc;
    std::stringstream in(std::string(reinterpret_cast<const char*>(data + 4), size - 4));
    if (!doc.readDocument(in))
        return 0;
    ensureFramesCount(doc);

    ProductionSettings settings = productionSettings(doc, side(data[0]), side(data[1]));
    settings.fps = data[2] == 255 ? 4000000000u : data[2];
    settings.startFrom = (data[3] & 0x80) != 0 ? unsigned(data[3] & 0x7F) << 24 : data[3];
    // At most two frames, wherever the production starts.
    settings.lastFrame = productionRange(doc, settings).first + 1;
    settings.build.threads = 1;
    std::atomic<bool> stop{false};
    settings.stop = &stop;
    AviMemorySink sink;
    settings.sink = &sink;
    DibEncoder dib;
    ImageBuffer image;

    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (!done.load()) {
            // The stop flag outlives the build; the scene's own stops the build under way
            // (and is cleared when the next one starts, so it is asked again).
            if (std::chrono::steady_clock::now() > deadline) {
                stop.store(true);
                doc.scene()->stopRequested.store(true);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const ProductionResult result = produceAnimation(doc, image, settings, &dib);
    done.store(true);
    watchdog.join();

    check(image.statusPrefix.empty());
    check(result.framesWritten <= result.framesBuilt && result.framesBuilt <= 2);
    if (result.end == ProductionEnd::failed)
        check(!result.message.empty());
    if (result.end == ProductionEnd::finished)
        check(result.framesWritten == result.framesBuilt);
    if (sink.bytes.empty()) {
        // Only a refused format writes nothing.
        check(result.end == ProductionEnd::failed && result.framesBuilt == 0);
        return 0;
    }
    // One RIFF list (the frames are tiny) that ends where the file ends, with the frames in
    // its classic index.
    const std::string& b = sink.bytes;
    check(b.size() >= 12 && b.compare(0, 4, "RIFF") == 0);
    check(std::uint64_t(le32(b, 4)) + 8 == b.size());
    const std::size_t indexSize = 16 * std::size_t(result.framesWritten);
    check(b.size() >= 20 + indexSize);
    const std::size_t idx1 = b.size() - 8 - indexSize;
    check(b.compare(idx1, 4, "idx1") == 0 && le32(b, idx1 + 4) == indexSize);
    return 0;
}

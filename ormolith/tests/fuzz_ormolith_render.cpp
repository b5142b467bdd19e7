// Fuzzes the build on hostile scenes: any document that reads must build (or refuse with a
// message) at a small size without crashing, without undefined behaviour, and with a picture of
// the requested size. A watchdog stops builds that take long (deep reflections, slowly
// shrinking maps), which is what the Stop command does for the user.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "builder.h"
#include "fractal_doc.h"
#include "image_buffer.h"

using namespace ormolith;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFractal_Doc doc;
    std::stringstream in(std::string(reinterpret_cast<const char*>(data), size));
    if (!doc.readDocument(in))
        return 0;
    FractalScene& scene = *doc.scene();
    ImageBuffer image;
    image.setRequestedSize(7, 5);
    BuildOptions options;
    options.threads = 1;

    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        // The build clears the stop flag when it starts, so keep asking until it is over.
        while (!done.load()) {
            if (std::chrono::steady_clock::now() > deadline)
                scene.stopRequested.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const bool ok = buildImage(scene, image, options);
    done.store(true);
    watchdog.join();

    if (ok) {
        check(image.built);
        check(image.bufferWidth == 7 && image.bufferHeight == 5);
        check(scene.errorText.empty());
    } else if (!scene.stopRequested.load()) {
        check(!scene.errorText.empty()); // a refusal always says why
    }
    return 0;
}

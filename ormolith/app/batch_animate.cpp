// --animate: the animation dialog's production without a window, for scripts and render farms.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <new>
#include <thread>

#include "anim_production.h"
#include "animation.h"
#include "batch.h"

namespace ormolith {

namespace {

// Set by SIGINT and SIGTERM (a job scheduler's time limit): the frame being built is dropped
// and the file is completed with the frames so far, so an interrupted part is still playable.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

} // namespace

int animateToVideo(const CommandLine& cmd, CFractal_Doc& doc, std::ostream& err,
                   const EncoderFactory& makeEncoder)
{
    ensureFramesCount(doc);
    ProductionSettings settings =
        productionSettings(doc, unsigned(cmd.width), unsigned(cmd.height));
    settings.outputPath = cmd.output;
    settings.dontSave = false;
    settings.startFrom = unsigned(cmd.frameFirst);
    settings.lastFrame = cmd.frameLast < 0 ? ~0u : unsigned(cmd.frameLast);
    settings.build.threads = cmd.threads;
    std::atomic<bool> stop{false};
    settings.stop = &stop;
    const FrameRange whole = productionRange(doc, ProductionSettings{});
    if (whole.empty()) {
        err << "Ormolith: " << cmd.input
            << ": the animation has no frames (every key frame's frame count is 0)\n";
        return 1;
    }
    if (settings.startFrom > whole.last) {
        err << "Ormolith: --frames " << cmd.frameFirst << "-: the animation of " << cmd.input
            << " has " << whole.total << " frames (0-" << whole.last << ")\n";
        return 1;
    }
    if (doc.animVarNames.empty())
        err << "Ormolith: warning: " << cmd.input
            << " animates no parameter; every frame shows the same picture\n";

    const std::uint64_t needed =
        FractalScene::memoryRequired(unsigned(cmd.width), unsigned(cmd.height));
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0 && needed > std::uint64_t(pages) * std::uint64_t(pageSize)) {
        err << "Ormolith: a " << cmd.width << "x" << cmd.height << " picture needs "
            << needed / (1024 * 1024) << " MB, more than the memory of this machine\n";
        return 1;
    }

    std::unique_ptr<FrameEncoder> encoder;
    std::string encoderError;
    if (cmd.codec == "dib")
        encoder = std::make_unique<DibEncoder>();
    else if (makeEncoder)
        encoder = makeEncoder(cmd, encoderError);
    if (!encoder) {
        err << "Ormolith: " << kAviCodecFailedText << "\nOrmolith: (" << cmd.codec << ": "
            << (encoderError.empty() ? "not available in this build" : encoderError) << ")\n";
        return 1;
    }

    ImageBuffer image;
    FractalScene& scene = *doc.scene();
    std::atomic<unsigned> frame{whole.total};
    std::atomic<bool> done{false};
    ProductionResult result;
    bool outOfMemory = false;
    interrupted = 0;
    auto oldInt = std::signal(SIGINT, onInterrupt);
    auto oldTerm = std::signal(SIGTERM, onInterrupt);
    std::thread worker([&] {
        ProductionHooks hooks;
        hooks.frameStarting = [&](unsigned n) { frame.store(n); };
        try {
            result = produceAnimation(doc, image, settings, encoder.get(), hooks);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        done.store(true);
    });
    const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    const FrameRange range = productionRange(doc, settings);
    unsigned shownFrame = whole.total;
    int shownPercent = -1;
    while (!done.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (interrupted) {
            stop.store(true);
            scene.stopRequested.store(true);
        }
        const unsigned n = frame.load();
        if (n >= whole.total)
            continue;
        const int percent = std::clamp(int(scene.progressPercent.load()), 0, 100);
        if (terminal && (n != shownFrame || percent != shownPercent)) {
            err << "\rOrmolith: frame " << n + 1 << " of " << whole.total << " ("
                << n - range.first + 1 << "/" << range.last - range.first + 1 << ") " << percent
                << "%   " << std::flush;
        } else if (!terminal && n != shownFrame) {
            err << "Ormolith: frame " << n + 1 << " of " << whole.total << "\n";
        }
        shownFrame = n;
        shownPercent = percent;
    }
    worker.join();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    if (terminal)
        err << "\n";
    if (outOfMemory) {
        err << "Ormolith: not enough memory for a " << cmd.width << "x" << cmd.height
            << " picture\n";
        return 1;
    }
    switch (result.end) {
    case ProductionEnd::finished:
        err << "Ormolith: wrote " << cmd.output << " (frames " << range.first << "-" << range.last
            << " of " << whole.total << ", " << cmd.width << "x" << cmd.height << ", "
            << settings.fps << " fps, " << cmd.codec << ")\n";
        return 0;
    case ProductionEnd::stopped:
        err << "Ormolith: stopped; " << cmd.output << " holds the " << result.framesWritten
            << " frame(s) written so far\n";
        return 1;
    case ProductionEnd::failed:
        break;
    }
    // The window's message as it would show it, then the system's reason.
    err << "Ormolith: " << result.message << "\n";
    if (!result.reason.empty())
        err << "Ormolith: (" << result.reason << ")\n";
    if (result.framesWritten > 0)
        err << "Ormolith: " << cmd.output << " holds the " << result.framesWritten
            << " frame(s) written before the failure\n";
    return 1;
}

} // namespace ormolith

#include "anim_production.h"

#include <cstdio>

#include "animation.h"

namespace ormolith {

namespace {

std::uint64_t framesInLoop(const CFractal_Doc& doc)
{
    std::uint64_t sum = 0;
    for (unsigned n : doc.animFramesCount)
        sum += n;
    return sum > UINT32_MAX ? UINT32_MAX : sum;
}

} // namespace

ProductionSettings productionSettings(const CFractal_Doc& doc, unsigned width, unsigned height)
{
    ProductionSettings s;
    s.outputPath = doc.animOutputPath;
    s.fps = doc.animFps == 0 ? 15 : doc.animFps;
    s.startFrom = doc.animStartFrom;
    s.dontSave = doc.animDontSave;
    s.width = width;
    s.height = height;
    return s;
}

FrameRange productionRange(const CFractal_Doc& doc, const ProductionSettings& settings)
{
    FrameRange r;
    const auto frames = unsigned(framesInLoop(doc));
    if (frames == 0)
        return r;
    r.total = frames;
    // A start at or past the end would produce an empty file; the whole loop is meant.
    r.first = settings.startFrom >= frames ? 0 : settings.startFrom;
    r.last = settings.lastFrame >= frames ? frames - 1 : settings.lastFrame;
    return r;
}

ProductionResult produceAnimation(CFractal_Doc& doc, ImageBuffer& image,
                                  const ProductionSettings& settings, FrameEncoder* encoder,
                                  const ProductionHooks& hooks)
{
    ProductionResult result;
    auto failWith = [&](const char* message, const std::string& reason) {
        result.end = ProductionEnd::failed;
        result.message = message;
        result.reason = reason;
    };
    // A step before the first frame failed: nothing was built.
    auto failEarly = [&](const char* message, const std::string& reason) {
        failWith(message, reason);
        image.statusPrefix.clear();
        image.setStatus(kAviErrorStatus);
        return result;
    };
    FractalScene* scene = doc.scene();
    if (scene == nullptr) {
        return failEarly(kAviStrangeErrorText, "the document has no scene");
    }
    const bool save = !settings.dontSave;

    // The file and its stream come first, so that a file that cannot be written is reported
    // before the first frame is built.
    AviFileSink file;
    std::unique_ptr<AviWriter> writer;
    if (save) {
        if (encoder == nullptr) {
            return failEarly(kAviCodecFailedText, "no encoder");
        }
        AviStreamFormat format;
        format.width = settings.width;
        format.height = settings.height;
        format.fps = settings.fps == 0 ? 15 : settings.fps;
        format.handler = encoder->handler();
        format.compression = encoder->compression();
        format.imageSize = encoder->imageSize(settings.width, settings.height);
        format.compressedChunks = encoder->compressed();
        std::string why;
        if (!AviWriter::formatIsValid(format, &why)) {
            return failEarly(kAviFormatFailedText, why);
        }
        AviSink* sink = settings.sink;
        if (sink == nullptr) {
            if (!file.open(settings.outputPath))
                return failEarly(kAviOpenFailedText, settings.outputPath + ": " + file.lastError());
            sink = &file;
        }
        writer = std::make_unique<AviWriter>(*sink, format);
        if (!writer->begin()) {
            file.close();
            return failEarly(kAviStreamFailedText, writer->error());
        }
    }

    const std::vector<AnimatedNode> nodes = collectAnimatedNodes(doc);
    const unsigned shownTotal = totalFrames(doc.animFramesCount);
    const FrameRange range = productionRange(doc, settings);
    image.setRequestedSize(settings.width, settings.height);
    scene->progressPercent.store(-1);
    image.setStatus("Building...");

    std::string pixelsOut, encodeError;
    bool firstWritten = true;
    // 64 bits: the counts of a document may add up past 32.
    std::uint64_t n = 0;
    bool running = !range.empty();
    for (unsigned k = 0; running && k < doc.animFramesCount.size(); ++k) {
        // Frames before the first one are counted, not visited: a segment may hold billions.
        if (n + doc.animFramesCount[k] <= range.first) {
            n += doc.animFramesCount[k];
            continue;
        }
        const unsigned skipped = n < range.first ? unsigned(range.first - n) : 0;
        n += skipped;
        for (unsigned s = skipped; running && s < doc.animFramesCount[k]; ++s, ++n) {
            if (n > range.last) {
                running = false;
                break;
            }
            if (settings.stop != nullptr && settings.stop->load()) {
                result.end = ProductionEnd::stopped;
                running = false;
                break;
            }
            setAnimationFrame(doc, nodes, {k, s});
            char prefix[64];
            const auto frame = unsigned(n); // at most range.last
            std::snprintf(prefix, sizeof prefix, "%u frame of %u", frame + 1, shownTotal);
            image.statusPrefix = prefix;
            if (hooks.frameStarting)
                hooks.frameStarting(frame);
            const bool built = buildImage(*scene, image, settings.build);
            // A stopped frame is neither shown nor written.
            if (scene->stopRequested.load() ||
                (settings.stop != nullptr && settings.stop->load())) {
                result.end = ProductionEnd::stopped;
                running = false;
                break;
            }
            if (!built) {
                result.end = ProductionEnd::failed;
                result.buildFailed = true;
                result.message = scene->errorText.empty() ? kAviStrangeErrorText : scene->errorText;
                running = false;
                break;
            }
            image.newPixels = true;
            ++result.framesBuilt;
            if (hooks.frameBuilt)
                hooks.frameBuilt(frame);
            if (!writer)
                continue;
            const FramePixels pixels{image.pixels.data(), image.bufferWidth, image.bufferHeight,
                                     image.stride};
            // Every frame is whole in itself; the index marks the key frames of the loop, and
            // the first frame of a file, so that each part of a split animation starts on one.
            const bool key = s == 0 || firstWritten;
            if (image.bufferWidth != settings.width || image.bufferHeight != settings.height ||
                !encoder->encode(pixels, pixelsOut, encodeError)) {
                failWith(kAviWriteFailedText,
                         encodeError.empty() ? "the picture has another size" : encodeError);
                running = false;
                break;
            }
            if (!writer->writeFrame(pixelsOut.data(), pixelsOut.size(), key)) {
                failWith(kAviWriteFailedText, writer->error());
                running = false;
                break;
            }
            firstWritten = false;
        }
    }

    if (writer) {
        const bool complete = writer->finish();
        const bool closed = file.close();
        if ((!complete || !closed) && result.end != ProductionEnd::failed)
            failWith(kAviWriteFailedText, complete ? file.lastError() : writer->error());
        result.framesWritten = writer->framesWritten();
    }
    image.statusPrefix.clear();
    // A frame whose scene fails its checks ends like a failed build: its message is shown and
    // the status is not "Ready".
    if (!result.buildFailed)
        image.setStatus(result.end == ProductionEnd::failed ? kAviErrorStatus : "Ready");
    return result;
}

} // namespace ormolith

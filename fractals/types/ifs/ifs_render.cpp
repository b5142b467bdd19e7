#include "ifs_render.h"

#include "bitmap_file.h"
#include "ifs_doc.h"

#include <algorithm>
#include <new>
#include <string>
#include <thread>

namespace fractals {

IfsRunSettings IfsRunSettings::of(const CIfsDoc& doc)
{
    IfsRunSettings s;
    for (const FramePtr& f : doc.frames())
        s.frames.push_back(*f);
    s.defframe = doc.defframe;
    s.samecolor = doc.samecolor != 0;
    s.bkgrd = doc.bkgrd;
    s.border = doc.border;
    s.showframes = doc.showframes != 0;
    return s;
}

IfsIterator::IfsIterator(const IfsRunSettings& settings, std::uint32_t seed)
    : color(settings.defframe), frames_(settings.frames),
      count_(static_cast<int>(settings.frames.size())), samecolor_(settings.samecolor),
      random_(seed)
{
}

void clearIfsPicture(const IfsRunSettings& settings, IfsPicture& picture)
{
    picture.pixels.assign(static_cast<std::size_t>(picture.width) * picture.height,
                          toRgb(settings.bkgrd));
    if (!settings.showframes)
        return;
    const FrameMapping m{picture.width, picture.height};
    const auto line = [&](CVector a, CVector b, ColorRef c, bool dotted) {
        forEachLinePixel(m, a, b, dotted, [&](int px, int py) {
            if (px >= 0 && py >= 0 && px < picture.width && py < picture.height)
                picture.pixels[static_cast<std::size_t>(py) * picture.width + px] = toRgb(c);
        });
    };
    const CVector corners[4] = {{0, 0}, {10000, 0}, {10000, 10000}, {0, 10000}};
    for (int k = 0; k < 4; ++k)
        line(corners[k], corners[(k + 1) % 4], settings.border, false);
    for (const CIfsFrame& f : settings.frames) {
        const CVector a = f.vertex + f.side1, b = f.vertex + f.side2, c = a + f.side2;
        line(f.vertex, a, f.color, false);
        line(f.vertex, b, f.color, false);
        line(a, c, f.color, true);
        line(b, c, f.color, true);
    }
}

namespace {

// Each worker's picture holds the colour in the low 24 bits and 1 + the stream index in the
// top 8, so that merging can let the later stream win without any lock while drawing.
constexpr int kStampShift = 24;
static_assert(kIfsStreams < 255);

// The streams' seeds: spread by a fixed odd multiplier so neighbouring seeds differ widely.
std::uint32_t streamSeed(std::uint32_t seed, int stream)
{
    return seed * 2654435761u + static_cast<std::uint32_t>(stream) * 0x9E3779B9u + 1u;
}

} // namespace

bool renderIfsPicture(const IfsFileRequest& request, IfsPicture& picture, RunGate& gate,
                      std::atomic<int>* progressPercent)
{
    picture.width = request.width;
    picture.height = request.height;
    clearIfsPicture(request.settings, picture);
    if (request.settings.frames.empty())
        return true;
    const std::uint64_t total = request.points ? request.points
                                               : kDefaultPointsPerPixel *
                                                     static_cast<std::uint64_t>(request.width) *
                                                     static_cast<std::uint64_t>(request.height);
    const int threads =
        std::clamp(request.threads > 0 ? request.threads : defaultRenderThreads(), 1, kIfsStreams);
    const std::size_t size = picture.pixels.size();
    std::vector<std::vector<std::uint32_t>> layers(static_cast<std::size_t>(threads),
                                                   std::vector<std::uint32_t>(size, 0));
    std::atomic<int> nextStream{0};
    std::atomic<std::uint64_t> drawn{0};
    // Pixel of a frame point: the same rounding as FrameMapping, with the divisions hoisted.
    const std::int64_t w = request.width, h = request.height;

    const auto worker = [&](std::vector<std::uint32_t>& layer) {
        for (int stream = nextStream++; stream < kIfsStreams; stream = nextStream++) {
            std::uint64_t budget =
                total / kIfsStreams +
                (static_cast<std::uint64_t>(stream) < total % kIfsStreams ? 1 : 0);
            IfsIterator it(request.settings, streamSeed(request.seed, stream));
            const std::uint32_t stamp = static_cast<std::uint32_t>(stream + 1) << kStampShift;
            while (budget > 0) {
                // Points in slices, with the gate (pause, cancel) and progress between them.
                const std::uint64_t slice = std::min<std::uint64_t>(budget, 1 << 16);
                std::uint64_t done = 0;
                while (done < slice) {
                    if (!it.step())
                        continue;
                    ++done;
                    const std::int64_t px =
                        w / 2 + FrameMapping::floorDiv((it.x - 5000) * w + 6000, 12000);
                    const std::int64_t py =
                        h / 2 - FrameMapping::floorDiv((it.y - 5000) * h + 6000, 12000);
                    if (static_cast<std::uint64_t>(px) < static_cast<std::uint64_t>(w) &&
                        static_cast<std::uint64_t>(py) < static_cast<std::uint64_t>(h))
                        layer[static_cast<std::size_t>(py * w + px)] = stamp | toRgb(it.color);
                }
                budget -= slice;
                const std::uint64_t all = drawn += slice;
                if (progressPercent)
                    progressPercent->store(static_cast<int>(all * 100 / total));
                if (!gate.poll())
                    return;
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker, std::ref(layers[static_cast<std::size_t>(t)]));
    worker(layers[0]);
    for (std::thread& t : pool)
        t.join();
    if (!gate.running())
        return false;
    for (std::size_t k = 0; k < size; ++k) {
        std::uint32_t best = 0;
        for (const auto& layer : layers)
            best = std::max(best, layer[k]);
        if (best)
            picture.pixels[k] = best & 0xFFFFFF;
    }
    return true;
}

FileRenderResult renderIfsFile(const IfsFileRequest& request, const std::filesystem::path& path,
                               RunGate& gate, std::atomic<int>* progressPercent)
{
    try {
        IfsPicture picture;
        if (!renderIfsPicture(request, picture, gate, progressPercent))
            return FileRenderResult::cancelled;
        const PictureView view{
            picture.width, picture.height, 32,
            std::span(reinterpret_cast<const std::uint8_t*>(picture.pixels.data()),
                      picture.pixels.size() * 4)};
        return WriteBitmapFile(view, PaletteColors{}, path) ? FileRenderResult::written
                                                            : FileRenderResult::writeFailed;
    } catch (const std::bad_alloc&) {
        return FileRenderResult::outOfMemory;
    }
}

namespace {

bool parseUnsigned(const std::string& s, std::uint64_t max, std::uint64_t& value)
{
    if (s.empty() || s.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        if (v > (max - static_cast<std::uint64_t>(c - '0')) / 10)
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    value = v;
    return true;
}

// Enough for any picture anyone waits for; larger counts are surely typing mistakes.
constexpr std::uint64_t kMaxPoints = 100'000'000'000ull;

} // namespace

std::vector<BatchOption> ifsBatchOptions()
{
    return {{"--points", "N",
             [](const std::string& v) {
                 std::uint64_t n = 0;
                 return parseUnsigned(v, kMaxPoints, n) && n > 0;
             },
             "points the chaos game plots (default: 50 a pixel)"},
            {"--seed", "S",
             [](const std::string& v) {
                 std::uint64_t n = 0;
                 return parseUnsigned(v, 0xFFFFFFFFull, n);
             },
             "seed of the chaos game, 0 to 4294967295 (default 1)"}};
}

FileRenderResult renderIfsBatch(const FileRenderRequest& r)
{
    IfsFileRequest request;
    request.settings = IfsRunSettings::of(static_cast<const CIfsDoc&>(r.document));
    if (request.settings.frames.empty()) {
        if (r.message)
            *r.message = kMsgNoFrame;
        return FileRenderResult::cancelled;
    }
    request.width = r.width;
    request.height = r.height;
    request.threads = r.threads;
    std::uint64_t v = 0;
    if (const auto it = r.options.find("--points");
        it != r.options.end() && parseUnsigned(it->second, kMaxPoints, v))
        request.points = v;
    if (const auto it = r.options.find("--seed");
        it != r.options.end() && parseUnsigned(it->second, 0xFFFFFFFFull, v))
        request.seed = static_cast<std::uint32_t>(v);
    return renderIfsFile(request, r.path, r.gate, r.progressPercent);
}

} // namespace fractals

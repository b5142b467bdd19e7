#include "escape_render.h"

#include <algorithm>
#include <thread>

namespace fractals {

int defaultRenderThreads()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 64u));
}

bool renderEscapePicture(const EscapeRule& rule, std::vector<std::uint8_t>& picture, RunGate& gate,
                         std::atomic<int>* progressPercent, int threads)
{
    const int w = rule.width();
    const int h = rule.height();
    picture.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), kInsideIndex);
    if (w <= 0 || h <= 0)
        return gate.poll();

    // Workers take blocks of neighbouring columns so that two threads rarely write into the
    // same cache line of a row.
    constexpr int kBlock = 16;
    std::atomic<int> nextBlock{0};
    std::atomic<int> columnsDone{0};
    std::atomic<bool> abandoned{false};
    const auto work = [&] {
        std::vector<std::uint8_t> column(static_cast<std::size_t>(h));
        for (;;) {
            const int first = nextBlock.fetch_add(1) * kBlock;
            if (first >= w || abandoned.load(std::memory_order_relaxed))
                return;
            const int last = std::min(w, first + kBlock);
            for (int i = first; i < last; ++i) {
                if (!rule.computeColumn(i, column.data(), &gate)) {
                    abandoned.store(true);
                    return;
                }
                for (int j = 0; j < h; ++j)
                    picture[static_cast<std::size_t>(j) * static_cast<std::size_t>(w) +
                            static_cast<std::size_t>(i)] = column[static_cast<std::size_t>(j)];
                const int done = columnsDone.fetch_add(1) + 1;
                if (progressPercent)
                    progressPercent->store(static_cast<int>(100LL * done / w),
                                           std::memory_order_relaxed);
            }
        }
    };
    threads = std::clamp(threads, 1, std::max(1, w / kBlock));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
    return !abandoned.load() && gate.poll();
}

} // namespace fractals

#include "escape_render.h"
#include "mandel_rule.h"
#include "temp_env.h"

#include <gtest/gtest.h>
#include <thread>

using namespace fractals;

namespace {

// Counts the columns asked for and can hold the worker at a chosen column.
class CountingRule : public EscapeRule {
public:
    CountingRule(int w, int h) : EscapeRule(w, h) {}
    mutable std::atomic<int> columns{0};

protected:
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override
    {
        for (int j = 0; j < height(); ++j) {
            out[j] = static_cast<std::uint8_t>((i + j) % 90);
            rowsDone = j + 1;
            if (gate && !gate->poll())
                return false;
        }
        columns.fetch_add(1);
        return true;
    }
};

} // namespace

TEST(EscapeRender, ThreadCountDoesNotChangeThePicture)
{
    const MandelRule rule({-2.1, 1.2, 0.7, -1.2}, {0, 1, 0, 0, 0}, 203, 61);
    RunGate gate;
    gate.start();
    std::vector<std::uint8_t> one, four;
    std::atomic<int> progress{0};
    ASSERT_TRUE(renderEscapePicture(rule, one, gate, &progress, 1));
    EXPECT_EQ(progress.load(), 100);
    ASSERT_TRUE(renderEscapePicture(rule, four, gate, nullptr, 4));
    EXPECT_EQ(one, four);
    // Column-major iteration, row-major storage.
    std::vector<std::uint8_t> col(61);
    rule.computeColumn(150, col.data(), nullptr);
    for (int j = 0; j < 61; ++j)
        EXPECT_EQ(one[static_cast<std::size_t>(j) * 203 + 150], col[j]);
}

TEST(EscapeRender, PausedWorkerWaitsAndStopEndsIt)
{
    CountingRule rule(400, 50);
    RunGate gate;
    gate.start();
    gate.setPaused(true);
    std::vector<std::uint8_t> picture;
    bool finished = true;
    std::thread worker([&] { finished = renderEscapePicture(rule, picture, gate, nullptr, 1); });
    // The worker is held at its first poll: no column can complete while paused.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(rule.columns.load(), 0);
    gate.clear(); // Stop while paused: wakes the worker, which sees the flag down
    worker.join();
    EXPECT_FALSE(finished);
    EXPECT_EQ(rule.columns.load(), 0);
}

TEST(EscapeRender, ResumeLetsThePausedWorkerFinish)
{
    CountingRule rule(64, 8);
    RunGate gate;
    gate.start();
    gate.setPaused(true);
    std::vector<std::uint8_t> picture;
    bool finished = false;
    std::thread worker([&] { finished = renderEscapePicture(rule, picture, gate, nullptr, 2); });
    gate.setPaused(false);
    worker.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(rule.columns.load(), 64);
}

TEST(EscapeRender, CancelledFileRenderWritesNoFile)
{
    suite::test::TempDir dir;
    CountingRule rule(100, 10);
    RunGate gate; // lowered before the first pixel, as a Cancel would
    const auto path = dir / "x.bmp";
    EXPECT_EQ(renderEscapeFile(rule, gate, nullptr, 2, path, [] { return PaletteColors{}; }),
              FileRenderResult::cancelled);
    EXPECT_FALSE(std::filesystem::exists(path));

    gate.start();
    EXPECT_EQ(renderEscapeFile(rule, gate, nullptr, 2, path,
                               [] { return PaletteTable::makeDefault().colors; }),
              FileRenderResult::written);
    EXPECT_EQ(std::filesystem::file_size(path), 1078u + 100 * 10);
    EXPECT_EQ(renderEscapeFile(rule, gate, nullptr, 2, dir / "no" / "x.bmp",
                               [] { return PaletteColors{}; }),
              FileRenderResult::writeFailed);
}

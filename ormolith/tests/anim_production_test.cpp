#include <gtest/gtest.h>

#include <filesystem>

#include "anim_production.h"
#include "animation.h"
#include "avi_test_util.h"
#include "temp_env.h"

using namespace ormolith;
using suite::test::readFileBytes;
using suite::test::TempDir;

namespace {

// Sierpinski's tetrahedron with the camera's Z Position moving 2 units out over `counts`.
void smallAnimation(CFractal_Doc& doc, std::vector<unsigned> counts)
{
    doc.loadSample(2);
    doc.params.clear();
    doc.scene()->describeParameters(doc.params);
    const auto names = paramFullNames(doc.params.nodes);
    std::vector<bool> marked(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        marked[i] = names[i] == "Camera.Z Position";
    doc.animFramesCount = counts;
    applyVariableMarks(doc, doc.params.nodes, names, marked);
    for (std::size_t k = 1; k < doc.animKeyValues.size(); ++k)
        doc.animKeyValues[k] = doc.animKeyValues[0] - 2.0 * double(k);
}

ProductionSettings settingsFor(const CFractal_Doc& doc, const std::filesystem::path& out)
{
    ProductionSettings s = productionSettings(doc, 16, 12);
    s.outputPath = out.string();
    s.build.threads = 1;
    return s;
}

// Frames in a finished file, by its own index.
unsigned indexedFrames(const std::string& bytes)
{
    const auto lists = avitest::walk(bytes, 0, bytes.size());
    if (lists.empty())
        return 0;
    const avitest::Chunk* idx1 = lists[0].find("idx1");
    return idx1 ? idx1->size / 16 : 0;
}

} // namespace

TEST(AnimationProduction, WritesEveryFrameAndShowsEach)
{
    TempDir dir;
    CFractal_Doc doc;
    smallAnimation(doc, {2, 3});
    ImageBuffer image;
    std::vector<unsigned> started, built;
    std::vector<std::string> prefixes;
    ProductionHooks hooks;
    hooks.frameStarting = [&](unsigned n) {
        started.push_back(n);
        prefixes.push_back(image.statusPrefix);
    };
    hooks.frameBuilt = [&](unsigned n) {
        built.push_back(n);
        EXPECT_TRUE(image.newPixels);
    };
    DibEncoder dib;
    const ProductionResult r =
        produceAnimation(doc, image, settingsFor(doc, dir / "a.avi"), &dib, hooks);
    EXPECT_EQ(r.end, ProductionEnd::finished) << r.message << r.reason;
    EXPECT_EQ(r.framesWritten, 5u);
    EXPECT_EQ(built, (std::vector<unsigned>{0, 1, 2, 3, 4}));
    EXPECT_EQ(started, built);
    EXPECT_EQ(prefixes.front(), "1 frame of 5");
    EXPECT_EQ(prefixes.back(), "5 frame of 5");
    EXPECT_EQ(image.statusPrefix, "");
    EXPECT_EQ(image.statusText, "Ready");
    // The scene keeps the last frame's values: key frame 1 plus 2 of 3 steps back to 0.
    const double z0 = doc.animKeyValues[0], z1 = doc.animKeyValues[1];
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.z, z1 + 2.0 * (z0 - z1) / 3.0);

    const std::string bytes = readFileBytes(dir / "a.avi");
    EXPECT_EQ(indexedFrames(bytes), 5u);
    // Key frames of the loop (offset 0) carry the key flag in the index.
    const auto lists = avitest::walk(bytes, 0, bytes.size());
    const avitest::Chunk* idx1 = lists.at(0).find("idx1");
    const std::uint32_t expectedFlags[] = {0x10, 0, 0x10, 0, 0};
    for (unsigned i = 0; i < 5; ++i)
        EXPECT_EQ(avitest::le32(bytes, idx1->data() + 16 * i + 4), expectedFlags[i]) << i;

    REQUIRE_FFMPEG();
    const avitest::Probe p = avitest::probe(dir / "a.avi");
    EXPECT_EQ(p.codec, "rawvideo");
    EXPECT_EQ(p.frames, 5u);
    EXPECT_EQ(p.width, 16u);
    EXPECT_EQ(p.height, 12u);
    EXPECT_EQ(p.rate, "15/1");
}

TEST(AnimationProduction, StartFromBeyondTheEndProducesTheWholeLoop)
{
    TempDir dir;
    CFractal_Doc doc;
    smallAnimation(doc, {2, 2});
    ImageBuffer image;
    DibEncoder dib;
    ProductionSettings s = settingsFor(doc, dir / "a.avi");
    s.startFrom = 2;
    ProductionResult r = produceAnimation(doc, image, s, &dib);
    EXPECT_EQ(r.framesWritten, 2u);
    // The first frame of a file is a key frame even in the middle of a segment.
    s.startFrom = 3;
    r = produceAnimation(doc, image, s, &dib);
    EXPECT_EQ(r.framesWritten, 1u);
    const std::string one = readFileBytes(dir / "a.avi");
    EXPECT_EQ(avitest::le32(one, avitest::walk(one, 0, one.size()).at(0).find("idx1")->data() + 4),
              0x10u);
    for (unsigned start : {4u, 5u, 1000u}) {
        s.startFrom = start;
        r = produceAnimation(doc, image, s, &dib);
        EXPECT_EQ(r.end, ProductionEnd::finished);
        EXPECT_EQ(r.framesWritten, 4u) << start;
    }
}

TEST(AnimationProduction, DontSaveBuildsWithoutAFile)
{
    TempDir dir;
    CFractal_Doc doc;
    smallAnimation(doc, {1, 1});
    ImageBuffer image;
    ProductionSettings s = settingsFor(doc, dir / "none.avi");
    s.dontSave = true;
    const ProductionResult r = produceAnimation(doc, image, s, nullptr);
    EXPECT_EQ(r.end, ProductionEnd::finished);
    EXPECT_EQ(r.framesBuilt, 2u);
    EXPECT_EQ(r.framesWritten, 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.avi"));
}

TEST(AnimationProduction, StopKeepsTheFramesWrittenSoFarInACompleteFile)
{
    TempDir dir;
    CFractal_Doc doc;
    smallAnimation(doc, {3, 3});
    ImageBuffer image;
    DibEncoder dib;
    std::atomic<bool> stop{false};
    ProductionSettings s = settingsFor(doc, dir / "a.avi");
    s.stop = &stop;
    ProductionHooks hooks;
    // Asked between two frames: the next build would clear the scene's own flag.
    hooks.frameBuilt = [&](unsigned n) {
        if (n == 1)
            stop.store(true);
    };
    ProductionResult r = produceAnimation(doc, image, s, &dib, hooks);
    EXPECT_EQ(r.end, ProductionEnd::stopped);
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(r.framesWritten, 2u);
    EXPECT_EQ(image.statusText, "Ready");
    EXPECT_EQ(indexedFrames(readFileBytes(dir / "a.avi")), 2u);

    // Asked as frame 2 is shown: frames 0..2 stay.
    stop.store(false);
    std::vector<unsigned> built;
    hooks.frameBuilt = [&](unsigned n) {
        built.push_back(n);
        if (n == 2)
            stop.store(true);
    };
    r = produceAnimation(doc, image, s, &dib, hooks);
    EXPECT_EQ(built, (std::vector<unsigned>{0, 1, 2}));
    EXPECT_EQ(r.framesWritten, 3u);

    REQUIRE_FFMPEG();
    EXPECT_EQ(avitest::probe(dir / "a.avi").frames, 3u);
}

TEST(AnimationProduction, FailuresGiveTheirMessages)
{
    TempDir dir;
    CFractal_Doc doc;
    smallAnimation(doc, {1, 1});
    ImageBuffer image;
    DibEncoder dib;
    int builds = 0;
    ProductionHooks hooks;
    hooks.frameBuilt = [&](unsigned) { ++builds; };

    ProductionResult r =
        produceAnimation(doc, image, settingsFor(doc, dir / "missing" / "a.avi"), &dib, hooks);
    EXPECT_EQ(r.end, ProductionEnd::failed);
    EXPECT_EQ(r.message,
              "Can't open avi file to save animation\nMay be Video For Windows library is broken");
    EXPECT_NE(r.reason.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(image.statusText, "Avi file error");

    ProductionSettings s = settingsFor(doc, dir / "a.avi");
    s.width = 0;
    r = produceAnimation(doc, image, s, &dib, hooks);
    EXPECT_EQ(r.message,
              "Can't select compressed stream format\nMay be the selected codec driver is broken");
    EXPECT_FALSE(std::filesystem::exists(dir / "a.avi"));

    r = produceAnimation(doc, image, settingsFor(doc, dir / "a.avi"), nullptr, hooks);
    EXPECT_EQ(r.message,
              "Can't create compressed stream\nMay be the selected codec driver is broken");

    // A scene that fails its checks ends the production with the scene's message, as a failed
    // build does (the status is not "Ready"); the file is complete and empty.
    doc.scene()->setCount = 0;
    r = produceAnimation(doc, image, settingsFor(doc, dir / "a.avi"), &dib, hooks);
    EXPECT_EQ(r.end, ProductionEnd::failed);
    EXPECT_TRUE(r.buildFailed);
    EXPECT_EQ(image.statusText, "Building...");
    EXPECT_EQ(r.message, doc.scene()->errorText);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(r.framesWritten, 0u);
    EXPECT_EQ(indexedFrames(readFileBytes(dir / "a.avi")), 0u);
    EXPECT_EQ(builds, 0);
}

TEST(AnimationProduction, RangesClampToTheLoop)
{
    CFractal_Doc doc;
    doc.animFramesCount = {20, 20};
    ProductionSettings s;
    FrameRange r = productionRange(doc, s);
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.last, 39u);
    EXPECT_EQ(r.total, 40u);
    s.startFrom = 20;
    s.lastFrame = 100;
    r = productionRange(doc, s);
    EXPECT_EQ(r.first, 20u);
    EXPECT_EQ(r.last, 39u);
    s.startFrom = 40;
    EXPECT_EQ(productionRange(doc, s).first, 0u);
    doc.animFramesCount = {0, 0};
    EXPECT_TRUE(productionRange(doc, s).empty());
}

// Ormolith --animate: the options, and the videos as ffmpeg reads them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <sstream>

#include "avi_test_util.h"
#include "batch.h"
#include "bmp_writer.h"
#include "mjpeg_encoder.h"
#include "temp_env.h"

using namespace ormolith;
using suite::test::readFileBytes;
using suite::test::TempDir;

namespace {

const std::string kOrbit = std::string(ORMOLITH_EXAMPLES) + "/menger-orbit.ifs";

struct AnimateRun {
    int code;
    std::string err;
};

AnimateRun animate(std::vector<std::string> args)
{
    std::string error;
    args.insert(args.begin(), "--animate");
    const auto cmd = parseCommandLine(args, error);
    EXPECT_TRUE(cmd) << error;
    if (!cmd)
        return {2, error};
    std::ostringstream out, err;
    const int code = runBatch(*cmd, out, err, makeMjpegEncoder);
    return {code, err.str()};
}

std::string parseError(std::vector<std::string> args)
{
    std::string error;
    EXPECT_FALSE(parseCommandLine(args, error)) << "accepted";
    return error;
}

} // namespace

TEST(AnimateCommandLine, OptionsAndTheirMistakes)
{
    std::string error;
    auto cmd = parseCommandLine({"--animate", "o.avi", "--codec", "dib", "--quality", "40",
                                 "--frames", "20-39", "--size", "64x48", "a.ifs"},
                                error);
    ASSERT_TRUE(cmd) << error;
    EXPECT_EQ(cmd->action, CommandLine::Action::animate);
    EXPECT_EQ(cmd->codec, "dib");
    EXPECT_EQ(cmd->quality, 40);
    EXPECT_EQ(cmd->frameFirst, 20);
    EXPECT_EQ(cmd->frameLast, 39);
    EXPECT_EQ(cmd->width, 64);
    cmd = parseCommandLine({"--animate", "o.avi", "--frames", "7-", "a.ifs"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->frameFirst, 7);
    EXPECT_EQ(cmd->frameLast, -1);
    cmd = parseCommandLine({"--animate", "o.avi", "a.ifs"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->codec, "mjpeg");
    EXPECT_EQ(cmd->frameLast, -1);

    EXPECT_EQ(parseError({"--animate", "o.avi", "--codec", "xvid", "a.ifs"}),
              "--codec needs dib or mjpeg, not 'xvid'");
    EXPECT_EQ(parseError({"--animate", "o.avi", "--quality", "0", "a.ifs"}),
              "--quality needs a number from 1 to 100, not '0'");
    EXPECT_EQ(parseError({"--animate", "o.avi", "--frames", "9-3", "a.ifs"}),
              "--frames needs FIRST-LAST frame numbers from 0 (FIRST <= LAST), not '9-3'");
    EXPECT_EQ(parseError({"--animate", "o.avi", "--frames", "-3", "a.ifs"}),
              "--frames needs FIRST-LAST frame numbers from 0 (FIRST <= LAST), not '-3'");
    EXPECT_EQ(parseError({"--animate", "o.avi", "--sample", "3"}), "--animate needs FILE.ifs");
    EXPECT_EQ(parseError({"--render", "o.bmp", "--codec", "dib", "a.ifs"}),
              "--codec needs --animate");
    EXPECT_EQ(parseError({"--save", "o.ifs", "--size", "9x9", "a.ifs"}),
              "--size needs --render or --animate");
    EXPECT_EQ(parseError({"--animate", "o.avi", "--render", "o.bmp", "a.ifs"}),
              "only one of --save, --render, --animate, --help, --version may be given "
              "(--render)");
}

TEST(AnimateBatch, FfprobeReadsBothCodecsWithFramesSizeAndRate)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    for (const char* codec : {"dib", "mjpeg"}) {
        SCOPED_TRACE(codec);
        const auto file = dir / (std::string(codec) + ".avi");
        const AnimateRun r = animate({file.string(), "--size", "18x12", "--codec", codec, kOrbit});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.err.find("frame 40 of 40"), std::string::npos) << r.err;
        const avitest::Probe p = avitest::probe(file);
        EXPECT_EQ(p.codec, std::string(codec) == "dib" ? "rawvideo" : "mjpeg");
        EXPECT_EQ(p.frames, 40u);
        EXPECT_EQ(p.width, 18u);
        EXPECT_EQ(p.height, 12u);
        EXPECT_EQ(p.rate, "15/1");
    }
}

TEST(AnimateBatch, AFullFrameDecodesToThePixelsOfRender)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    // 33 pixels make rows of 99 bytes, padded to 100 in the bitmap and in the video.
    const AnimateRun r = animate(
        {(dir / "f.avi").string(), "--size", "33x23", "--codec", "dib", "--frames", "0-0", kOrbit});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string error;
    const auto render =
        parseCommandLine({"--render", (dir / "f.bmp").string(), "--size", "33x23", kOrbit}, error);
    ASSERT_TRUE(render);
    std::ostringstream out, err;
    ASSERT_EQ(runBatch(*render, out, err), 0) << err.str();

    // The example's scene stands at key frame 0, so frame 0 is the picture --render builds.
    const std::string bmp = readFileBytes(dir / "f.bmp");
    const std::uint32_t pixelsAt = avitest::le32(bmp, 10);
    std::string topDown;
    for (int y = 22; y >= 0; --y)
        topDown += bmp.substr(pixelsAt + std::size_t(y) * 100, 99);
    const std::string decoded = avitest::decodeBgr(dir / "f.avi");
    ASSERT_EQ(decoded.size(), 33u * 23u * 3u);
    EXPECT_TRUE(decoded == topDown);
}

TEST(AnimateBatch, PartsJoinedByConcatEqualTheWholeFile)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    for (const auto& [name, frames] :
         {std::pair{"whole", "0-39"}, std::pair{"part1", "0-19"}, std::pair{"part2", "20-39"}}) {
        const AnimateRun r = animate({(dir / (std::string(name) + ".avi")).string(), "--size",
                                      "16x12", "--codec", "mjpeg", "--frames", frames, kOrbit});
        ASSERT_EQ(r.code, 0) << r.err;
    }
    EXPECT_EQ(avitest::probe(dir / "part1.avi").frames, 20u);
    suite::test::writeFileBytes(dir / "parts.txt", "file 'part1.avi'\nfile 'part2.avi'\n");
    int status = -1;
    avitest::run("cd " + avitest::quoted(dir.path()) +
                     " && ffmpeg -v error -f concat -safe 0 -i parts.txt -c copy joined.avi",
                 &status);
    ASSERT_EQ(status, 0);
    const std::string whole = avitest::frameHashes(dir / "whole.avi");
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 40);
    EXPECT_EQ(avitest::frameHashes(dir / "joined.avi"), whole);
}

TEST(AnimateBatch, AFileSizeLimitEndsWithTheMessageAndAPlayableFile)
{
    REQUIRE_FFMPEG();
    TempDir dir;
    // 64x48 full frames are 9216 bytes; a limit of 24 KiB holds the headers and two of them.
    int status = -1;
    // bash counts the limit in KiB (a POSIX sh in 512-byte blocks).
    const std::string err = avitest::run("bash -c \"cd " + avitest::quoted(dir.path()) +
                                             " && ulimit -f 24 && exec " ORMOLITH_EXE
                                             " --animate full.avi --size 64x48 --codec dib " +
                                             avitest::quoted(kOrbit) + " 2>&1\"",
                                         &status);
    EXPECT_TRUE(WIFEXITED(status)) << "killed instead of failing: " << err;
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_NE(err.find("Ormolith: Can't write frame to avi file\nMay be the selected codec driver "
                       "is broken\nor disk is full\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("holds the 2 frame(s) written before the failure"), std::string::npos)
        << err;
    EXPECT_EQ(avitest::probe(dir / "full.avi").frames, 2u);
}

TEST(AnimateBatch, RefusesWhatItCannotProduce)
{
    TempDir dir;
    AnimateRun r =
        animate({(dir / "x.avi").string(), "--frames", "40-50", "--codec", "dib", kOrbit});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("has 40 frames (0-39)"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.avi"));

    r = animate({(dir / "no" / "x.avi").string(), "--size", "8x8", "--codec", "dib", kOrbit});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Ormolith: Can't open avi file to save animation\n"), std::string::npos)
        << r.err;

    // Without the JPEG factory (a build without Qt) only full frames are offered.
    std::string error;
    const auto cmd = parseCommandLine(
        {"--animate", (dir / "y.avi").string(), "--codec", "mjpeg", kOrbit}, error);
    ASSERT_TRUE(cmd);
    std::ostringstream out, err;
    EXPECT_EQ(runBatch(*cmd, out, err), 1);
    EXPECT_NE(err.str().find("Can't create compressed stream"), std::string::npos) << err.str();
}

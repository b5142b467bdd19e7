// The document: samples, titles, and the document file written and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

#include "affine_scene.h"
#include "fractal_doc.h"
#include "mebius_scene.h"
#include "samples.h"
#include "save_rules.h"
#include "temp_env.h"

using namespace ormolith;
using suite::test::readFileBytes;
using suite::test::TempDir;
using suite::test::writeFileBytes;
namespace fs = std::filesystem;

namespace {

const fs::path kData = ORMOLITH_TEST_DATA;

std::string written(CFractal_Doc& doc)
{
    std::ostringstream out;
    doc.writeDocument(out);
    return out.str();
}

std::size_t countFiles(const fs::path& dir)
{
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

struct RecordingListener : SceneListener {
    bool attached = true;
    int detaches = 0, attaches = 0;
    const FractalScene* seenAfter = nullptr;
    bool sceneAboutToBeReplaced(CFractal_Doc&) override
    {
        ++detaches;
        return attached;
    }
    void sceneReplaced(CFractal_Doc& doc) override
    {
        ++attaches;
        seenAfter = doc.scene();
    }
};

} // namespace

TEST(DocumentFile, SavedSamplesMatchTheHandWrittenFiles)
{
    TempDir dir;
    for (auto [index, name] :
         {std::pair{0, "sample-0-koch-snowflake.ifs"}, {8, "sample-8-appolony-set.ifs"}}) {
        CFractal_Doc doc;
        ASSERT_TRUE(doc.loadSample(index));
        const fs::path out = dir / name;
        ASSERT_TRUE(doc.saveDocument(out.string()));
        EXPECT_EQ(readFileBytes(out), readFileBytes(kData / name)) << name;
    }
}

TEST(DocumentFile, EverySampleOpensAndSavesAgainIdentically)
{
    TempDir dir;
    for (int i = 0; i < kSampleCount; ++i) {
        CFractal_Doc original;
        ASSERT_TRUE(original.loadSample(i));
        const fs::path first = dir / ("first" + std::to_string(i) + ".ifs");
        ASSERT_TRUE(original.saveDocument(first.string()));

        CFractal_Doc reopened(1 - original.kind); // start from the other kind on purpose
        ASSERT_TRUE(reopened.openDocument(first.string()));
        EXPECT_EQ(reopened.kind, original.kind);
        EXPECT_EQ(reopened.scene()->fractalType(), static_cast<int>(original.kind));
        EXPECT_EQ(reopened.lastUnmatchedLines(), 0) << i;
        const fs::path second = dir / ("second" + std::to_string(i) + ".ifs");
        ASSERT_TRUE(reopened.saveDocument(second.string()));
        EXPECT_EQ(readFileBytes(first), readFileBytes(second)) << kSampleNames[i];
        EXPECT_TRUE(reopened.scene()->prepareSets()) << reopened.scene()->errorText;
    }
}

TEST(DocumentFile, RealsKeepSixDigitsAndEveryParameterKindRoundTrips)
{
    CFractal_Doc doc;
    doc.loadSample(6);
    FractalScene& s = *doc.scene();
    s.camera.fieldOfView = 0.1234567;
    s.mode = true;
    s.antialiasing = 2;
    s.advancedColors = 1;
    s.materialAttachment = 0;
    s.lights[0].kind = kSpot;
    s.lights[1].kind = kParallel;
    s.lights[2].attenuationConstant = 0.25;
    s.materials[4].shininess = 42;
    s.background.blue = 0.75;
    std::stringstream file(written(doc));

    CFractal_Doc other;
    ASSERT_TRUE(other.readDocument(file));
    const FractalScene& r = *other.scene();
    EXPECT_EQ(r.camera.fieldOfView, 0.123457);
    EXPECT_TRUE(r.mode);
    EXPECT_EQ(r.antialiasing, 2);
    EXPECT_EQ(r.advancedColors, 1);
    EXPECT_EQ(r.materialAttachment, 0);
    EXPECT_EQ(r.lights[0].kind, kSpot);
    EXPECT_EQ(r.lights[1].kind, kParallel);
    EXPECT_EQ(r.lights[2].attenuationConstant, 0.25);
    EXPECT_EQ(r.materials[4].shininess, 42);
    EXPECT_EQ(r.background.blue, 0.75);
    EXPECT_EQ(r.currentSet, 2);
    EXPECT_EQ(other.lastUnmatchedLines(), 0);
    EXPECT_EQ(written(other), written(doc));
}

TEST(DocumentFile, OutOfRangeChoicesWriteAFileThatReadsBackInStep)
{
    // Choice values are written by name modulo the number of names; the rows under them must
    // follow the same name, or every later line would be shifted when the file is read.
    CFractal_Doc doc;
    doc.loadSample(0);
    FractalScene& s = *doc.scene();
    s.lights[0].kind = 5;                                       // written "Parallel"
    s.lights[1].kind = -2;                                      // written "Spot"
    s.advancedColors = -1;                                      // written "On"
    s.materialAttachment = 2;                                   // written "Subsets"
    dynamic_cast<AffineScene&>(s).maps[0].submaps[0].kind = 10; // written "Matrix"
    const std::string text = written(doc);
    std::stringstream file(text);
    CFractal_Doc other;
    ASSERT_TRUE(other.readDocument(file));
    EXPECT_EQ(other.lastUnmatchedLines(), 0);
    EXPECT_EQ(written(other), text);
    EXPECT_EQ(other.scene()->lights[0].kind, kParallel);
    EXPECT_EQ(other.scene()->lights[1].kind, kSpot);
}

TEST(DocumentFile, AnimationPartInItsOrder)
{
    CFractal_Doc doc;
    doc.loadSample(7);
    doc.animVarNames = {"Camera.X Position"};
    doc.animKeyValues = {0.5, 2};
    doc.animFramesCount = {20, 20};
    const std::string text = written(doc);
    const std::string tail = "<var name=\"Animated variables\" value=\"1\"/>\n"
                             "<var name=\"Number of frames\" value=\"2\"/>\n"
                             "<folder name=\"Animation info\">\n"
                             "\t<var name=\"variable0\" value=\"Camera.X Position\"/>\n"
                             "\t<var name=\"frame0\" value=\"0.5\"/>\n"
                             "\t<var name=\"frame1\" value=\"2\"/>\n"
                             "\t<var name=\"framesCount0\" value=\"20\"/>\n"
                             "\t<var name=\"framesCount1\" value=\"20\"/>\n"
                             "</folder>\n"
                             "</document>\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    // Two variables, three key frames, variable-major values; a name with a quote in it.
    doc.animVarNames = {"Maps.Map 1.Submap[1].Angle", "odd \"name\""};
    doc.animKeyValues = {1, 2, 3, 10, 20, 30};
    doc.animFramesCount = {5, 6, 7};
    EXPECT_EQ(doc.keyFrameCount(), 3u);
    std::stringstream file(written(doc));
    CFractal_Doc other;
    ASSERT_TRUE(other.readDocument(file));
    EXPECT_EQ(other.animVarNames, doc.animVarNames);
    EXPECT_EQ(other.animKeyValues, doc.animKeyValues);
    EXPECT_EQ(other.animFramesCount, doc.animFramesCount);
    EXPECT_EQ(other.lastUnmatchedLines(), 0);
}

TEST(DocumentFile, NoAnimationWritesNothingAndReadsEmpty)
{
    CFractal_Doc doc;
    doc.loadSample(7);
    EXPECT_EQ(doc.keyFrameCount(), 2u);
    const std::string text = written(doc);
    EXPECT_EQ(text.find("Animat"), std::string::npos);
    const std::string end = "\t</folder>\n</folder>\n</document>\n"; // Background, Material
    EXPECT_EQ(text.substr(text.size() - end.size()), end);

    CFractal_Doc other;
    other.animVarNames = {"stale"};
    other.animKeyValues = {1, 2};
    other.animFramesCount = {20, 20};
    std::stringstream file(text);
    ASSERT_TRUE(other.readDocument(file));
    EXPECT_TRUE(other.animVarNames.empty());
    EXPECT_TRUE(other.animKeyValues.empty());
    EXPECT_TRUE(other.animFramesCount.empty());
    EXPECT_EQ(other.lastUnmatchedLines(), 0);
    EXPECT_EQ(other.keyFrameCount(), 2u);
}

TEST(DocumentFile, AFileOfTheOtherKindReplacesTheScene)
{
    CFractal_Doc doc; // affine, with edits that must not survive
    doc.scene()->lightCount = 7;
    doc.scene()->mapCount = 9;
    const FractalScene* before = doc.scene();
    std::stringstream file("<?xml version=\"1.0\"?>\n<document>\n"
                           "<var name=\"Fractal Type\" value=\"Mebius\"/>\n</document>\n");
    ASSERT_TRUE(doc.readDocument(file));
    EXPECT_NE(doc.scene(), before);
    EXPECT_EQ(doc.kind, 1u);
    ASSERT_NE(dynamic_cast<MebiusScene*>(doc.scene()), nullptr);
    EXPECT_EQ(doc.scene()->lightCount, 3); // a fresh scene's defaults, not the old values
    EXPECT_EQ(doc.scene()->mapCount, 0);
    EXPECT_EQ(doc.title(), "Mebius System");

    // An unknown type name reads as affine.
    std::stringstream odd("<?xml version=\"1.0\"?>\n<document>\n"
                          "<var name=\"Fractal Type\" value=\"Fractal\"/>\n</document>\n");
    ASSERT_TRUE(doc.readDocument(odd));
    EXPECT_EQ(doc.kind, 0u);
    ASSERT_NE(dynamic_cast<AffineScene*>(doc.scene()), nullptr);

    // A type line that does not match at all leaves the document's kind as it was: a Moebius
    // document stays Moebius (with a fresh scene) instead of turning affine.
    CFractal_Doc mebius(kMebiusType);
    std::stringstream missing("<?xml version=\"1.0\"?>\n<document>\n"
                              "<var name=\"Fractal kind\" value=\"Affine\"/>\n</document>\n");
    ASSERT_TRUE(mebius.readDocument(missing));
    EXPECT_EQ(mebius.kind, 1u);
    EXPECT_NE(dynamic_cast<MebiusScene*>(mebius.scene()), nullptr);
}

TEST(DocumentFile, AMissingLineShiftsAndFailsTheLaterLines)
{
    std::string text = readFileBytes(kData / "sample-0-koch-snowflake.ifs");
    const std::string line = "\t<var name=\"Number of maps\" value=\"5\"/>\n";
    const std::size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos);
    text.erase(at, line.size());

    CFractal_Doc doc;
    std::stringstream file(text);
    ASSERT_TRUE(doc.readDocument(file)); // no message, no failure: the values just stay
    const FractalScene& s = *doc.scene();
    EXPECT_EQ(s.mapCount, 0);
    EXPECT_EQ(s.setCount, 0);
    EXPECT_EQ(s.errorText, "");
    EXPECT_GT(doc.lastUnmatchedLines(), 10);
    // Lines before the gap were read.
    EXPECT_EQ(s.precision, 2.0);
    EXPECT_EQ(s.camera.position.z, -80);
}

TEST(DocumentFile, CrLfFilesReadAsWell)
{
    std::string text = readFileBytes(kData / "sample-8-appolony-set.ifs");
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    CFractal_Doc doc;
    std::stringstream file(crlf);
    ASSERT_TRUE(doc.readDocument(file));
    EXPECT_EQ(doc.lastUnmatchedLines(), 0);
    EXPECT_EQ(written(doc), text);
}

TEST(DocumentFile, SavingReplacesTheOldFileOnlyWhenComplete)
{
    TempDir dir;
    CFractal_Doc doc;
    doc.loadSample(7);
    const fs::path path = dir / "tree.ifs";
    writeFileBytes(path, "old content");
    ::chmod(path.c_str(), 0640);
    doc.setModified();
    ASSERT_TRUE(doc.saveDocument(path.string()));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(readFileBytes(path), written(doc));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);   // replacing keeps the permissions
    EXPECT_EQ(countFiles(dir.path()), 1u); // no temporary file left

    // Saving through a symbolic link writes the linked file and keeps the link.
    const fs::path link = dir / "link.ifs";
    fs::create_symlink(path.filename(), link);
    doc.loadSample(2);
    ASSERT_TRUE(doc.saveDocument(link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileBytes(path), written(doc));
    fs::remove(link);

    // A target that cannot be replaced: nothing changes, nothing is left behind.
    doc.setModified();
    fs::create_directory(dir / "folder.ifs");
    EXPECT_FALSE(doc.saveDocument((dir / "folder.ifs").string()));
    EXPECT_FALSE(doc.saveDocument((dir / "missing" / "x.ifs").string()));
    EXPECT_FALSE(doc.lastError().empty());
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(countFiles(dir.path()), 2u);
    EXPECT_TRUE(fs::is_empty(dir / "folder.ifs"));
}

TEST(DocumentFile, OpeningWhatCannotBeReadChangesNothing)
{
    TempDir dir;
    CFractal_Doc doc;
    doc.loadSample(3);
    doc.setModified();
    const FractalScene* scene = doc.scene();
    EXPECT_FALSE(doc.openDocument((dir / "absent.ifs").string()));
    EXPECT_FALSE(doc.openDocument(dir.path().string())); // a directory
    // A pipe would block the open until someone writes to it; a device may never end.
    const fs::path fifo = dir / "pipe.ifs";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(doc.openDocument(fifo.string()));
    EXPECT_FALSE(doc.openDocument("/dev/zero"));
    EXPECT_EQ(doc.scene(), scene);
    EXPECT_EQ(doc.title(), "Menger's Sponge");
    EXPECT_TRUE(doc.isModified());
}

TEST(Document, TitlesSamplesAndSceneReplacement)
{
    CFractal_Doc doc;
    EXPECT_EQ(doc.title(), "Affine System");
    EXPECT_EQ(doc.sampleIndex, -1);
    EXPECT_EQ(doc.animFps, 15u);
    EXPECT_EQ(doc.animStartFrom, 0u);
    EXPECT_FALSE(doc.animDontSave);
    EXPECT_EQ(doc.scene()->mapCount, 0); // a fresh scene cannot be built yet

    RecordingListener bar;
    doc.listener = &bar;
    doc.setKind(1);
    EXPECT_EQ(doc.title(), "Mebius System");
    EXPECT_EQ(bar.detaches, 1);
    EXPECT_EQ(bar.attaches, 1);
    EXPECT_EQ(bar.seenAfter, doc.scene());

    doc.animOutputPath = "/tmp/old.avi";
    doc.setModified();
    ASSERT_TRUE(doc.loadSample(2));
    EXPECT_EQ(doc.title(), "Sierpinski's Tetrahedron");
    EXPECT_EQ(doc.kind, 0u);
    EXPECT_EQ(doc.sampleIndex, 2);
    EXPECT_TRUE(doc.animOutputPath.empty());
    EXPECT_FALSE(doc.isModified());

    ASSERT_TRUE(doc.loadSample(8));
    EXPECT_EQ(doc.title(), "Appolony Set");
    EXPECT_EQ(doc.kind, 1u);
    ASSERT_NE(dynamic_cast<MebiusScene*>(doc.scene()), nullptr);

    // The title rule of an affine document names the loaded sample.
    doc.setKind(0);
    EXPECT_EQ(doc.title(), "Appolony Set");
    doc.sampleIndex = -1;
    doc.setKind(0);
    EXPECT_EQ(doc.title(), "Affine System");

    // A listener that was not showing this document is not re-attached.
    bar.attached = false;
    const int attaches = bar.attaches;
    doc.setKind(0);
    EXPECT_EQ(bar.attaches, attaches);

    EXPECT_FALSE(doc.loadSample(9));
    EXPECT_FALSE(doc.loadSample(-1));
    EXPECT_EQ(doc.title(), "Affine System");
    doc.listener = nullptr;
}

TEST(DocumentFile, AReadOnlyDocumentIsRefusedAndKept)
{
    SUITE_EXPECT_AS_ORDINARY_USER([] {
        suite::test::ScratchFolder folder;
        const fs::path path = folder.path() / "kept.ifs";
        suite::test::putFile(path, "old", 0444);
        CFractal_Doc doc;
        doc.loadSample(1);
        doc.setModified();
        std::string failures;
        if (doc.saveDocument(path.string()))
            failures += "a read-only document was replaced\n";
        if (!doc.isModified())
            failures += "the refused save cleared the modified flag\n";
        if (suite::test::fileText(path) != "old")
            failures += "its bytes changed\n";
        return failures;
    });
}

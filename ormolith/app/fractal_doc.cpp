#include "fractal_doc.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "affine_scene.h"
#include "doc_file_archive.h"
#include "mebius_scene.h"
#include "samples.h"
#include <save_file.h>

namespace ormolith {

namespace {

const char* const kFractalTypes[] = {"Affine", "Mebius"};

// Bounds for the animation counts of a file: far above anything the dialog can make (a scene
// has a few thousand real parameters), far below what would exhaust memory.
constexpr std::int32_t kMaxAnimatedVariables = 100000;
constexpr std::int32_t kMaxKeyFrames = 100000;
constexpr std::int64_t kMaxKeyValues = 4000000;

std::string numbered(const char* format, std::size_t n)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, format, unsigned(n));
    return buffer;
}

} // namespace

std::unique_ptr<FractalScene> makeScene(unsigned kind)
{
    if (kind == kMebiusType)
        return std::make_unique<MebiusScene>();
    return std::make_unique<AffineScene>();
}

CFractal_Doc::CFractal_Doc(unsigned kind)
{
    setKind(kind);
}

CFractal_Doc::~CFractal_Doc()
{
    if (listener)
        listener->sceneAboutToBeReplaced(*this);
}

void CFractal_Doc::setKind(unsigned newKind)
{
    kind = newKind;
    installScene(makeScene(newKind));
}

void CFractal_Doc::installScene(std::unique_ptr<FractalScene> scene)
{
    const bool reattach = listener && listener->sceneAboutToBeReplaced(*this);
    params.clear(); // its value pointers point into the old scene
    scene_ = std::move(scene);
    modified_ = false;
    title_.clear();
    applyTitleRule();
    if (reattach)
        listener->sceneReplaced(*this);
}

void CFractal_Doc::applyTitleRule()
{
    if (!title_.empty())
        return;
    if (kind == kMebiusType)
        title_ = "Mebius System";
    else if (sampleIndex >= 0 && sampleIndex < kSampleCount)
        title_ = kSampleNames[sampleIndex];
    else
        title_ = "Affine System";
}

bool CFractal_Doc::loadSample(int index)
{
    std::unique_ptr<FractalScene> sample = makeSample(index);
    if (!sample)
        return false;
    sampleIndex = index;
    kind = static_cast<unsigned>(sample->fractalType());
    installScene(std::move(sample));
    title_ = kSampleNames[index];
    animOutputPath.clear();
    return true;
}

unsigned CFractal_Doc::keyFrameCount() const
{
    if (animVarNames.empty())
        return 2;
    return static_cast<unsigned>(animKeyValues.size() / animVarNames.size());
}

bool CFractal_Doc::describeAnimation(ParamArchive& ar, Animation& a)
{
    const bool writing = ar.isWriting();
    const std::size_t keyFrames = a.varNames.empty() ? 0 : a.keyValues.size() / a.varNames.size();
    if (writing && (a.varNames.empty() || keyFrames == 0))
        return false;

    std::int32_t variables = static_cast<std::int32_t>(a.varNames.size());
    std::int32_t frames = static_cast<std::int32_t>(keyFrames);
    const bool present = describeParam(ar, "Animated variables", &variables, kKindInt);
    if (!present)
        variables = 0;
    if (!describeParam(ar, "Number of frames", &frames, kKindInt))
        frames = 0;
    if (!writing) {
        // Counts from a file are only believed when the arrays they ask for are sane.
        if (variables < 0 || variables > kMaxAnimatedVariables || frames < 0 ||
            frames > kMaxKeyFrames || std::int64_t(variables) * frames > kMaxKeyValues)
            variables = frames = 0;
        a.varNames.assign(static_cast<std::size_t>(variables), std::string());
        a.keyValues.assign(static_cast<std::size_t>(variables) * static_cast<std::size_t>(frames),
                           0.0);
        a.framesCount.assign(static_cast<std::size_t>(frames), 0);
    }
    const std::size_t nv = static_cast<std::size_t>(variables);
    const std::size_t nk = static_cast<std::size_t>(frames);

    describeGroup(ar, "Animation info", [&] {
        for (std::size_t v = 0; v < nv; ++v) {
            const char* name = writing ? a.varNames[v].c_str() : nullptr;
            if (describeParam(ar, numbered("variable%u", v), &name, kKindTextPtr) && !writing)
                a.varNames[v] =
                    name ? name : ""; // the archive's text lives only until the next visit
            for (std::size_t k = 0; k < nk; ++k)
                describeParam(ar, numbered("frame%u", k), &a.keyValues[k + v * nk], kKindReal);
        }
        for (std::size_t k = 0; k < nk; ++k) {
            // A key frame the animation dialog never opened counts its default 20 frames.
            std::int32_t count =
                k < a.framesCount.size() ? static_cast<std::int32_t>(a.framesCount[k]) : 20;
            if (describeParam(ar, numbered("framesCount%u", k), &count, kKindInt) && !writing)
                a.framesCount[k] = static_cast<unsigned>(std::max(count, 0));
        }
    });
    return present;
}

void CFractal_Doc::writeDocument(std::ostream& out)
{
    DocFileArchive ar(out);
    ar.beginDocument();
    std::int32_t type = static_cast<std::int32_t>(kind == kMebiusType ? 1 : 0);
    describeParam(ar, "Fractal Type", &type, 2, kFractalTypes);
    scene_->describeParameters(ar);
    Animation animation{animVarNames, animKeyValues, animFramesCount};
    describeAnimation(ar, animation);
    ar.endDocument();
}

bool CFractal_Doc::saveDocument(const std::string& path)
{
    lastError_.clear();
    if (!scene_) {
        lastError_ = "no scene";
        return false;
    }
    // The whole file is made in memory first; the old file is replaced only by a complete one.
    std::ostringstream text;
    writeDocument(text);
    if (!suite::saveFile(path, text.str(), &lastError_))
        return false;
    modified_ = false;
    return true;
}

bool CFractal_Doc::openDocument(const std::string& path)
{
    lastError_.clear();
    // Only a plain file is a document: a directory cannot be read, and a pipe or a device
    // would block the open or never end.
    std::error_code ec;
    if (!scene_ || !std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // Our reader is lenient (unknown lines keep their defaults), so a binary file of the other
    // .ifs kind would open as a default scene; it is refused with the program that opens it.
    char head[16] = {};
    in.read(head, sizeof head);
    if (isFractalsDocument(std::string_view(head, static_cast<std::size_t>(in.gcount())))) {
        lastError_ = kFractalsDocumentText;
        return false;
    }
    in.clear();
    in.seekg(0);
    return readDocument(in);
}

bool isFractalsDocument(std::string_view head)
{
    // A length-prefixed single-byte text, then the 32-bit magic 41000 (0x0000A028).
    constexpr std::string_view kHeader("\x08Kaleidra\x28\xA0\x00\x00", 13);
    return head.starts_with(kHeader);
}

bool CFractal_Doc::readDocument(std::istream& in)
{
    // Everything is read into a new scene and new animation arrays; the document changes only
    // when the whole file has been read, so a failing read never leaves a half-read scene.
    DocFileArchive ar(in);
    ar.beginDocument();
    // A "Fractal Type" line that does not match leaves the document's own kind in place.
    std::int32_t type = kind == kMebiusType ? 1 : 0;
    describeParam(ar, "Fractal Type", &type, 2, kFractalTypes);
    const unsigned newKind = type == 1 ? kMebiusType : kAffineType;
    std::unique_ptr<FractalScene> fresh = makeScene(newKind);
    fresh->describeParameters(ar);
    Animation animation;
    // A file without animation fails the animation's visits on purpose; those are no mismatch.
    const int unmatchedInScene = ar.unmatchedLines();
    const bool animated = describeAnimation(ar, animation);
    ar.endDocument();
    if (in.bad())
        return false;

    kind = newKind;
    installScene(std::move(fresh));
    animVarNames = std::move(animation.varNames);
    animKeyValues = std::move(animation.keyValues);
    animFramesCount = std::move(animation.framesCount);
    lastUnmatched_ = animated ? ar.unmatchedLines() : unmatchedInScene;
    return true;
}

} // namespace ormolith

#pragma once
// One open fractal: its scene, the parameter list the user interface sees, and the animation
// data. This part of the document knows no windows; the view, the build worker and the image
// attach to it.
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "image_buffer.h"
#include "param.h"
#include "scene.h"

namespace ormolith {

// The framework's texts for a file that cannot be read or written.
inline constexpr const char* kOpenFailedText = "Failed to open document.";
inline constexpr const char* kSaveFailedText = "Failed to save document.";
// Said after kOpenFailedText when the file is a document of the suite's 2D program: its IFS
// documents share the extension .ifs with ours.
inline constexpr const char* kFractalsDocumentText =
    "This is a document of fractals, not of Ormolith: open it with fractals.";

// True when `head` (the first bytes of a file) starts with the header of a fractals document:
// the product text "Kaleidra" with its length byte, then the magic number 41000 little-endian.
bool isFractalsDocument(std::string_view head);

// The property bar shows one document's scene through value pointers into it, so it must let
// go before the scene is destroyed and may look again afterwards.
class SceneListener {
public:
    virtual ~SceneListener() = default;
    // Returns whether the listener showed this document (and wants sceneReplaced).
    virtual bool sceneAboutToBeReplaced(class CFractal_Doc& doc) = 0;
    virtual void sceneReplaced(class CFractal_Doc& doc) = 0;
};

class CFractal_Doc {
public:
    // Menu command of the first sample; command - this = sample index.
    static constexpr int kFirstSampleCommand = 32777;

    explicit CFractal_Doc(unsigned kind = kAffineType);
    ~CFractal_Doc();
    CFractal_Doc(const CFractal_Doc&) = delete;
    CFractal_Doc& operator=(const CFractal_Doc&) = delete;

    FractalScene* scene() { return scene_.get(); }
    const FractalScene* scene() const { return scene_.get(); }

    // A fresh scene of the kind (1 Moebius, anything else affine) replaces the present one.
    void setKind(unsigned kind);
    // Replaces the scene: the listener lets go first, the modified flag is cleared and the
    // title is made again by the title rule.
    void installScene(std::unique_ptr<FractalScene> scene);
    // Installs built-in sample `index` (0..8) and titles the document after it. The caller
    // starts the build. False for an index outside 0..8.
    bool loadSample(int index);

    // Write or read the document file; saving replaces `path` only with complete content, and
    // opening changes the document only after the whole file has been read.
    bool saveDocument(const std::string& path);
    bool openDocument(const std::string& path);
    // The same on streams (the file's bytes). readDocument returns false on a read error.
    void writeDocument(std::ostream& out);
    bool readDocument(std::istream& in);

    // Key frames of the animation: key values per variable, 2 when nothing is animated.
    unsigned keyFrameCount() const;

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title) { title_ = title; }
    bool isModified() const { return modified_; }
    void setModified(bool modified = true) { modified_ = modified; }
    // Why the last save or open failed, when there is more to say than the framework's text.
    const std::string& lastError() const { return lastError_; }
    // Lines of the last opened file that matched no parameter (shifted or foreign lines).
    int lastUnmatchedLines() const { return lastUnmatched_; }

    SceneListener* listener = nullptr;

    unsigned kind = kAffineType; // "Fractal Type": 0 affine, 1 Moebius
    int sampleIndex = -1;        // sample last loaded, -1 none
    int lastBuildCommand = 0;    // build command of the last build
    ParamCollector params;       // the scene's parameters as the user interface lists them
    ImageBuffer image;           // the last build's picture, sizes and status texts

    // Animation (variable-major key values: variable v at key frame k is k + v * keyFrameCount).
    std::vector<std::string> animVarNames;
    std::vector<double> animKeyValues;
    std::vector<unsigned> animFramesCount;
    unsigned animFps = 15;
    unsigned animStartFrom = 0;
    bool animDontSave = false;
    std::string animOutputPath;

private:
    struct Animation {
        std::vector<std::string> varNames;
        std::vector<double> keyValues;
        std::vector<unsigned> framesCount;
    };
    // Both directions; true when the "Animated variables" line was there (written or read).
    static bool describeAnimation(ParamArchive& ar, Animation& a);
    void applyTitleRule();

    std::unique_ptr<FractalScene> scene_;
    std::string title_;
    bool modified_ = false;
    std::string lastError_;
    int lastUnmatched_ = 0;
};

// A fresh scene of the given kind with every default.
std::unique_ptr<FractalScene> makeScene(unsigned kind);

} // namespace ormolith

#pragma once
// Producing an animation: for each frame of the loop, move the animated parameters, build the
// picture and append it to the AVI file. The window runs this on its build worker, batch mode
// on its own thread; both watch the scene's stopRequested and progressPercent and the image's
// status prefix ("5 frame of 40"). No Qt; the encoder is handed in.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "avi_writer.h"
#include "builder.h"
#include "fractal_doc.h"
#include "image_buffer.h"

namespace ormolith {

// The writer's messages, shown in a message box by the window and printed by batch mode.
inline constexpr const char* kAviOpenFailedText =
    "Can't open avi file to save animation\nMay be Video For Windows library is broken";
inline constexpr const char* kAviStreamFailedText = "Can't create avi stream to save animation";
inline constexpr const char* kAviCodecFailedText =
    "Can't create compressed stream\nMay be the selected codec driver is broken";
inline constexpr const char* kAviFormatFailedText =
    "Can't select compressed stream format\nMay be the selected codec driver is broken";
inline constexpr const char* kAviWriteFailedText =
    "Can't write frame to avi file\nMay be the selected codec driver is broken\nor disk is full";
inline constexpr const char* kAviStrangeErrorText =
    "A very strange error occurred while writing avi file.";
inline constexpr const char* kAviErrorStatus = "Avi file error";
inline constexpr const char* kStopBuildingFirstText = "Please stop fractal building first";

// What one production run does.
struct ProductionSettings {
    std::string outputPath;
    unsigned fps = 15;              // 0 means 15
    unsigned startFrom = 0;         // first frame; beyond the total means 0
    unsigned lastFrame = ~0u;       // last frame (inclusive); beyond the total means the last one
    bool dontSave = false;          // build and show the frames, write nothing
    unsigned width = 0, height = 0; // picture size of every frame
    BuildOptions build;
    // A stop request that outlives a build: buildImage clears the scene's stopRequested when it
    // starts, so a Stop given between two frames would be lost without this. The producer also
    // honours stopRequested during a build.
    const std::atomic<bool>* stop = nullptr;
    // Where the file's bytes go instead of outputPath (memory, for tests and fuzzing).
    AviSink* sink = nullptr;
};

// The settings of the document's animation for a picture of width x height.
ProductionSettings productionSettings(const CFractal_Doc& doc, unsigned width, unsigned height);

enum class ProductionEnd {
    finished, // every frame written
    stopped,  // the user stopped; the frames so far are in a complete file
    failed,   // a step failed; `message` says which (the file, if any, holds the frames so far)
};

struct ProductionResult {
    ProductionEnd end = ProductionEnd::finished;
    std::string message;        // one of the texts above, or the scene's build error
    bool buildFailed = false;   // the message is the scene's (a message box with an exclamation)
    std::string reason;         // the system's reason, for batch output ("No space left on device")
    unsigned framesWritten = 0; // frames in the file
    unsigned framesBuilt = 0;
};

// Called on the producing thread: before a frame's build starts (the status prefix is set by
// then) and after it is built (the window shows it). Frames count from 0 over the whole loop.
struct ProductionHooks {
    std::function<void(unsigned frame)> frameStarting;
    std::function<void(unsigned frame)> frameBuilt;
};

// Runs the production. `encoder` may be null when nothing is saved. The document's scene keeps
// the values of the last frame built. The image's status prefix is "%u frame of %u" during the
// run and empty afterwards.
ProductionResult produceAnimation(CFractal_Doc& doc, ImageBuffer& image,
                                  const ProductionSettings& settings, FrameEncoder* encoder,
                                  const ProductionHooks& hooks = {});

// The frames a production writes: from `first` to `last` inclusive, out of `total`.
struct FrameRange {
    unsigned first = 0, last = 0, total = 0;
    bool empty() const { return total == 0 || first > last; }
};
FrameRange productionRange(const CFractal_Doc& doc, const ProductionSettings& settings);

} // namespace ormolith

#pragma once
// Command-line handling of Ormolith: the window's jobs without a window.
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ormolith {

// One option of the command line. The parser accepts exactly these options and reads a value
// exactly when `value` names one, and --help prints one line per entry, so the help cannot
// drift from what the parser does.
struct CommandOption {
    std::string_view name;  // "--render"
    std::string_view alias; // "-h", or empty
    std::string_view value; // "OUT.bmp", or empty for a switch
    std::string_view help;  // the one line --help shows
};

std::span<const CommandOption> commandOptions();
// The option spelled `arg` (its name or its alias), or null; "--" is one of them.
const CommandOption* findOption(std::string_view arg);

struct CommandLine {
    enum class Action { window, help, version, save, render, animate };
    Action action = Action::window;
    std::string output;            // OUT of the action
    int sample = -1;               // --sample N, -1 when a file is the source
    std::string input;             // FILE.ifs, empty when a sample is the source
    int width = 640, height = 480; // --size WxH of --render
    int threads = 0;               // --threads N of --render, 0 = one per core
    // --animate: --codec dib|mjpeg, --quality Q (JPEG, 1..100), --frames A-B (inclusive;
    // frameLast -1 = to the end)
    std::string codec = "mjpeg";
    int quality = 85;
    int frameFirst = 0, frameLast = -1;
};

// True when a batch option (--save, --render, --animate and the options they take, --help,
// --version) comes before any "--". Everything else is the window's: Qt's own options (-platform,
// -style) and the document to open, even one whose name starts with "-".
bool isBatchCommandLine(const std::vector<std::string>& args);

// The file names among the arguments Qt leaves to the window: all but the first "--".
std::vector<std::string> windowFileArguments(std::vector<std::string> args);

class FrameEncoder;
// Makes the encoder named by --codec; the JPEG one needs Qt, which this library does not link,
// so the program hands in a factory. Null with `error` set when the codec is not available.
using EncoderFactory =
    std::function<std::unique_ptr<FrameEncoder>(const CommandLine& cmd, std::string& error)>;

// Parses the arguments after the program name (for the window: the ones Qt leaves). Empty optional
// and `error` set for bad arguments (the caller prints the error and the usage line and exits with
// 2).
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

std::string usageLine();
std::string helpText();

// Runs a batch action (anything but window); returns the process exit code.
// `makeEncoder` serves --animate; without one only --codec dib is available.
int runBatch(const CommandLine& cmd, std::ostream& out, std::ostream& err,
             const EncoderFactory& makeEncoder = {});

// --animate (batch_animate.cpp): produces the document's animation into cmd.output.
int animateToVideo(const CommandLine& cmd, class CFractal_Doc& doc, std::ostream& err,
                   const EncoderFactory& makeEncoder);

} // namespace ormolith

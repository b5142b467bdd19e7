#include "batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <new>
#include <thread>
#include <utility>

#include "bmp_writer.h"
#include "builder.h"
#include "fractal_doc.h"
#include "image_buffer.h"
#include "samples.h"
#include "suite_version.h"

namespace ormolith {

namespace {

bool parseSampleIndex(const std::string& text, int& index)
{
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, index);
    return ec == std::errc() && p == end && index >= 0 && index < kSampleCount;
}

// Loads the source named on the command line into the document. Prints the window's message
// and returns false when it cannot be read.
bool loadSource(const CommandLine& cmd, CFractal_Doc& doc, std::ostream& err)
{
    if (cmd.sample >= 0)
        return doc.loadSample(cmd.sample);
    if (!doc.openDocument(cmd.input)) {
        err << "Ormolith: " << cmd.input << ": " << kOpenFailedText;
        if (!doc.lastError().empty())
            err << " " << doc.lastError();
        err << "\n";
        return false;
    }
    if (doc.lastUnmatchedLines() > 0)
        err << "Ormolith: warning: " << doc.lastUnmatchedLines() << " line(s) of " << cmd.input
            << " matched no parameter; those parameters keep their defaults\n";
    return true;
}

bool parseCount(const std::string& text, int low, int high, int& value)
{
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end && value >= low && value <= high;
}

// Larger sides would ask for gigabytes of pixel records.
constexpr int kMaxSide = 16384;

bool parseSize(const std::string& text, int& width, int& height)
{
    const auto x = text.find_first_of("xX");
    return x != std::string::npos && parseCount(text.substr(0, x), 1, kMaxSide, width) &&
           parseCount(text.substr(x + 1), 1, kMaxSide, height);
}

// --frames A-B, or A- for A to the end.
bool parseFrames(const std::string& text, int& first, int& last)
{
    const auto dash = text.find('-');
    if (dash == std::string::npos || !parseCount(text.substr(0, dash), 0, INT32_MAX, first))
        return false;
    if (dash + 1 == text.size()) {
        last = -1;
        return true;
    }
    return parseCount(text.substr(dash + 1), 0, INT32_MAX, last) && last >= first;
}

// Builds the picture on a worker thread while this thread shows the progress, as the window's
// status bar would, then writes the bitmap.
int renderToBitmap(const CommandLine& cmd, FractalScene& scene, std::ostream& err)
{
    // The window asks before a build that needs more than the machine's memory; batch mode
    // has nobody to ask, so it refuses.
    const std::uint64_t needed =
        FractalScene::memoryRequired(unsigned(cmd.width), unsigned(cmd.height));
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0 && needed > std::uint64_t(pages) * std::uint64_t(pageSize)) {
        err << "Ormolith: a " << cmd.width << "x" << cmd.height << " picture needs "
            << needed / (1024 * 1024) << " MB, more than the "
            << std::uint64_t(pages) * std::uint64_t(pageSize) / (1024 * 1024)
            << " MB of memory of this machine\n";
        return 1;
    }
    ImageBuffer image;
    image.setRequestedSize(unsigned(cmd.width), unsigned(cmd.height));
    BuildOptions options;
    options.threads = cmd.threads;
    bool ok = false;
    std::atomic<bool> done{false};
    bool outOfMemory = false;
    std::thread worker([&] {
        // The picture's records take 72 bytes a pixel; a size the machine cannot hold is the
        // user's to correct, not a crash.
        try {
            ok = buildImage(scene, image, options);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        done.store(true);
    });
    const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO);
    int shown = -1;
    while (!done.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int percent = std::clamp(int(scene.progressPercent.load()), 0, 100);
        if (terminal && percent != shown) {
            err << "\rOrmolith: building " << percent << "%" << std::flush;
            shown = percent;
        } else if (!terminal && percent / 10 > shown / 10) {
            err << "Ormolith: building " << percent << "%\n";
            shown = percent;
        }
    }
    worker.join();
    if (terminal)
        err << "\r";
    if (outOfMemory) {
        err << "Ormolith: not enough memory for a " << cmd.width << "x" << cmd.height
            << " picture ("
            << FractalScene::memoryRequired(unsigned(cmd.width), unsigned(cmd.height)) /
                   (1024 * 1024)
            << " MB of pixel records)\n";
        return 1;
    }
    if (!ok) {
        err << "Ormolith: " << (scene.errorText.empty() ? "build stopped" : scene.errorText)
            << "\n";
        return 1;
    }
    std::string error;
    if (!saveBitmap(image, cmd.output, &error)) {
        err << "Ormolith: " << cmd.output << ": " << error << "\n";
        return 1;
    }
    err << "Ormolith: wrote " << cmd.output << " (" << cmd.width << "x" << cmd.height << ")\n";
    return 0;
}

} // namespace

namespace {

constexpr CommandOption kOptions[] = {
    {"--save", "", "OUT.ifs", "write the document (a sample or FILE.ifs) to OUT.ifs"},
    {"--render", "", "OUT.bmp", "build the picture and write it as a 24-bit bitmap"},
    {"--animate", "", "OUT.avi", "build the frames of the animation of FILE.ifs into a video"},
    {"--size", "", "WxH", "picture size of --render and --animate (default 640x480)"},
    {"--threads", "", "N", "worker threads of a build, 1 to 256 (default: one per core)"},
    {"--sample", "", "N", "start from built-in sample N instead of FILE.ifs (see Samples)"},
    {"--codec", "", "C",
     "frames of --animate: mjpeg (Motion JPEG, default) or dib (full frames, uncompressed)"},
    {"--quality", "", "Q", "JPEG quality of --codec mjpeg, 1 to 100 (default 85)"},
    {"--frames", "", "A-B",
     "only frames A to B of --animate (from 0, inclusive; A- runs to the end)"},
    {"--help", "-h", "", "show this help and exit"},
    {"--version", "", "", "show the version and exit"},
    {"--", "", "", "end the options (for a file whose name starts with \"-\")"},
};

// The forms of the command line after the program name: the one-line usage of an error and the
// synopsis of --help are both made from them.
constexpr std::string_view kForms[] = {
    "[FILE.ifs]",
    "--save OUT.ifs (--sample N | FILE.ifs)",
    "--render OUT.bmp [--size WxH] [--threads N] (--sample N | FILE.ifs)",
    "--animate OUT.avi [--size WxH] [--threads N] [--codec dib|mjpeg] [--quality Q] "
    "[--frames A-B] FILE.ifs",
    "--help | --version",
};

std::string twoColumns(std::string_view left, std::string_view right, std::size_t width)
{
    return "  " + std::string(left) + std::string(width - std::min(width, left.size()) + 2, ' ') +
           std::string(right) + "\n";
}

std::string optionColumn(const CommandOption& option)
{
    std::string text = option.alias.empty() ? "" : std::string(option.alias) + ", ";
    text += option.name;
    if (!option.value.empty())
        text += " " + std::string(option.value);
    return text;
}

} // namespace

std::span<const CommandOption> commandOptions()
{
    return kOptions;
}

const CommandOption* findOption(std::string_view arg)
{
    for (const CommandOption& option : kOptions)
        if (arg == option.name || (!option.alias.empty() && arg == option.alias))
            return &option;
    return nullptr;
}

std::string usageLine()
{
    std::string line = "usage: Ormolith";
    for (std::size_t i = 0; i < std::size(kForms); ++i)
        line += (i == 0 ? " " : " | ") + std::string(kForms[i]);
    return line;
}

std::string helpText()
{
    // "Usage:" and "or:" are what help2man recognises as the synopsis of the manual page, and a
    // line of an "Examples:" block with the text two blanks after the command a tagged example.
    std::string text;
    for (const std::string_view form : kForms)
        text += (text.empty() ? "Usage: Ormolith " : "  or:  Ormolith ") + std::string(form) + "\n";
    text += "\n"
            "Builds three-dimensional IFS fractals. Without options the window opens (with\n"
            "FILE.ifs, if one is given); the options below do the work without a window. Parts\n"
            "of one animation made with --frames join with ffmpeg's concat demuxer.\n"
            "\n"
            "Exit status: 0 done, 1 failed (the message is printed), 2 bad arguments.\n"
            "\n"
            "Options:\n";
    std::size_t width = 0;
    for (const CommandOption& option : kOptions)
        width = std::max(width, optionColumn(option).size());
    for (const CommandOption& option : kOptions)
        text += twoColumns(optionColumn(option), option.help, width);
    text += "\nSamples:\n";
    for (int i = 0; i < kSampleCount; ++i)
        text += twoColumns(std::to_string(i), kSampleNames[i], 1);
    const std::pair<std::string_view, std::string_view> examples[] = {
        {"Ormolith --render sponge.bmp --size 800x600 --sample 3",
         "build Menger's Sponge into a bitmap"},
        {"Ormolith --save tree.ifs --sample 7", "write the Tree sample as a document"},
        {"Ormolith --animate orbit.avi --frames 0-24 menger-orbit.ifs",
         "make the first 25 frames of a document's animation"},
    };
    width = 0;
    for (const auto& [command, what] : examples)
        width = std::max(width, command.size());
    text += "\nExamples:\n";
    for (const auto& [command, what] : examples)
        text += twoColumns(command, what, width);
    return text;
}

bool isBatchCommandLine(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return false;
        if (findOption(arg))
            return true;
    }
    return false;
}

std::vector<std::string> windowFileArguments(std::vector<std::string> args)
{
    const auto end = std::find(args.begin(), args.end(), "--");
    if (end != args.end())
        args.erase(end);
    return args;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error)
{
    CommandLine cmd;
    bool haveAction = false;
    bool sizeGiven = false, threadsGiven = false;
    std::string animateOnly; // an option that only --animate takes
    auto setAction = [&](CommandLine::Action action, const std::string& option) {
        if (haveAction) {
            error = "only one of --save, --render, --animate, --help, --version may be given (" +
                    option + ")";
            return false;
        }
        haveAction = true;
        cmd.action = action;
        return true;
    };
    if (!isBatchCommandLine(args)) {
        // The window's arguments: Qt has taken its own options out by now, so what is left
        // is the document to open, whatever its name starts with.
        const std::vector<std::string> files = windowFileArguments(args);
        if (files.size() > 1) {
            error = "only one FILE.ifs may be given";
            return std::nullopt;
        }
        if (!files.empty())
            cmd.input = files.front();
        return cmd;
    }
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        const CommandOption* option = optionsEnded ? nullptr : findOption(arg);
        if (!option) {
            if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
                error = "unknown option " + arg;
                return std::nullopt;
            }
            if (!cmd.input.empty()) {
                error = "only one FILE.ifs may be given";
                return std::nullopt;
            }
            cmd.input = arg;
            continue;
        }
        const std::string_view name = option->name;
        // A second action is refused before its value is looked for.
        if (name == "--save" || name == "--render" || name == "--animate") {
            const auto action = name == "--save"     ? CommandLine::Action::save
                                : name == "--render" ? CommandLine::Action::render
                                                     : CommandLine::Action::animate;
            if (!setAction(action, arg))
                return std::nullopt;
        }
        // The table says which options take a value, so the help line and the parser agree.
        std::string text;
        if (!option->value.empty() && !value(text))
            return std::nullopt;
        if (name == "--help") {
            if (!setAction(CommandLine::Action::help, arg))
                return std::nullopt;
        } else if (name == "--version") {
            if (!setAction(CommandLine::Action::version, arg))
                return std::nullopt;
        } else if (name == "--save" || name == "--render" || name == "--animate") {
            cmd.output = text;
        } else if (name == "--codec") {
            if (text != "dib" && text != "mjpeg") {
                error = "--codec needs dib or mjpeg, not '" + text + "'";
                return std::nullopt;
            }
            cmd.codec = text;
            animateOnly = arg;
        } else if (name == "--quality") {
            if (!parseCount(text, 1, 100, cmd.quality)) {
                error = "--quality needs a number from 1 to 100, not '" + text + "'";
                return std::nullopt;
            }
            animateOnly = arg;
        } else if (name == "--frames") {
            if (!parseFrames(text, cmd.frameFirst, cmd.frameLast)) {
                error = "--frames needs FIRST-LAST frame numbers from 0 (FIRST <= LAST), not '" +
                        text + "'";
                return std::nullopt;
            }
            animateOnly = arg;
        } else if (name == "--size") {
            if (!parseSize(text, cmd.width, cmd.height)) {
                error = "--size needs WIDTHxHEIGHT from 1x1 to " + std::to_string(kMaxSide) + "x" +
                        std::to_string(kMaxSide) + ", not '" + text + "'";
                return std::nullopt;
            }
            sizeGiven = true;
        } else if (name == "--threads") {
            if (!parseCount(text, 1, 256, cmd.threads)) {
                error = "--threads needs a number from 1 to 256, not '" + text + "'";
                return std::nullopt;
            }
            threadsGiven = true;
        } else if (name == "--sample") {
            if (cmd.sample >= 0) {
                error = "--sample given twice";
                return std::nullopt;
            }
            if (!parseSampleIndex(text, cmd.sample)) {
                error = "--sample needs a number from 0 to " + std::to_string(kSampleCount - 1) +
                        ", not '" + text + "'";
                return std::nullopt;
            }
        } else {
            error = "option " + arg + " is listed but not handled";
            return std::nullopt;
        }
    }
    if (cmd.sample >= 0 && !cmd.input.empty()) {
        error = "give either --sample N or FILE.ifs, not both";
        return std::nullopt;
    }
    if (cmd.action == CommandLine::Action::save && cmd.sample < 0 && cmd.input.empty()) {
        error = "--save needs --sample N or FILE.ifs";
        return std::nullopt;
    }
    if (cmd.action == CommandLine::Action::render && cmd.sample < 0 && cmd.input.empty()) {
        error = "--render needs --sample N or FILE.ifs";
        return std::nullopt;
    }
    if (cmd.action == CommandLine::Action::animate && cmd.input.empty()) {
        error = "--animate needs FILE.ifs";
        return std::nullopt;
    }
    if (cmd.action != CommandLine::Action::animate && !animateOnly.empty()) {
        error = animateOnly + " needs --animate";
        return std::nullopt;
    }
    if (cmd.action == CommandLine::Action::window && cmd.sample >= 0) {
        error = "--sample needs --save or --render";
        return std::nullopt;
    }
    if (cmd.action != CommandLine::Action::render && cmd.action != CommandLine::Action::animate &&
        (sizeGiven || threadsGiven)) {
        error = std::string(sizeGiven ? "--size" : "--threads") + " needs --render or --animate";
        return std::nullopt;
    }
    return cmd;
}

int runBatch(const CommandLine& cmd, std::ostream& out, std::ostream& err,
             const EncoderFactory& makeEncoder)
{
    switch (cmd.action) {
    case CommandLine::Action::help:
        out << helpText();
        return 0;
    case CommandLine::Action::version:
        out << "Ormolith " << SUITE_VERSION << "\n";
        return 0;
    case CommandLine::Action::save: {
        CFractal_Doc doc;
        if (!loadSource(cmd, doc, err))
            return 1;
        if (!doc.saveDocument(cmd.output)) {
            err << "Ormolith: " << cmd.output << ": " << kSaveFailedText;
            if (!doc.lastError().empty())
                err << " (" << doc.lastError() << ")";
            err << "\n";
            return 1;
        }
        return 0;
    }
    case CommandLine::Action::render: {
        CFractal_Doc doc;
        if (!loadSource(cmd, doc, err))
            return 1;
        return renderToBitmap(cmd, *doc.scene(), err);
    }
    case CommandLine::Action::animate: {
        CFractal_Doc doc;
        if (!loadSource(cmd, doc, err))
            return 1;
        return animateToVideo(cmd, doc, err, makeEncoder);
    }
    case CommandLine::Action::window:
        break;
    }
    err << "Ormolith: nothing to do without a window\n" << usageLine() << "\n";
    return 2;
}

} // namespace ormolith

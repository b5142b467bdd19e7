#include "batch.h"

#include "doc_types.h"
#include "palette.h"
#include "suite_version.h"
#include "web_page.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>

namespace fractals {

namespace {

struct Options {
    std::string render, save, html;
    int width = 640, height = 480;
    int threads = 0;
    std::string palette;
    std::string input;
    std::string newType;
    BatchOptionValues typeOptions; // options that belong to one kind, checked once it is known
};

// The kind that declares an option of this name, if any (several may; the first is enough to
// know how the option is spelled).
const BatchOption* kindOption(const std::string& name)
{
    for (const DocType& t : docTypes())
        for (const BatchOption& o : t.batchOptions)
            if (o.name == name)
                return &o;
    return nullptr;
}

const BatchOption* optionOf(const DocType& type, const std::string& name)
{
    for (const BatchOption& o : type.batchOptions)
        if (o.name == name)
            return &o;
    return nullptr;
}

bool parseSize(const std::string& s, int& w, int& h)
{
    const auto x = s.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    try {
        std::size_t used = 0;
        const long lw = std::stol(s.substr(0, x), &used);
        if (used != x)
            return false;
        const std::string hs = s.substr(x + 1);
        const long lh = std::stol(hs, &used);
        if (used != hs.size())
            return false;
        // Large enough for posters, small enough that the 8-bit picture fits in memory.
        if (lw < 1 || lh < 1 || lw > 20000 || lh > 20000)
            return false;
        w = static_cast<int>(lw);
        h = static_cast<int>(lh);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (auto& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

constexpr CommandOption kOptions[] = {
    {"--render", "", "OUT.bmp", "render the picture and write it as a bitmap"},
    {"--save", "", "OUT.EXT", "save the document (EXT: the extension of its type)"},
    {"--html", "", "OUT.html", "write a web page with the document's applet parameters"},
    {"--new", "", "TYPE", "start from a new document of TYPE instead of FILE"},
    {"--size", "", "WxH", "picture size of --render, 1 to 20000 each (default 640x480)"},
    {"--threads", "", "N", "render threads, 1 to 64 (default: one per core)"},
    {"--palette", "", "FILE.pal", "colour an escape-time or Henon picture with this palette"},
    {"--help", "-h", "", "show this help and exit"},
    {"--version", "", "", "show the version and exit"},
    {"--", "", "", "end the options (for a FILE whose name starts with \"-\")"},
};

std::string twoColumns(std::string_view left, std::string_view right, std::size_t width)
{
    return "  " + std::string(left) + std::string(width - std::min(width, left.size()) + 2, ' ') +
           std::string(right) + "\n";
}

std::string optionColumn(std::string_view alias, std::string_view name, std::string_view value)
{
    std::string text = alias.empty() ? "" : std::string(alias) + ", ";
    text += name;
    if (!value.empty())
        text += " " + std::string(value);
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

std::string batchHelp()
{
    // "Usage:" and "or:" are what help2man recognises as the synopsis of the manual page, and a
    // line of an "Examples:" block with the text two blanks after the command a tagged example.
    std::string text =
        "Usage: fractals [FILE]\n"
        "  or:  fractals --render OUT.bmp [--size WxH] [--threads N] [--palette FILE.pal] "
        "[TYPE OPTIONS] (FILE | --new TYPE)\n"
        "  or:  fractals --save OUT.EXT (FILE | --new TYPE)\n"
        "  or:  fractals --html OUT.html (FILE | --new TYPE)\n"
        "\n"
        "Explores two-dimensional fractals. Without options the window opens (with FILE, if\n"
        "one is given); the options below render, save or export a document without one.\n"
        "\n"
        "Exit status: 0 done, 1 failed (the message is printed), 2 bad arguments.\n"
        "\n"
        "Options:\n";
    // The kinds' own options, each once, with the kinds that take it and what each does with it.
    struct KindOptionLine {
        std::string column;
        std::vector<std::pair<std::string, std::string>> kindHelps;
        std::string text() const
        {
            const bool same = std::all_of(kindHelps.begin(), kindHelps.end(), [&](const auto& k) {
                return k.second == kindHelps.front().second;
            });
            std::string result;
            for (const auto& [kind, help] : kindHelps)
                result += (result.empty() ? ""
                           : same         ? ", "
                                          : "; ") +
                          kind + (same ? "" : ": " + help);
            return same ? result + " only: " + kindHelps.front().second : result;
        }
    };
    std::vector<KindOptionLine> kindLines;
    for (const DocType& t : docTypes())
        for (const BatchOption& o : t.batchOptions) {
            const std::string column = optionColumn("", o.name, o.valueName);
            auto line = std::find_if(kindLines.begin(), kindLines.end(),
                                     [&](const KindOptionLine& l) { return l.column == column; });
            if (line == kindLines.end())
                line = kindLines.insert(kindLines.end(), {column, {}});
            line->kindHelps.emplace_back(t.commandLineName, o.help);
        }
    std::size_t width = 0;
    for (const CommandOption& option : kOptions)
        width = std::max(width, optionColumn(option.alias, option.name, option.value).size());
    for (const KindOptionLine& line : kindLines)
        width = std::max(width, line.column.size());
    for (const CommandOption& option : kOptions) {
        // The kinds' options (TYPE OPTIONS) follow the shared ones that shape a picture.
        if (option.name == "--help")
            for (const KindOptionLine& line : kindLines)
                text += twoColumns(line.column, line.text(), width);
        text +=
            twoColumns(optionColumn(option.alias, option.name, option.value), option.help, width);
    }
    text += "\nTypes:\n";
    width = 0;
    for (const DocType& t : docTypes())
        width = std::max(width, t.commandLineName.size());
    for (const DocType& t : docTypes())
        text += twoColumns(t.commandLineName, t.field(2) + " (" + t.field(4) + ")", width);
    const std::pair<std::string_view, std::string_view> examples[] = {
        {"fractals --render mandel.bmp --size 800x600 --new mandel",
         "the Mandelbrot set as an 800x600 bitmap"},
        {"fractals --render fern.bmp --points 2000000 --seed 1 fern.ifs",
         "two million points of an IFS document"},
        {"fractals --save copy.lsf --new lsystem", "a new L-System document"},
    };
    width = 0;
    for (const auto& [command, what] : examples)
        width = std::max(width, command.size());
    text += "\nExamples:\n";
    for (const auto& [command, what] : examples)
        text += twoColumns(command, what, width);
    return text;
}

std::string batchUsage()
{
    std::string kinds;
    for (const DocType& t : docTypes()) {
        if (t.batchOptions.empty())
            continue;
        kinds += "         " + t.commandLineName + ":";
        for (const BatchOption& o : t.batchOptions)
            kinds += " [" + o.name + (o.valueName.empty() ? "" : " " + o.valueName) + "]";
        kinds += "\n";
    }
    std::string names;
    for (const DocType& t : docTypes())
        names += (names.empty() ? "" : " ") + t.commandLineName;
    return "usage: fractals [FILE]\n"
           "       fractals --render OUT.bmp [--size WxH] [--threads N] [--palette FILE.pal] (FILE "
           "| --new TYPE)\n" +
           kinds +
           "       fractals --save OUT.EXT (FILE | --new TYPE)\n"
           "       fractals --html OUT.html (FILE | --new TYPE)\n"
           "       fractals --help | --version\n"
           "       (\"--\" ends the options, for a FILE whose name starts with \"-\")\n"
           "TYPE: " +
           names + "\n";
}

bool isBatchCommandLine(const std::vector<std::string>& args)
{
    // Only the batch options: Qt's own (-platform, -style) and file names, even one that
    // starts with "-", belong to the window, and "--" ends the options.
    for (const auto& a : args) {
        if (a == "--")
            return false;
        if (findOption(a) || kindOption(a))
            return true;
    }
    return false;
}

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool errIsTerminal)
{
    Options o;
    const auto usage = [&](const std::string& why) {
        err << "fractals: " << why << "\n" << batchUsage();
        return 2;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (optionsEnded || a == "--") {
            if (!optionsEnded)
                optionsEnded = true;
            else if (o.input.empty())
                o.input = a;
            else
                return usage("more than one input file");
        } else if (const CommandOption* option = findOption(a)) {
            // The table says which options take a value, so the help line and the parser agree.
            std::string v;
            if (!option->value.empty()) {
                const auto given = value();
                if (!given)
                    return usage(a + " needs a value");
                v = *given;
            }
            const std::string_view name = option->name;
            if (name == "--help") {
                out << batchHelp();
                return 0;
            } else if (name == "--version") {
                out << "fractals (Kaleidra 98) " << SUITE_VERSION << "\n";
                return 0;
            } else if (name == "--render") {
                o.render = v;
            } else if (name == "--save") {
                o.save = v;
            } else if (name == "--html") {
                o.html = v;
            } else if (name == "--palette") {
                o.palette = v;
            } else if (name == "--new") {
                o.newType = v;
            } else if (name == "--size") {
                if (!parseSize(v, o.width, o.height))
                    return usage("bad size \"" + v + "\" (expected WxH, 1 to 20000 each)");
            } else if (name == "--threads") {
                try {
                    o.threads = std::stoi(v);
                } catch (const std::exception&) {
                    o.threads = 0;
                }
                if (o.threads < 1 || o.threads > 64)
                    return usage("bad thread count \"" + v + "\"");
            } else {
                return usage("option " + a + " is listed but not handled");
            }
        } else if (const BatchOption* kind = kindOption(a)) {
            std::string v;
            if (!kind->valueName.empty()) {
                const auto given = value();
                if (!given)
                    return usage(a + " needs a value");
                v = *given;
            }
            o.typeOptions[a] = v;
        } else if (!a.empty() && a[0] == '-') {
            return usage("unknown option " + a);
        } else if (o.input.empty()) {
            o.input = a;
        } else {
            return usage("more than one input file");
        }
    }
    if (!o.render.empty() + !o.save.empty() + !o.html.empty() != 1)
        return usage("give exactly one of --render, --save and --html");
    if (o.input.empty() == o.newType.empty())
        return usage("give either a FILE or --new TYPE");

    // The document, new or loaded.
    const DocType* type = nullptr;
    if (!o.newType.empty()) {
        type = docTypeByCommandLineName(o.newType);
        if (!type)
            return usage("unknown type \"" + o.newType + "\"");
    } else {
        type = docTypeByExtension(lowerExtension(o.input));
        if (!type)
            return usage("\"" + o.input + "\" is not a fractal document (unknown extension)");
    }
    for (const auto& [name, v] : o.typeOptions) {
        const BatchOption* own = optionOf(*type, name);
        if (!own)
            return usage(name + " does not apply to " + type->field(2) + " documents");
        if (own->accepts && !own->accepts(v))
            return usage("bad value \"" + v + "\" for " + name);
    }
    if (!type->makeDocument) {
        err << "fractals: " << type->field(2) << " documents are not available in this version.\n";
        return 1;
    }
    std::unique_ptr<CFractalDoc> doc = type->makeDocument();
    if (!o.input.empty()) {
        std::string bytes, reason;
        if (!readWholeFile(o.input, bytes, &reason)) {
            err << loadFailureMessage(o.input, reason) << "\n";
            return 1;
        }
        try {
            doc->loadFromBytes(bytes);
        } catch (const ArchiveException& e) {
            err << loadFailureMessage(o.input, documentFailureReason(bytes, e)) << "\n";
            return 1;
        }
        doc->setPathName(o.input);
    }

    if (!o.save.empty()) {
        if (lowerExtension(o.save) != type->field(4))
            return usage("a " + type->field(2) + " document is saved with the extension " +
                         type->field(4));
        std::string reason;
        if (!writeFileSafely(o.save, doc->saveToBytes(), &reason)) {
            err << "fractals: " << reason << "\n";
            return 1;
        }
        return 0;
    }

    if (!o.html.empty()) {
        if (const char* refusal = doc->webPageRefusal()) {
            err << refusal << "\n";
            return 1;
        }
        std::string title = doc->name();
        if (title.empty())
            title = o.input.empty() ? std::string("Fractal1")
                                    : std::filesystem::path(o.input).filename().string();
        if (!writeFileSafely(o.html, utf8ToCp1252(makeWebPage(*doc, title)))) {
            err << kMsgHtmlCreateFailed << "\n";
            return 1;
        }
        return 0;
    }

    if (!type->makeRule && !type->renderFile) {
        err << "fractals: " << type->field(2) << " pictures cannot be rendered in this version.\n";
        return 1;
    }
    PaletteColors palette = PaletteTable::makeDefault().colors;
    if (!o.palette.empty()) {
        std::string bytes, reason;
        if (!readWholeFile(o.palette, bytes, &reason)) {
            err << "Kaleidra was unable to load the palette from the specified file.\n"
                << reason << "\n";
            return 1;
        }
        try {
            palette = readPaletteBytes(bytes);
        } catch (const ArchiveException& e) {
            err << "Kaleidra was unable to load the palette from the specified file.\n"
                << archiveFailureReason(e) << "\n";
            return 1;
        }
    }

    RunGate gate;
    gate.start();
    std::atomic<int> progress{0};
    std::atomic<bool> done{false};
    std::thread reporter;
    if (errIsTerminal) {
        reporter = std::thread([&] {
            while (!done.load()) {
                err << "\rrendering " << progress.load() << "%" << std::flush;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            // The last figure, not 100: a render that failed half-way says so.
            err << "\rrendering " << progress.load() << "%\n" << std::flush;
        });
    }
    FileRenderResult result = FileRenderResult::writeFailed;
    std::string refusal;
    if (type->renderFile) {
        result = type->renderFile({*doc, o.width, o.height, o.threads, o.render, o.typeOptions,
                                   gate, &progress, &refusal});
    } else {
        const std::unique_ptr<EscapeRule> rule = type->makeRule(*doc, o.width, o.height);
        result = renderEscapeFile(*rule, gate, &progress,
                                  o.threads > 0 ? o.threads : defaultRenderThreads(), o.render,
                                  [&] { return palette; });
    }
    done.store(true);
    if (reporter.joinable())
        reporter.join();
    if (!refusal.empty()) {
        err << refusal << "\n";
        return 1;
    }
    if (result == FileRenderResult::outOfMemory) {
        err << "fractals: not enough memory for a " << o.width << "x" << o.height << " picture\n";
        return 1;
    }
    if (result != FileRenderResult::written) {
        err << "fractals: cannot write the bitmap " << o.render << "\n";
        return 1;
    }
    return 0;
}

} // namespace fractals

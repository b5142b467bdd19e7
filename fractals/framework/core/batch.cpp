#include "batch.h"

#include "doc_types.h"
#include "palette.h"
#include "suite_version.h"
#include "web_page.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <thread>

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

} // namespace

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
    static const std::set<std::string> batchOptions = {
        "--help",    "-h",        "--version", "--render", "--save",       "--html",    "--size",
        "--threads", "--palette", "--new",     "--points", "--iterations", "--stretch", "--seed"};
    for (const auto& a : args) {
        if (a == "--")
            return false;
        if (batchOptions.count(a))
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
        } else if (a == "--help" || a == "-h") {
            out << batchUsage();
            return 0;
        } else if (a == "--version") {
            out << "fractals (Kaleidra 98) " << SUITE_VERSION << "\n";
            return 0;
        } else if (a == "--render" || a == "--save" || a == "--html" || a == "--size" ||
                   a == "--threads" || a == "--palette" || a == "--new") {
            const auto v = value();
            if (!v)
                return usage(a + " needs a value");
            if (a == "--render")
                o.render = *v;
            else if (a == "--save")
                o.save = *v;
            else if (a == "--html")
                o.html = *v;
            else if (a == "--palette")
                o.palette = *v;
            else if (a == "--new")
                o.newType = *v;
            else if (a == "--size") {
                if (!parseSize(*v, o.width, o.height))
                    return usage("bad size \"" + *v + "\" (expected WxH, 1 to 20000 each)");
            } else {
                try {
                    o.threads = std::stoi(*v);
                } catch (const std::exception&) {
                    o.threads = 0;
                }
                if (o.threads < 1 || o.threads > 64)
                    return usage("bad thread count \"" + *v + "\"");
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
            err << loadFailureMessage(o.input, archiveFailureReason(e)) << "\n";
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

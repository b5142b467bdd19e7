#include "batch.h"

#include "files/document.h"
#include "files/ply_file.h"
#include "files/text_io.h"
#include "suite_version.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <ostream>

namespace qubex {

namespace {

class StreamMessages final : public MessageSink {
public:
    explicit StreamMessages(std::ostream& err) : err_(err) {}
    void showMessage(const std::string& text, const std::string& title) override
    {
        err_ << title << ": " << text << '\n';
    }

private:
    std::ostream& err_;
};

struct Options {
    std::optional<std::string> plyOut;
    std::optional<std::string> codeOut;
    std::optional<unsigned> seed;
    std::optional<std::string> codeIn;
    bool help = false;
    bool version = false;
};

std::optional<unsigned> parseSeed(const std::string& text)
{
    std::string_view rest(text);
    const auto value = scanInteger(rest);
    if (!value || !rest.empty() || *value < 0 || *value > std::numeric_limits<unsigned>::max())
        return std::nullopt;
    return static_cast<unsigned>(*value);
}

// Returns an error text for bad arguments.
std::optional<std::string> parse(const std::vector<std::string>& args, Options& o)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (optionsEnded) {
            if (o.codeIn)
                return "only one code file can be given";
            o.codeIn = a;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--export-ply" || a == "--save-code") {
            auto v = value();
            if (!v)
                return a + " needs a file name";
            (a == "--export-ply" ? o.plyOut : o.codeOut) = *v;
        } else if (a == "--seed") {
            auto v = value();
            if (!v)
                return "--seed needs a number";
            o.seed = parseSeed(*v);
            if (!o.seed)
                return "--seed needs a whole number from 0 to 4294967295, not \"" + *v + "\"";
        } else if (a.starts_with("-") && a != "-") {
            return "unknown option " + a;
        } else if (o.codeIn) {
            return "only one code file can be given";
        } else {
            o.codeIn = a;
        }
    }
    if (!o.help && !o.version && !o.plyOut && !o.codeOut)
        return "nothing to do: give --export-ply or --save-code";
    return std::nullopt;
}

} // namespace

std::string usageText()
{
    return "usage: qubex [FILE.qbx]\n"
           "       qubex --export-ply OUT.ply [--seed N] [FILE.qbx]\n"
           "       qubex --save-code OUT.qbx [--seed N] [FILE.qbx]\n";
}

bool isBatchInvocation(const std::vector<std::string>& args)
{
    for (const auto& a : args) {
        if (a == "--")
            return false;
        if (a == "--export-ply" || a == "--save-code" || a == "--seed" || a == "--help" ||
            a == "-h" || a == "--version")
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

int runBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Options o;
    if (const auto problem = parse(args, o)) {
        err << "qubex: " << *problem << '\n' << usageText();
        return 2;
    }
    if (o.help) {
        out << usageText()
            << "\n"
               "Without options qubex opens its window (and the code file, if one is given).\n"
               "  --export-ply OUT.ply  write the point cloud as an ASCII PLY file\n"
               "  --save-code OUT.qbx   write the code (random, or the one loaded) as a code file\n"
               "  --seed N              seed the random generator (default: the current time)\n"
               "  --measure-fps [SECONDS] [POINTS]  open the window, redraw and print frames per "
               "second\n"
               "  --help, --version\n"
               "  --                    ends the options (for a file whose name starts with -)\n"
               "The settings file "
            << settingsFilePath()
            << " supplies the matrix length, iteration, autosize and autocenter.\n";
        return 0;
    }
    if (o.version) {
        out << "qubex " << SUITE_VERSION << '\n';
        return 0;
    }

    CRandSource random;
    StreamMessages messages(err);
    Document document(random, messages);
    document.applySettings(readSettings(settingsFilePath()));
    std::srand(o.seed ? *o.seed : static_cast<unsigned>(std::time(nullptr)));
    document.newProbabilities();
    document.newMatrices();
    if (o.codeIn && document.loadCode(*o.codeIn) != CodeReadStatus::Ok)
        return 1;
    document.generatePoints();

    if (o.plyOut) {
        if (!writePlyFile(*o.plyOut, document.cloud())) {
            messages.showMessage(kCannotCreateMessage, kTitle);
            return 1;
        }
        out << "qubex: wrote " << document.cloud().count << " points to " << *o.plyOut << '\n';
    }
    if (o.codeOut) {
        if (!document.saveCode(*o.codeOut))
            return 1;
        out << "qubex: wrote a code of " << document.code().mapCount() << " maps to " << *o.codeOut
            << '\n';
    }
    return 0;
}

} // namespace qubex

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "batch.h"
#include "fractal_doc.h"
#include "suite_version.h"
#include "temp_env.h"

using namespace ormolith;
using suite::test::readFileBytes;
using suite::test::TempDir;
using suite::test::writeFileBytes;

namespace {

std::optional<CommandLine> parse(std::vector<std::string> args, std::string* error = nullptr)
{
    std::string e;
    auto cmd = parseCommandLine(args, e);
    if (error)
        *error = e;
    return cmd;
}

struct BatchRun {
    int code;
    std::string out, err;
};

BatchRun run(std::vector<std::string> args)
{
    std::string error;
    auto cmd = parseCommandLine(args, error);
    EXPECT_TRUE(cmd) << error;
    std::ostringstream out, err;
    const int code = cmd ? runBatch(*cmd, out, err) : 2;
    return {code, out.str(), err.str()};
}

} // namespace

TEST(CommandLine, AcceptedForms)
{
    auto cmd = parse({"--save", "out.ifs", "--sample", "8"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::save);
    EXPECT_EQ(cmd->output, "out.ifs");
    EXPECT_EQ(cmd->sample, 8);
    cmd = parse({"in.ifs", "--save", "out.ifs"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->input, "in.ifs");
    EXPECT_EQ(cmd->sample, -1);
    cmd = parse({"in.ifs"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::window);
    cmd = parse({});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::window);
}

TEST(CommandLine, OnlyBatchOptionsSelectBatchModeAndDoubleDashEndsOptions)
{
    // Qt's own options and a document whose name starts with "-" belong to the window.
    EXPECT_FALSE(isBatchCommandLine({"-platform", "offscreen", "a.ifs"}));
    EXPECT_FALSE(isBatchCommandLine({"-style", "fusion"}));
    EXPECT_FALSE(isBatchCommandLine({"--", "--save", "x"}));
    EXPECT_TRUE(isBatchCommandLine({"a.ifs", "--render", "o.bmp"}));
    auto cmd = parse({"-x.ifs"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::window);
    EXPECT_EQ(cmd->input, "-x.ifs");
    cmd = parse({"--", "-x.ifs"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->input, "-x.ifs");
    cmd = parse({"--save", "o.ifs", "--", "--sample"});
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::save);
    EXPECT_EQ(cmd->input, "--sample");
    EXPECT_EQ(cmd->sample, -1);
}

TEST(CommandLine, BadArgumentsSayWhy)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--save"}, "--save needs a value"},
        {{"--save", "o.ifs"}, "--save needs --sample N or FILE.ifs"},
        {{"--save", "o.ifs", "--sample", "9"}, "--sample needs a number from 0 to 8, not '9'"},
        {{"--save", "o.ifs", "--sample", "1x"}, "--sample needs a number from 0 to 8, not '1x'"},
        {{"--save", "o.ifs", "--sample", "1", "a.ifs"},
         "give either --sample N or FILE.ifs, not both"},
        {{"--save", "o.ifs", "a.ifs", "b.ifs"}, "only one FILE.ifs may be given"},
        {{"--sample", "1"}, "--sample needs --save or --render"},
        {{"--save", "o.ifs", "--frobnicate"}, "unknown option --frobnicate"},
        {{"--save", "o.ifs", "--", "a.ifs", "b.ifs"}, "only one FILE.ifs may be given"},
        {{"--help", "--version"},
         "only one of --save, --render, --animate, --help, --version may be given "
         "(--version)"},
    };
    for (const auto& [args, message] : cases) {
        std::string error;
        EXPECT_FALSE(parse(args, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(Batch, SavesSamplesAndFiles)
{
    TempDir dir;
    const auto out = dir / "s8.ifs";
    BatchRun r = run({"--save", out.string(), "--sample", "8"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFileBytes(out),
              readFileBytes(std::string(ORMOLITH_TEST_DATA) + "/sample-8-appolony-set.ifs"));

    // A file in, the same document out.
    const auto copy = dir / "copy.ifs";
    r = run({out.string(), "--save", copy.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFileBytes(copy), readFileBytes(out));

    // A foreign file still opens (its lines keep their defaults) but says so.
    const auto odd = dir / "odd.ifs";
    writeFileBytes(odd, "hello\nworld\n<var name=\"Fractal Type\" value=\"Mebius\"/>\n");
    r = run({odd.string(), "--save", copy.string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("warning:"), std::string::npos) << r.err;
}

// The suite's 2D program keeps its IFS documents in binary .ifs files; ours are text.
TEST(Batch, AFractalsDocumentIsNamedWithTheProgramThatOpensIt)
{
    TempDir dir;
    const std::string fern = FRACTALS_IFS_EXAMPLE;
    const auto out = dir / "o.ifs";
    for (const std::string action : {"--save", "--render"}) {
        const BatchRun r = run({action, out.string(), fern});
        EXPECT_EQ(r.code, 1) << action;
        EXPECT_EQ(r.err, "Ormolith: " + fern +
                             ": Failed to open document. This is a document of fractals, not of "
                             "Ormolith: open it with fractals.\n");
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_TRUE(isFractalsDocument(readFileBytes(fern)));
    // Any fractals document (a Mandelbrot set here) has the same header.
    EXPECT_TRUE(isFractalsDocument(std::string("\x08Kaleidra\x28\xA0\0\0\x07\0\0\0", 17)));
    // Not the header: another magic, a cut-off header, our own text.
    EXPECT_FALSE(isFractalsDocument(std::string("\x08Kaleidra\x29\xA0\0\0", 13)));
    EXPECT_FALSE(isFractalsDocument(std::string("\x08Kaleidra\x28\xA0", 11)));
    EXPECT_FALSE(isFractalsDocument("<?xml version=\"1.0\"?>\n<document>\n"));

    // A file of ours whose first line merely mentions the name still opens.
    const auto ours = dir / "kaleidra.ifs";
    ASSERT_EQ(run({"--save", ours.string(), "--sample", "0"}).code, 0);
    writeFileBytes(ours, "\x08Kaleidra\n" + readFileBytes(ours).substr(22));
    const BatchRun r = run({"--save", out.string(), ours.string()});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST(Batch, FailuresPrintTheMessageAndExitNonZero)
{
    TempDir dir;
    const auto missing = dir / "missing.ifs";
    BatchRun r = run({missing.string(), "--save", (dir / "o.ifs").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Ormolith: " + missing.string() + ": Failed to open document.\n");

    r = run({"--sample", "0", "--save", (dir / "no" / "o.ifs").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.err.rfind("Ormolith: " + (dir / "no" / "o.ifs").string() + ": Failed to save document. (",
                    0),
        0u)
        << r.err;
}

TEST(Batch, HelpAndVersion)
{
    BatchRun r = run({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, std::string("Ormolith ") + SUITE_VERSION + "\n");
    r = run({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("Usage: Ormolith [FILE.ifs]\n  or:  Ormolith --save OUT.ifs", 0), 0u);
    EXPECT_NE(r.out.find("\n  8  Appolony Set\n"), std::string::npos);
    // The one-line usage of a bad command line stays as scripts know it.
    EXPECT_EQ(usageLine(),
              "usage: Ormolith [FILE.ifs] | --save OUT.ifs (--sample N | FILE.ifs) | "
              "--render OUT.bmp [--size WxH] [--threads N] (--sample N | FILE.ifs) | "
              "--animate OUT.avi [--size WxH] [--threads N] [--codec dib|mjpeg] [--quality Q] "
              "[--frames A-B] FILE.ifs | --help | --version");
}

// The help and the parser are made from one table; this fails when an entry of it has no parser
// branch, takes its value differently from what its line says, or the help leaves it out.
TEST(Batch, HelpGivesEveryOptionOneLineAndTheParserTakesEachOfThem)
{
    const std::string help = run({"--help"}).out;
    std::vector<std::string> lines;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    for (const CommandOption& option : commandOptions()) {
        const std::string name(option.name);
        const std::string head = (option.alias.empty() ? "" : std::string(option.alias) + ", ") +
                                 name +
                                 (option.value.empty() ? "" : " " + std::string(option.value));
        int found = 0;
        for (const std::string& line : lines)
            found +=
                line.starts_with("  " + head + "  ") && line.ends_with(std::string(option.help));
        EXPECT_EQ(found, 1) << name;
        if (name == "--")
            continue;
        std::vector<std::string> spellings{name};
        if (!option.alias.empty())
            spellings.emplace_back(option.alias);
        for (const std::string& spelled : spellings) {
            EXPECT_EQ(findOption(spelled), &option) << spelled;
            EXPECT_TRUE(isBatchCommandLine({spelled})) << spelled;
            // Each option in a command line that needs it, with a value it accepts; the
            // action options stand for themselves.
            std::vector<std::string> args;
            if (name == "--help" || name == "--version" || name == "--save" || name == "--render" ||
                name == "--animate")
                args = {spelled};
            else if (name == "--size" || name == "--threads")
                args = {"--render", "o.bmp", spelled};
            else if (name == "--sample")
                args = {"--save", "o.ifs", spelled};
            else
                args = {"--animate", "o.avi", spelled};
            const std::map<std::string, std::string> accepted = {
                {"--save", "o.ifs"}, {"--render", "o.bmp"}, {"--animate", "o.avi"},
                {"--size", "8x8"},   {"--threads", "2"},    {"--sample", "1"},
                {"--codec", "dib"},  {"--quality", "50"},   {"--frames", "0-1"}};
            if (!option.value.empty()) {
                ASSERT_TRUE(accepted.count(name)) << name << " takes a value the test lacks";
                args.push_back(accepted.at(name));
            }
            // A source for the actions that need one; a value the option does not take would
            // become a second source and be refused.
            if (name != "--help" && name != "--version" && name != "--sample")
                args.push_back("in.ifs");
            std::string error;
            EXPECT_TRUE(parse(args, &error)) << spelled << ": " << error;
        }
    }
    std::string error;
    EXPECT_FALSE(parse({"--render", "o.bmp", "--sizes", "8x8", "a.ifs"}, &error));
    EXPECT_EQ(error, "unknown option --sizes");

    // Every example is a command line the parser takes.
    const auto examples = std::find(lines.begin(), lines.end(), std::string("Examples:"));
    ASSERT_NE(examples, lines.end());
    int count = 0;
    for (auto line = examples + 1; line != lines.end() && line->starts_with("  Ormolith ");
         ++line, ++count) {
        std::vector<std::string> args;
        std::istringstream words(line->substr(11, line->find("  ", 2) - 11));
        for (std::string word; words >> word;)
            args.push_back(word);
        EXPECT_TRUE(parse(args, &error)) << *line << ": " << error;
    }
    EXPECT_GE(count, 1);
}

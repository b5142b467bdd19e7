#include <gtest/gtest.h>

#include <sstream>

#include "batch.h"
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
    EXPECT_EQ(r.out.rfind(usageLine(), 0), 0u);
    EXPECT_NE(r.out.find("8  Appolony Set"), std::string::npos);
}

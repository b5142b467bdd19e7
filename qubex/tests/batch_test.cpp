#include "batch.h"
#include "files/code_file.h"
#include "files/settings_file.h"

#include "temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace qubex {
namespace {

struct BatchRun {
    int status;
    std::string out, err;
};

BatchRun run(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int status = runBatch(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class Batch : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (dir / name).string(); }
    suite::test::TempDir dir;
};

TEST_F(Batch, PlyHoldsExactlyIterationVerticesFromTheSettingsFile)
{
    Settings s;
    s.generation.iteration = 2500;
    s.matrix_length = 3;
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    const BatchRun r = run({"--export-ply", file("c.ply"), "--seed", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2500 points"), std::string::npos);
    const auto l = lines(suite::test::readFileBytes(file("c.ply")));
    ASSERT_GE(l.size(), 8u);
    EXPECT_EQ(l[0], "ply");
    EXPECT_EQ(l[1], "format ascii 1.0");
    EXPECT_NE(std::find(l.begin(), l.end(), "element vertex 2500"), l.end());
    const auto header = std::find(l.begin(), l.end(), "end_header");
    ASSERT_NE(header, l.end());
    EXPECT_EQ(l.end() - header - 1, 2500);
    // Autosize on: no axis spans more than 2 (+ rounding).
    for (auto it = header + 1; it != l.end(); ++it) {
        std::istringstream v(*it);
        float x = 9, y = 9, z = 9;
        v >> x >> y >> z;
        ASSERT_TRUE(v) << *it;
        ASSERT_LE(std::abs(x), 2.001f);
        ASSERT_LE(std::abs(y), 2.001f);
        ASSERT_LE(std::abs(z), 2.001f);
    }
}

TEST_F(Batch, SameSeedGivesSameOutputAndSettingsFileIsNotWritten)
{
    ASSERT_EQ(
        run({"--export-ply", file("a.ply"), "--save-code", file("a.qbx"), "--seed", "17"}).status,
        0);
    ASSERT_EQ(
        run({"--seed", "17", "--save-code", file("b.qbx"), "--export-ply", file("b.ply")}).status,
        0);
    EXPECT_EQ(suite::test::readFileBytes(file("a.ply")), suite::test::readFileBytes(file("b.ply")));
    EXPECT_EQ(suite::test::readFileBytes(file("a.qbx")), suite::test::readFileBytes(file("b.qbx")));
    ASSERT_EQ(run({"--seed", "18", "--save-code", file("c.qbx")}).status, 0);
    EXPECT_NE(suite::test::readFileBytes(file("a.qbx")), suite::test::readFileBytes(file("c.qbx")));
    EXPECT_FALSE(std::filesystem::exists(settingsFilePath()));
    IfsCode code;
    ASSERT_EQ(readCodeFile(file("a.qbx"), code), CodeReadStatus::Ok);
    EXPECT_EQ(code.matrix_length, 4);
}

TEST_F(Batch, LoadedCodeIsSavedBackAndDrivesThePoints)
{
    // One map with a zero block and translation (0.25, 0.5, 0): W stays -1, so every point is
    // x'/w' = (0.25 * -1) / -1 = 0.25 and likewise for y.
    suite::test::writeFileBytes(dir / "one.qbx", "qubexcode\n1\n"
                                                 "0 0 0 0.25 0 0 0 0.5 0 0 0 0 0 0 0 1 1\n");
    Settings s;
    s.generation = {.iteration = 100, .autosize = false, .autocenter = false};
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    const BatchRun r =
        run({file("one.qbx"), "--export-ply", file("o.ply"), "--save-code", file("o.qbx")});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto l = lines(suite::test::readFileBytes(file("o.ply")));
    EXPECT_EQ(l.back(), "0.25 0.5 -0"); // 0 / -1
    EXPECT_EQ(lines(suite::test::readFileBytes(file("o.qbx")))[1], "1");
}

TEST_F(Batch, FailuresPrintTheWindowsMessageAndExitNonZero)
{
    BatchRun r = run({file("none.qbx"), "--export-ply", file("x.ply")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File could not be opened"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file("x.ply")));

    suite::test::writeFileBytes(dir / "text.qbx", "plain text");
    r = run({file("text.qbx"), "--save-code", file("x.qbx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This is not seems to be an ifs code"), std::string::npos);

    suite::test::writeFileBytes(dir / "file", "");
    r = run({"--export-ply", file("file") + "/x.ply"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File could not be created"), std::string::npos);

    // A device ends the run with the message instead of reading without end.
    r = run({"--save-code", file("x.qbx"), "/dev/zero"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("File could not be opened"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file("x.qbx")));

    // A mistyped folder is reported, not made.
    for (const char* option : {"--export-ply", "--save-code"}) {
        r = run({option, file("missing") + "/x.out"});
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_NE(r.err.find("File could not be created"), std::string::npos) << option;
        EXPECT_FALSE(std::filesystem::exists(dir / "missing")) << option;
    }
}

TEST_F(Batch, BadArgumentsExitTwoWithUsage)
{
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--export-ply"},
                                               {"--seed", "x", "--export-ply", "a.ply"},
                                               {"--seed", "-1", "--export-ply", "a.ply"},
                                               {"--frobnicate"},
                                               {"a.qbx", "b.qbx", "--save-code", "c.qbx"},
                                               {"--seed", "3"}}) {
        const BatchRun r = run(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("usage: qubex"), std::string::npos);
    }
}

TEST_F(Batch, HelpVersionAndWindowDetection)
{
    BatchRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--export-ply OUT.ply"), std::string::npos);
    r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("qubex ")) << r.out;
    EXPECT_FALSE(isBatchInvocation({}));
    EXPECT_FALSE(isBatchInvocation({"a.qbx"}));
    EXPECT_TRUE(isBatchInvocation({"a.qbx", "--export-ply", "b.ply"}));
}

TEST_F(Batch, OnlyBatchOptionsSelectBatchModeAndDoubleDashEndsOptions)
{
    // Qt's own options and a file whose name starts with "-" belong to the window.
    EXPECT_FALSE(isBatchInvocation({"-platform", "offscreen", "a.qbx"}));
    EXPECT_FALSE(isBatchInvocation({"-style", "fusion"}));
    EXPECT_FALSE(isBatchInvocation({"-x.qbx"}));
    EXPECT_FALSE(isBatchInvocation({"--", "--save-code"}));
    EXPECT_TRUE(isBatchInvocation({"--seed", "3"}));
    EXPECT_EQ(windowFileArguments({"--", "-x.qbx"}), std::vector<std::string>{"-x.qbx"});
    EXPECT_EQ(windowFileArguments({"a.qbx", "--", "--"}),
              (std::vector<std::string>{"a.qbx", "--"}));

    // In batch mode a code file named "-x.qbx" is read after "--".
    ASSERT_EQ(run({"--seed", "5", "--save-code", file("a.qbx")}).status, 0);
    std::filesystem::rename(file("a.qbx"), file("-x.qbx"));
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const BatchRun r = run({"--save-code", "b.qbx", "--", "-x.qbx"});
    const BatchRun refused = run({"--save-code", "c.qbx", "-x.qbx"});
    std::filesystem::current_path(here);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(suite::test::readFileBytes(file("b.qbx")),
              suite::test::readFileBytes(file("-x.qbx")));
    EXPECT_EQ(refused.status, 2);
}

// The help and the parser are made from one table; these cases fail when an entry of it has no
// parser branch, takes its value differently from what its line says, or the help leaves it out.
TEST_F(Batch, HelpGivesEveryOptionOneLineAndTheParserTakesEachOfThem)
{
    const BatchRun help = run({"--help"});
    ASSERT_EQ(help.status, 0);
    const std::vector<std::string> helpLines = lines(help.out);
    for (const CommandOption& option : commandOptions()) {
        const std::string name(option.name);
        std::vector<std::string> spellings{name};
        if (!option.alias.empty())
            spellings.emplace_back(option.alias);
        // Its one line starts with its spellings and value, then the text.
        const std::string head = (option.alias.empty() ? "" : std::string(option.alias) + ", ") +
                                 name +
                                 (option.value.empty() ? "" : " " + std::string(option.value));
        int found = 0;
        for (const std::string& line : helpLines)
            found +=
                line.starts_with("  " + head + "  ") && line.ends_with(std::string(option.help));
        EXPECT_EQ(found, 1) << name;
        if (name == "--")
            continue;
        for (const std::string& spelled : spellings) {
            EXPECT_EQ(findOption(spelled), &option) << spelled;
            if (!option.batch) {
                EXPECT_FALSE(isBatchInvocation({spelled})) << spelled;
                continue;
            }
            EXPECT_TRUE(isBatchInvocation({spelled})) << spelled;
            // --version ends the run before anything is read or written; a value "1" suits
            // every option that takes one.
            std::vector<std::string> args{"--version", spelled};
            if (!option.value.empty())
                args.push_back("1");
            const BatchRun r = run(args);
            EXPECT_EQ(r.status, 0) << spelled << ": " << r.err;
            // A value the option does not take would be read as the code file: only one fits.
            args.push_back("2.qbx");
            EXPECT_EQ(run(args).status, 0) << spelled;
        }
    }
    EXPECT_EQ(findOption("--export"), nullptr);
    EXPECT_EQ(run({"--version", "--export"}).err.find("qubex: unknown option --export"), 0u);

    // Every example is a command line the parser takes.
    const auto examples = std::find(helpLines.begin(), helpLines.end(), std::string("Examples:"));
    ASSERT_NE(examples, helpLines.end());
    int exampleCount = 0;
    for (auto line = examples + 1; line != helpLines.end() && line->starts_with("  qubex ");
         ++line, ++exampleCount) {
        std::vector<std::string> args{"--version"};
        std::istringstream words(
            line->substr(line->find("qubex ") + 6, line->find("  ", 2) - line->find("qubex ") - 6));
        for (std::string word; words >> word;)
            args.push_back(word);
        EXPECT_EQ(run(args).status, 0) << *line;
    }
    EXPECT_GE(exampleCount, 1);
}

} // namespace
} // namespace qubex

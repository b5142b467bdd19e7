#include "command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace setup {
namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// The help and the parser share one table; this fails when an entry has no parser branch or
// the help leaves it out.
TEST(CommandLine, HelpGivesEveryOptionOneLineAndTheParserTakesEachOfThem)
{
    const std::vector<std::string> help = lines(helpText());
    for (const CommandOption& option : commandOptions()) {
        const std::string name(option.name);
        const auto count = std::count_if(help.begin(), help.end(), [&](const std::string& l) {
            return l.starts_with("  " + name + "  ") && l.ends_with(std::string(option.help));
        });
        EXPECT_EQ(count, 1) << name;
        std::string error;
        EXPECT_TRUE(parseCommandLine({name}, error)) << name << ": " << error;
    }
    const auto examples = std::find(help.begin(), help.end(), std::string("Examples:"));
    ASSERT_NE(examples, help.end());
    int count = 0;
    for (auto line = examples + 1; line != help.end() && line->starts_with("  setup"); ++line) {
        std::vector<std::string> args;
        std::istringstream words(line->substr(7, line->find("  ", 2) - 7));
        for (std::string word; words >> word;)
            args.push_back(word);
        std::string error;
        EXPECT_TRUE(parseCommandLine(args, error)) << *line << ": " << error;
        ++count;
    }
    EXPECT_GE(count, 1);
}

TEST(CommandLine, ActionsAndRefusals)
{
    std::string error;
    auto cmd = parseCommandLine({}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::run);
    EXPECT_FALSE(cmd->unattended);
    cmd = parseCommandLine({"--unattended", "--"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_TRUE(cmd->unattended);
    cmd = parseCommandLine({"--unattended", "--version"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::version);

    // Arguments are read in order: a bad one before --help is reported, one after is not read.
    EXPECT_FALSE(parseCommandLine({"--bogus", "--help"}, error));
    EXPECT_EQ(error, "unknown argument '--bogus'");
    cmd = parseCommandLine({"--help", "--bogus"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->action, CommandLine::Action::help);
    // After "--" even an option's spelling is an argument, and setup takes none; Qt's own
    // options are refused too, the window has no use for them.
    EXPECT_FALSE(parseCommandLine({"--", "--unattended"}, error));
    EXPECT_EQ(error, "unknown argument '--unattended'");
    EXPECT_FALSE(parseCommandLine({"-platform", "offscreen"}, error));
    EXPECT_EQ(usageLine(), "usage: setup [--unattended] [--help] [--version]");
}

} // namespace
} // namespace setup

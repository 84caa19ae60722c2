// The command-line grammar every quendrix-cli command shares: what it accepts, what it refuses
// and how it says what is wrong, and the help made from the same description.
#include "cli/grammar.h"

#include <gtest/gtest.h>

namespace quendrix::cli::plain {
namespace {

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

// One of each kind of option, and up to one positional argument.
CommandSpec sampleSpec() {
    return {"sample",
            {"FILE [--out PATH]", "--range PREFIX FROM TO"},
            "Does nothing at all.\n",
            {{"--out", {"PATH"}, "write to PATH"},
             {"--range", {"PREFIX", "FROM", "TO"}, "a range"},
             {"--quiet", {}, "say less"}},
            "FILE",
            0,
            1,
            {{0, "done"}, {2, "bad usage"}}};
}

TEST(GrammarTest, AcceptedWords) {
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> positionals;
        std::map<std::string, std::vector<std::string>> options;
    } cases[] = {
        {{}, {}, {}},
        {{"list.txt", "--out", "x.csv"}, {"list.txt"}, {{"--out", {"x.csv"}}}},
        {{"--out=x.csv", "list.txt"}, {"list.txt"}, {{"--out", {"x.csv"}}}},
        // A value may start with a single dash, or with two after "=".
        {{"--out", "-", "-"}, {"-"}, {{"--out", {"-"}}}},
        {{"--out=--odd"}, {}, {{"--out", {"--odd"}}}},
        {{"--out="}, {}, {{"--out", {""}}}},
        {{"--range", "10.0.0", "1", "-5", "--quiet"},
         {},
         {{"--range", {"10.0.0", "1", "-5"}}, {"--quiet", {}}}},
        // After "--" everything is a positional argument, a help word included.
        {{"--", "--help"}, {"--help"}, {}},
        {{"--quiet", "--", "-h"}, {"-h"}, {{"--quiet", {}}}},
        {{""}, {""}, {}},
        // Words are bytes, which need not be text: they come back as they were given.
        {{"r\xe9sultat.txt", "--out", "\xff\xfe.csv"},
         {"r\xe9sultat.txt"},
         {{"--out", {"\xff\xfe.csv"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Joined(c.words));
        const ParseResult result = ParseArguments(sampleSpec(), c.words);
        ASSERT_TRUE(result.ok()) << result.problem;
        EXPECT_FALSE(result.arguments.help);
        EXPECT_EQ(result.arguments.positionals, c.positionals);
        EXPECT_EQ(result.arguments.options, c.options);
    }
}

TEST(GrammarTest, HelpWinsOverEveryOtherWordBeforeTheEndOfOptions) {
    const std::vector<std::string> cases[] = {
        {"--help"},          {"-h"},          {"a", "b", "--frobnicate", "--help"},
        {"--out", "--help"}, {"--out", "-h"}, {"--range", "1", "--help", "--", "x"}};
    for (const std::vector<std::string>& words : cases) {
        SCOPED_TRACE(Joined(words));
        const ParseResult result = ParseArguments(sampleSpec(), words);
        EXPECT_TRUE(result.ok());
        EXPECT_TRUE(result.arguments.help);
    }
}

TEST(GrammarTest, ProblemsSayWhatIsWrongOrMissing) {
    const struct {
        std::vector<std::string> words;
        std::string problem;
    } cases[] = {
        {{"--out"}, "missing PATH after --out"},
        {{"--out", "--quiet"}, "missing PATH after --out"},
        {{"--out", "--"}, "missing PATH after --out"},
        {{"--range", "10.0.0", "1"}, "missing TO after --range"},
        {{"--range", "10.0.0", "--quiet", "2"}, "missing FROM after --range"},
        {{"--range=10.0.0"}, "--range takes 3 values: --range PREFIX FROM TO"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--frobnicate=1"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--out", "a", "--out", "b"}, "--out is given twice"},
        {{"one.txt", "two.txt"}, "unexpected argument 'two.txt'"},
        {{"--", "one.txt", "--two"}, "unexpected argument '--two'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Joined(c.words));
        const ParseResult result = ParseArguments(sampleSpec(), c.words);
        EXPECT_EQ(result.problem, c.problem);
        EXPECT_TRUE(result.arguments.options.empty());
        EXPECT_TRUE(result.arguments.positionals.empty());
    }

    CommandSpec needsOne = sampleSpec();
    needsOne.minPositionals = 1;
    EXPECT_EQ(ParseArguments(needsOne, {"--quiet"}).problem, "missing FILE");
}

TEST(GrammarTest, HelpListsUsageOptionsAndStatuses) {
    EXPECT_EQ(HelpText(sampleSpec()),
              "Usage: quendrix-cli sample FILE [--out PATH]\n"
              "                           --range PREFIX FROM TO\n"
              "\n"
              "Does nothing at all.\n"
              "\n"
              "Options:\n"
              "  --out PATH              write to PATH\n"
              "  --range PREFIX FROM TO  a range\n"
              "  --quiet                 say less\n"
              "  --help, -h              show this help\n"
              "\n"
              "Exit status:\n"
              "  0  done\n"
              "  2  bad usage\n");
}

}  // namespace
}  // namespace quendrix::cli::plain

// The one grammar of every quendrix-cli command, in plain C++ on the system's bytes, so that
// the trace command runs without Qt, and the commands on Qt read argv's words with it as they
// came (a path stays the bytes it was given; cli_io.h turns only texts into QString). A
// command describes its options and positional arguments once (CommandSpec); the parser reads
// the words by that description and the help text is made from it, so the two cannot disagree.
//
//   --name VALUE... / --name=VALUE   an option and its values (a word starting with "--" is
//                                    never taken as a value; write --name=--odd for that)
//   --help, -h                       anywhere before "--": the help, whatever else is given
//   --                               every word after it is a positional argument
//   anything else                    a positional argument ("-" included)
//
// An option given twice, an unknown option, a missing value or a wrong number of positional
// arguments is a usage problem, reported as a text that names what is wrong or missing.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quendrix::cli::plain {

struct OptionSpec {
    std::string name;                 // "--out"
    std::vector<std::string> values;  // the names of its values, in order ("PATH")
    std::string help;                 // one line for the help's option table
};

struct ExitStatusSpec {
    int status = 0;
    std::string meaning;
};

struct CommandSpec {
    std::string name;                // "convert"
    std::vector<std::string> usage;  // each a way to call it, after "quendrix-cli NAME "
    std::string description;         // the help's text between usage and options, "\n"-ended lines
    std::vector<OptionSpec> options;
    std::string positionalName;  // "FILE"; empty when the command takes none
    int minPositionals = 0;
    int maxPositionals = 0;
    std::vector<ExitStatusSpec> statuses;
};

struct ParsedArguments {
    bool help = false;
    std::vector<std::string> positionals;
    std::map<std::string, std::vector<std::string>> options;  // given options and their values

    bool has(const std::string& option) const { return options.count(option) != 0; }
    // The option's first value; empty when it was not given.
    std::string value(const std::string& option) const;
    // All its values; none when it was not given.
    std::vector<std::string> values(const std::string& option) const;
};

struct ParseResult {
    ParsedArguments arguments;
    std::string problem;  // empty when the words follow the grammar

    bool ok() const { return problem.empty(); }
};

ParseResult ParseArguments(const CommandSpec& grammar, const std::vector<std::string>& words);

// "Usage: quendrix-cli NAME ..." with one line per way to call the command.
std::string UsageText(const CommandSpec& grammar);
// The whole help: usage, description, options, exit statuses.
std::string HelpText(const CommandSpec& grammar);

}  // namespace quendrix::cli::plain

// The one grammar of every quendrix-cli command. A command describes its options and
// positional arguments once (CommandSpec); the parser reads the words by that description and
// the help text is made from it, so the two cannot disagree.
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

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace quendrix::cli {

struct OptionSpec {
    QString name;        // "--out"
    QStringList values;  // the names of its values, in order ("PATH"); none for a switch
    QString help;        // one line for the help's option table
};

struct ExitStatusSpec {
    int status = 0;
    QString meaning;
};

struct CommandSpec {
    QString name;         // "convert"
    QStringList usage;    // each a way to call it, after "quendrix-cli NAME "
    QString description;  // the help's text between usage and options, lines ending in "\n"
    std::vector<OptionSpec> options;
    QString positionalName;  // "FILE"; empty when the command takes none
    int minPositionals = 0;
    int maxPositionals = 0;
    std::vector<ExitStatusSpec> statuses;
};

struct ParsedArguments {
    bool help = false;
    QStringList positionals;
    std::map<QString, QStringList> options;  // given options and their values

    bool has(const QString& option) const { return options.count(option) != 0; }
    // The option's first value; empty when it was not given.
    QString value(const QString& option) const;
    QStringList values(const QString& option) const;
};

struct ParseResult {
    ParsedArguments arguments;
    QString problem;  // empty when the words follow the grammar

    bool ok() const { return problem.isEmpty(); }
};

ParseResult ParseArguments(const CommandSpec& grammar, const QStringList& words);

// "Usage: quendrix-cli NAME ..." with one line per way to call the command.
QString UsageText(const CommandSpec& grammar);
// The whole help: usage, description, options, exit statuses.
QString HelpText(const CommandSpec& grammar);

}  // namespace quendrix::cli

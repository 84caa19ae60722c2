// The command-line grammar (cli/grammar.h) for the commands that run on Qt's text types: the
// same description, parser and help, with the words and texts as QString.
#pragma once

#include "cli/grammar.h"

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

// The same description, words and parse in the grammar's own terms (the system's bytes).
plain::CommandSpec PlainGrammar(const CommandSpec& grammar);
std::vector<std::string> PlainWords(const QStringList& words);
ParsedArguments QtArguments(const plain::ParsedArguments& parsed);

// "Usage: quendrix-cli NAME ..." with one line per way to call the command.
QString UsageText(const CommandSpec& grammar);
// The whole help: usage, description, options, exit statuses.
QString HelpText(const CommandSpec& grammar);

}  // namespace quendrix::cli

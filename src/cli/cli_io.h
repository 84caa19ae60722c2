// What the quendrix-cli commands that run on Qt share, on top of cli/terminal.h: the help's
// exit status lines, messages and the counts line on standard error as QString, reading the
// list file and writing an export.
#pragma once

#include "cli/argument_parser.h"
#include "cli/terminal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace quendrix::cli {

// The exit statuses (cli/terminal.h) as the help lists them; a command adds what 1 and 3
// mean for it.
ExitStatusSpec DoneStatus(const QString& meaning = {});
ExitStatusSpec FailedStatus(const QString& meaning);
// takesList: the command reads a list, which may be unreadable or empty.
ExitStatusSpec UsageStatus(bool takesList = true);
ExitStatusSpec RefusedStatus(const QString& meaning);

// Standard error, for messages and the counts line. Flushed before every Message.
QTextStream& err();

// Message (cli/terminal.h) for a QString.
void Message(const QString& text);
// A usage problem: the message, the command's usage lines and where its help is; kUsage.
int UsageProblem(const CommandSpec& grammar, const QString& problem);
// The help of the command on standard output; kOk.
int PrintHelp(const CommandSpec& grammar);

// Parses a command's words. The arguments to run with, or nullopt with status set to what
// the command ends with: the usage problem reported (kUsage) or its help printed (kOk).
std::optional<ParsedArguments> ParseCommandWords(const CommandSpec& grammar,
                                                 const QStringList& args, int& status);

// The size + 1 addresses around address, as the pages build a neighbourhood, into entries;
// otherwise the problem to report (a size that is not even and 2..65536, an address the
// dotted conversion refuses, a neighbourhood that would leave 0.0.0.0..255.255.255.255, which
// the message says leaves nothing `done`).
std::optional<QString> NeighbourhoodList(const QString& address, const QString& sizeText,
                                         const QString& done, QStringList& entries);

// The checks the batch commands share about where their list comes from: exactly one source
// (lists counts those given), --size exactly with --neighbourhood, --out with --export. The
// problem text, or nullopt. missing and several are the texts for none and for too many.
std::optional<QString> ListSourceProblem(const ParsedArguments& given, int lists,
                                         const QString& missing, const QString& several);

// The counts line of every batch on standard error: "Finished N, Successful N, Failed N",
// with ", Total Count N" where the command has a total of its own (ping's cycles).
void PrintCounts(int finished, int successful, int failed, std::optional<int> total = {});

// A whole number from low to high, or nullopt.
std::optional<int> NumberIn(const QString& text, int low, int high);

// The entries of a list file, read with the import rules. nullopt after the reason on
// standard error when it cannot be read, or after "the list is empty" when it holds nothing.
std::optional<QStringList> ReadListFile(const QString& file);
// The same message for a list built from arguments that came out empty.
void ReportEmptyList();

// Writes an export file (CR LF, as the window's). kOk, or kFailed after a message.
int WriteExport(const QString& path, const QStringList& lines);

}  // namespace quendrix::cli

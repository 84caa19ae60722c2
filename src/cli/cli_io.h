// What the quendrix-cli commands that run on Qt share, on top of cli/terminal.h. They read
// their words with the one grammar (cli/grammar.h) as the system gave them: a path stays the
// bytes it was given all the way to the file, and only an argument that is a text (a name, an
// address, a number, a kind) becomes a QString, with Text(). Here too: messages and the counts
// line on standard error, reading a list file and writing an export.
#pragma once

#include "cli/grammar.h"
#include "cli/terminal.h"
#include "core/export_writer.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quendrix {
class BatchEngineBase;
}

namespace quendrix::cli {

using plain::CommandSpec;
using plain::DoneStatus;
using plain::EndWithExport;
using plain::ExitStatusSpec;
using plain::FailedStatus;
using plain::NumberIn;
using plain::OptionSpec;
using plain::ParseCommandWords;
using plain::ParsedArguments;
using plain::RefusedStatus;
using plain::UsageProblem;
using plain::UsageStatus;

// The help's lines for a run that Ctrl-C (130) or SIGTERM (143) ended (Interruption).
ExitStatusSpec InterruptedStatus();
ExitStatusSpec TerminatedStatus();

// A command's words, as the system gave them.
using Words = std::vector<std::string>;

// An argument that is a text, in the locale's 8-bit encoding (UTF-8 here).
QString Text(const std::string& bytes);

// Standard error, for messages and the counts line. Flushed before every Message.
QTextStream& err();

// Message (cli/terminal.h) for a QString.
void Message(const QString& text);
// A usage problem given as a QString (plain::UsageProblem for the system's bytes).
int UsageProblem(const CommandSpec& grammar, const QString& problem);
// A literal is bytes: these pick the plain ones over the QString overloads.
void Message(const char* text);
int UsageProblem(const CommandSpec& grammar, const char* problem);

// The size + 1 addresses around address, as the pages build a neighbourhood, into entries;
// otherwise the problem to report (a size that is not even and 2..65536, an address the
// dotted conversion refuses, a neighbourhood that would leave 0.0.0.0..255.255.255.255, which
// the message says leaves nothing `done`).
std::optional<QString> NeighbourhoodList(const QString& address, const std::string& sizeText,
                                         const QString& done, QStringList& entries);

// The checks the batch commands share about where their list comes from: exactly one source
// (lists counts those given), --size exactly with --neighbourhood, --out with --export. The
// problem text, or nullopt. missing and several are the texts for none and for too many.
std::optional<std::string> ListSourceProblem(const ParsedArguments& given, int lists,
                                             const std::string& missing,
                                             const std::string& several);

// The counts line of every batch on standard error: "Finished N, Successful N, Failed N",
// with ", Total Count N" where the command has a total of its own (ping's cycles).
void PrintCounts(int finished, int successful, int failed, std::optional<int> total = {});

// The entries of the list file at path (bytes, as given), read with the import rules. nullopt
// after the reason on standard error when it cannot be read, or after "the list is empty"
// when it holds nothing.
std::optional<QStringList> ReadListFile(const std::string& path);
// The same message for a list built from arguments that came out empty.
void ReportEmptyList();

// Writes an export file at path (bytes, as given) with the window's writer and bytes (the
// encoding, CR LF after every line). The writer's reason on failure, as WriteExportFile's.
std::optional<QString> WriteExportFile(const std::string& path, const QStringList& lines,
                                       TextEncoding encoding = TextEncoding::Local8Bit);
// The same, kOk; or kFailed after "PATH: reason" on standard error.
int WriteExport(const std::string& path, const QStringList& lines);

// Ctrl-C and SIGTERM during a command's event loops: onSignal runs on the loops' thread when
// one arrives (it stops the job and quits the loop), so the command still writes what it has.
// Make it before the job's threads start (StopSignals).
class Interruption {
  public:
    explicit Interruption(std::function<void()> onSignal);
    bool happened() const { return m_signal != 0; }
    // 128 + the signal, as a shell reports a command a signal ended; kOk while none came.
    int status() const;
    // "interrupted" or "ended by SIGTERM" on standard error.
    void report() const;

  private:
    StopSignals m_signals;
    QSocketNotifier m_notifier;
    int m_signal = 0;
};

// How a batch's run ends on the command line: interrupted ("interrupted" or "ended by
// SIGTERM", 130/143), failed (the job's text, kFailed), or done (the counts line, kOk).
int BatchEndStatus(const Interruption& interruption, const BatchEngineBase& batch);

}  // namespace quendrix::cli

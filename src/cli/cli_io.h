// What every quendrix-cli command shares: the exit statuses, standard output (rows with LF
// line ends, written as they come; a failed write ends the program), messages and the counts
// line on standard error, reading the list file and writing an export.
#pragma once

#include "cli/argument_parser.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

#include <csignal>

namespace quendrix::cli {

// Exit statuses, the same for every command.
constexpr int kOk = 0;       // done; a batch whose look-ups failed is done (failures are rows)
constexpr int kFailed = 1;   // the one answer asked for is a failure, or output was not written
constexpr int kUsage = 2;    // bad usage, an unreadable list, or nothing to work on
constexpr int kRefused = 3;  // the system refused (no ICMP socket)

// The meanings above as the help lists them; a command adds what 1 and 3 mean for it.
ExitStatusSpec DoneStatus(const QString& meaning = {});
ExitStatusSpec FailedStatus(const QString& meaning);
// takesList: the command reads a list, which may be unreadable or empty.
ExitStatusSpec UsageStatus(bool takesList = true);
ExitStatusSpec RefusedStatus(const QString& meaning);

// Standard output. Text is buffered and handed to the system by flush() (and whenever much
// has piled up). A write that fails ends the program at once with kFailed: quietly when the
// reader has gone (a closed pipe, as with "| head"), otherwise after a message on standard
// error. Nothing else is left to do then: output that goes to a file (--out) never passes here.
class Output {
  public:
    void write(const QByteArray& bytes);
    // The text in the 8-bit encoding, then LF.
    void line(const QString& text);
    void flush();

  private:
    QByteArray m_buffer;
};
Output& out();

// Runs once, on the thread whose write failed, just before a failed standard output ends the
// program: a command that also writes an --out file writes it there, so the rows it holds
// are not lost with the terminal. Empty by default.
void SetLastWordsBeforeOutputFailure(std::function<void()> lastWords);

// Standard error, for messages and the counts line.
QTextStream& err();

// The command whose words are being run, for the message prefix; "" before there is one.
void SetCommandName(const QString& name);
// "quendrix-cli NAME: text" on standard error (or "quendrix-cli: text" with no command).
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

// Ctrl-C and SIGTERM as readable data on a descriptor, so a command's wait or event loop ends
// the run like its own end does and its export is still written. Make it before any worker
// thread starts: every thread inherits the block and none is interrupted. The signals are
// unblocked again when it goes.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int fd() const { return m_fd; }
    // The signal that arrived, or 0.
    int take() const;

  private:
    sigset_t m_set{};
    sigset_t m_previous{};
    int m_fd = -1;
};

}  // namespace quendrix::cli

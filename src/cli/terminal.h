// What every quendrix-cli command shares, in plain C++ on the system's bytes (the trace
// command runs without Qt; the others reach this through cli_io.h): the exit statuses,
// standard output (rows with LF line ends, written as they come; a failed write ends the
// program), messages on standard error, parsing a command's words and writing an export.
#pragma once

#include "cli/grammar.h"
#include "net/file_descriptor.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <csignal>

namespace quendrix::cli {

// Exit statuses, the same for every command.
constexpr int kOk = 0;       // done; a batch whose look-ups failed is done (failures are rows)
constexpr int kFailed = 1;   // the one answer asked for is a failure, or output was not written
constexpr int kUsage = 2;    // bad usage, an unreadable list, or nothing to work on
constexpr int kRefused = 3;  // the system refused (no ICMP socket)

namespace plain {

// The meanings above as the help lists them; a command adds what 1 and 3 mean for it.
ExitStatusSpec DoneStatus(std::string meaning = {});
ExitStatusSpec FailedStatus(std::string meaning);
// takesList: the command reads a list, which may be unreadable or empty.
ExitStatusSpec UsageStatus(bool takesList = true);
ExitStatusSpec RefusedStatus(std::string meaning);

}  // namespace plain

// Standard output. Text is buffered and handed to the system by flush() (and whenever much
// has piled up). A write that fails ends the program at once with kFailed: quietly when the
// reader has gone (a closed pipe, as with "| head"), otherwise after a message on standard
// error. Nothing else is left to do then: output that goes to a file (--out) never passes here.
class Output {
  public:
    void write(std::string_view bytes);
    // The bytes, then LF.
    void line(std::string_view bytes);
    // Qt's texts (QString in the locale's 8-bit encoding, QByteArray as it is), for the
    // commands that use them; this header stays free of Qt.
    void write(const auto& bytes) requires requires {
        bytes.constData();
        bytes.size();
    }
    { write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))); }
    void line(const auto& text) requires requires { text.toLocal8Bit(); }
    {
        const auto bytes = text.toLocal8Bit();
        line(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    void flush();

  private:
    std::string m_buffer;
};
Output& out();

// Whether standard output is a terminal.
bool StandardOutputIsTerminal();
// Whether the locale's encoding, which the terminal is taken to use, is UTF-8.
bool LocaleIsUtf8();
// Bytes from the network made harmless on a terminal, in the notation of `cat -v`: a control
// byte as ^X (^? for DEL), and a byte of 128 or more as M- and the notation of its low seven
// bits, except (with utf8) the bytes of a well-formed UTF-8 character that is no control. TAB
// and LF stay, and a CR directly before a LF. Nothing else that a terminal would act on (an
// escape sequence, a C1 control in either encoding) is left.
std::string VisibleBytes(std::string_view bytes, bool utf8);

// Runs once, on the thread whose write failed, just before a failed standard output ends the
// program: a command that also writes an --out file writes it there, so the rows it holds
// are not lost with the terminal. Empty by default.
void SetLastWordsBeforeOutputFailure(std::function<void()> lastWords);

// Bytes to standard error as they are, at once.
void WriteError(std::string_view bytes);

// The command whose words are being run, for the message prefix; "" before there is one.
void SetCommandName(std::string name);
// "quendrix-cli NAME: text" on standard error (or "quendrix-cli: text" with no command).
void Message(std::string_view text);

namespace plain {

// A usage problem: the message, the command's usage lines and where its help is; kUsage.
int UsageProblem(const CommandSpec& grammar, std::string_view problem);
// The help of the command on standard output; kOk.
int PrintHelp(const CommandSpec& grammar);

// Parses a command's words. The arguments to run with, or nullopt with status set to what
// the command ends with: the usage problem reported (kUsage) or its help printed (kOk).
std::optional<ParsedArguments> ParseCommandWords(const CommandSpec& grammar,
                                                 const std::vector<std::string>& words,
                                                 int& status);

// A whole number from low to high, or nullopt.
std::optional<int> NumberIn(std::string_view text, int low, int high);

// Writes an export file (lines in the system's bytes, each ended by CR LF, as the window's).
// kOk, or kFailed after a message.
int WriteExport(const std::string& path, const std::vector<std::string>& lines);

// The one rule for an --out file, once a run has ended with status: a run that ended normally
// (kOk) writes its export as the window would, even one without rows; a run that ended
// otherwise (a failure, a refusal, an interruption) writes the rows it produced, and leaves an
// existing file as it was when it produced none. write() writes the file and returns kOk, or
// kFailed after its message. The status to end with: a failed write's kFailed wins over any.
int EndWithExport(int status, bool producedRows, const std::function<int()>& write);

}  // namespace plain

// Ctrl-C and SIGTERM as readable data on a descriptor, so a command's wait or event loop ends
// the run like its own end does and its export is still written. Make it before any worker
// thread starts: every thread inherits the block and none is interrupted. The signals are
// unblocked again when it goes; those that came and were not taken are dropped then. A signal the
// program inherited as ignored (nohup, a script's "trap '' INT") stays ignored and never reaches
// the descriptor.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int fd() const { return m_fd.get(); }
    // The signal that arrived, or 0.
    int take() const;

  private:
    sigset_t m_set{};
    sigset_t m_previous{};
    net::FileDescriptor m_fd;
};

// A run that a signal ended exits as a shell reports it: 128 + the signal.
constexpr int kInterruptedBase = 128;
// "interrupted" (Ctrl-C) or "ended by SIGTERM" on standard error.
void ReportInterruption(int signal);

// What a command's worker thread raises when it has ended, so that the main thread waits for
// that end and for Ctrl-C or SIGTERM together.
class EndSignal {
  public:
    EndSignal();
    ~EndSignal();
    EndSignal(const EndSignal&) = delete;
    EndSignal& operator=(const EndSignal&) = delete;
    void raise() const;
    // True when the end came, false when a stop signal came first.
    bool waitForEndOrSignal(const StopSignals& signals) const;
    // True when the end came within most.
    bool waitFor(std::chrono::milliseconds most) const;
    // Ends a run that a stop signal interrupted, once its worker was asked to stop: says
    // "interrupted" or "ended by SIGTERM", hands the run's status (128 + the signal) to
    // finish, which writes what came (EndWithExport) and gives the status to end with, and
    // gives the worker a moment to return. A worker inside a look-up of the C library cannot
    // be woken: then, with everything written, the process ends at once.
    int endInterrupted(int signal, const std::function<int(int status)>& finish) const;

  private:
    net::FileDescriptor m_fd;
};

}  // namespace quendrix::cli

#include "cli/terminal.h"

#include "net/file_writer.h"
#include "net/result.h"
#include "net/target_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include <langinfo.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quendrix::cli {
namespace {

// Rows are handed to the system at least this often; a batch flushes after each entry anyway.
constexpr std::size_t kFlushBytes = 64 * 1024;

std::string& commandName() {
    static std::string name;
    return name;
}

std::function<void()>& lastWordsBeforeOutputFailure() {
    static std::function<void()> lastWords;
    return lastWords;
}

// Every byte to the descriptor; false with errno set when a write fails.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Standard output is gone or full. Nothing the program still holds can reach the reader, and
// nothing else is written from here on (an --out export does not use standard output), so
// the program ends now rather than after look-ups that may take long to give up.
[[noreturn]] void endForOutputFailure(int error) {
    if (error != EPIPE) {
        Message("cannot write to standard output: " + Error::errorText(error));
    }
    if (const auto lastWords = std::exchange(lastWordsBeforeOutputFailure(), {})) {
        lastWords();
    }
    std::_Exit(kFailed);
}

}  // namespace

namespace plain {

ExitStatusSpec DoneStatus(std::string meaning) {
    return {kOk, meaning.empty() ? "done (look-ups that failed are rows)" : std::move(meaning)};
}

ExitStatusSpec FailedStatus(std::string meaning) {
    return {kFailed, std::move(meaning)};
}

ExitStatusSpec UsageStatus(bool takesList) {
    return {kUsage,
            takesList ? "bad usage, a list that cannot be read, or an empty list" : "bad usage"};
}

ExitStatusSpec RefusedStatus(std::string meaning) {
    return {kRefused, std::move(meaning)};
}

}  // namespace plain

void Output::write(std::string_view bytes) {
    m_buffer += bytes;
    if (m_buffer.size() >= kFlushBytes) {
        flush();
    }
}

void Output::line(std::string_view bytes) {
    m_buffer += bytes;
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushBytes) {
        flush();
    }
}

void Output::flush() {
    if (!WriteAll(STDOUT_FILENO, m_buffer)) {
        endForOutputFailure(errno);
    }
    m_buffer.clear();
}

Output& out() {
    static Output output;
    return output;
}

bool StandardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

bool LocaleIsUtf8() {
    const std::string_view codeset = ::nl_langinfo(CODESET);
    return codeset == "UTF-8" || codeset == "utf8";
}

namespace {

// The length of the well-formed UTF-8 character at the start of bytes that is no C1 control
// (U+0080..U+009F), or 0.
std::size_t Utf8CharacterLength(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2) {
            low = 0xA0;  // C2 80..C2 9F are the C1 controls
        }
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string VisibleBytes(std::string_view bytes, bool utf8) {
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        const bool crBeforeLf = byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        if ((byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\n' || crBeforeLf) {
            shown += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (byte >= 0x80) {
            if (const std::size_t length = utf8 ? Utf8CharacterLength(bytes.substr(i)) : 0) {
                shown += bytes.substr(i, length);
                i += length;
                continue;
            }
            shown += "M-";
            byte = static_cast<unsigned char>(byte - 0x80);
        }
        if (byte < 0x20) {
            shown += '^';
            shown += static_cast<char>(byte + 0x40);
        } else if (byte == 0x7F) {
            shown += "^?";
        } else {
            shown += static_cast<char>(byte);
        }
        ++i;
    }
    return shown;
}

void SetLastWordsBeforeOutputFailure(std::function<void()> lastWords) {
    lastWordsBeforeOutputFailure() = std::move(lastWords);
}

void WriteError(std::string_view bytes) {
    // Nowhere is left to say that standard error failed.
    WriteAll(STDERR_FILENO, bytes);
}

void SetCommandName(std::string name) {
    commandName() = std::move(name);
}

void Message(std::string_view text) {
    std::string line = "quendrix-cli";
    if (!commandName().empty()) {
        line += ' ' + commandName();
    }
    line += ": ";
    line += text;
    line += '\n';
    WriteError(line);
}

namespace plain {

int UsageProblem(const CommandSpec& grammar, std::string_view problem) {
    Message(problem);
    WriteError(UsageText(grammar) + "Try 'quendrix-cli " + grammar.name + " --help' for more.\n");
    return kUsage;
}

int PrintHelp(const CommandSpec& grammar) {
    out().write(HelpText(grammar));
    out().flush();
    return kOk;
}

std::optional<ParsedArguments> ParseCommandWords(const CommandSpec& grammar,
                                                 const std::vector<std::string>& words,
                                                 int& status) {
    ParseResult parsed = ParseArguments(grammar, words);
    if (!parsed.ok()) {
        status = UsageProblem(grammar, parsed.problem);
        return std::nullopt;
    }
    if (parsed.arguments.help) {
        status = PrintHelp(grammar);
        return std::nullopt;
    }
    return std::move(parsed.arguments);
}

std::optional<int> NumberIn(std::string_view text, int low, int high) {
    const auto value = net::ReadWholeNumber(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

int WriteExport(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    if (const auto error = net::WriteWholeFile(path, bytes)) {
        Message(path + ": " + *error);
        return kFailed;
    }
    return kOk;
}

int EndWithExport(int status, bool producedRows, const std::function<int()>& write) {
    if (status != kOk && !producedRows) {
        return status;
    }
    return write() == kOk ? status : kFailed;
}

}  // namespace plain

StopSignals::StopSignals() {
    sigemptyset(&m_set);
    for (const int signal : {SIGINT, SIGTERM}) {
        // A signal the program was started with ignored (a script's "trap '' INT", nohup)
        // stays ignored: blocked, it would be kept for the descriptor instead of dropped.
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        sigaddset(&m_set, signal);
    }
    pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
    m_fd.reset(signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK));
}

StopSignals::~StopSignals() {
    if (m_fd.valid()) {
        // The command has answered the signals that came (its end is its answer); unblocked
        // while still pending, they would end the program after all, by the signal.
        signalfd_siginfo info{};
        while (::read(m_fd.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        m_fd.reset();
    }
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

int StopSignals::take() const {
    signalfd_siginfo info{};
    if (::read(m_fd.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

namespace {

// Waits until one of the descriptors is readable or the time is up (none: no limit); which
// of them are readable, or an empty list when the time ran out.
std::vector<int> WaitReadable(const std::vector<int>& fds,
                              std::optional<std::chrono::milliseconds> most) {
    std::vector<pollfd> polled;
    for (const int fd : fds) {
        polled.push_back({fd, POLLIN, 0});
    }
    const auto deadline =
        std::chrono::steady_clock::now() + most.value_or(std::chrono::milliseconds(0));
    for (;;) {
        int timeout = -1;
        if (most) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
        }
        const int ready = ::poll(polled.data(), polled.size(), timeout);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        std::vector<int> readable;
        for (const pollfd& entry : polled) {
            if ((entry.revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
                readable.push_back(entry.fd);
            }
        }
        // A failing poll (which no valid descriptor gives) counts as the time running out.
        return readable;
    }
}

}  // namespace

EndSignal::EndSignal() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EndSignal::~EndSignal() = default;

void EndSignal::raise() const {
    eventfd_write(m_fd.get(), 1);
}

bool EndSignal::waitForEndOrSignal(const StopSignals& signals) const {
    const auto readable = WaitReadable({m_fd.get(), signals.fd()}, std::nullopt);
    // Both at once: the run had ended anyway.
    return std::find(readable.begin(), readable.end(), m_fd.get()) != readable.end();
}

bool EndSignal::waitFor(std::chrono::milliseconds most) const {
    return !WaitReadable({m_fd.get()}, most).empty();
}

void ReportInterruption(int signal) {
    Message(signal == SIGTERM ? "ended by SIGTERM" : "interrupted");
}

int EndSignal::endInterrupted(int signal, const std::function<int(int status)>& finish) const {
    // After the stop a wait ends at once; a look-up gets this long before it is left behind.
    constexpr std::chrono::seconds kLongestEndAfterInterrupt(2);
    ReportInterruption(signal);
    const int status = finish(kInterruptedBase + (signal != 0 ? signal : SIGINT));
    if (!waitFor(kLongestEndAfterInterrupt)) {
        out().flush();
        std::_Exit(status);
    }
    return status;
}

}  // namespace quendrix::cli

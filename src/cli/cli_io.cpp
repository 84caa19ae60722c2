#include "cli/cli_io.h"

#include "core/export_writer.h"
#include "core/neighbourhood.h"
#include "core/target.h"
#include "core/target_list_model.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <sys/signalfd.h>
#include <unistd.h>

namespace quendrix::cli {
namespace {

// Rows are handed to the system at least this often; a batch flushes after each entry anyway.
constexpr qsizetype kFlushBytes = 64 * 1024;

QString& commandName() {
    static QString name;
    return name;
}

std::function<void()>& lastWordsBeforeOutputFailure() {
    static std::function<void()> lastWords;
    return lastWords;
}

// Standard output is gone or full. Nothing the program still holds can reach the reader, and
// nothing else is written from here on (an --out export does not use standard output), so
// the program ends now rather than after look-ups that may take long to give up.
[[noreturn]] void endForOutputFailure(int error) {
    if (error != EPIPE) {
        Message(QStringLiteral("cannot write to standard output: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(error))));
    }
    err().flush();
    if (const auto lastWords = std::exchange(lastWordsBeforeOutputFailure(), {})) {
        lastWords();
    }
    std::_Exit(kFailed);
}

}  // namespace

ExitStatusSpec DoneStatus(const QString& meaning) {
    return {kOk,
            meaning.isEmpty() ? QStringLiteral("done (look-ups that failed are rows)") : meaning};
}

ExitStatusSpec FailedStatus(const QString& meaning) {
    return {kFailed, meaning};
}

ExitStatusSpec UsageStatus(bool takesList) {
    return {kUsage, takesList
                        ? QStringLiteral("bad usage, a list that cannot be read, or an empty list")
                        : QStringLiteral("bad usage")};
}

ExitStatusSpec RefusedStatus(const QString& meaning) {
    return {kRefused, meaning};
}

void Output::write(const QByteArray& bytes) {
    m_buffer += bytes;
    if (m_buffer.size() >= kFlushBytes) {
        flush();
    }
}

void Output::line(const QString& text) {
    m_buffer += text.toLocal8Bit();
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushBytes) {
        flush();
    }
}

void Output::flush() {
    const char* data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            endForOutputFailure(errno);
        }
        data += written;
        left -= written;
    }
    m_buffer.clear();
}

void SetLastWordsBeforeOutputFailure(std::function<void()> lastWords) {
    lastWordsBeforeOutputFailure() = std::move(lastWords);
}

Output& out() {
    static Output output;
    return output;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

void SetCommandName(const QString& name) {
    commandName() = name;
}

void Message(const QString& text) {
    err() << "quendrix-cli";
    if (!commandName().isEmpty()) {
        err() << " " << commandName();
    }
    err() << ": " << text << "\n";
    err().flush();
}

int UsageProblem(const CommandSpec& grammar, const QString& problem) {
    Message(problem);
    err() << UsageText(grammar) << "Try 'quendrix-cli " << grammar.name << " --help' for more.\n";
    err().flush();
    return kUsage;
}

int PrintHelp(const CommandSpec& grammar) {
    out().line(HelpText(grammar).chopped(1));
    out().flush();
    return kOk;
}

std::optional<ParsedArguments> ParseCommandWords(const CommandSpec& grammar,
                                                 const QStringList& args, int& status) {
    ParseResult parsed = ParseArguments(grammar, args);
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

std::optional<QString> NeighbourhoodList(const QString& address, const QString& sizeText,
                                         const QString& done, QStringList& entries) {
    const auto size = NumberIn(sizeText, 2, 65536);
    if (!size || *size % 2 != 0) {
        return QStringLiteral("--size wants an even number from 2 to 65536");
    }
    const auto octets = ParseDottedAddress(address);
    if (!octets) {
        return octets.code() == ErrorCode::InvalidInput
                   ? QString::fromStdString(octets.error().text)
                   : QStringLiteral("Please enter the correct IP address!");
    }
    Neighbourhood hood = BuildNeighbourhood(*octets, *size);
    switch (hood.outcome) {
        case Neighbourhood::Outcome::BelowZero:
            return QStringLiteral("the neighbourhood would reach below 0.0.0.0: nothing %1")
                .arg(done);
        case Neighbourhood::Outcome::PastTheEnd:
            return QStringLiteral("the neighbourhood would run past 255.255.255.255: nothing %1")
                .arg(done);
        case Neighbourhood::Outcome::Complete:
            break;
    }
    entries = std::move(hood.addresses);
    return std::nullopt;
}

std::optional<QString> ListSourceProblem(const ParsedArguments& given, int lists,
                                         const QString& missing, const QString& several) {
    const QString neighbourhood = QStringLiteral("--neighbourhood");
    const QString size = QStringLiteral("--size");
    if (lists != 1) {
        return lists == 0 ? missing : several;
    }
    if (given.has(neighbourhood) != given.has(size)) {
        return given.has(size) ? QStringLiteral("--size goes with --neighbourhood")
                               : QStringLiteral("missing --size N for --neighbourhood");
    }
    if (given.has(QStringLiteral("--export")) && !given.has(QStringLiteral("--out"))) {
        return QStringLiteral("missing --out PATH for --export");
    }
    return std::nullopt;
}

void PrintCounts(int finished, int successful, int failed, std::optional<int> total) {
    err() << "Finished " << finished << ", Successful " << successful << ", Failed " << failed;
    if (total) {
        err() << ", Total Count " << *total;
    }
    err() << "\n";
    err().flush();
}

std::optional<int> NumberIn(const QString& text, int low, int high) {
    const auto value = ReadWholeNumber(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<QStringList> ReadListFile(const QString& file) {
    QString error;
    auto entries = ReadTargetFile(file, &error);
    if (!entries) {
        Message(error);
        return std::nullopt;
    }
    if (entries->isEmpty()) {
        ReportEmptyList();
        return std::nullopt;
    }
    return entries;
}

void ReportEmptyList() {
    Message(QStringLiteral("the list is empty: nothing to do"));
}

int WriteExport(const QString& path, const QStringList& lines) {
    if (const auto error = WriteExportFile(path, lines)) {
        Message(QStringLiteral("%1: %2").arg(path, *error));
        return kFailed;
    }
    return kOk;
}

StopSignals::StopSignals() {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_previous);
    m_fd = signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

int StopSignals::take() const {
    signalfd_siginfo info{};
    if (::read(m_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return 0;
    }
    return static_cast<int>(info.ssi_signo);
}

}  // namespace quendrix::cli

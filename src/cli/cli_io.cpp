#include "cli/cli_io.h"

#include "core/batch_engine.h"
#include "core/neighbourhood.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "net/file_writer.h"

#include <csignal>
#include <utility>

namespace quendrix::cli {

QString Text(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes);
}

ExitStatusSpec InterruptedStatus() {
    return {kInterruptedBase + SIGINT,
            "interrupted by Ctrl-C (SIGINT): the rows so far are printed, or written to --out"};
}

ExitStatusSpec TerminatedStatus() {
    return {kInterruptedBase + SIGTERM, "ended by SIGTERM, as by Ctrl-C"};
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

void Message(const QString& text) {
    err().flush();
    Message(std::string_view(text.toLocal8Bit().toStdString()));
}

int UsageProblem(const CommandSpec& grammar, const QString& problem) {
    err().flush();
    return plain::UsageProblem(grammar, problem.toLocal8Bit().toStdString());
}

void Message(const char* text) {
    Message(std::string_view(text));
}

int UsageProblem(const CommandSpec& grammar, const char* problem) {
    err().flush();
    return plain::UsageProblem(grammar, problem);
}

std::optional<QString> NeighbourhoodList(const QString& address, const std::string& sizeText,
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

std::optional<std::string> ListSourceProblem(const ParsedArguments& given, int lists,
                                             const std::string& missing,
                                             const std::string& several) {
    if (lists != 1) {
        return lists == 0 ? missing : several;
    }
    if (given.has("--neighbourhood") != given.has("--size")) {
        return given.has("--size") ? "--size goes with --neighbourhood"
                                   : "missing --size N for --neighbourhood";
    }
    if (given.has("--export") && !given.has("--out")) {
        return "missing --out PATH for --export";
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

std::optional<QStringList> ReadListFile(const std::string& path) {
    QString reason;
    auto entries = ReadTargetFileBytes(QByteArray::fromStdString(path), &reason);
    if (!entries) {
        // The import's message, naming the file by its own bytes.
        Message("Cannot open file \"" + path + "\". " + reason.toLocal8Bit().toStdString());
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

std::optional<QString> WriteExportFile(const std::string& path, const QStringList& lines,
                                       TextEncoding encoding) {
    const QByteArray bytes = ExportFileBytes(lines, encoding);
    if (const auto error = net::WriteWholeFile(
            path, {bytes.constData(), static_cast<std::size_t>(bytes.size())})) {
        return QString::fromStdString(*error);
    }
    return std::nullopt;
}

int WriteExport(const std::string& path, const QStringList& lines) {
    if (const auto error = WriteExportFile(path, lines)) {
        Message(path + ": " + error->toStdString());
        return kFailed;
    }
    return kOk;
}

Interruption::Interruption(std::function<void()> onSignal)
    : m_notifier(m_signals.fd(), QSocketNotifier::Read) {
    QObject::connect(&m_notifier, &QSocketNotifier::activated,
                     [this, onSignal = std::move(onSignal)] {
                         const int signal = m_signals.take();
                         if (signal == 0 || happened()) {
                             return;
                         }
                         m_signal = signal;
                         onSignal();
                     });
}

int Interruption::status() const {
    return happened() ? kInterruptedBase + m_signal : kOk;
}

void Interruption::report() const {
    if (happened()) {
        ReportInterruption(m_signal);
    }
}

int BatchEndStatus(const Interruption& interruption, const BatchEngineBase& batch) {
    if (interruption.happened()) {
        interruption.report();
        return interruption.status();
    }
    if (batch.outcome().failed()) {
        Message(batch.outcome().text());
        return kFailed;
    }
    // The run is complete: its counts, then the file (whose failure is the last word).
    const BatchCounters& counters = batch.counters();
    PrintCounts(counters.finished, counters.successful, counters.failed);
    return kOk;
}

}  // namespace quendrix::cli

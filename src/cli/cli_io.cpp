#include "cli/cli_io.h"

#include "core/export_writer.h"
#include "core/neighbourhood.h"
#include "core/target.h"
#include "core/target_list_model.h"

#include <utility>

namespace quendrix::cli {
namespace {

ExitStatusSpec QtStatus(const plain::ExitStatusSpec& status) {
    return {status.status, QString::fromLocal8Bit(status.meaning)};
}

}  // namespace

ExitStatusSpec DoneStatus(const QString& meaning) {
    return QtStatus(plain::DoneStatus(meaning.toLocal8Bit().toStdString()));
}

ExitStatusSpec FailedStatus(const QString& meaning) {
    return {kFailed, meaning};
}

ExitStatusSpec UsageStatus(bool takesList) {
    return QtStatus(plain::UsageStatus(takesList));
}

ExitStatusSpec RefusedStatus(const QString& meaning) {
    return {kRefused, meaning};
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
    return plain::UsageProblem(PlainGrammar(grammar), problem.toLocal8Bit().toStdString());
}

int PrintHelp(const CommandSpec& grammar) {
    return plain::PrintHelp(PlainGrammar(grammar));
}

std::optional<ParsedArguments> ParseCommandWords(const CommandSpec& grammar,
                                                 const QStringList& args, int& status) {
    err().flush();
    const auto parsed = plain::ParseCommandWords(PlainGrammar(grammar), PlainWords(args), status);
    if (!parsed) {
        return std::nullopt;
    }
    return QtArguments(*parsed);
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
    return plain::NumberIn(text.toLocal8Bit().toStdString(), low, high);
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

}  // namespace quendrix::cli

#include "cli/cli_io.h"

#include "core/export_writer.h"
#include "core/target.h"
#include "core/target_list_model.h"

#include <cstdio>

namespace quendrix::cli {

bool WantsHelp(const QStringList& args) {
    return args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"));
}

QString ErrorPrefix(const char* command) {
    return QStringLiteral("quendrix-cli %1: ").arg(QLatin1String(command));
}

int UsageError(const char* command, const QString& text) {
    err() << ErrorPrefix(command) << text << "\n";
    err() << "Try 'quendrix-cli " << command << " --help'.\n";
    return kUsage;
}

std::optional<int> NumberIn(const QString& text, int low, int high) {
    const auto value = ReadWholeNumber(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<QStringList> ReadListFile(const QString& file, const QString& errorPrefix) {
    QString error;
    auto entries = ReadTargetFile(file, &error);
    if (!entries) {
        err() << errorPrefix << error << "\n";
    }
    return entries;
}

int WriteExport(const QString& path, const QStringList& lines, const QString& errorPrefix) {
    if (const auto error = WriteExportFile(path, lines)) {
        err() << errorPrefix << path << ": " << *error << "\n";
        return kFailed;
    }
    return kOk;
}

QByteArray ExportBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLocal8Bit();
        bytes += "\r\n";
    }
    return bytes;
}

StdoutBytes::StdoutBytes() {
    out().flush();
    m_failed = !m_file.open(stdout, QIODevice::WriteOnly);
}

bool StdoutBytes::write(const QByteArray& bytes) {
    if (!m_failed && !bytes.isEmpty() && (m_file.write(bytes) != bytes.size() || !m_file.flush())) {
        m_failed = true;
    }
    return !m_failed;
}

}  // namespace quendrix::cli

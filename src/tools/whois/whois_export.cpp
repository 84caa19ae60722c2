#include "tools/whois/whois_export.h"

namespace quendrix::whois {

QList<ExportKind> WhoisExportKinds() {
    return {{static_cast<int>(WhoisExportId::Txt), QString(), QString(), ExportFormat::Txt,
             ExportRows::All, QStringLiteral("txt")}};
}

QString CannotCreateFileText(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QStringList WhoisExportLines(const QByteArrayList& lines) {
    QStringList text;
    text.reserve(lines.size());
    for (const QByteArray& line : lines) {
        text.append(QString::fromLatin1(line));
    }
    return text;
}

}  // namespace quendrix::whois

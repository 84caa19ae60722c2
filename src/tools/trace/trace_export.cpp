#include "tools/trace/trace_export.h"

namespace quendrix::trace {

QList<ExportKind> TraceExportKinds() {
    return {{static_cast<int>(TraceExportId::Txt), QString(), QString(), ExportFormat::Txt,
             ExportRows::All, QStringLiteral("txt")}};
}

QStringList TraceExportLines(std::span<const HopRow> rows) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(rows.size()));
    for (const HopRow& row : rows) {
        lines.append(QString::fromLocal8Bit(HopLine(row)));
    }
    return lines;
}

}  // namespace quendrix::trace

// The hop list export: one TXT kind, a line per hop in list order (the four texts joined by
// four blanks, no header), in the locale's 8-bit encoding. The page writes these; the command
// line's --out writes the same bytes from HopLine without Qt. An empty hop list gives an empty
// file.
#pragma once

#include "core/export_kind.h"
#include "tools/trace/trace_run.h"

#include <QList>
#include <QStringList>

#include <span>

namespace quendrix::trace {

enum class TraceExportId { Txt };

QList<ExportKind> TraceExportKinds();

QStringList TraceExportLines(std::span<const HopRow> rows);

}  // namespace quendrix::trace

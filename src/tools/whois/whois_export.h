// The whois reply export: one TXT kind, the page's stored reply lines written as Latin-1 so
// that every byte of the reply reaches the file unchanged. The page and the command line's
// --out write the same bytes.
#pragma once

#include "core/export_kind.h"
#include "core/export_writer.h"

#include <QByteArrayList>
#include <QList>
#include <QStringList>

namespace quendrix::whois {

enum class WhoisExportId { Txt };

QList<ExportKind> WhoisExportKinds();

// The encoding every whois export is written in.
inline constexpr TextEncoding kWhoisExportEncoding = TextEncoding::Latin1;

// 'Cannot create file "<path>". <reason>' for an export that could not be written.
QString CannotCreateFileText(const QString& path, const QString& reason);

// The lines to write: each stored reply line, one byte per character.
QStringList WhoisExportLines(const QByteArrayList& lines);

}  // namespace quendrix::whois

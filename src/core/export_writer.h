// What every export shares: the CR LF file writer (never leaves a half-written file over a
// good one, never reports a failed write as success), the replace question, and the HTML page
// frame the tools' pages use.
#pragma once

#include "core/export_kind.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quendrix {

class Prompts;

// How the lines become bytes: the locale's 8-bit text, or Latin-1 for texts that hold bytes
// shown one per character (whois replies), so that every byte reaches the file unchanged.
enum class TextEncoding { Local8Bit, Latin1 };

// The bytes of an export: every line in the encoding, followed by CR LF.
QByteArray ExportFileBytes(const QStringList& lines, TextEncoding encoding);

// Writes the lines as ExportFileBytes. Returns the error text on failure: "File not found",
// "Invalid filename", "Too many open files", "File access denied", "Disk full",
// "Nothing is reading from the pipe", "The reader closed the pipe", "The reader stopped
// reading" (a pipe or device that took nothing for 10 s) or "I/O error <n>".
//
// A new file, or an existing regular file in a folder the user may write to, is replaced
// atomically: the bytes go to a temporary file in the same folder, are flushed to the disk and
// checked, and only then renamed over the target, so a failure leaves the old file whole. An
// existing special file (FIFO, device) is written directly and never renamed over; a FIFO that
// nobody reads is an error, not a wait. An existing writable file in a folder the user may not
// write to is truncated and written directly.
std::optional<QString> WriteExportFile(const QString& path, const QStringList& lines,
                                       TextEncoding encoding = TextEncoding::Local8Bit);

// The question asked before an existing file is replaced; "%1" in text stands for the full
// file name.
struct ReplaceQuestion {
    QString caption;
    QString text;
};

// "<file> already exists.", CR, "Do you want to replace it?", under "Confirm".
ReplaceQuestion AlreadyExistsQuestion();

// "The file has existed, replace it or not?" under "Confirm": the whois and trace pages' own.
ReplaceQuestion HasExistedQuestion();

// The text of the replace question for an existing file.
QString ReplaceQuestionText(const QString& path,
                            const ReplaceQuestion& question = AlreadyExistsQuestion());

// True when path may be written: it does not exist, or the user answered Yes.
bool ConfirmReplace(Prompts& prompts, const QString& path,
                    const ReplaceQuestion& question = AlreadyExistsQuestion());

// What a page's export does once its kind is known: the save dialog with the kind's file type,
// the replace question for an existing file, then the lines (taken only now) written. A write
// that fails is shown under "Quendrix" with the error icon, its text made by failureText from
// the path and the writer's reason (the reason alone when none is given). Returns the path
// written; nothing when the user cancelled, answered No, or the write failed.
std::optional<QString> SaveExportAs(
    Prompts& prompts, const ExportKind& kind, const ReplaceQuestion& question,
    const std::function<QStringList()>& lines, TextEncoding encoding = TextEncoding::Local8Bit,
    const std::function<QString(const QString& path, const QString& reason)>& failureText = {});

// The same with the page's own confirmation of the chosen file name in place of the replace
// question: canClose answers whether path may be written.
std::optional<QString> SaveExportAs(
    Prompts& prompts, const ExportKind& kind,
    const std::function<bool(const QString& path)>& canClose,
    const std::function<QStringList()>& lines, TextEncoding encoding = TextEncoding::Local8Bit,
    const std::function<QString(const QString& path, const QString& reason)>& failureText = {});

// The project's home page, linked from every HTML export.
inline const QString kHomePageUrl = QStringLiteral("https://quendrix.org/");
inline const QString kHomePageText = QStringLiteral("Quendrix Home Page");

// The lines of an HTML export that differ between tools only by their texts.
struct HtmlFrame {
    QString title;                  // inside <title>
    bool centreOuterTable = false;  // align="center" on the banner table
    QString heading;                // the banner's heading
    QString tableWidth;             // width of the results table, e.g. "68%"
};

// Lines from "<html>..." to the opening of the results table.
QStringList HtmlPageHead(const HtmlFrame& frame);
// Lines from the closing of the results table to the end of the page, with the creation
// line dated now.
QStringList HtmlPageTail(const QDateTime& now);
// "<tr>" for the first, third ... row (index 0, 2, ...), the grey start for the others.
QString HtmlRowStart(int index);
// One result cell: height 21, centred, optionally red, closed with "<div></td>".
QString HtmlCell(const QString& width, const QString& text, bool red);
// The creation line of the tail (exposed so tests can leave it out of comparisons).
QString HtmlCreatedLine(const QDateTime& now);

}  // namespace quendrix

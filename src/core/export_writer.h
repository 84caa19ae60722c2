// What every export shares: the 8-bit CR LF file writer (never leaves a half-written file
// over a good one), the replace question, and the HTML page frame the tools' pages use.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace quendrix {

class Prompts;

// Writes each line followed by CR LF as 8-bit text, through a temporary file that replaces
// the target only once everything is written. Returns the error text on failure:
// "File not found", "Invalid filename", "Too many open files", "File access denied",
// "Disk full" or "I/O error <n>".
std::optional<QString> WriteExportFile(const QString& path, const QStringList& lines);

// The text of the replace question for an existing file.
QString ReplaceQuestionText(const QString& path);

// True when path may be written: it does not exist, or the user answered Yes.
bool ConfirmReplace(Prompts& prompts, const QString& path);

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

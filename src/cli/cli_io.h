// What every quendrix-cli command shares: the output streams, the exit statuses, and the
// pieces each command would otherwise write again (help and usage errors, reading the list
// file, writing an export, raw rows on standard output).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace quendrix::cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

QTextStream& out();
QTextStream& err();

// "--help" or "-h" anywhere among the arguments.
bool WantsHelp(const QStringList& args);

// What the error lines of a command start with: "quendrix-cli NAME: ".
QString ErrorPrefix(const char* command);

// The usage error and the pointer to the command's help, on standard error; returns kUsage.
int UsageError(const char* command, const QString& text);

// A whole number from low to high, or nullopt.
std::optional<int> NumberIn(const QString& text, int low, int high);

// The entries of a list file, read with the import rules. When it cannot be read the error
// goes to standard error after errorPrefix, and the result is nullopt (the caller's kUsage).
std::optional<QStringList> ReadListFile(const QString& file, const QString& errorPrefix);

// Writes an export to path through WriteExportFile. Returns kOk, or kFailed after
// "<errorPrefix><path>: <error>" on standard error.
int WriteExport(const QString& path, const QStringList& lines, const QString& errorPrefix);

// The bytes WriteExportFile writes for lines: the 8-bit text, CR LF after every line.
QByteArray ExportBytes(const QStringList& lines);

// Standard output as raw bytes, for rows that must match the export files byte for byte.
// Whatever out() holds is flushed first; each write is flushed at once.
class StdoutBytes {
  public:
    StdoutBytes();
    // False once any write failed (a closed pipe, a full disk); later writes are skipped.
    bool write(const QByteArray& bytes);
    bool failed() const { return m_failed; }

  private:
    QFile m_file;
    bool m_failed = false;
};

}  // namespace quendrix::cli

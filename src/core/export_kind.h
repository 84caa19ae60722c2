// What an export kind is, for every tool: the dialog's radio button and caption, the save
// dialog's file type, the command line's name, and what the tool's line producer needs to pick
// the rows. Each tool lists its kinds once, in the dialog's order; the export dialog, the
// pages and the command line all read that one list.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quendrix {

enum class ExportFormat { Txt, Htm, Csv };

// Which rows a kind keeps: those with an answer (running, successful), those without, or all.
enum class ExportRows { Answered, Unanswered, All };

struct ExportKind {
    int id;             // the tool's own value for the kind (its enum)
    QString radioName;  // the dialog's radio button
    QString caption;    // the radio button's text, blanks included
    ExportFormat format;
    ExportRows rows;
    QString cliName;  // the command line's name for the kind
    int column = -1;  // for a TXT kind that lists one grid column: that column
    // The save dialog the kind opens, by its name where the tool names one ("SaveDialog1").
    QString saveDialog = {};

    // "txt", "htm" or "csv": the save dialog's default extension.
    QString fileType() const {
        switch (format) {
            case ExportFormat::Txt:
                return QStringLiteral("txt");
            case ExportFormat::Htm:
                return QStringLiteral("htm");
            case ExportFormat::Csv:
                break;
        }
        return QStringLiteral("csv");
    }
    // The save dialog's single file type, e.g. "*.htm (*.htm)".
    QString saveFilter() const { return QStringLiteral("*.%1 (*.%1)").arg(fileType()); }
};

// The kind in kinds with the given id, or nullptr.
inline const ExportKind* ExportKindWithId(const QList<ExportKind>& kinds, int id) {
    for (const ExportKind& kind : kinds) {
        if (kind.id == id) {
            return &kind;
        }
    }
    return nullptr;
}

// The tool's value (Id, its enum) of the kind the command line names; nullopt for a name no
// kind has.
template <typename Id>
std::optional<Id> ExportIdFromCliName(const QList<ExportKind>& kinds, const QString& cliName) {
    for (const ExportKind& kind : kinds) {
        if (kind.cliName == cliName) {
            return static_cast<Id>(kind.id);
        }
    }
    return std::nullopt;
}

}  // namespace quendrix

// The whois page's reply area: a list view over the stored reply lines, one visual line per
// stored line whatever bytes it holds, fluid for any reply the client accepts (a 16 MiB line,
// hundreds of thousands of lines). Only what is painted is made into text, and a very long
// line is cut for display only; the stored lines, the export and a copy keep every byte.
#pragma once

#include <QAbstractListModel>
#include <QByteArrayList>
#include <QListView>

namespace quendrix::whois {

// A line is shown up to this many characters, then an ellipsis.
inline constexpr qsizetype kShownLineLimit = 4096;

// How a stored line is shown: one trailing CR (the CR of a CR LF line end) left out, a TAB
// as blanks to the next multiple of eight, every other control byte as its Unicode control
// picture (so no byte can break the line or vanish), the rest one byte per Latin-1 character,
// cut at kShownLineLimit.
QString ShownLine(const QByteArray& line);

class WhoisReplyModel : public QAbstractListModel {
    Q_OBJECT
  public:
    // The whole stored line as Latin-1 text (what a copy takes).
    static constexpr int kStoredTextRole = Qt::UserRole;

    using QAbstractListModel::QAbstractListModel;

    void setLines(QByteArrayList lines);
    const QByteArrayList& lines() const { return m_lines; }
    // The characters of the widest shown line (at most kShownLineLimit + 1).
    qsizetype widestShown() const { return m_widestShown; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    QByteArrayList m_lines;
    qsizetype m_widestShown = 0;
};

// The list view: fixed-pitch font, every row the same height, as wide as the widest shown
// line, read-only; Copy (Ctrl+C, or the context menu) puts the selected lines' stored text on
// the clipboard, joined by LF.
class WhoisReplyView : public QListView {
    Q_OBJECT
  public:
    explicit WhoisReplyView(QWidget* parent = nullptr);

    WhoisReplyModel* replyModel() const { return m_model; }
    void setLines(QByteArrayList lines);
    // The stored text of the selected lines in order, joined by LF.
    QString selectedText() const;
    void copy() const;

  private:
    WhoisReplyModel* m_model;
};

}  // namespace quendrix::whois

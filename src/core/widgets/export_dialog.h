// The "Choose" dialog every export shares: the kinds as radio buttons, "Open the export
// file", Export and Close. Export runs the save dialog, the replace question, the write and
// the optional open; each tool only supplies its kinds and the lines of the chosen one.
#pragma once

#include "core/export_kind.h"
#include "core/export_writer.h"

#include <QDialog>
#include <QList>

#include <functional>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace quendrix {

class Prompts;

// How a tool's exports are written: the text encoding and the question before a file is
// replaced.
struct ExportFileOptions {
    TextEncoding encoding = TextEncoding::Local8Bit;
    ReplaceQuestion replaceQuestion = AlreadyExistsQuestion();
};

class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    // The lines of a kind, taken at the moment of the export.
    using Producer = std::function<QStringList(const ExportKind& kind)>;

    ExportDialog(const QString& objectName, const QList<ExportKind>& kinds, Prompts& prompts,
                 Producer producer, QWidget* parent = nullptr, ExportFileOptions options = {});

    // Shows the dialog modally without a nested event loop: the caller goes on at once, the
    // rest of the program is blocked until Close, and the dialog keeps its choices for the
    // next time.
    void showModal();

    int chosenKind() const;
    void choose(int kind);
    QCheckBox* openCheck() const { return m_open; }
    QRadioButton* radio(int kind) const { return m_radios.at(kind); }

    // Export: writes the chosen kind to a file the user picks.
    void Button1Click();
    // Close.
    void Button2Click() { reject(); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QList<ExportKind> m_kinds;
    Prompts& m_prompts;
    Producer m_producer;
    ExportFileOptions m_options;
    QList<QRadioButton*> m_radios;
    QCheckBox* m_open;
};

}  // namespace quendrix

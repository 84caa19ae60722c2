// The "Choose" dialog every export shares: the kinds as radio buttons, "Open the export
// file", Export and Close. Export runs the save dialog, the replace question, the write and
// the optional open; each tool only supplies the lines of the chosen kind.
#pragma once

#include <QDialog>
#include <QList>

#include <functional>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace quendrix {

class Prompts;

struct ExportKind {
    QString radioName;  // e.g. "RadioButton1"
    QString caption;
    QString fileType;  // "txt", "htm" or "csv": the save dialog's pattern and extension
};

class ExportDialog : public QDialog {
    Q_OBJECT
  public:
    using Producer = std::function<QStringList(int kind)>;

    ExportDialog(const QString& objectName, const QList<ExportKind>& kinds, Prompts& prompts,
                 Producer producer, QWidget* parent = nullptr);

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
    QList<QRadioButton*> m_radios;
    QCheckBox* m_open;
};

}  // namespace quendrix

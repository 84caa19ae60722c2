// Every message box, question, file dialog and shell-open goes through this interface, so
// that the window shows real dialogs and the tests install a recording double.
#pragma once

#include <QString>
#include <QStringList>

namespace quendrix {

class Prompts {
  public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;

    // A message box with one OK button. True when OK was pressed; false when the box was
    // closed without it (Escape, the window's close button), which most callers treat alike.
    virtual bool message(const QString& caption, const QString& text, Icon icon) = 0;
    // A confirmation box with Yes and No.
    virtual Answer askYesNo(const QString& caption, const QString& text) = 0;
    // A confirmation box with Yes and Cancel.
    virtual Answer askYesCancel(const QString& caption, const QString& text) = 0;
    // Open dialog; filters like "*.txt (*.txt)". Empty when cancelled.
    virtual QString openFile(const QString& directory, const QStringList& filters) = 0;
    // Save dialog with one file type and a default extension. Empty when cancelled.
    virtual QString saveFile(const QString& directory, const QString& filter,
                             const QString& defaultSuffix) = 0;
    // Asks the desktop to open a file or address with its default program.
    virtual bool openWithShell(const QString& fileOrUrl) = 0;
};

}  // namespace quendrix

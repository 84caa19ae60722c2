// A Prompts double for tests: records every message and question, answers from a script,
// never blocks. Installs itself as the general error report's target.
#pragma once

#include "core/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace quendrix::test {

struct RecordedPrompt {
    QString kind;  // "message", "yesno", "yescancel", "open", "save", "shell"
    QString caption;
    QString text;
    Prompts::Icon icon = Prompts::Icon::None;
};

class RecordingPrompts : public Prompts {
  public:
    RecordingPrompts();
    ~RecordingPrompts() override;

    bool message(const QString& caption, const QString& text, Icon icon) override;
    Answer askYesNo(const QString& caption, const QString& text) override;
    Answer askYesCancel(const QString& caption, const QString& text) override;
    QString openFile(const QString& directory, const QStringList& filters) override;
    QString saveFile(const QString& directory, const QString& filter,
                     const QString& defaultSuffix) override;
    bool openWithShell(const QString& fileOrUrl) override;

    // Scripted answers, taken in order; defaults: Yes, and no file (cancel).
    QList<Answer> answers;
    QStringList files;
    // How each message box is closed: true for OK (the default without it), false for closed
    // without OK. Called while the box counts as shown, so a test can look at the window then.
    std::function<bool()> closeMessage;

    QList<RecordedPrompt> recorded;
    QStringList lastFilters;
    QString lastSaveFilter;
    QString lastSaveSuffix;
    // Messages only, as "caption|text".
    QStringList messages() const;
};

}  // namespace quendrix::test

// The real prompts: Qt message boxes, file dialogs and the desktop's open operation.
#pragma once

#include "core/prompts.h"

class QWidget;

namespace quendrix {

class WidgetPrompts : public Prompts {
  public:
    explicit WidgetPrompts(QWidget* parent) : m_parent(parent) {}
    bool message(const QString& caption, const QString& text, Icon icon) override;
    Answer askYesNo(const QString& caption, const QString& text) override;
    Answer askYesCancel(const QString& caption, const QString& text) override;
    QString openFile(const QString& directory, const QStringList& filters) override;
    QString saveFile(const QString& directory, const QString& filter,
                     const QString& defaultSuffix) override;
    bool openWithShell(const QString& fileOrUrl) override;

  private:
    QWidget* m_parent;
};

}  // namespace quendrix

#include "core/widgets/widget_prompts.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QUrl>

namespace quendrix {
namespace {

QMessageBox::Icon toQt(Prompts::Icon icon) {
    switch (icon) {
        case Prompts::Icon::Information:
            return QMessageBox::Information;
        case Prompts::Icon::Warning:
            return QMessageBox::Warning;
        case Prompts::Icon::Error:
            return QMessageBox::Critical;
        case Prompts::Icon::Question:
            return QMessageBox::Question;
        case Prompts::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

Prompts::Answer ask(QWidget* parent, const QString& caption, const QString& text,
                    QMessageBox::StandardButton second) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | second, parent);
    return box.exec() == QMessageBox::Yes
               ? Prompts::Answer::Yes
               : (second == QMessageBox::No ? Prompts::Answer::No : Prompts::Answer::Cancel);
}

// A box with one OK button that tells OK apart from being closed. Qt makes a lone button the
// escape button, so Escape and the window's close button would otherwise read as OK.
class OkBox : public QMessageBox {
  public:
    OkBox(Icon icon, const QString& caption, const QString& text, QWidget* parent)
        : QMessageBox(icon, caption, text, QMessageBox::Ok, parent) {
        // Only a real press of the button (click, Enter, Space) emits this; closing does not.
        connect(this, &QMessageBox::buttonClicked, this, [this] { m_pressed = true; });
    }
    bool pressed() const { return m_pressed; }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

  private:
    bool m_pressed = false;
};

}  // namespace

bool WidgetPrompts::message(const QString& caption, const QString& text, Icon icon) {
    OkBox box(toQt(icon), caption, text, m_parent);
    box.exec();
    return box.pressed();
}

Prompts::Answer WidgetPrompts::askYesNo(const QString& caption, const QString& text) {
    return ask(m_parent, caption, text, QMessageBox::No);
}

Prompts::Answer WidgetPrompts::askYesCancel(const QString& caption, const QString& text) {
    return ask(m_parent, caption, text, QMessageBox::Cancel);
}

QString WidgetPrompts::openFile(const QString& directory, const QStringList& filters) {
    return QFileDialog::getOpenFileName(m_parent, QString(), directory,
                                        filters.join(QStringLiteral(";;")));
}

QString WidgetPrompts::saveFile(const QString& directory, const QString& filter,
                                const QString& defaultSuffix) {
    // Our own replace question follows, so the dialog must not ask first.
    QFileDialog dialog(m_parent, QString(), directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

bool WidgetPrompts::openWithShell(const QString& fileOrUrl) {
    const QUrl url = QFileInfo::exists(fileOrUrl) ? QUrl::fromLocalFile(fileOrUrl)
                                                  : QUrl::fromUserInput(fileOrUrl);
    return QDesktopServices::openUrl(url);
}

}  // namespace quendrix

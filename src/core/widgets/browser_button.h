// The browser buttons on the pages and the main window's start-up prefill from the browser.
#pragma once

#include "core/job_runner.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLineEdit;
class QToolButton;
class QWidget;

namespace quendrix {

class BrowserAddressSource;

// A page's browser button as its row in the table of browser buttons gives it (name, hint).
// The page connects it to its handler, which calls PressBrowserButton.
QToolButton* MakeBrowserButton(const QString& page, QWidget* parent);

// Fills target boxes once with the host of the page open in the browser. The browser is asked
// on a job of its own, so a slow source never holds up the window; a box whose text changes
// before the answer comes (the user typed, a hand-off or button filled it) keeps its text.
// With no browser address every box keeps its text, and nothing is shown.
class BrowserPrefill : public QObject {
    Q_OBJECT
  public:
    BrowserPrefill(std::shared_ptr<BrowserAddressSource> source, const QList<QLineEdit*>& boxes,
                   QObject* parent = nullptr);
    ~BrowserPrefill() override;

    // Asks the browser; the boxes are filled in an event-loop turn after the answer.
    void start();
    // For tests: waits, processing events, until the answer has been applied.
    bool wait(int timeoutMs);
    bool isRunning() const { return m_runner.isRunning(); }

  private:
    void apply(const QString& address);

    struct Box {
        QPointer<QLineEdit> edit;
        bool changed = false;
    };
    std::shared_ptr<BrowserAddressSource> m_source;
    QList<Box> m_boxes;
    JobRunner<QString> m_runner;
};

}  // namespace quendrix

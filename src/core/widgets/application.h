// The application object: catches an error escaping any event handler and shows it as the
// general error report (caption "Quendrix", error icon); the program then goes on.
#pragma once

#include <QApplication>

#include "core/errors.h"

namespace quendrix {

class Prompts;

class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Where the report goes; the main window installs its prompts here.
    void setPrompts(Prompts* prompts) { m_prompts = prompts; }
    // Shows text as the general error report.
    void reportError(const QString& text);

  private:
    Prompts* m_prompts = nullptr;
};

// Runs handler and turns an escaping error into the general error report, for code paths
// that do not pass through an event (direct calls from tests or hand-offs).
template <typename Handler>
void RunReported(Handler&& handler) {
    try {
        handler();
    } catch (const UserError& error) {
        if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) {
            app->reportError(error.message());
        }
    }
}

}  // namespace quendrix

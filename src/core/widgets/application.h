// The application object: catches an error escaping any event handler and shows it as the
// general error report (caption "Quendrix", error icon); the program then goes on.
#pragma once

#include <QApplication>

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

}  // namespace quendrix

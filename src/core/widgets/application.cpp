#include "core/widgets/application.h"

#include "core/errors.h"
#include "core/prompts.h"

namespace quendrix {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Quendrix"));
    setApplicationVersion(QStringLiteral(QUENDRIX_VERSION));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const UserError& error) {
        reportError(error.message());
    } catch (const std::exception& error) {
        reportError(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

void Application::reportError(const QString& text) {
    if (m_prompts != nullptr) {
        m_prompts->message(QStringLiteral("Quendrix"), text, Prompts::Icon::Error);
    }
}

}  // namespace quendrix

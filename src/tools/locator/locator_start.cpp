#include "tools/locator/locator_start.h"

#include "tools/locator/location_service.h"

#include <QCoreApplication>

#ifdef QUENDRIX_HAVE_WEBENGINE
#include <QWebEngineUrlScheme>

#include <unistd.h>
#endif

namespace quendrix::locator {

void PrepareBeforeApplication() {
#ifdef QUENDRIX_HAVE_WEBENGINE
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    QWebEngineUrlScheme scheme{QByteArray(kBuiltInScheme)};
    // "quendrix-locator://service/TryIt.htm?...": a host and no port.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
    // WebEngine shares its OpenGL context with the widgets; the attribute must come first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
#endif
}

}  // namespace quendrix::locator

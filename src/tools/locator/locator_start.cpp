#include "tools/locator/locator_start.h"

#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

namespace quendrix::locator {

void PrepareBeforeApplication() {
    PrepareWebEngineProcess();
}

void PrepareWebEngineProcess() {
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    }
}

}  // namespace quendrix::locator

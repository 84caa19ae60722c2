// Quendrix: the desktop program.
#include "app/run.h"
#include "http/fetch_service.h"
#include "net/secure_environment.h"

int main(int argc, char** argv) {
    // With cap_net_raw from its file, nothing the caller's environment names is loaded.
    if (quendrix::net::StartedWithRaisedPrivileges()) {
        quendrix::net::KeepOnlyTheDesktopEnvironment();
    }
    // libcurl's global start comes before any thread of the program exists.
    quendrix::http::GlobalInit();
    return quendrix::RunQuendrix(argc, argv);
}

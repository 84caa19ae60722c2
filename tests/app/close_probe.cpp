// The desktop program, started as usual, with a batch ping handed a name that the lab's name
// server never answers; it closes its window as soon as that look-up waits inside the C
// library and says so on standard output. Usage: close_probe FOLDER (settings.ini goes there).
#include "app/main_window.h"
#include "app/run.h"
#include "core/hand_off.h"
#include "http/fetch_service.h"
#include "net/resolver.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    using namespace quendrix;
    // The window holds the website scanner's network thread: libcurl's start comes first, as
    // in the program.
    http::GlobalInit();
    RunOptions options;
    if (argc > 1) {
        options.executableDirectory = QString::fromLocal8Bit(argv[1]);
    }
    options.started = [](Tmain& window) {
        window.handOff().deliver(*HandOffTargetFor(QStringLiteral("Ping"), false),
                                 QStringLiteral("hangs.lab.test"));
        auto* poll = new QTimer(&window);
        auto waited = std::make_shared<QElapsedTimer>();
        waited->start();
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, waited] {
            const bool waiting = net::LookupsInProgress() > 0;
            if (!waiting && waited->elapsed() < 20000) {
                return;
            }
            poll->stop();
            if (waiting) {
                std::printf("look-up waiting\n");
                std::fflush(stdout);
            }
            window.close();
        });
        poll->start(10);
    };
    return RunQuendrix(argc, argv, options);
}

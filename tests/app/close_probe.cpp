// The desktop program, started as usual, with a batch ping handed a name that the lab's name
// server never answers; it closes its window as soon as that look-up waits inside the C
// library and says so on standard output. Usage: close_probe FOLDER (settings.ini goes there).
// With "whois" after the folder, the look-up is instead the reverse look-up of the converter
// address box's "Whois" item: the probe says how long the item held the window and which page
// it left shown, and how often the window's timer ran while the look-up waited.
#include "app/main_window.h"
#include "app/run.h"
#include "core/hand_off.h"
#include "http/fetch_service.h"
#include "net/resolver.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
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
    const bool whois = argc > 2 && QByteArray(argv[2]) == "whois";
    options.started = [whois](Tmain& window) {
        if (whois) {
            auto* converter =
                window.findChild<QWidget*>(QStringLiteral("ip_to_domain_converter_tab"));
            converter->findChild<QLineEdit*>(QStringLiteral("ip_edit"))
                ->setText(QStringLiteral("10.250.1.99"));
            QElapsedTimer held;
            held.start();
            converter->findChild<QAction*>(QStringLiteral("MenuItem3"))->trigger();
            std::printf("hand-off held the window %lld ms, showing %s\n",
                        static_cast<long long>(held.elapsed()),
                        window.page(window.activePage())->objectName().toUtf8().constData());
        } else {
            window.handOff().deliver(*HandOffTargetFor(QStringLiteral("Ping"), false),
                                     QStringLiteral("hangs.lab.test"));
        }
        auto* poll = new QTimer(&window);
        auto waited = std::make_shared<QElapsedTimer>();
        auto ticksWhileWaiting = std::make_shared<int>(0);
        waited->start();
        QObject::connect(poll, &QTimer::timeout, &window,
                         [&window, poll, waited, ticksWhileWaiting, whois] {
                             const bool waiting = net::LookupsInProgress() > 0;
                             if (!waiting && waited->elapsed() < 20000) {
                                 return;
                             }
                             // The window goes on while the look-up waits: let its timer run a
                             // while.
                             if (waiting && whois && ++*ticksWhileWaiting < 20) {
                                 return;
                             }
                             poll->stop();
                             if (waiting) {
                                 if (whois) {
                                     std::printf("ticks while waiting: %d\n", *ticksWhileWaiting);
                                 }
                                 std::printf("look-up waiting\n");
                                 std::fflush(stdout);
                             }
                             window.close();
                         });
        poll->start(10);
    };
    return RunQuendrix(argc, argv, options);
}

#include "app/run.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "core/widgets/application.h"
#include "net/program_layout.h"
#include "net/resolver.h"
#include "tools/locator/locator_start.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QSplashScreen>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace quendrix {
namespace {

QPixmap splashPicture() {
    QPixmap picture(420, 200);
    picture.fill(QColor(0x00, 0x33, 0x99));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPointSize(30);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(0, -20, 0, -20), Qt::AlignCenter,
                     QStringLiteral("Quendrix"));
    font.setPointSize(11);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(0, 70, 0, 0), Qt::AlignCenter,
                     QStringLiteral("Network toolkit"));
    return picture;
}

// Watches the teardown after the window has closed. Every worker is stopped and joined
// there, but a name look-up waiting inside the C library cannot be woken and would hold
// the process for its whole time-out (30 s and more with several name servers). When the
// teardown stalls while such a look-up is in progress, the process ends at once: the
// settings and every export are written by then, and the look-up holds no user data.
// libcurl's look-ups (the website scanner's network thread) need no watching: their transfers
// are set to quick exit, so closing one leaves its resolver thread behind instead of joining
// it, and nothing in the teardown waits for them.
class EndWhenStalledByLookups {
  public:
    explicit EndWhenStalledByLookups(int status) : m_thread([this, status] { watch(status); }) {}
    ~EndWhenStalledByLookups() {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }
    EndWhenStalledByLookups(const EndWhenStalledByLookups&) = delete;
    EndWhenStalledByLookups& operator=(const EndWhenStalledByLookups&) = delete;

  private:
    void watch(int status) {
        std::unique_lock lock(m_mutex);
        while (
            !m_changed.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_done; })) {
            if (net::LookupsInProgress() > 0) {
                std::fflush(nullptr);
                _exit(status);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    std::thread m_thread;  // last: it uses the members above
};

}  // namespace

int RunQuendrix(int argc, char** argv, const RunOptions& options) {
    // What the IP Locator's web view needs from the process (as root: WebEngine's sandbox off),
    // set before the application object and any thread exist. WebEngine itself is loaded only
    // when that view is first made.
    locator::PrepareBeforeApplication();
    Application app(argc, argv);

    QSplashScreen splash(splashPicture());
    splash.show();
    app.processEvents();

    MainWindowOptions windowOptions;
    if (!options.executableDirectory.isEmpty()) {
        windowOptions.executableDirectory = options.executableDirectory;
        windowOptions.settingsFiles = LocateSettingsFiles(options.executableDirectory);
    } else {
        // The build tree keeps settings.ini and the help page beside the program; an installed
        // program keeps its settings in the XDG place and its help page in share/quendrix/.
        const QString directory = QCoreApplication::applicationDirPath();
        const net::ProgramLayout layout =
            net::LayoutOfProgramIn(QFile::encodeName(directory + QLatin1Char('/')).toStdString());
        const QString data = QDir::cleanPath(QFile::decodeName(layout.dataFolder.c_str()));
        windowOptions.executableDirectory = directory;
        windowOptions.helpDirectory = data;
        windowOptions.settingsFiles =
            layout.installed ? LocateInstalledSettingsFiles(data) : LocateSettingsFiles(directory);
    }
    auto window = std::make_unique<Tmain>(windowOptions);
    app.setPrompts(&window->prompts());
    window->show();
    splash.finish(window.get());
    if (options.started) {
        options.started(*window);
    }
    const int status = app.exec();
    // The window has closed and written the settings; what remains is the teardown.
    app.setPrompts(nullptr);
    const EndWhenStalledByLookups watch(status);
    window.reset();
    return status;
}

}  // namespace quendrix

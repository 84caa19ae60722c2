#include "tools/locator/locator_view.h"

#include "core/job_runner.h"
#include "core/prompts.h"
#include "net/program_layout.h"
#include "tools/locator/locator_start.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include <map>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

namespace quendrix::locator {
namespace {

const QString kViewName = QStringLiteral("WebBrowser1");

// The text browser: shows the built-in page's HTML itself, and for another service the query
// address as a link.
class TextBrowserView final : public LocatorView {
  public:
    TextBrowserView(Prompts& prompts, QWidget* parent) : m_browser(new QTextBrowser(parent)) {
        m_browser->setObjectName(kViewName);
        m_browser->setOpenLinks(false);
        QObject::connect(m_browser, &QTextBrowser::anchorClicked, m_browser,
                         [&prompts](const QUrl& url) {
                             // Only web links leave the program; nothing here is fetched.
                             if (IsWebLink(url)) {
                                 prompts.openWithShell(url.toString(QUrl::FullyEncoded));
                             }
                         });
    }

    QWidget* widget() override { return m_browser; }
    bool needsBuiltInPage() const override { return true; }

    std::optional<QString> show(const QString& queryAddress, const QString& html) override {
        const QUrl url(queryAddress);
        if (auto refused = RefusedAddress(url, queryAddress)) {
            return refused;
        }
        m_address = queryAddress;
        if (!html.isEmpty()) {
            m_browser->setHtml(html);
        } else {
            const QString link = url.toString(QUrl::FullyEncoded).toHtmlEscaped();
            m_browser->setHtml(
                QStringLiteral("<p>This view shows only the built-in location service's pages. "
                               "Open the location page in your web browser:</p>"
                               "<p><a href=\"%1\">%2</a></p>")
                    .arg(link, queryAddress.toHtmlEscaped()));
        }
        if (loaded) {
            loaded(true);
        }
        return std::nullopt;
    }

    QString address() const override { return m_address; }
    QString plainText() const override { return m_browser->toPlainText(); }

  private:
    QTextBrowser* m_browser;
    QString m_address;
};

// Makes the built-in pages for the WebEngine view: each on a worker of its own, handed back on
// the UI thread.
class BuiltInAnswers final : public QObject {
  public:
    BuiltInAnswers(std::shared_ptr<const LocationService> service, QObject* parent)
        : QObject(parent),
          m_service(std::move(service)),
          m_runner(new JobRunner<QString>(
              [this](JobId id, std::span<QString> pages) {
                  for (QString& page : pages) {
                      finish(id, std::move(page));
                  }
              },
              this)) {
        // A job that ended without a page (no query of the service, or it failed) answers
        // nothing.
        connect(m_runner, &JobRunnerBase::ended, this,
                [this](JobId id, const JobOutcome&) { finish(id, std::nullopt); });
    }
    ~BuiltInAnswers() override { m_runner->shutdown(); }

    void answer(const QUrl& url, std::function<void(std::optional<QString>)> done) {
        if (!BuiltInQueryAddress(url)) {
            done(std::nullopt);
            return;
        }
        const JobId id =
            m_runner->start([service = m_service, url](JobRunner<QString>::Context& job) {
                if (auto page = service->Answer(url)) {
                    job.push(std::move(*page));
                }
            });
        m_waiting[id] = std::move(done);
    }

  private:
    void finish(JobId id, std::optional<QString> page) {
        const auto waiting = m_waiting.find(id);
        if (waiting == m_waiting.end()) {
            return;
        }
        auto done = std::move(waiting->second);
        m_waiting.erase(waiting);
        done(std::move(page));
    }

    std::shared_ptr<const LocationService> m_service;
    JobRunner<QString>* m_runner;
    std::map<JobId, std::function<void(std::optional<QString>)>> m_waiting;
};

// The WebEngine module's entry point, loaded once; nullptr where it is missing or refuses.
MakeWebEngineViewFunction webEngineModule() {
#ifdef QUENDRIX_LOCATOR_WEBENGINE_MODULE
    static const MakeWebEngineViewFunction make = [] {
        const QString name = QStringLiteral(QUENDRIX_LOCATOR_WEBENGINE_MODULE);
        // Never unloaded: WebEngine cannot be unloaded while the program runs.
        // Beside the program in the build tree, in lib/.../quendrix/ when installed.
        const std::string folder =
            net::LayoutOfProgramIn(
                QFile::encodeName(QCoreApplication::applicationDirPath() + QLatin1Char('/'))
                    .toStdString())
                .moduleFolder;
        QLibrary module(QFile::decodeName(folder.c_str()) + name);
        auto symbol = module.resolve(kMakeWebEngineViewSymbol);
        if (symbol == nullptr) {
            qWarning("IP Locator: %s", qUtf8Printable(module.errorString()));
            return MakeWebEngineViewFunction(nullptr);
        }
        return reinterpret_cast<MakeWebEngineViewFunction>(symbol);
    }();
    return make;
#else
    return nullptr;
#endif
}

}  // namespace

bool HaveWebEngine() {
    return webEngineModule() != nullptr;
}

std::unique_ptr<LocatorView> MakeLocatorView(LocatorView::Kind kind,
                                             std::shared_ptr<const LocationService> service,
                                             Prompts& prompts, QWidget* parent) {
    // Without a screen (the offscreen and minimal platforms) there is nothing for WebEngine's
    // processes to draw on: the text browser shows the pages there.
    const QString platform = QGuiApplication::platformName();
    if (kind == LocatorView::Kind::Automatic && platform != QStringLiteral("offscreen") &&
        platform != QStringLiteral("minimal")) {
        // Normally set at start-up already; WebEngine reads it when it sets itself up.
        PrepareWebEngineProcess();
        if (const MakeWebEngineViewFunction make = webEngineModule()) {
            auto* answers = new BuiltInAnswers(std::move(service), parent);
            WebEngineViewArguments arguments;
            arguments.answer = [answers](const QUrl& url,
                                         std::function<void(std::optional<QString>)> done) {
                answers->answer(url, std::move(done));
            };
            arguments.prompts = &prompts;
            arguments.parent = parent;
            return std::unique_ptr<LocatorView>(make(arguments));
        }
    }
    return std::make_unique<TextBrowserView>(prompts, parent);
}

}  // namespace quendrix::locator

#include "tools/locator/locator_view.h"

#include "core/job_runner.h"
#include "core/prompts.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

#include <map>

#ifdef QUENDRIX_HAVE_WEBENGINE
#include <QBuffer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#endif

namespace quendrix::locator {
namespace {

const QString kViewName = QStringLiteral("WebBrowser1");

// A query address the views accept: a valid address with a scheme and something after it.
std::optional<QString> refusal(const QUrl& url, const QString& queryAddress) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return QStringLiteral("Cannot open the address \"%1\".").arg(queryAddress);
    }
    return std::nullopt;
}

bool isWebLink(const QUrl& url) {
    return url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https");
}

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
                             if (isWebLink(url)) {
                                 prompts.openWithShell(url.toString(QUrl::FullyEncoded));
                             }
                         });
    }

    QWidget* widget() override { return m_browser; }
    bool needsBuiltInPage() const override { return true; }

    std::optional<QString> show(const QString& queryAddress, const QString& html) override {
        const QUrl url(queryAddress);
        if (auto refused = refusal(url, queryAddress)) {
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

#ifdef QUENDRIX_HAVE_WEBENGINE

// Answers the built-in scheme: the page is made on a worker (the reverse look-up blocks), and
// handed to the request if the view still wants it.
class BuiltInSchemeHandler final : public QWebEngineUrlSchemeHandler {
  public:
    BuiltInSchemeHandler(std::shared_ptr<const LocationService> service, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent),
          m_service(std::move(service)),
          m_runner(new JobRunner<QString>(
              [this](JobId id, std::span<QString> pages) {
                  for (const QString& page : pages) {
                      answer(id, page);
                  }
              },
              this)) {
        QObject::connect(m_runner, &JobRunnerBase::ended, this,
                         [this](JobId id, const JobOutcome&) {
                             // A job that ended without a page (it failed) fails the request.
                             const auto request = m_requests.find(id);
                             if (request != m_requests.end()) {
                                 if (request->second) {
                                     request->second->fail(QWebEngineUrlRequestJob::RequestFailed);
                                 }
                                 m_requests.erase(request);
                             }
                         });
    }
    ~BuiltInSchemeHandler() override { m_runner->shutdown(); }

    void requestStarted(QWebEngineUrlRequestJob* request) override {
        const QUrl url = request->requestUrl();
        if (!BuiltInQueryAddress(url)) {
            request->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        const JobId id =
            m_runner->start([service = m_service, url](JobRunner<QString>::Context& job) {
                if (auto page = service->Answer(url)) {
                    job.push(std::move(*page));
                }
            });
        m_requests[id] = request;
    }

  private:
    void answer(JobId id, const QString& page) {
        const auto request = m_requests.find(id);
        if (request == m_requests.end()) {
            return;
        }
        if (QWebEngineUrlRequestJob* job = request->second) {
            auto* body = new QBuffer(job);
            body->setData(page.toUtf8());
            job->reply(QByteArrayLiteral("text/html"), body);
        }
        m_requests.erase(request);
    }

    std::shared_ptr<const LocationService> m_service;
    JobRunner<QString>* m_runner;
    std::map<JobId, QPointer<QWebEngineUrlRequestJob>> m_requests;
};

// Links clicked on the built-in page open in the user's browser, never in the view.
class LocatorWebPage final : public QWebEnginePage {
  public:
    LocatorWebPage(QWebEngineProfile* profile, Prompts& prompts, QObject* parent)
        : QWebEnginePage(profile, parent), m_prompts(prompts) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeLinkClicked &&
            this->url().scheme() == QString::fromLatin1(kBuiltInScheme) && isWebLink(url)) {
            m_prompts.openWithShell(url.toString(QUrl::FullyEncoded));
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

  private:
    Prompts& m_prompts;
};

class WebEngineView final : public LocatorView {
  public:
    WebEngineView(std::shared_ptr<const LocationService> service, Prompts& prompts, QWidget* parent)
        : m_view(new QWebEngineView(parent)) {
        m_view->setObjectName(kViewName);
        // A profile of the view's own, kept in memory: the built-in scheme's handler lives
        // there, and nothing of the user's browsing is written to disk.
        m_profile = new QWebEngineProfile(m_view);
        m_profile->installUrlSchemeHandler(QByteArray(kBuiltInScheme),
                                           new BuiltInSchemeHandler(std::move(service), m_profile));
        m_page = new LocatorWebPage(m_profile, prompts, m_profile);
        m_view->setPage(m_page);
        QObject::connect(m_page, &QWebEnginePage::loadFinished, m_view, [this](bool ok) {
            m_page->toPlainText(
                [this, page = QPointer<QWebEnginePage>(m_page), ok](const QString& text) {
                    if (page.isNull()) {
                        return;
                    }
                    m_text = text;
                    m_textAddress = m_address;
                    if (loaded) {
                        loaded(ok);
                    }
                });
        });
    }
    ~WebEngineView() override {
        // The page goes before its profile.
        delete m_page;
    }

    QWidget* widget() override { return m_view; }
    bool needsBuiltInPage() const override { return false; }

    std::optional<QString> show(const QString& queryAddress, const QString&) override {
        const QUrl url(queryAddress);
        if (auto refused = refusal(url, queryAddress)) {
            return refused;
        }
        m_address = queryAddress;
        m_view->load(url);
        return std::nullopt;
    }

    QString address() const override { return m_textAddress; }
    QString plainText() const override { return m_text; }

  private:
    QWebEngineView* m_view;
    QWebEngineProfile* m_profile = nullptr;
    LocatorWebPage* m_page = nullptr;
    QString m_address;
    QString m_textAddress;
    QString m_text;
};

#endif

}  // namespace

bool HaveWebEngine() {
#ifdef QUENDRIX_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

std::unique_ptr<LocatorView> MakeLocatorView(LocatorView::Kind kind,
                                             std::shared_ptr<const LocationService> service,
                                             Prompts& prompts, QWidget* parent) {
#ifdef QUENDRIX_HAVE_WEBENGINE
    if (kind == LocatorView::Kind::Automatic) {
        return std::make_unique<WebEngineView>(std::move(service), prompts, parent);
    }
#else
    Q_UNUSED(kind);
    Q_UNUSED(service);
#endif
    return std::make_unique<TextBrowserView>(prompts, parent);
}

}  // namespace quendrix::locator

// The IP Locator's WebEngine view, built as a module of its own that the page loads the first
// time it makes its view (see locator_view.h): the only code of the program that links Qt
// WebEngine. It knows the program only through the arguments of its entry point.
#include "core/prompts.h"
#include "tools/locator/locator_view.h"

#include <QBuffer>
#include <QPointer>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

// Qt WebEngine's own set-up (the shared OpenGL context), normally run before the application
// object exists; exported by its library, declared by no public header.
namespace QtWebEngineCore {
Q_DECL_IMPORT void initialize();
}

namespace quendrix::locator {
namespace {

const QString kViewName = QStringLiteral("WebBrowser1");

// What WebEngine sets up for itself when it is linked into a program, done here once before
// the first view, since this module comes after the application object: the OpenGL context
// that WebEngine's views share (WebEngine's own set-up function, exported by its library for
// this), the scene graph on OpenGL, and the built-in scheme registered as a scheme of its own
// with a host, like http (WebEngine takes schemes until its first profile is made).
void prepareWebEngine() {
    static const bool prepared = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGLRhi);
        QtWebEngineCore::initialize();
        QWebEngineUrlScheme scheme{QByteArray(kBuiltInScheme)};
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
        QWebEngineUrlScheme::registerScheme(scheme);
        return true;
    }();
    Q_UNUSED(prepared);
}

// Answers the built-in scheme through the program's service: the page is made on a worker
// there (the reverse look-up blocks) and handed to the request if the view still wants it.
class BuiltInSchemeHandler final : public QWebEngineUrlSchemeHandler {
  public:
    BuiltInSchemeHandler(WebEngineViewArguments::Answer answer, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent), m_answer(std::move(answer)) {}

    void requestStarted(QWebEngineUrlRequestJob* request) override {
        m_answer(request->requestUrl(), [request = QPointer<QWebEngineUrlRequestJob>(request)](
                                            std::optional<QString> page) {
            if (request.isNull()) {
                return;  // the view went elsewhere meanwhile
            }
            if (!page) {
                request->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            auto* body = new QBuffer(request.data());
            body->setData(page->toUtf8());
            request->reply(QByteArrayLiteral("text/html"), body);
        });
    }

  private:
    WebEngineViewArguments::Answer m_answer;
};

// Links clicked on the built-in page open in the user's browser, never in the view.
class LocatorWebPage final : public QWebEnginePage {
  public:
    LocatorWebPage(QWebEngineProfile* profile, Prompts& prompts, QObject* parent)
        : QWebEnginePage(profile, parent), m_prompts(prompts) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeLinkClicked &&
            this->url().scheme() == QString::fromLatin1(kBuiltInScheme) && IsWebLink(url)) {
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
    explicit WebEngineView(const WebEngineViewArguments& arguments)
        : m_view(new QWebEngineView(arguments.parent)) {
        m_view->setObjectName(kViewName);
        // A profile of the view's own, kept in memory: the built-in scheme's handler lives
        // there, and nothing of the user's browsing is written to disk.
        m_profile = new QWebEngineProfile(m_view);
        m_profile->installUrlSchemeHandler(QByteArray(kBuiltInScheme),
                                           new BuiltInSchemeHandler(arguments.answer, m_profile));
        m_page = new LocatorWebPage(m_profile, *arguments.prompts, m_profile);
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
        if (auto refused = RefusedAddress(url, queryAddress)) {
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

}  // namespace
}  // namespace quendrix::locator

extern "C" Q_DECL_EXPORT quendrix::locator::LocatorView* quendrix_locator_make_webengine_view(
    const quendrix::locator::WebEngineViewArguments& arguments) {
    quendrix::locator::prepareWebEngine();
    return new quendrix::locator::WebEngineView(arguments);
}

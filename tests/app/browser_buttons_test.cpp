// The browser buttons and the start-up prefill, on the real main window and its pages, with a
// browser double in place of the system's browser.
#include "core/browser_buttons.h"
#include "app/main_window.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/tool_page.h"
#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/http_global_init.h"
#include "support/recording_prompts.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace quendrix {
namespace {

// What each page's button is, as the user sees it, and where its value goes.
struct ExpectedButton {
    const char* page;
    const char* button;
    const char* hint;
    const char* box;
    QStringList actions;
    bool withPath;  // the address without its scheme rather than the host
};

const ExpectedButton kButtons[] = {
    {"ip_to_domain_converter_tab",
     "SpeedButton20",
     "Convert the domain currently open in the Internet Explorer",
     "domain_edit",
     {"nametoip_buttonClick"},
     false},
    {"batch_ping_tab",
     "SpeedButton21",
     "Ping the domain currently open in the Internet Explorer",
     "Edit7",
     {"SpeedButton7Click"},
     false},
    {"tracert_tab",
     "SpeedButton22",
     "Trace the domain currently open in the Internet Explorer",
     "edTarget",
     {"acStopExecute", "acGoExecute"},
     false},
    {"whois_tab",
     "SpeedButton23",
     "Query the domain currently open in the Internet Explorer",
     "edDomain",
     {"Button3Click", "whois_start_buttonClick"},
     false},
    {"country_lookup_tab",
     "SpeedButton24",
     "Query the domain currently open in the Internet Explorer",
     "Edit3",
     {"SpeedButton9Click"},
     false},
    {"website_scanner_tab",
     "SpeedButton17",
     "Scan web address currently open in the Internet Explorer",
     "Edit111",
     {"Button11Click", "Button22Click"},
     true},
    {"ip_locator_tab",
     "SpeedButton26",
     "Query the IP address of the domain currently open in Internet Explorer",
     "Edit11",
     {"SpeedButton3Click"},
     false},
};

// A browser that answers only when the test lets it (or after ten seconds at the latest), so
// a test can act before the answer comes.
class GatedBrowser : public BrowserAddressSource {
  public:
    std::optional<QString> windowInfo() override {
        std::unique_lock lock(m_mutex);
        m_opened.wait_for(lock, std::chrono::seconds(10), [this] { return m_open; });
        return reply;
    }
    void open() {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    std::optional<QString> reply;

  private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

// A browser whose query fails with an exception.
class FailingBrowser : public BrowserAddressSource {
  public:
    std::optional<QString> windowInfo() override {
        throw std::runtime_error("session store unreadable");
    }
};

// Counts the queries inside the source at once. The first waits until the test opens the
// gate, so the test can send a second one while the first is still in.
class OverlapProbe : public BrowserAddressSource {
  public:
    std::optional<QString> windowInfo() override {
        const int inside = ++m_inside;
        int most = mostInside.load();
        while (inside > most && !mostInside.compare_exchange_weak(most, inside)) {
        }
        ++entered;
        {
            std::unique_lock lock(m_mutex);
            m_opened.wait_for(lock, std::chrono::seconds(10), [this] { return m_open; });
        }
        --m_inside;
        return QString(R"("http://www.example.com/","Example")");
    }
    void open() {
        {
            const std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    std::atomic<int> entered{0};
    std::atomic<int> mostInside{0};

  private:
    std::atomic<int> m_inside{0};
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
};

class BrowserButtonsTest : public ::testing::Test {
  protected:
    std::unique_ptr<Tmain> open(std::shared_ptr<BrowserAddressSource> source) {
        MainWindowOptions options;
        options.executableDirectory = dir.path();
        options.settingsFiles = {dir.filePath("settings.ini"), dir.filePath("settings.ini")};
        options.prompts = &prompts;
        options.browser = std::move(source);
        return std::make_unique<Tmain>(options);
    }
    std::unique_ptr<Tmain> openWith(std::optional<QString> reply) {
        browser->reply = std::move(reply);
        auto window = open(browser);
        // The start-up prefill has answered before the test goes on.
        EXPECT_TRUE(window->browserPrefill()->wait(10000));
        return window;
    }
    static ToolPage* page(const Tmain& window, const QString& name) {
        for (int index = 0; index < Tmain::kPageCount; ++index) {
            if (window.page(index)->objectName() == name) {
                return static_cast<ToolPage*>(window.page(index));
            }
        }
        ADD_FAILURE() << "no page " << name.toStdString();
        return nullptr;
    }
    static QLineEdit* box(const Tmain& window, const char* pageName, const char* name) {
        auto* edit = page(window, pageName)->findChild<QLineEdit*>(name);
        EXPECT_NE(edit, nullptr) << name;
        return edit;
    }
    // Records the actions a button would run instead of running them: the real ones start
    // look-ups, traces and scans, which the hand-off tests and each page's own tests cover.
    // Each entry is the action and the text its page's box held when it was due.
    void recordActions(Tmain& window) {
        window.handOff().setActionHook([this, &window](const QString& to, const QString& action) {
            for (const ExpectedButton& expected : kButtons) {
                if (to == QString(expected.page)) {
                    ran << action + " with " + box(window, expected.page, expected.box)->text();
                }
            }
            return false;
        });
    }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::shared_ptr<test::FakeBrowser> browser = std::make_shared<test::FakeBrowser>();
    QStringList ran;
};

// Each page shows its button with its own hint; the page takes the value the button gives and
// offers the actions the button runs.
TEST_F(BrowserButtonsTest, EveryPageHasItsButtonWithItsOwnHint) {
    auto window = openWith(std::nullopt);
    for (const ExpectedButton& expected : kButtons) {
        ToolPage* tool = page(*window, expected.page);
        auto* button = tool->findChild<QToolButton*>(expected.button);
        ASSERT_NE(button, nullptr) << expected.button;
        EXPECT_EQ(button->toolTip(), QString(expected.hint)) << expected.button;
        EXPECT_TRUE(tool->handOffPoints().hasBox(expected.box)) << expected.box;
        for (const QString& action : expected.actions) {
            EXPECT_TRUE(tool->handOffPoints().hasAction(action)) << action.toStdString();
        }
    }
}

// A click on any button: its page is shown, the box gets the browser's host (the scanner's
// the address without its scheme, path and query included), then the actions run in order.
TEST_F(BrowserButtonsTest, EachButtonFillsItsBoxThenRunsItsActions) {
    auto window = openWith(std::nullopt);
    recordActions(*window);
    browser->reply = R"("http://www.example.com:8080/dir/page.html?q=1","Example")";
    for (const ExpectedButton& expected : kButtons) {
        SCOPED_TRACE(expected.button);
        ran.clear();
        window->showPage(6);  // the monitor, which has no browser button
        page(*window, expected.page)->findChild<QToolButton*>(expected.button)->click();
        const QString value =
            expected.withPath ? "www.example.com:8080/dir/page.html?q=1" : "www.example.com:8080";
        EXPECT_EQ(window->page(window->activePage())->objectName(), QString(expected.page));
        EXPECT_EQ(box(*window, expected.page, expected.box)->text(), value);
        QStringList wanted;
        for (const QString& action : expected.actions) {
            wanted << action + " with " + value;
        }
        EXPECT_EQ(ran, wanted);
    }
    EXPECT_TRUE(prompts.recorded.isEmpty());
}

// With no address to take (no browser, a blank page, a local file, a reply without quotes),
// every button says the browser is not running, and leaves its box and its page as they were.
TEST_F(BrowserButtonsTest, WithoutAnAddressEveryButtonSaysTheBrowserIsNotRunning) {
    auto window = openWith(std::nullopt);
    recordActions(*window);
    const std::optional<QString> replies[] = {
        std::nullopt,
        R"("about:blank","")",
        R"("file:///home/user/page.html","page")",
        "no window",
    };
    for (const std::optional<QString>& reply : replies) {
        browser->reply = reply;
        for (const ExpectedButton& expected : kButtons) {
            SCOPED_TRACE(expected.button);
            prompts.recorded.clear();
            QLineEdit* edit = box(*window, expected.page, expected.box);
            edit->setText("typed");
            window->showPage(6);
            page(*window, expected.page)->findChild<QToolButton*>(expected.button)->click();
            ASSERT_EQ(prompts.recorded.size(), 1);
            EXPECT_EQ(prompts.recorded.at(0).caption, QString());
            EXPECT_EQ(prompts.recorded.at(0).text, "Internet Explorer is not running!");
            EXPECT_EQ(prompts.recorded.at(0).icon, Prompts::Icon::Warning);
            EXPECT_EQ(edit->text(), "typed");
            EXPECT_EQ(window->activePage(), 6);
        }
    }
    EXPECT_TRUE(ran.isEmpty()) << ran.join(", ").toStdString();
}

// The converter's button with its real action: the name of the browser's page is converted.
TEST_F(BrowserButtonsTest, TheConverterButtonConvertsTheBrowsersHost) {
    auto window = openWith(std::nullopt);
    browser->reply = R"("http://localhost/index.html","Home")";
    auto* memo = page(*window, "ip_to_domain_converter_tab")->findChild<QPlainTextEdit*>("Memo1");
    page(*window, "ip_to_domain_converter_tab")->findChild<QToolButton*>("SpeedButton20")->click();
    EXPECT_EQ(box(*window, "ip_to_domain_converter_tab", "domain_edit")->text(), "localhost");
    ASSERT_TRUE(test::WaitUntil([&] { return memo->toPlainText().contains("127.0.0.1"); }, 10000))
        << memo->toPlainText().toStdString();
}

// At start-up the six target boxes get the browser's host, the scanner's box too (the host,
// not the address), and the locator's box keeps its text; nothing is shown, nothing runs.
TEST_F(BrowserButtonsTest, StartUpFillsTheSixBoxesWithTheHost) {
    auto window = openWith(R"("https://www.example.org:8443/news/today.html","News")");
    EXPECT_EQ(browser->queries, 1);
    for (const ExpectedButton& expected : kButtons) {
        const QString wanted = QString(expected.box) == "Edit11" ? "" : "www.example.org:8443";
        EXPECT_EQ(box(*window, expected.page, expected.box)->text(), wanted) << expected.box;
    }
    EXPECT_TRUE(prompts.recorded.isEmpty());
    EXPECT_EQ(window->activePage(), 0);
    EXPECT_TRUE(page(*window, "ip_to_domain_converter_tab")
                    ->findChild<QPlainTextEdit*>("Memo1")
                    ->toPlainText()
                    .isEmpty());
}

// No browser address at start-up: every box keeps its default, and nothing is shown.
TEST_F(BrowserButtonsTest, WithoutAnAddressStartUpKeepsTheDefaults) {
    for (const std::optional<QString>& reply :
         {std::optional<QString>(), std::optional<QString>(R"("about:blank","")")}) {
        prompts.recorded.clear();
        auto window = openWith(reply);
        for (const ExpectedButton& expected : kButtons) {
            const QString wanted = QString(expected.box) == "domain_edit" ? "localhost" : "";
            EXPECT_EQ(box(*window, expected.page, expected.box)->text(), wanted) << expected.box;
        }
        EXPECT_TRUE(prompts.recorded.isEmpty());
    }
}

// The window is there before the browser answers; a box the user types into before the answer
// keeps the user's text; the others get the host.
TEST_F(BrowserButtonsTest, ABoxChangedBeforeTheAnswerKeepsItsText) {
    auto gated = std::make_shared<GatedBrowser>();
    gated->reply = R"("http://www.example.net/","Net")";
    auto window = open(gated);
    window->show();
    test::ProcessEventsFor(50);
    EXPECT_TRUE(window->browserPrefill()->isRunning());

    QLineEdit* whois = box(*window, "whois_tab", "edDomain");
    QTest::keyClicks(whois, "mine.example");
    QLineEdit* converter = box(*window, "ip_to_domain_converter_tab", "domain_edit");
    QTest::keyClick(converter, Qt::Key_End);  // moves the cursor, changes nothing
    gated->open();
    ASSERT_TRUE(window->browserPrefill()->wait(10000));

    EXPECT_EQ(whois->text(), "mine.example");
    EXPECT_EQ(converter->text(), "www.example.net");
    for (const char* name : {"Edit7", "edTarget", "Edit3", "Edit111"}) {
        bool found = false;
        for (const ExpectedButton& expected : kButtons) {
            if (QString(expected.box) == name) {
                EXPECT_EQ(box(*window, expected.page, name)->text(), "www.example.net") << name;
                found = true;
            }
        }
        EXPECT_TRUE(found) << name;
    }
    EXPECT_TRUE(prompts.recorded.isEmpty());
}

// A source that fails is a browser with no page: the start-up leaves the boxes, a button says
// the browser is not running; no error of its own reaches the user.
TEST_F(BrowserButtonsTest, AFailingSourceCountsAsNoBrowser) {
    auto window = open(std::make_shared<FailingBrowser>());
    ASSERT_TRUE(window->browserPrefill()->wait(10000));
    EXPECT_EQ(box(*window, "ip_to_domain_converter_tab", "domain_edit")->text(), "localhost");
    EXPECT_TRUE(prompts.recorded.isEmpty());
    page(*window, "whois_tab")->findChild<QToolButton*>("SpeedButton23")->click();
    EXPECT_EQ(prompts.messages(), QStringList{"|Internet Explorer is not running!"});
}

// A button pressed while the start-up query is still waiting for the browser asks only once
// that query is over: the source never has two queries at once.
TEST_F(BrowserButtonsTest, AButtonWaitsForTheStartUpQuery) {
    auto probe = std::make_shared<OverlapProbe>();
    auto window = open(probe);
    recordActions(*window);
    ASSERT_TRUE(test::WaitUntil([&] { return probe->entered == 1; }, 10000));
    // Lets the first query go a little later, from elsewhere: the window is busy pressing.
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        probe->open();
    });
    page(*window, "country_lookup_tab")->findChild<QToolButton*>("SpeedButton24")->click();
    opener.join();
    EXPECT_EQ(probe->entered, 2);
    EXPECT_EQ(probe->mostInside, 1);
    EXPECT_EQ(ran, QStringList{"SpeedButton9Click with www.example.com"});
}

}  // namespace
}  // namespace quendrix

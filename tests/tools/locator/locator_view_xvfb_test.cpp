// The IP Locator's real view on a private X server: with Qt WebEngine, the page for a loopback
// HTTP server used as the base (the request arrives with the exact path and query) and the
// built-in service's page answered through its URL scheme; without WebEngine, the same through
// the text browser. Its own main() prepares the process before the application object exists,
// as the program does.
#include "core/widgets/application.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/http_fixture.h"
#include "support/test_files.h"
#include "tools/locator/locator_page.h"
#include "tools/locator/locator_start.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace quendrix {
namespace {

using namespace std::chrono_literals;

class LocatorViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        geoIp = test::WriteBytes(dir.filePath("geoip"), "2130706432,2147483647,DE\n");
    }
    LocatorPage& page() {
        if (!m_page) {
            m_page = std::make_unique<LocatorPage>(
                host, nullptr, locator::LocatorView::Kind::Automatic, geoIp.toStdString());
            m_page->resize(800, 600);
            m_page->show();
            m_page->view()->loaded = [this](bool ok) {
                ++loads;
                lastLoadOk = ok;
            };
        }
        return *m_page;
    }
    // Types the text and presses Enter; waits until a page has finished loading.
    void locate(const QString& text) {
        const int before = loads;
        auto* edit = test::Child<QLineEdit>(page(), "Edit11");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return loads > before; }, 60000));
    }

    test::FakeHost host;
    QTemporaryDir dir;
    QString geoIp;
    int loads = 0;
    bool lastLoadOk = false;
    std::unique_ptr<LocatorPage> m_page;
};

TEST_F(LocatorViewTest, TheWebEngineModuleLoadsWhereItWasBuilt) {
#ifdef QUENDRIX_EXPECT_WEBENGINE
    EXPECT_TRUE(locator::HaveWebEngine());
#else
    GTEST_SKIP() << "built without Qt WebEngine";
#endif
}

TEST_F(LocatorViewTest, ALoopbackBaseGetsTheExactQuery) {
    test::HttpFixture server;
    server.script("/TryIt.htm", {test::HttpReply::Html(200,
                                                       "<html><body><p>Located by the fixture</p>"
                                                       "</body></html>")});
    const QString base = QString::fromStdString(server.url(""));
    host.settings.insert("locator/base", base);
    locate("127.0.0.1");
    const QString address = base + "/TryIt.htm?GetLocation&ipaddress=127.0.0.1";
    EXPECT_EQ(page().queryAddress(), address);
    if (!locator::HaveWebEngine()) {
        // The text browser fetches nothing: it offers the address as a link.
        EXPECT_TRUE(page().view()->plainText().contains(address));
        EXPECT_TRUE(server.requests().empty());
        return;
    }
    ASSERT_TRUE(server.waitForRequests(1, 30s));
    EXPECT_EQ(server.requests()[0].target, "/TryIt.htm?GetLocation&ipaddress=127.0.0.1");
    EXPECT_TRUE(lastLoadOk);
    EXPECT_TRUE(page().view()->plainText().contains("Located by the fixture"));
}

TEST_F(LocatorViewTest, TheBuiltInServiceAnswersItsScheme) {
    locate("127.0.0.1");
    EXPECT_TRUE(lastLoadOk);
    const QString text = page().view()->plainText();
    EXPECT_TRUE(text.contains("127.0.0.1")) << text.toStdString();
    EXPECT_TRUE(text.contains("United States")) << text.toStdString();
    EXPECT_TRUE(text.contains("Germany (DE)")) << text.toStdString();
    EXPECT_EQ(page().view()->address(),
              "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=127.0.0.1");
}

}  // namespace
}  // namespace quendrix

int main(int argc, char** argv) {
    // Loopback is reached directly, never through a proxy of the machine.
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
        ::unsetenv(name);
    }
    quendrix::locator::PrepareBeforeApplication();
    quendrix::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

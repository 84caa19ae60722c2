// The IP Locator with names, through the DNS lab's resolver (tests/lab/): the first address of
// a name with several, a name that does not resolve, a text with a scheme, and the built-in
// page with the lab's reverse names. SlowDns.* run in a lab whose DNS answers after a delay
// (see CMakeLists.txt): the window is not held, and a newer query replaces one still
// resolving. Never run outside the lab.
#include "tools/locator/locator_page.h"

#include "support/dns_lab.h"
#include "support/fake_host.h"
#include "support/find_child.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

const QString kBuiltInQuery = "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=";

class LocatorLab : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        page.show();
    }
    void type(const QString& text) {
        auto* edit = test::Child<QLineEdit>(page, "Edit11");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void query(const QString& text) {
        const int before = page.navigations();
        type(text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page.navigations() > before; }, 30000));
    }
    QString shownText() { return test::Child<QTextBrowser>(page, "WebBrowser1")->toPlainText(); }

    test::FakeHost host;
    LocatorPage page{host, nullptr, locator::LocatorView::Kind::TextBrowser};
};

using LabNames = LocatorLab;
using SlowDns = LocatorLab;

TEST_F(LabNames, TheQuerySendsTheFirstAddressOrX) {
    const struct {
        const char* text;
        const char* address;
    } cases[] = {
        {"one.lab.test", "10.250.1.1"},
        {"two.lab.test", "10.250.1.21"},  // of 10.250.1.21 and 10.250.1.12
        {"three.lab.test", "10.250.1.32"},
        {"missing.lab.test", "X"},
        // The text is not reduced: a scheme or a path makes it a name that does not resolve.
        {"http://one.lab.test/", "X"},
        {"one.lab.test/index.html", "X"},
    };
    for (const auto& c : cases) {
        query(QString::fromLatin1(c.text));
        EXPECT_EQ(page.queryAddress(), kBuiltInQuery + QString::fromLatin1(c.address)) << c.text;
    }
}

TEST_F(LabNames, TheBuiltInPageShowsTheReverseNameOfTheAddress) {
    query("two.lab.test");
    const QString shown = shownText();
    EXPECT_TRUE(shown.contains("10.250.1.21")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("two.lab.test")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("United States")) << shown.toStdString();  // the owner of 10.x

    query("missing.lab.test");
    EXPECT_TRUE(shownText().contains("The name could not be resolved to an IP address."));
}

TEST_F(SlowDns, TheWindowIsNotHeldAndTheNewestQueryWins) {
    QElapsedTimer clock;
    clock.start();
    type("one.lab.test");
    // The look-up waits for the slow name server on a worker; the handler is back before the
    // server's delay (1 s) is over, however loaded the machine, and the look-up still runs.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(page.resolving());
    const int before = page.navigations();
    query("127.0.0.1");
    EXPECT_EQ(page.queryAddress(), kBuiltInQuery + "127.0.0.1");
    // Once the replaced look-up has answered too, its address is dropped.
    ASSERT_TRUE(page.waitForWorkers(30000));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(page.navigations(), before + 1);
    EXPECT_EQ(page.queryAddress(), kBuiltInQuery + "127.0.0.1");
}

}  // namespace
}  // namespace quendrix

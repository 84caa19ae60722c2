// The IP Locator page on a fake host with the text browser view: its controls, the view made
// only when the page is first shown, the query for a literal address and for localhost (the
// only name resolved outside the lab), the built-in page, another service's base, a refused
// address and the export.
#include "tools/locator/locator_page.h"

#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/test_files.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

const QString kBuiltInQuery = "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=";

class LocatorPageTest : public ::testing::Test {
  protected:
    LocatorPage& page() {
        if (!m_page) {
            const QString geoIp =
                test::WriteBytes(dir.filePath("geoip"), "2130706432,2147483647,DE\n");
            m_page = std::make_unique<LocatorPage>(
                host, nullptr, locator::LocatorView::Kind::TextBrowser, geoIp.toStdString());
        }
        return *m_page;
    }
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page(), name);
    }
    // Types text into Edit11 and presses Enter; waits until the page has navigated.
    void query(const QString& text) {
        const int before = page().navigations();
        auto* edit = child<QLineEdit>("Edit11");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page().navigations() > before; }, 30000));
    }
    QString shownText() { return child<QTextBrowser>("WebBrowser1")->toPlainText(); }

    test::FakeHost host;
    QTemporaryDir dir;
    std::unique_ptr<LocatorPage> m_page;
};

TEST_F(LocatorPageTest, ControlsWithTheirNamesTextsAndHints) {
    EXPECT_EQ(page().objectName(), "ip_locator_tab");
    EXPECT_EQ(child<QLabel>("Label67")->text(), "IP Locator");
    EXPECT_EQ(child<QLabel>("Label71")->text(), "IP Address / Domain Name");
    EXPECT_EQ(child<QLineEdit>("Edit11")->text(), "");
    EXPECT_EQ(child<QLineEdit>("Edit11")->toolTip(), "Right Click to Get More");
    EXPECT_EQ(child<QToolButton>("SpeedButton26")->toolTip(),
              "Query the IP address of the domain currently open in Internet Explorer");
    EXPECT_EQ(child<QToolButton>("SpeedButton3")->toolTip(), "Convert");
    EXPECT_EQ(child<QToolButton>("SpeedButton25")->toolTip(), "Export the results to a file");
}

TEST_F(LocatorPageTest, TheViewIsMadeTheFirstTimeThePageIsShown) {
    EXPECT_EQ(page().findChild<QWidget*>("WebBrowser1"), nullptr);
    EXPECT_EQ(page().view(), nullptr);
    page().show();
    auto* view = page().findChild<QWidget*>("WebBrowser1");
    ASSERT_NE(view, nullptr);
    page().hide();
    page().show();
    EXPECT_EQ(page().findChildren<QWidget*>("WebBrowser1").size(), 1);
    EXPECT_EQ(page().findChild<QWidget*>("WebBrowser1"), view);
}

TEST_F(LocatorPageTest, EnterShowsTheBuiltInPageForTheResolvedAddress) {
    page().show();
    for (const char* text : {"127.0.0.1", "localhost"}) {
        query(QString::fromLatin1(text));
        EXPECT_EQ(page().queryAddress(), kBuiltInQuery + "127.0.0.1") << text;
        const QString shown = shownText();
        EXPECT_TRUE(shown.contains("127.0.0.1")) << shown.toStdString();
        EXPECT_TRUE(shown.contains("United States")) << shown.toStdString();
        EXPECT_TRUE(shown.contains("Germany (DE)")) << shown.toStdString();
    }
    EXPECT_TRUE(host.recording.recorded.isEmpty());
}

TEST_F(LocatorPageTest, LinksOpenInTheUsersBrowser) {
    page().show();
    query("127.0.0.1");
    auto* browser = child<QTextBrowser>("WebBrowser1");
    Q_EMIT browser->anchorClicked(QUrl("https://rdap.org/ip/127.0.0.1"));
    // Anything but a web link is not handed on.
    Q_EMIT browser->anchorClicked(QUrl("file:///etc/passwd"));
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded[0].kind, "shell");
    EXPECT_EQ(host.recording.recorded[0].text, "https://rdap.org/ip/127.0.0.1");
}

TEST_F(LocatorPageTest, AnotherBaseIsShownAsALinkToTheQueryAddress) {
    host.settings.insert("locator/base", "http://127.0.0.1:9");
    page().show();
    query("127.0.0.1");
    const QString address = "http://127.0.0.1:9/TryIt.htm?GetLocation&ipaddress=127.0.0.1";
    EXPECT_EQ(page().queryAddress(), address);
    auto* browser = child<QTextBrowser>("WebBrowser1");
    EXPECT_TRUE(browser->toHtml().contains(address.toHtmlEscaped()));
    Q_EMIT browser->anchorClicked(QUrl(address));
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded[0].text, address);
}

TEST_F(LocatorPageTest, AnAddressTheViewRefusesGoesToTheGeneralErrorReport) {
    host.settings.insert("locator/base", "no address at all");
    page().show();
    query("127.0.0.1");
    EXPECT_EQ(host.recording.messages(),
              QStringList{"Quendrix|Cannot open the address \"no address at "
                          "all/TryIt.htm?GetLocation&ipaddress=127.0.0.1\"."});
    EXPECT_EQ(host.recording.recorded.value(0).icon, Prompts::Icon::Error);
}

TEST_F(LocatorPageTest, ExportWritesTheQueryAddressThenThePageText) {
    page().show();
    query("127.0.0.1");
    const QString path = dir.filePath("located.txt");
    host.recording.files = {path};
    page().SpeedButton25Click();
    const QByteArray bytes = test::ReadBytes(path);
    EXPECT_TRUE(bytes.startsWith((kBuiltInQuery + "127.0.0.1\r\n").toUtf8())) << bytes.constData();
    EXPECT_TRUE(bytes.contains("United States\r\n")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("Germany (DE)\r\n")) << bytes.constData();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_FALSE(bytes.contains("\r\n\r\n\r\n")) << bytes.constData();
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
}

}  // namespace
}  // namespace quendrix

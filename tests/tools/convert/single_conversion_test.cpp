// Single conversion on the converter page, against the real resolver (localhost and
// literal addresses only: anything else belongs in the DNS lab).
#include "tools/convert/converter_page_fixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

namespace quendrix {
namespace {

using SingleConversionTest = test::ConverterPageFixture;

TEST_F(SingleConversionTest, NameToAddressShowsTheReducedHost) {
    auto* domain = control<QLineEdit>("domain_edit");
    domain->setText(QStringLiteral("  HTTP://localhost/some/page.html"));
    QTest::keyClick(domain, Qt::Key_Return);
    EXPECT_EQ(domain->text(), QStringLiteral("localhost"));
    auto* memo = control<QPlainTextEdit>("Memo1");
    ASSERT_TRUE(test::WaitUntil([&] { return !memo->toPlainText().isEmpty(); }, 5000));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(control<QLineEdit>("host_edit")->text(), QStringLiteral("localhost"));
    EXPECT_TRUE(host.recording.recorded.isEmpty());
}

// Only a removed prefix or path rewrites the box; blanks around the name stay as typed.
TEST_F(SingleConversionTest, TheBoxShowsTheHostOnlyWhenAPrefixOrPathWasRemoved) {
    const struct {
        const char* typed;
        const char* shown;
    } cases[] = {{"  localhost  ", "  localhost  "},
                 {"http://localhost", "localhost"},
                 {" localhost/index.html", "localhost"}};
    auto* domain = control<QLineEdit>("domain_edit");
    auto* memo = control<QPlainTextEdit>("Memo1");
    for (const auto& c : cases) {
        domain->setText(QString::fromLatin1(c.typed));
        QTest::keyClick(domain, Qt::Key_Return);
        EXPECT_EQ(domain->text(), QString::fromLatin1(c.shown)) << c.typed;
        ASSERT_TRUE(test::WaitUntil([&] { return !memo->toPlainText().isEmpty(); }, 5000));
        EXPECT_EQ(memo->toPlainText(), QStringLiteral("127.0.0.1")) << c.typed;
    }
}

// Each answer is added to the box: two conversions that overlap both show their addresses.
TEST_F(SingleConversionTest, OverlappingConversionsBothShowTheirAddresses) {
    auto* domain = control<QLineEdit>("domain_edit");
    domain->setText(QStringLiteral("localhost"));
    page.nametoip_buttonClick();
    page.nametoip_buttonClick();
    auto* memo = control<QPlainTextEdit>("Memo1");
    ASSERT_TRUE(test::WaitUntil([&] { return memo->blockCount() == 2; }, 5000))
        << memo->toPlainText().toStdString();
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("127.0.0.1\n127.0.0.1"));
}

// With no browser address to take, the browser button says so and converts nothing.
TEST_F(SingleConversionTest, BrowserButtonSaysTheBrowserIsNotRunning) {
    auto* button = control<QToolButton>("SpeedButton20");
    EXPECT_EQ(button->toolTip(),
              QStringLiteral("Convert the domain currently open in the Internet Explorer"));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.at(0).caption, QString());
    EXPECT_EQ(host.recording.recorded.at(0).text,
              QStringLiteral("Internet Explorer is not running!"));
    EXPECT_EQ(host.recording.recorded.at(0).icon, Prompts::Icon::Warning);
    EXPECT_EQ(control<QLineEdit>("domain_edit")->text(), QStringLiteral("localhost"));
    EXPECT_TRUE(control<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
}

TEST_F(SingleConversionTest, AddressToNameDisablesUntilTheAnswer) {
    auto* ip = control<QLineEdit>("ip_edit");
    auto* button = control<QToolButton>("iptoname_button");
    ASSERT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(host.navigationEnabled);
    ASSERT_TRUE(test::WaitUntil([&] { return button->isEnabled(); }, 5000));
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_FALSE(control<QLineEdit>("Edit1")->text().isEmpty());
}

TEST_F(SingleConversionTest, BadAddressesAreReported) {
    auto* ip = control<QLineEdit>("ip_edit");
    auto* button = control<QToolButton>("iptoname_button");
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"10.1.2", "Quendrix|'' is not a valid integer value"},
        {"10.1.2.300", "|Please enter the correct IP address!"},
    };
    for (const auto& c : cases) {
        host.recording.recorded.clear();
        ip->setText(QString::fromLatin1(c.text));
        QTest::keyClick(ip, Qt::Key_Return);
        EXPECT_EQ(host.recording.messages(), QStringList{QString::fromLatin1(c.message)});
        EXPECT_TRUE(button->isEnabled());
        EXPECT_TRUE(host.navigationEnabled);
    }
    // An empty box is looked up as it is: it fails, and nothing is disabled meanwhile.
    host.recording.recorded.clear();
    ip->clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(button->isEnabled());
    ASSERT_TRUE(test::WaitUntil([&] { return !host.recording.recorded.isEmpty(); }, 5000));
    EXPECT_EQ(host.recording.messages(),
              QStringList{QStringLiteral("Error|Can't get the domain/host name!  ")});
}

}  // namespace
}  // namespace quendrix

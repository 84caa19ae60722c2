// Single conversion on the converter page, against the real resolver (localhost and
// literal addresses only: anything else belongs in the DNS lab).
#include "support/fake_host.h"
#include "tools/convert/converter_page.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

class SingleConversionTest : public ::testing::Test {
  protected:
    template <typename T>
    T* child(const char* name) {
        auto* widget = page.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Waits until the condition holds or five seconds have passed.
    template <typename Condition>
    bool waitFor(Condition condition) {
        return QTest::qWaitFor(condition, 5000);
    }
    test::FakeHost host;
    ConverterPage page{host};
};

TEST_F(SingleConversionTest, NameToAddressShowsTheReducedHost) {
    auto* domain = child<QLineEdit>("domain_edit");
    domain->setText(QStringLiteral("  HTTP://localhost/some/page.html"));
    QTest::keyClick(domain, Qt::Key_Return);
    EXPECT_EQ(domain->text(), QStringLiteral("localhost"));
    auto* memo = child<QPlainTextEdit>("Memo1");
    ASSERT_TRUE(waitFor([&] { return !memo->toPlainText().isEmpty(); }));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(child<QLineEdit>("host_edit")->text(), QStringLiteral("localhost"));
    EXPECT_TRUE(host.recording.recorded.isEmpty());
}

TEST_F(SingleConversionTest, AddressToNameDisablesUntilTheAnswer) {
    auto* ip = child<QLineEdit>("ip_edit");
    auto* button = child<QToolButton>("iptoname_button");
    ASSERT_EQ(ip->text(), QStringLiteral("127.0.0.1"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(host.navigationEnabled);
    ASSERT_TRUE(waitFor([&] { return button->isEnabled(); }));
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_FALSE(child<QLineEdit>("Edit1")->text().isEmpty());
}

TEST_F(SingleConversionTest, BadAddressesAreReported) {
    auto* ip = child<QLineEdit>("ip_edit");
    auto* button = child<QToolButton>("iptoname_button");
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
    ASSERT_TRUE(waitFor([&] { return !host.recording.recorded.isEmpty(); }));
    EXPECT_EQ(host.recording.messages(),
              QStringList{QStringLiteral("Error|Can't get the domain/host name!  ")});
}

}  // namespace
}  // namespace quendrix

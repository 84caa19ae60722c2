// Single conversion inside the DNS lab: every address of a host in the resolver's order,
// the official name, and the failure message.
#include "support/dns_lab.h"
#include "support/fake_host.h"
#include "tools/convert/converter_page.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(SingleConversionLab, AllAddressesInOrderAndTheOfficialName) {
    ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
    test::FakeHost host;
    ConverterPage page(host);
    auto* domain = page.findChild<QLineEdit*>(QStringLiteral("domain_edit"));
    auto* memo = page.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    auto* official = page.findChild<QLineEdit*>(QStringLiteral("host_edit"));

    domain->setText(QStringLiteral("alias.lab.test"));
    QTest::keyClick(domain, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !memo->toPlainText().isEmpty(); }, 5000));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("10.250.1.32\n10.250.1.13\n10.250.1.23"));
    EXPECT_EQ(official->text(), QStringLiteral("three.lab.test"));

    domain->setText(QStringLiteral("missing.lab.test"));
    QTest::keyClick(domain, Qt::Key_Return);
    EXPECT_TRUE(memo->toPlainText().isEmpty());  // emptied before the look-up
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host.recording.recorded.isEmpty(); }, 5000));
    EXPECT_EQ(host.recording.messages(),
              QStringList{QStringLiteral("Error|Host does not exist!  ")});
    EXPECT_TRUE(official->text().isEmpty());

    auto* ip = page.findChild<QLineEdit*>(QStringLiteral("ip_edit"));
    ip->setText(QStringLiteral("10.250.1.13"));
    QTest::keyClick(ip, Qt::Key_Return);
    auto* name = page.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !name->text().isEmpty(); }, 5000));
    EXPECT_EQ(name->text(), QStringLiteral("three.lab.test"));
}

}  // namespace
}  // namespace quendrix

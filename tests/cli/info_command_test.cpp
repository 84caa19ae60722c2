// quendrix-cli info on this machine: the values are the machine's, so the test holds the fixed
// labels, their order, the numbering of DNS servers and adapters, and each adapter's block of
// an empty line and 17 facts, an address list's later entries on lines of their own indented
// under the first.
#include "support/cli_runner.h"

#include <QList>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(CliInfoTest, PrintsBothAreasWithTheirLabelsInOrder) {
    const test::CliRun run = test::RunCli(QStringLiteral("info"), {});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains('\r'));
    ASSERT_TRUE(run.out.endsWith('\n'));
    QList<QByteArray> lines = run.out.split('\n');
    lines.removeLast();
    qsizetype at = 0;
    const auto next = [&]() -> QByteArray { return at < lines.size() ? lines[at++] : "<end>"; };
    const auto expectLabel = [&](const QByteArray& label) {
        const QByteArray line = next();
        EXPECT_TRUE(line.startsWith(label)) << "line " << at << ": " << line.toStdString();
    };
    const QRegularExpression number(QStringLiteral("^\\d+$"));

    expectLabel("Host name: ");
    expectLabel("Domain name: ");
    expectLabel("Current DNS Server: ");
    // Server 1 always, then the others numbered on.
    int server = 0;
    while (at < lines.size() && lines[at].startsWith("DNS ") && !lines[at].startsWith("DNS: ")) {
        expectLabel("DNS " + QByteArray::number(++server) + ": ");
    }
    EXPECT_GE(server, 1);
    expectLabel("Scope ID: ");
    for (const QByteArray label : {"Routing: ", "Proxy: ", "DNS: "}) {
        const QByteArray line = next();
        ASSERT_TRUE(line.startsWith(label)) << line.toStdString();
        EXPECT_TRUE(number.match(QString::fromLatin1(line.mid(label.size()))).hasMatch())
            << line.toStdString();
    }

    const QByteArray labels[] = {
        "  ComboIndex: ",   "  Adapter name: ",   "  Description: ",    "  Adapter address: ",
        "  Index: ",        "  Type: ",           "  DHCP: ",           "  Current IP: ",
        "  IP addresses: ", "  Gateways: ",       "  DHCP servers: ",   "  Has WINS: ",
        "  Primary WINS: ", "  Secondary WINS: ", "  Lease obtained: ", "  Lease expires: "};
    int adapter = 0;
    while (at < lines.size()) {
        EXPECT_EQ(next(), "");
        EXPECT_EQ(next(), "Adapter " + QByteArray::number(++adapter));
        for (const QByteArray& label : labels) {
            const QByteArray line = next();
            ASSERT_TRUE(line.startsWith(label)) << "line " << at << ": " << line.toStdString();
            const QByteArray value = line.mid(label.size());
            const bool list = label == "  Current IP: " || label == "  IP addresses: " ||
                              label == "  Gateways: " || label == "  DHCP servers: " ||
                              label == "  Primary WINS: " || label == "  Secondary WINS: ";
            if (list) {
                EXPECT_TRUE(value.isEmpty() || value.startsWith("A: ")) << line.toStdString();
            }
            // The later entries of an address list, under the first.
            const QByteArray continuation = QByteArray(label.size(), ' ') + "A: ";
            while (at < lines.size() && lines[at].startsWith(continuation)) {
                EXPECT_TRUE(list && value.startsWith("A: ")) << lines[at].toStdString();
                ++at;
            }
        }
    }
}

TEST(CliInfoTest, TakesNoArguments) {
    const test::CliRun run = test::RunCli(QStringLiteral("info"), {QStringLiteral("extra")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.startsWith("quendrix-cli info: unexpected argument 'extra'"))
        << run.err.toStdString();
}

}  // namespace
}  // namespace quendrix

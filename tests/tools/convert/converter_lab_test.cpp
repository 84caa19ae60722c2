// The converter page against the DNS lab's names (tests/lab/README.md): names with one, two
// and three addresses, missing names, reverse names, the lab's benchmark names, the IP
// neighbourhood. Runs only inside the lab (ctest -L lab starts it through lab-run).
#include "support/dns_lab.h"
#include "tools/convert/converter_page_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSysInfo>

namespace quendrix {
namespace {

// The lab's benchmark names 1..count and the rows a name-to-address batch gives for them.
QStringList benchNames(int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i) {
        names.append(QStringLiteral("bench-%1.lab.test").arg(i, 6, 10, QLatin1Char('0')));
    }
    return names;
}

QStringList benchRows(int count) {
    QStringList rows;
    const QStringList names = benchNames(count);
    for (int i = 1; i <= count; ++i) {
        const QString& name = names.at(i - 1);
        if (i % 10 == 0) {
            rows.append(name + QStringLiteral("|Unknown"));
            continue;
        }
        for (int j = 0; j < i % 3 + 1; ++j) {
            rows.append(QStringLiteral("%1|10.250.%2.%3")
                            .arg(name)
                            .arg(64 * (j + 1) + (i / 256) % 64)
                            .arg(i % 256));
        }
    }
    return rows;
}

class ConverterLabTest : public test::ConverterPageFixture {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        benchCount = qEnvironmentVariableIntValue("QUENDRIX_LAB_BENCH_NAMES");
    }
    int benchCount = 0;
};

TEST_F(ConverterLabTest, NameToAddressRowsAndCounters) {
    // The example: the second name is missing, the third has two addresses.
    setList({"one.lab.test", "missing.lab.test", "two.lab.test"});
    page.B_nametoip_start_buttonClick();
    waitForBatch();
    EXPECT_EQ(rows(), (QStringList{"one.lab.test|10.250.1.1", "missing.lab.test|Unknown",
                                   "two.lab.test|10.250.1.21", "two.lab.test|10.250.1.12"}));
    EXPECT_EQ(counters(), "4/3/1");
    EXPECT_EQ(label("Label52"), "Done!");

    // A web address resolves as its host and shows as written; an empty entry is this
    // computer (the lab's hosts file gives it 10.250.0.77).
    setList({"http://alias.lab.test/index.html", ""});
    page.B_nametoip_start_buttonClick();
    waitForBatch();
    EXPECT_EQ(rows(),
              (QStringList{"http://alias.lab.test/index.html|10.250.1.32",
                           "http://alias.lab.test/index.html|10.250.1.13",
                           "http://alias.lab.test/index.html|10.250.1.23", "|10.250.0.77"}));
    EXPECT_EQ(counters(), "4/4/");
}

TEST_F(ConverterLabTest, AddressToNameRowsAndCounters) {
    setList({"10.250.1.1", "10.250.1.13", "10.250.1.99", "10.250.0.77", "one.lab.test", ""});
    page.b_iptoname_start_buttonClick();
    waitForBatch();
    const QStringList got = rows();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got.mid(0, 3), (QStringList{"one.lab.test|10.250.1.1", "three.lab.test|10.250.1.13",
                                          "Unknown|10.250.1.99"}));
    // The lab's hosts file names 10.250.0.77 after this computer.
    EXPECT_EQ(got.at(3), QSysInfo::machineHostName() + "|10.250.0.77");
    // Entries are not reduced in this direction: a name is no address.
    EXPECT_EQ(got.mid(4), (QStringList{"Unknown|one.lab.test", "Unknown|"}));
    EXPECT_EQ(counters(), "6/3/3");
}

TEST_F(ConverterLabTest, ManyNamesComeOutInListOrder) {
    ASSERT_GT(benchCount, 0) << "start the lab with --bench-names";
    const int count = std::min(benchCount, 2000);
    setList(benchNames(count));
    page.B_nametoip_start_buttonClick();
    waitForBatch(600000);
    const QStringList expected = benchRows(count);
    EXPECT_EQ(rows(), expected);
    const int failed = count / 10;
    EXPECT_EQ(
        counters(),
        QStringLiteral("%1/%2/%3").arg(expected.size()).arg(expected.size() - failed).arg(failed));

    // And back: every address to its name.
    QStringList addresses;
    QStringList back;
    for (const QString& row : expected.mid(0, 600)) {
        const QString name = row.section(QLatin1Char('|'), 0, 0);
        const QString address = row.section(QLatin1Char('|'), 1, 1);
        addresses.append(address);
        back.append((address == QLatin1String("Unknown") ? QStringLiteral("Unknown") : name) +
                    QLatin1Char('|') + address);
    }
    setList(addresses);
    page.b_iptoname_start_buttonClick();
    waitForBatch(600000);
    EXPECT_EQ(rows(), back);
}

TEST_F(ConverterLabTest, StopLeavesNoRowOfAnAbandonedLookUp) {
    ASSERT_GT(benchCount, 0) << "start the lab with --bench-names";
    setList(benchNames(benchCount));
    page.B_nametoip_start_buttonClick();
    while (page.grid()->resultCount() < 5) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    page.B_nametoip_end_buttonClick();
    EXPECT_EQ(label("Label52"), "Done!");
    EXPECT_TRUE(host.navigationEnabled);
    const QStringList atStop = rows();
    ASSERT_LT(atStop.size(), benchRows(benchCount).size());
    // What was written is a prefix of the whole answer, whole entries only.
    EXPECT_EQ(atStop, benchRows(benchCount).mid(0, atStop.size()));
    const QString countersAtStop = counters();
    test::ProcessEventsFor(1500);
    EXPECT_EQ(rows(), atStop);
    EXPECT_EQ(counters(), countersAtStop);
}

TEST_F(ConverterLabTest, NeighbourhoodFillsTheListAndConvertsIt) {
    convertNeighbourhood("10.250.1.12", "20");
    EXPECT_EQ(control<QLineEdit>("Edit1")->text(), "two.lab.test");
    const QStringList list = page.list()->model()->entries();
    ASSERT_EQ(list.size(), 21);
    EXPECT_EQ(list.front(), "10.250.1.2");
    EXPECT_EQ(list.back(), "10.250.1.22");
    EXPECT_EQ(label("Label15"), "21");
    QStringList expected;
    for (int last = 2; last <= 22; ++last) {
        const QString address = QStringLiteral("10.250.1.%1").arg(last);
        QString name = QStringLiteral("Unknown");
        if (last == 12 || last == 21) {
            name = QStringLiteral("two.lab.test");
        } else if (last == 13) {
            name = QStringLiteral("three.lab.test");
        }
        expected.append(name + QLatin1Char('|') + address);
    }
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(counters(), "21/3/18");
    EXPECT_TRUE(host.navigationEnabled);
}

TEST_F(ConverterLabTest, NeighbourhoodRanges) {
    struct Case {
        QString address;
        QString first;
        QString last;
        int size;
        bool converted;
    };
    const QList<Case> cases = {
        {"192.168.1.100", "192.168.1.90", "192.168.1.110", 21, true},
        {"192.168.1.5", "192.168.0.251", "192.168.1.15", 21, true},
        {"192.168.0.250", "192.168.0.240", "192.168.1.4", 21, true},
        {"0.0.0.10", "", "", 0, false},
        {"255.255.255.250", "255.255.255.240", "255.255.255.255", 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        // A marker row shows whether a batch ran.
        page.grid()->clearResults();
        page.grid()->writeRow({"marker", "marker"});
        convertNeighbourhood(c.address, "20");
        const QStringList list = page.list()->model()->entries();
        ASSERT_EQ(list.size(), c.size);
        if (c.size > 0) {
            EXPECT_EQ(list.front(), c.first);
            EXPECT_EQ(list.back(), c.last);
        }
        EXPECT_EQ(label("Label15"), QString::number(c.size));
        if (c.converted) {
            EXPECT_EQ(page.grid()->resultCount(), c.size);
            EXPECT_EQ(page.grid()->cell(0, 1), c.first);
        } else {
            EXPECT_EQ(rows(), QStringList{"marker|marker"});
        }
    }
}

TEST_F(ConverterLabTest, NeighbourhoodStopsTheRunningBatch) {
    ASSERT_GT(benchCount, 0) << "start the lab with --bench-names";
    setList(benchNames(benchCount));
    page.B_nametoip_start_buttonClick();
    while (page.grid()->resultCount() < 3) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    convertNeighbourhood("10.250.1.1", "10");
    const QStringList got = rows();
    ASSERT_EQ(got.size(), 11);
    EXPECT_EQ(got.front(), "Unknown|10.250.0.252");
    EXPECT_EQ(got.at(5), "one.lab.test|10.250.1.1");
    EXPECT_EQ(counters(), "11/1/10");
}

}  // namespace
}  // namespace quendrix

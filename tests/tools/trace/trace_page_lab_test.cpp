// The Traceroute page inside the router chain (tests/lab/trace/run-trace-lab.sh), used as a user
// uses it: a trace to the target at hop 4 with and without host names, the log appended to,
// Max Hops changed while tracing, Stop during a hop's wait, a start while a trace is still
// ending, an unknown name, the error box without an ICMP socket, the export and its replace
// question, the hand-off points and the two menus. Outside the lab every test skips.
#include "tools/trace/trace_page.h"

#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/test_files.h"
#include "support/trace_lab.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using trace::HopRow;

// The hop list texts as a line each, for failure messages and comparisons.
QStringList Lines(const std::vector<HopRow>& rows) {
    QStringList lines;
    for (const HopRow& row : rows) {
        lines.append(QString::fromStdString(trace::HopLine(row)));
    }
    return lines;
}

bool Matches(const QString& text, const QString& pattern) {
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch();
}

class TracePageLabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto lab = test::TraceLab::FromEnvironment();
        if (!lab) {
            GTEST_SKIP() << test::kOutsideTraceLab;
        }
        ASSERT_EQ(lab->hops.size(), 3u);
        for (const std::string& hop : lab->hops) {
            m_hops.append(QString::fromStdString(hop));
        }
        m_target = QString::fromStdString(lab->target);
        m_dropped = QString::fromStdString(lab->dropped);
        m_silentHop2 = QString::fromStdString(lab->silentHop2);
        if (lab->hasSocket() == withoutSocket()) {
            GTEST_SKIP() << (lab->hasSocket() ? "this run has an ICMP socket"
                                              : "this run has no ICMP socket");
        }
        ASSERT_TRUE(m_dir.isValid());
    }
    virtual bool withoutSocket() const { return false; }

    TracePage& page(std::chrono::milliseconds wait = 2000ms) {
        if (!m_page) {
            m_page = std::make_unique<TracePage>(host, nullptr, wait);
            host.router.addPage(QStringLiteral("tracert_tab"), &m_page->handOffPoints());
        }
        return *m_page;
    }
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page(), name);
    }
    QTreeWidget* hopList() { return child<QTreeWidget>("lvTrace"); }
    QToolButton* startButton() { return child<QToolButton>("button1"); }
    void waitForEnd() {
        ASSERT_TRUE(test::WaitUntil([&] { return !page().tracing(); }, 90000));
    }
    // Runs action once the hop list holds row number hop (called as the row is applied).
    void onRow(int hop, std::function<void()> action) {
        QObject::connect(hopList()->model(), &QAbstractItemModel::rowsInserted, &page(),
                         [this, hop, action = std::move(action), done = false]() mutable {
                             if (!done && hopList()->topLevelItemCount() == hop) {
                                 done = true;
                                 action();
                             }
                         });
    }
    QString exportFile() {
        const QString path = m_dir.filePath(QStringLiteral("hops.txt"));
        host.recording.files = {path};
        page().SpeedButton13Click();
        return path;
    }

    QStringList m_hops;
    QString m_target, m_dropped, m_silentHop2;
    QTemporaryDir m_dir;
    test::FakeHost host;
    std::unique_ptr<TracePage> m_page;
};

TEST_F(TracePageLabTest, TracesTheTargetAtHopFourAndExportsWhatTheListShows) {
    // Before any trace: an empty list exports as an empty file.
    EXPECT_EQ(test::ReadBytes(exportFile()), QByteArray());
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");

    const QString typed = QStringLiteral(" http://three.lab.test/index.html");
    QStringList log;
    for (const bool names : {false, true}) {
        SCOPED_TRACE(names ? "Host Revolve" : "no names");
        child<QCheckBox>("CheckBox1")->setChecked(names);
        child<QLineEdit>("edTarget")->setText(typed);
        QTest::keyClick(child<QLineEdit>("edTarget"), Qt::Key_Return);
        EXPECT_TRUE(page().tracing());
        EXPECT_FALSE(startButton()->isEnabled());
        EXPECT_FALSE(host.navigationEnabled);
        waitForEnd();
        EXPECT_TRUE(startButton()->isEnabled());
        EXPECT_TRUE(host.navigationEnabled);
        EXPECT_TRUE(host.recording.messages().isEmpty())
            << host.recording.messages().join('\n').toStdString();

        // The log is appended to: the second trace's three lines follow the first's.
        const QStringList shown = page().logLines();
        ASSERT_EQ(shown.size(), log.size() + 3) << shown.join('\n').toStdString();
        EXPECT_EQ(shown.mid(0, log.size()), log);
        EXPECT_EQ(shown.at(log.size()), "resolving " + typed);
        EXPECT_EQ(shown.at(log.size() + 1), typed + " resolved to " + m_target);
        EXPECT_TRUE(Matches(
            shown.at(log.size() + 2),
            "response from host " + QRegularExpression::escape(m_target) + " in \\d+ millisec."))
            << shown.at(log.size() + 2).toStdString();
        log = shown;

        // The hop list holds this trace's rows only; each was scrolled to, none chosen.
        const std::vector<HopRow> rows = page().hopRows();
        const QStringList lines = Lines(rows);
        ASSERT_EQ(rows.size(), 4u) << lines.join('\n').toStdString();
        const auto name = [&](const char* text) { return names ? QString(text) : QString(); };
        const QStringList expected = {
            "1    " + m_hops[0] + "    " + name("one.lab.test") + "    TTL=\\d+",
            "2    " + m_hops[1] + "    " + name("two.lab.test") + "    TTL=\\d+",
            "3    " + m_hops[2] + "    " + name("X") + "    TTL=\\d+",
            "4    " + m_target + "    " + name("three.lab.test") + "    \\d+ ms",
        };
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(Matches(lines[i], expected[i])) << lines[i].toStdString();
        }
        EXPECT_TRUE(hopList()->selectedItems().isEmpty());

        // The export holds the list's texts as shown, CR LF after each line.
        EXPECT_EQ(test::ReadBytes(exportFile()), (lines.join("\r\n") + "\r\n").toLocal8Bit());
    }

    // An existing file and No: left as it was; Yes: replaced.
    const QString path = test::WriteBytes(m_dir.filePath("old.txt"), "old");
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::No};
    page().SpeedButton13Click();
    EXPECT_EQ(test::ReadBytes(path), "old");
    EXPECT_EQ(host.recording.recorded.last().text, "The file has existed, replace it or not?");
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::Yes};
    page().SpeedButton13Click();
    EXPECT_EQ(test::ReadBytes(path).count("\r\n"), 4);
    // A file that cannot be created: the general error report, no file.
    host.recording.files = {m_dir.filePath("no/such/folder/hops.txt")};
    page().SpeedButton13Click();
    EXPECT_EQ(host.recording.messages(), QStringList{"Quendrix|File not found"});
    host.recording.recorded.clear();

    // An unknown name: the look-up's two lines, and the previous trace's rows stay.
    const std::vector<HopRow> before = page().hopRows();
    child<QLineEdit>("edTarget")->setText("nowhere.lab.test");
    startButton()->click();
    waitForEnd();
    EXPECT_EQ(
        page().logLines().mid(log.size()),
        (QStringList{"resolving nowhere.lab.test", "Socket Error # 11001", "Host not found."}));
    EXPECT_EQ(page().hopRows(), before);
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    EXPECT_TRUE(host.navigationEnabled);
}

// Host Revolve ticked as a screen reader ticks it (its "Toggle" action: no click) during a
// trace reaches the trace at its next hop, as a click does.
TEST_F(TracePageLabTest, HostRevolveToggledWithoutAClickActsOnTheRunningTrace) {
    // Hop 2 never answers for this target: its wait of a second is when the box is ticked.
    page(1000ms);
    auto* box = child<QCheckBox>("CheckBox1");
    child<QLineEdit>("edTarget")->setText(m_silentHop2);
    onRow(1, [box] {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(accessible, nullptr);
        ASSERT_NE(accessible->actionInterface(), nullptr);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    });
    startButton()->click();
    waitForEnd();
    EXPECT_TRUE(box->isChecked());
    const QStringList lines = Lines(page().hopRows());
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(Matches(lines[0], "1    " + m_hops[0] + "        TTL=\\d+"))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], "2    ?.?.?.?        Timed out.");
    EXPECT_TRUE(Matches(lines[2], "3    " + m_hops[2] + "    X    TTL=\\d+"))
        << lines[2].toStdString();
    EXPECT_TRUE(Matches(lines[3], "4    " + m_silentHop2 + "    X    \\d+ ms"))
        << lines[3].toStdString();
}

TEST_F(TracePageLabTest, MaxHopsChangedWhileTracingEndsTheTraceAtTheNextHop) {
    // Hops 4 on time out; when hop 4's row comes, hop 5 is waited for.
    page(1000ms);
    child<QLineEdit>("edTarget")->setText(m_dropped);
    onRow(4, [this] { child<QSpinBox>("seMaxHops")->setValue(5); });
    startButton()->click();
    waitForEnd();
    const std::vector<HopRow> rows = page().hopRows();
    ASSERT_EQ(rows.size(), 5u) << Lines(rows).join('\n').toStdString();
    EXPECT_EQ(rows[4], (HopRow{5, "?.?.?.?", "", "Timed out."}));
    EXPECT_EQ(page().logLines().value(2), "Timed out.");
}

TEST_F(TracePageLabTest, StopLetsTheHopEndAndAStartMeanwhileRunsAfterIt) {
    page(1000ms);
    child<QLineEdit>("edTarget")->setText(m_dropped);
    // Everything the page shows, in the order it shows it.
    QStringList journal;
    QObject::connect(hopList()->model(), &QAbstractItemModel::rowsInserted, &page(), [&] {
        journal.append("hop " +
                       hopList()->topLevelItem(hopList()->topLevelItemCount() - 1)->text(0));
    });
    auto* log = child<QListWidget>("lbLog");
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &page(),
                     [&](const QModelIndex&, int first, int last) {
                         for (int i = first; i <= last; ++i) {
                             journal.append(log->item(i)->text());
                         }
                     });
    bool stoppedWhileTracing = false;
    onRow(4, [&] {
        child<QToolButton>("button2")->click();
        // Stop enables the start at once; the trace still ends its hop, so the navigation
        // bar stays off until it has.
        stoppedWhileTracing =
            startButton()->isEnabled() && page().tracing() && !host.navigationEnabled;
        // The export writes what is there now.
        EXPECT_EQ(test::ReadBytes(exportFile()).count("\r\n"), 4);
        // A start from another page's "Tracert" while the trace ends: it waits for the end.
        ASSERT_TRUE(host.router.deliver(*HandOffTargetFor("Tracert", false), m_target));
        EXPECT_FALSE(startButton()->isEnabled());
    });
    startButton()->click();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return journal.contains("resolving " + m_target) && !page().tracing(); }, 90000));
    EXPECT_TRUE(stoppedWhileTracing);
    EXPECT_EQ(host.shownPages, QStringList{"tracert_tab"});

    // The first trace ran to the end of the hop it was waiting for (hop 5, unless the stop
    // came before it was sent) and wrote its row; only then did the second begin.
    const qsizetype second = journal.indexOf("resolving " + m_target);
    const QStringList first = journal.mid(0, second);
    const bool hopFive = first.contains("hop 5");
    EXPECT_EQ(first.last(), hopFive ? "hop 5" : "hop 4") << journal.join('\n').toStdString();
    EXPECT_FALSE(first.contains("hop 6")) << journal.join('\n').toStdString();
    EXPECT_EQ(journal.mid(second, 2),
              (QStringList{"resolving " + m_target, m_target + " resolved to " + m_target}));
    const std::vector<HopRow> rows = page().hopRows();
    ASSERT_EQ(rows.size(), 4u) << Lines(rows).join('\n').toStdString();
    EXPECT_TRUE(Matches(QString::fromStdString(rows[3].note), "\\d+ ms"));
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);
}

TEST_F(TracePageLabTest, HandOffPointsAndMenus) {
    // Stand-ins for the pages the menus send to.
    HandOffPoints ping;
    QStringList pinged;
    ping.addBox(
        "Edit8", [] { return QString(); }, [&](const QString& text) { pinged.append(text); });
    ping.addBox(
        "Edit7", [] { return QString(); },
        [&](const QString& text) { pinged.append("7:" + text); });
    ping.addAction("SpeedButton18Click", [&] { pinged.append("started"); });
    host.router.addPage("batch_ping_tab", &ping);
    HandOffPoints whois;
    QString domain;
    whois.addBox(
        "edDomain", [] { return QString(); }, [&](const QString& text) { domain = text; });
    host.router.addPage("whois_tab", &whois);

    const auto captions = [&](const char* menu) {
        QStringList texts;
        for (const QAction* action : child<QMenu>(menu)->actions()) {
            texts.append(action->text());
        }
        return texts;
    };
    EXPECT_EQ(captions("pop_tracert"),
              (QStringList{"Convert Domain to IP", "Convert IP to Domain", "Ping", "Country Lookup",
                           "Whois", "Website Scanner"}));
    EXPECT_EQ(captions("Pop_tracert_results"),
              (QStringList{"Convert IP to Domain", "Country Lookup", "Ping", "Website Scanner"}));

    child<QLineEdit>("edTarget")->setText(" http://three.lab.test/ ");
    child<QAction>("MenuItem8")->trigger();
    EXPECT_EQ(domain, " http://three.lab.test/ ");

    // No hop selected: nothing happens.
    child<QAction>("MenuItem54")->trigger();
    EXPECT_TRUE(pinged.isEmpty());
    child<QLineEdit>("edTarget")->setText(m_target);
    startButton()->click();
    waitForEnd();
    ASSERT_EQ(hopList()->topLevelItemCount(), 4);
    // The rows written chose no hop: still nothing happens until the user picks one.
    child<QAction>("MenuItem54")->trigger();
    EXPECT_TRUE(pinged.isEmpty());
    hopList()->setCurrentItem(hopList()->topLevelItem(1));
    child<QAction>("MenuItem54")->trigger();
    EXPECT_EQ(pinged, (QStringList{m_hops[1], "started"}));
    EXPECT_EQ(host.shownPages, (QStringList{"whois_tab", "batch_ping_tab"}));
}

TEST_F(TracePageLabTest, ColumnsFitTheirTexts) {
    const QFontMetrics metrics(hopList()->font());
    struct Case {
        int column;
        QString text;
    };
    for (const Case& c : {Case{0, "Hop"}, Case{0, "255"}, Case{1, "255.255.255.255"},
                          Case{2, "Host"}, Case{3, "Destination network unreachable"}}) {
        EXPECT_GT(hopList()->columnWidth(c.column), metrics.horizontalAdvance(c.text))
            << c.text.toStdString();
    }
    EXPECT_GE(hopList()->columnWidth(2), 152);
}

class TracePageNoSocketTest : public TracePageLabTest {
  protected:
    bool withoutSocket() const override { return true; }
};

TEST_F(TracePageNoSocketTest, TheErrorBoxSaysAccessDeniedAndThePageComesBack) {
    child<QLineEdit>("edTarget")->setText(m_target);
    startButton()->click();
    waitForEnd();
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.front().caption, "Quendrix");
    EXPECT_EQ(host.recording.recorded.front().text, "Socket Error # 10013\r\nAccess denied.");
    EXPECT_EQ(host.recording.recorded.front().icon, Prompts::Icon::Error);
    EXPECT_EQ(page().logLines(),
              (QStringList{"resolving " + m_target, m_target + " resolved to " + m_target}));
    EXPECT_TRUE(page().hopRows().empty());
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);
}

}  // namespace
}  // namespace quendrix

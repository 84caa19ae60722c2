// The Website Scanner page on a fake host, crawling a small site that the HTTP fixture serves on
// 127.0.0.1: the links listed with their types, the status line and its spinner, Stop, a second
// scan, the start messages, the options acting on the component at once, the double click, the
// export and the close question. The component's timer is stopped; the test ticks it with its
// own clock and waits for the network thread's posts between ticks.
#include "tools/scanner/scanner_page.h"

#include "core/result_table_model.h"
#include "core/widgets/grid_view.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/grid_rows.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"
#include "support/scan_tick.h"
#include "support/test_files.h"
#include "tools/scanner/filter_help.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

// A start page linking a page, an image, a mail address and another site; the page links one
// level deeper, and that one a page beyond the depth limit.
void ServeSite(HttpFixture& site) {
    site.script("/", HttpReply::Html(200,
                                     "<html><head><title>Start</title></head>"
                                     "<a href='a.html'>A</a><img src=\"logo.gif\">"
                                     "<a href=mailto:desk@site.org>mail</a>"
                                     "<a href=http://www.other.org/x.html>x</a>"));
    site.script("/a.html", HttpReply::Html(200, "<a href=\"/deep/b.html\">B</a>"));
    site.script("/deep/b.html", HttpReply::Html(200, "<a href=c.html>C</a>"));
}

QStringList SiteRows(const HttpFixture& site) {
    const auto url = [&site](const char* path) { return QString::fromStdString(site.url(path)); };
    return {"htm|" + url("/a.html"), "gif|" + url("/logo.gif"), "mail|desk@site.org",
            "htm|" + url("/deep/b.html"), "htm|" + url("/deep/c.html")};
}

QString NextSpinner(const QString& spinner) {
    const QStringList cycle{"/", "-", "\\", "|"};
    const qsizetype at = cycle.indexOf(spinner);
    return at < 0 ? cycle.front() : cycle.at((at + 1) % cycle.size());
}

class ScannerPageTest : public ::testing::Test {
  protected:
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page(), name);
    }
    ScannerPage& page() {
        if (!m_page) {
            m_page = std::make_unique<ScannerPage>(host);
            scan().Timer().stop();
        }
        return *m_page;
    }
    THttpScan& scan() { return m_page->HttpScan1(); }
    QString status() { return child<QLabel>("Label55")->text(); }
    bool startEnabled() { return child<QToolButton>("button22")->isEnabled(); }
    QStringList rows() {
        page().grid()->flush();
        return test::GridRows(*page().grid());
    }
    void type(const QString& text) { child<QLineEdit>("Edit111")->setText(text); }
    void pressEnter() { QTest::keyClick(child<QLineEdit>("Edit111"), Qt::Key_Return); }

    // One tick of the component at the test's clock, after the network thread has posted
    // something for a slot that downloads (or a short while has passed).
    void tick() { test::TickScan(scan(), m_now, 200ms); }
    // Ticks until done() holds; fails the test after 500 ticks.
    void tickUntil(const std::function<bool()>& done) {
        for (int ticks = 0; !done(); ++ticks) {
            ASSERT_LT(ticks, 500) << "still waiting";
            tick();
        }
    }
    void scanToEnd() {
        tickUntil([this] { return !scan().IsWorking(); });
    }
    // Enter on a site whose start page links one page: ticks until that page is asked for,
    // its link listed.
    void startUntilItsLinkIsAskedFor(const HttpFixture& site) {
        type(QString::fromStdString(site.hostPort()));
        pressEnter();
        tickUntil([&] { return site.requests().size() == 2; });
        EXPECT_EQ(rows().size(), 1);
    }
    int finishedMessages() {
        return static_cast<int>(
            host.recording.messages().count("Information|Scanning is finished."));
    }

    test::FakeHost host;
    QTemporaryDir dir;
    std::unique_ptr<ScannerPage> m_page;
    std::uint32_t m_now = 1000;
};

TEST_F(ScannerPageTest, EnterListsTheSitesLinksWithTheRunningCountAndEndsDone) {
    HttpFixture site;
    ServeSite(site);
    page();
    EXPECT_EQ(scan().LinkScan(), scanInitialSite);
    EXPECT_EQ(scan().LinkReport(), reportCurrentSiteLinks);
    EXPECT_EQ(scan().FileOfResults(), "");
    EXPECT_EQ(status(), "");
    EXPECT_EQ(page().grid()->rowCount(), 1);

    // Every status the links bring, read as each link is listed.
    QStringList statuses;
    const TOnLinkFound listed = scan().OnLinkFound;
    scan().OnLinkFound = [&, listed](auto&&... link) {
        listed(link...);
        statuses.append(status());
    };
    // The end's message is shown before Start and the bar come back.
    bool startEnabledDuringMessage = true;
    host.recording.closeMessage = [&] {
        startEnabledDuringMessage = startEnabled() || host.navigationEnabled;
        return true;
    };

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        statuses.clear();
        QString spinner = ScannerPage::spinner();
        type(QString::fromStdString(site.hostPort()));
        pressEnter();
        EXPECT_EQ(status(), "   Working ....");
        EXPECT_FALSE(startEnabled());
        EXPECT_FALSE(host.navigationEnabled);
        EXPECT_TRUE(rows().isEmpty());
        scanToEnd();

        // The second scan lists everything again: the sets were emptied at the end.
        EXPECT_EQ(rows(), SiteRows(site));
        EXPECT_EQ(page().grid()->rowCount(), 6);  // always one empty row at the end
        EXPECT_EQ(page().linksFound(), 5);
        ASSERT_EQ(statuses.size(), 5);
        // The spinner goes on from where it stood; the count starts afresh.
        for (int i = 0; i < statuses.size(); ++i) {
            spinner = NextSpinner(spinner);
            EXPECT_EQ(statuses.at(i),
                      "   (" + spinner + ")        " + QString::number(i + 1) + " links found.");
        }
        EXPECT_EQ(status(), statuses.back() + "     Done.");
        EXPECT_EQ(finishedMessages(), run);
        EXPECT_EQ(host.recording.recorded.back().icon, Prompts::Icon::Information);
        EXPECT_FALSE(startEnabledDuringMessage);
        EXPECT_TRUE(startEnabled());
        EXPECT_TRUE(host.navigationEnabled);
        // The head of the page analysed last, as lines.
        const QString head = child<QPlainTextEdit>("Memo222")->toPlainText();
        EXPECT_TRUE(head.startsWith("HTTP/1.0 200")) << head.toStdString();
        EXPECT_TRUE(head.contains("\nContent-Type: text/html\n")) << head.toStdString();
        EXPECT_FALSE(head.contains('\r'));
    }
    EXPECT_EQ(host.recording.messages().size(), 2);
    // Three pages a scan; never the other site, never beyond the depth limit.
    EXPECT_EQ(site.requests().size(), 6u);
    EXPECT_TRUE(site.requests("/deep/c.html").empty());
}

TEST_F(ScannerPageTest, StopWindsTheScanDownAndNothingIsListedAfterIt) {
    HttpFixture site;
    site.script("/", HttpReply::Html(200,
                                     "<a href=one.html>1</a><a href=two.html>2</a>"
                                     "<a href=mailto:desk@site.org>m</a>"));
    site.script("/one.html", HttpReply::Never());
    site.script("/two.html", HttpReply::Html(200, "<a href=three.html>3</a>").after(60s));
    page();
    type(QString::fromStdString(site.hostPort()));
    page().Button22Click();
    tickUntil([&] { return site.requests().size() == 3; });
    const QString counted = status();
    EXPECT_TRUE(counted.endsWith(")        3 links found.")) << counted.toStdString();

    page().Button11Click();
    EXPECT_EQ(status(), counted + "    stopping...");
    EXPECT_TRUE(scan().IsStopping());
    // Stop again while stopping: nothing more.
    page().Button11Click();
    EXPECT_EQ(status(), counted + "    stopping...");
    EXPECT_FALSE(startEnabled());
    // No question while winding down: the close goes ahead.
    EXPECT_TRUE(page().queryClose());
    EXPECT_TRUE(host.recording.recorded.isEmpty());

    scanToEnd();
    EXPECT_EQ(status(), counted + "    stopping...     Done.");
    EXPECT_EQ(finishedMessages(), 1);
    EXPECT_EQ(page().linksFound(), 3);
    EXPECT_EQ(rows().size(), 3);
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    // Stop when idle does nothing.
    page().Button11Click();
    EXPECT_EQ(status(), counted + "    stopping...     Done.");
}

TEST_F(ScannerPageTest, StartMessagesAndTheAddressMadeFromTheBox) {
    HttpFixture site;
    site.script("/", HttpReply::Html(200, "<a href=a.html>A</a>"));
    page();
    // An empty box: the warning, nothing else.
    page().Button22Click();
    EXPECT_EQ(host.recording.messages(), QStringList{"|Please enter the URL!   "});
    EXPECT_EQ(host.recording.recorded.back().icon, Prompts::Icon::Warning);
    EXPECT_TRUE(startEnabled());
    EXPECT_FALSE(scan().IsWorking());

    // A list from before stays when the scanner refuses the start.
    page().grid()->writeRow({"htm", "http://kept.example/"});
    // Blanks and "http://" alone reduce to nothing: the scanner refuses "http://".
    for (const char* typed : {"http://", "  HTTP:// "}) {
        host.recording.recorded.clear();
        type(typed);
        page().Button22Click();
        EXPECT_EQ(host.recording.messages(), QStringList{"Quendrix|Invalid Url : http://"});
        EXPECT_EQ(host.recording.recorded.back().icon, Prompts::Icon::None);
        EXPECT_TRUE(startEnabled());
        EXPECT_FALSE(scan().IsWorking());
        EXPECT_EQ(rows(), QStringList{"htm|http://kept.example/"});
    }

    // Blanks, the scheme in capitals and a path: the scan starts at the bare host; the box
    // keeps what was typed.
    host.recording.recorded.clear();
    const QString typed = QString::fromStdString("  HTTP://" + site.hostPort() + "/some/path  ");
    type(typed);
    page().Button22Click();
    EXPECT_TRUE(scan().IsWorking());
    EXPECT_EQ(scan().StartingUrl(), "http://" + site.hostPort());
    EXPECT_EQ(child<QLineEdit>("Edit111")->text(), typed);
    EXPECT_TRUE(rows().isEmpty());
    scanToEnd();
    ASSERT_GE(site.requests().size(), 1u);
    EXPECT_EQ(site.requests().front().path, "/");
    EXPECT_EQ(rows(), QStringList{"htm|" + QString::fromStdString(site.url("/a.html"))});
}

TEST_F(ScannerPageTest, EnterDuringAScanClearsTheListAndAddsTheNewSiteToTheCrawl) {
    HttpFixture first;
    first.script("/", HttpReply::Html(200, "<a href=slow.html>S</a>"));
    first.script("/slow.html", HttpReply::Html(200, "<p>late</p>").after(1500ms));
    HttpFixture second;
    second.script("/", HttpReply::Html(200, "<a href=b.html>B</a>"));
    startUntilItsLinkIsAskedFor(first);

    type(QString::fromStdString(second.hostPort()));
    pressEnter();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(page().linksFound(), 0);
    scanToEnd();
    EXPECT_EQ(rows(), QStringList{"htm|" + QString::fromStdString(second.url("/b.html"))});
    EXPECT_EQ(second.requests().size(), 2u);
    EXPECT_EQ(finishedMessages(), 1);
}

// What the hand-off of another page does: Stop, the box, Start. While the scan still winds
// down, the new address is dropped: the list is cleared, and no new scan runs.
TEST_F(ScannerPageTest, AHandOffWhileStoppingClearsTheListAndStartsNothing) {
    HttpFixture first;
    first.script("/", HttpReply::Html(200, "<a href=never.html>N</a>"));
    first.script("/never.html", HttpReply::Never());
    HttpFixture second;
    second.script("/", HttpReply::Html(200, "<a href=b.html>B</a>"));
    startUntilItsLinkIsAskedFor(first);

    const HandOffPoints& points = page().handOffPoints();
    ASSERT_TRUE(points.run("Button11Click"));
    ASSERT_TRUE(points.setText("Edit111", QString::fromStdString(second.hostPort())));
    ASSERT_TRUE(points.run("Button22Click"));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_FALSE(startEnabled());
    scanToEnd();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(second.requests().empty());
    EXPECT_EQ(finishedMessages(), 1);
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(status().endsWith("    stopping...     Done.")) << status().toStdString();
}

TEST_F(ScannerPageTest, OptionsActOnTheScannerAtOnce) {
    page();
    const auto items = [&](const char* group) {
        QStringList texts;
        for (QRadioButton* radio : child<QGroupBox>(group)->findChildren<QRadioButton*>()) {
            texts.append(radio->text() + (radio->isChecked() ? "*" : ""));
        }
        return texts;
    };
    EXPECT_EQ(child<QGroupBox>("RadioGroup2")->title(), "Page Scan");
    EXPECT_EQ(items("RadioGroup2"),
              (QStringList{"All Links", "In the WebSite*", "In the Same Path"}));
    EXPECT_EQ(child<QGroupBox>("RadioGroup3")->title(), "Links Type");
    EXPECT_EQ(items("RadioGroup3"),
              (QStringList{"All Links", "In the Website*", "In the Same Path"}));

    // A click, a key, a state set by a screen reader: each acts on the component.
    QTest::mouseClick(child<QRadioButton>("RadioGroup2_0"), Qt::LeftButton);
    EXPECT_EQ(scan().LinkScan(), scanAllLinks);
    child<QRadioButton>("RadioGroup2_2")->setChecked(true);
    EXPECT_EQ(scan().LinkScan(), scanInitialPath);
    child<QRadioButton>("RadioGroup3_2")->setChecked(true);
    EXPECT_EQ(scan().LinkReport(), reportCurrentPathLinks);
    child<QRadioButton>("RadioGroup3_0")->setChecked(true);
    EXPECT_EQ(scan().LinkReport(), reportAllLinks);

    EXPECT_FALSE(scan().TypeFilterEnabled());
    child<QCheckBox>("CheckBox5")->setFocus();
    QTest::keyClick(child<QCheckBox>("CheckBox5"), Qt::Key_Space);
    EXPECT_TRUE(scan().TypeFilterEnabled());
    child<QCheckBox>("CheckBox5")->setChecked(false);
    EXPECT_FALSE(scan().TypeFilterEnabled());

    child<QPlainTextEdit>("Memo11")->setPlainText("ZIP\r\nmail\n\nGif ");
    const TMFStringList& types = scan().Analyzer().TypeFilterList;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < types.Count(); ++i) {
        words.push_back(types[i]);
    }
    EXPECT_EQ(words, (std::vector<std::string>{"gif ", "mail", "zip"}));
}

TEST_F(ScannerPageTest, TheFilterListsOnlyTheChosenTypes) {
    HttpFixture site;
    ServeSite(site);
    page();
    child<QCheckBox>("CheckBox5")->setChecked(true);
    child<QPlainTextEdit>("Memo11")->setPlainText("mail\nGIF");
    type(QString::fromStdString(site.hostPort()));
    pressEnter();
    scanToEnd();
    // The pages are followed all the same.
    EXPECT_EQ(rows(), (QStringList{"gif|" + QString::fromStdString(site.url("/logo.gif")),
                                   "mail|desk@site.org"}));
    EXPECT_EQ(site.requests().size(), 3u);
}

TEST_F(ScannerPageTest, DoubleClickOpensOnlyWebAndMailAddresses) {
    page();
    const struct {
        const char* type;
        const char* address;
        const char* opened;  // nullptr: nothing is opened
    } cases[] = {
        {"htm", "http://site.example/a.html", "http://site.example/a.html"},
        {"gif", "HTTPS://site.example/logo.gif", "https://site.example/logo.gif"},
        {"mail", "desk@site.org", "mailto:desk@site.org"},
        {"htm", "http://site.example/caf\xe9.html", "http://site.example/caf%E9.html"},
        {"htm", "file:///etc/passwd", nullptr},
        {"htm", "javascript:alert(1)", nullptr},
        {"htm", "/local/path", nullptr},
        {"mail", "", nullptr},
    };
    for (const auto& c : cases) {
        page().grid()->writeRow({c.type, QString::fromLatin1(c.address)});
    }
    page().grid()->flush();
    auto* grid = child<GridView>("StringGrid4");
    EXPECT_EQ(grid->toolTip(), "Double click to open it ");
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        host.recording.recorded.clear();
        grid->selectRow(row++);
        page().StringGrid4DblClick();
        if (c.opened == nullptr) {
            EXPECT_TRUE(host.recording.recorded.isEmpty());
        } else {
            ASSERT_EQ(host.recording.recorded.size(), 1);
            EXPECT_EQ(host.recording.recorded.front().kind, "shell");
            EXPECT_EQ(host.recording.recorded.front().text, QString::fromLatin1(c.opened));
        }
    }
    // The empty last row opens nothing; a real double click on the first row opens it.
    host.recording.recorded.clear();
    grid->selectRow(row);
    page().StringGrid4DblClick();
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    page().resize(800, 600);
    page().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page()));
    const QPoint first = grid->visualRect(grid->model()->index(0, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, first);
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.front().text, "http://site.example/a.html");
}

TEST_F(ScannerPageTest, ExportWritesTheAddressesAndAsksBeforeReplacing) {
    page();
    for (const char* address : {"http://a.example/", "desk@site.org", "http://b.example/\xe9"}) {
        page().grid()->writeRow({"htm", QString::fromLatin1(address)});
    }
    const QString path = dir.filePath("links.txt");
    host.recording.files = {path};
    page().SpeedButton15Click();
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");
    const QByteArray written = "http://a.example/\r\ndesk@site.org\r\nhttp://b.example/\xe9\r\n";
    EXPECT_EQ(test::ReadBytes(path), written);
    EXPECT_TRUE(host.recording.messages().isEmpty());

    // An existing file: No writes nothing, Yes replaces it.
    page().grid()->clearResults();
    page().grid()->writeRow({"mail", "new@site.org"});
    host.recording.recorded.clear();
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::No};
    page().SpeedButton15Click();
    ASSERT_EQ(host.recording.recorded.size(), 2);
    EXPECT_EQ(host.recording.recorded.at(1).kind, "yesno");
    EXPECT_EQ(host.recording.recorded.at(1).caption, "Confirm");
    EXPECT_EQ(host.recording.recorded.at(1).text, "The file has existed, replace it or not?");
    EXPECT_EQ(test::ReadBytes(path), written);
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::Yes};
    page().SpeedButton15Click();
    EXPECT_EQ(test::ReadBytes(path), QByteArray("new@site.org\r\n"));

    // An empty list gives an empty file; a file that cannot be made shows the system's reason.
    page().grid()->clearResults();
    host.recording.files = {path};
    page().SpeedButton15Click();
    EXPECT_EQ(test::ReadBytes(path), QByteArray());
    host.recording.recorded.clear();
    host.recording.files = {dir.filePath("no/such/folder/links.txt")};
    page().SpeedButton15Click();
    ASSERT_EQ(host.recording.messages().size(), 1);
    EXPECT_EQ(host.recording.messages().front(), "Quendrix|File not found");
    EXPECT_EQ(host.recording.recorded.back().icon, Prompts::Icon::Error);
}

TEST_F(ScannerPageTest, CloseWhileScanningAsksAndYesShutsTheScannerDown) {
    HttpFixture site;
    site.script("/", HttpReply::Html(200, "<a href=never.html>N</a>"));
    site.script("/never.html", HttpReply::Never());
    page();
    EXPECT_TRUE(page().queryClose());  // idle: no question
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    type(QString::fromStdString(site.hostPort()));
    page().Button22Click();
    tickUntil([&] { return site.requests().size() == 2; });

    host.recording.answers = {Prompts::Answer::Cancel};
    EXPECT_FALSE(page().queryClose());
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.front().kind, "yescancel");
    EXPECT_EQ(host.recording.recorded.front().caption, "Confirm");
    EXPECT_EQ(host.recording.recorded.front().text, "Website Scanner is working, exit or not?");
    EXPECT_TRUE(scan().IsWorking());
    EXPECT_FALSE(scan().IsStopping());

    host.recording.answers = {Prompts::Answer::Yes};
    EXPECT_FALSE(page().queryClose());
    EXPECT_TRUE(scan().IsStopping());
    EXPECT_EQ(scan().ShutdownCountdown(), THttpScan::kShutdownTicks);
    // Shutting down: another close is refused without a question.
    EXPECT_FALSE(page().queryClose());
    EXPECT_EQ(host.recording.recorded.size(), 2);
    for (int i = 0; i < THttpScan::kShutdownTicks - 1; ++i) {
        tick();
    }
    EXPECT_EQ(host.programEnds, 0);
    tick();
    EXPECT_EQ(host.programEnds, 1);
    EXPECT_EQ(finishedMessages(), 0);
}

TEST_F(ScannerPageTest, SettingsGiveTheSlotsAndTheDepth) {
    const struct {
        const char* concurrent;
        const char* depth;
        int slots;
        int level;
    } cases[] = {
        {nullptr, nullptr, 6, 3}, {"12", "5", 12, 5},        {" 32 ", "1", 32, 1},
        {"1", "100", 1, 100},     {"0", "0", 6, 3},          {"33", "-2", 6, 3},
        {"x", "3x", 6, 3},        {"", "99999999999", 6, 3},
    };
    for (const auto& c : cases) {
        host.settings.clear();
        if (c.concurrent != nullptr) {
            host.settings.insert("scanner/ConcurrentDownloads", c.concurrent);
            host.settings.insert("scanner/DepthSearchLevel", c.depth);
        }
        ScannerPage page(host);
        EXPECT_EQ(page.HttpScan1().ConcurrentDownloads(), c.slots) << c.concurrent;
        EXPECT_EQ(page.HttpScan1().DepthSearchLevel(), c.level) << c.depth;
    }
}

TEST_F(ScannerPageTest, ControlsAndTheFilterHelp) {
    page();
    EXPECT_EQ(child<QLabel>("Label65")->text(), "Website Scanner");
    EXPECT_EQ(child<QLabel>("Label53")->text(), "Http://");
    EXPECT_EQ(child<QLineEdit>("Edit111")->toolTip(), "Right Click to Get More");
    EXPECT_EQ(child<QToolButton>("SpeedButton17")->toolTip(),
              "Scan web address currently open in the Internet Explorer");
    EXPECT_EQ(child<QToolButton>("button22")->toolTip(), "Start");
    EXPECT_EQ(child<QToolButton>("button11")->toolTip(), "Stop");
    EXPECT_EQ(child<QToolButton>("SpeedButton15")->toolTip(), "Export the results to a file");
    EXPECT_EQ(child<QToolButton>("SpeedButton16")->toolTip(), "Filter Help");
    EXPECT_EQ(child<QCheckBox>("CheckBox5")->text(), "Filter");
    EXPECT_FALSE(child<QCheckBox>("CheckBox5")->isChecked());
    EXPECT_EQ(child<QPlainTextEdit>("Memo11")->toPlainText(), "");
    EXPECT_EQ(child<QLabel>("Label36")->text(), "Http Head");
    EXPECT_TRUE(child<QPlainTextEdit>("Memo222")->isReadOnly());
    auto* grid = child<GridView>("StringGrid4");
    EXPECT_TRUE(grid->horizontalHeader()->isHidden());
    EXPECT_EQ(grid->model()->columnCount(), 2);
    EXPECT_GE(grid->columnWidth(0), 40);
    EXPECT_EQ(grid->columnWidth(1), 2000);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);

    // The browser finds no page here: the message, nothing started.
    page().SpeedButton17Click();
    EXPECT_EQ(host.recording.messages(), QStringList{"|Internet Explorer is not running!"});
    EXPECT_FALSE(scan().IsWorking());

    // The hand-off points of the address box.
    const HandOffPoints& points = page().handOffPoints();
    EXPECT_TRUE(points.hasBox("Edit111"));
    EXPECT_TRUE(points.hasAction("Button11Click"));
    EXPECT_TRUE(points.hasAction("Button22Click"));

    QTest::mouseClick(child<QToolButton>("SpeedButton16"), Qt::LeftButton);
    Tfilter_help* help = page().filterHelp();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isModal());
    EXPECT_EQ(help->windowTitle(), "Filter Help");
    QStringList texts;
    for (QLabel* label : help->findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    EXPECT_EQ(texts,
              (QStringList{"Please enter the file type name. For example, if you enter \"gif\" and "
                           "\"htm\", Website Scanner will only scan the gif file and htm file.  ",
                           "If you want to scan the email address, you must enter \"mail\" in the "
                           "Filter Box",
                           "Please note:  You must enter the filter words as the same format as "
                           "listed on the rigtht",
                           "Example"}));
    EXPECT_TRUE(help->findChild<QCheckBox*>()->isChecked());
    EXPECT_EQ(help->findChild<QPlainTextEdit*>()->toPlainText(), "gif\njpg\nmail\nzip");
    QTest::mouseClick(help->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_FALSE(help->isVisible());
}

}  // namespace
}  // namespace quendrix

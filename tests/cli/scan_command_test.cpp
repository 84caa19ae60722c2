// quendrix-cli scan run as a user runs it, against a small site served by the HTTP fixture on
// 127.0.0.1 and a second site on "localhost" (another fixture: a host with another site key).
// Only loopback is ever asked: no link of the site names another host.
#include "support/cli_runner.h"
#include "support/http_fixture.h"
#include "support/test_files.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>
#include <unistd.h>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

// Every fetch of these scans goes straight to the fixtures, whatever the machine's proxy.
class NoProxy : public ::testing::Environment {
  public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
            unsetenv(name);
        }
    }
};
::testing::Environment* const kNoProxy = ::testing::AddGlobalTestEnvironment(new NoProxy);

QStringList Lines(const QByteArray& out) {
    QStringList lines = QString::fromLatin1(out).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.takeLast(), "") << "every line ends in LF";
    return lines;
}

// The site: a start page, a page one level down whose links lead on, a page at the depth
// limit whose link must be listed but never fetched, a 404, a page on the other site.
class ScanCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        other = "http://localhost:" + std::to_string(otherSite.port());
        site.script("/", HttpReply::Html(200,
                                         "<html><head><title>Start</title></head><body>\n"
                                         "<a href=\"a.htm\">A</a>\n"
                                         "<img src=\"logo.gif\">\n"
                                         "<a href=\"mailto:desk@site.org\">desk</a>\n"
                                         "<a href=\"missing.htm\">gone</a>\n"
                                         "<a href=\"" +
                                             other + "/x.htm\">other</a>\n</body></html>"));
        site.script("/a.htm", HttpReply::Html(200,
                                              "<a href=\"deep/c.htm\">C</a>"
                                              "<a href=\"files/d.zip\">zip</a>"
                                              "<a href=\"a.htm?page=2\">next</a>"));
        site.script("/deep/c.htm", HttpReply::Html(200,
                                                   "<a href=\"e.htm\">E</a>"
                                                   "<img src=\"pic.gif\">"
                                                   "<a href=mailto:web@site.org>web</a>"));
        // Level 4: listed from c.htm, never fetched with the default depth of 3.
        site.script("/deep/e.htm", HttpReply::Html(200, "<a href=\"f.htm\">F</a>"));
        otherSite.script("/x.htm", HttpReply::Html(200, "<a href=\"y.htm\">Y</a>"));
    }

    std::string url(const std::string& path) const { return site.url(path); }
    QString address() const { return QString::fromStdString(site.hostPort()); }

    HttpFixture site;
    HttpFixture otherSite;
    std::string other;
    QTemporaryDir dir;
};

test::StartedCli Start(const QStringList& words) {
    return test::StartCli(QStringLiteral("scan"), words);
}

// Each choice against the same site, the scans side by side (each ends about 2 s after its
// last page). Where only one page of a level has new links, the order is the order of finding.
TEST_F(ScanCommandTest, ListsWhatTheChoicesReportInTheOrderFound) {
    const QString a = QString::fromStdString(url("/a.htm"));
    const QString logo = QString::fromStdString(url("/logo.gif"));
    const QString missing = QString::fromStdString(url("/missing.htm"));
    const QString deepC = QString::fromStdString(url("/deep/c.htm"));
    const QString zip = QString::fromStdString(url("/files/d.zip"));
    const QString next = QString::fromStdString(url("/a.htm?page=2"));
    const QString e = QString::fromStdString(url("/deep/e.htm"));
    const QString pic = QString::fromStdString(url("/deep/pic.gif"));
    const QString x = QString::fromStdString(other + "/x.htm");
    const QString y = QString::fromStdString(other + "/y.htm");
    const auto line = [](const QString& type, const QString& found) {
        return "\"" + type + "\";\"" + found + "\"";
    };
    const QStringList defaults = {
        line("htm", a),
        line("gif", logo),
        line("mail", "desk@site.org"),
        line("htm", missing),
        line("htm", deepC),
        line("zip", zip),
        line("htm", next),
        line("htm", e),
        line("gif", pic),
        line("mail", "web@site.org"),
    };
    QStringList reportAll = defaults;
    reportAll.insert(4, line("htm", x));

    const struct {
        QStringList options;
        QStringList lines;
        bool sorted;  // pages of two sites at one level: their links in either order
    } cases[] = {
        // Typed as into the page's box: blanks, HTTP:// in capitals and a path go.
        {{" HTTP://" + address() + "/index.htm "}, defaults, false},
        // Listed: every link, the other site's too; fetched: the site only (the start's path
        // is its root, so its path is the whole site).
        {{address(), "--report", "all", "--follow", "path"}, reportAll, false},
        // Listed: the links that hold the path of the page they are on (the start page's is
        // "/", a.htm's is "/a.htm"), and the mail addresses.
        {{address(), "--report", "path"},
         {line("htm", a), line("gif", logo), line("mail", "desk@site.org"), line("htm", missing),
          line("htm", next), line("mail", "web@site.org")},
         false},
        // The type filter as the page's: letter case aside, blanks around a type dropped.
        {{address(), "--types", "GIF, mail"},
         {line("gif", logo), line("mail", "desk@site.org"), line("gif", pic),
          line("mail", "web@site.org")},
         false},
        // The start page only.
        {{address(), "--depth", "1"},
         {line("htm", a), line("gif", logo), line("mail", "desk@site.org"), line("htm", missing)},
         false},
        // The other site is fetched too; its page is listed from nowhere (another site than
        // the start page's), its link from its own page.
        {{address(), "--follow", "all", "--concurrent", "32"},
         [&] {
             QStringList lines = defaults;
             lines.append(line("htm", y));
             lines.sort();
             return lines;
         }(),
         true},
    };
    std::vector<test::StartedCli> runs;
    for (const auto& scanCase : cases) {
        runs.push_back(Start(scanCase.options));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(runs[i].words.join(' ').toStdString());
        const test::CliRun run = test::FinishCli(runs[i]);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        QStringList lines = Lines(run.out);
        if (cases[i].sorted) {
            lines.sort();
        }
        EXPECT_EQ(lines, cases[i].lines);
        // The statistics at the end, whose link count is what was listed.
        const QList<QByteArray> err = run.err.split('\n');
        ASSERT_GE(err.size(), 2);
        EXPECT_EQ(err.at(err.size() - 2), "In queue 0, Downloading 0, To analyse 0, Done " +
                                              QByteArray(i == 4 ? "1" : (i == 5 ? "5" : "4")) +
                                              ", Retries 0, Errors 0, Links found " +
                                              QByteArray::number(lines.size()))
            << run.err.toStdString();
        // A 404 is said on standard error, once per scan that fetched it.
        EXPECT_EQ(run.err.count(missing.toLatin1() + " (404) ERROR"), i == 4 ? 0 : 1)
            << run.err.toStdString();
    }
    // Level 4 is never fetched; the other site only by the scan that follows all links.
    EXPECT_TRUE(site.requests("/deep/e.htm").empty());
    EXPECT_EQ(otherSite.requests("/x.htm").size(), 1u);
    EXPECT_EQ(otherSite.requests("/y.htm").size(), 1u);
}

// --out writes the page's export: the addresses, each with CR LF, every byte as found; the
// pipe gets them unchanged too. A failed --out is status 1 with the links still printed.
TEST_F(ScanCommandTest, OutWritesThePagesExportAndAFailedOneIsStatusOne) {
    // A Latin-1 byte and a UTF-8 character in the addresses.
    site.script("/", HttpReply::Html(200,
                                     "<a href=\"caf\xe9.htm\">x</a>"
                                     "<a href=\"mailto:desk@site.org\">desk</a>"
                                     "<img src=\"caf\xc3\xa9.gif\">"));
    const QString path = dir.filePath("links.txt");
    test::StartedCli written = Start({address(), "--depth", "1", "--out", path});
    // A folder cannot be replaced by the export.
    test::StartedCli failed = Start({address(), "--depth", "1", "--out", dir.path()});
    // A standard output that fails ends the scan; the export still gets what was found.
    const QString kept = dir.filePath("kept.txt");
    test::StartedCli full = test::StartCli(
        "scan", {address(), "--out", kept},
        [](QProcess& process) { process.setStandardOutputFile(QStringLiteral("/dev/full")); });

    const QByteArray latin1 = QByteArray::fromStdString(url("/caf\xe9.htm"));
    const QByteArray utf8 = QByteArray::fromStdString(url("/caf\xc3\xa9.gif"));
    const QByteArray printed =
        "\"htm\";\"" + latin1 + "\"\n\"mail\";\"desk@site.org\"\n\"gif\";\"" + utf8 + "\"\n";
    const test::CliRun run = test::FinishCli(written);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, printed);
    EXPECT_EQ(test::ReadBytes(path), latin1 + "\r\ndesk@site.org\r\n" + utf8 + "\r\n");

    const test::CliRun refused = test::FinishCli(failed);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, printed) << "the links are printed all the same";
    EXPECT_TRUE(refused.err.endsWith(
        "Links found 3\nquendrix-cli scan: " + dir.path().toLocal8Bit() + ": Invalid filename\n"))
        << refused.err.toStdString();

    const test::CliRun cut = test::FinishCli(full);
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err,
              "quendrix-cli scan: cannot write to standard output: No space left on "
              "device\n");
    EXPECT_EQ(test::ReadBytes(kept), test::ReadBytes(path));
}

// On a terminal (a pty in raw mode, so the bytes read are the bytes written; a UTF-8 locale)
// a byte that is no character is shown as cat -v shows it; the UTF-8 character stays.
TEST_F(ScanCommandTest, ATerminalSeesBytesThatAreNoCharacterMadeVisible) {
    site.script("/", HttpReply::Html(200,
                                     "<a href=\"caf\xe9.htm\">x</a>"
                                     "<img src=\"caf\xc3\xa9.gif\">"));
    const test::CliRun run = test::RunCliOnTerminal("scan", {address(), "--depth", "1"}, 60000);
    EXPECT_EQ(run.status, 0);
    const QByteArray& out = run.out;
    EXPECT_EQ(out, "\"htm\";\"" + QByteArray::fromStdString(url("/cafM-i.htm")) + "\"\n\"gif\";\"" +
                       QByteArray::fromStdString(url("/caf\xc3\xa9.gif")) + "\"\n");
}

TEST_F(ScanCommandTest, BadUsageIsTwoAndAnAddressWithoutAHostIsOne) {
    const struct {
        QStringList words;
        QByteArray problem;
    } usage[] = {
        {{}, "missing ADDRESS"},
        {{""}, "ADDRESS is empty: give the host to scan"},
        {{address(), "--follow", "everything"}, "--follow wants all, site or path"},
        {{address(), "--report", "page"}, "--report wants all, site or path"},
        {{address(), "--types", " , "},
         "--types wants a comma-separated list of types, for example gif,zip,mail"},
        {{address(), "--depth", "0"}, "--depth wants a number from 1 to 1000"},
        {{address(), "--depth", "1001"}, "--depth wants a number from 1 to 1000"},
        {{address(), "--concurrent", "0"}, "--concurrent wants a number from 1 to 32"},
        {{address(), "--concurrent", "33"}, "--concurrent wants a number from 1 to 32"},
        {{address(), address()}, "unexpected argument '" + address().toLatin1() + "'"},
    };
    for (const auto& c : usage) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        const test::CliRun run = test::RunCli("scan", c.words);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("quendrix-cli scan: " + c.problem +
                                       "\nUsage: quendrix-cli scan ADDRESS "))
            << run.err.toStdString();
    }

    // The page's refusal: "http://" reduces to no host at all. An existing --out file stays.
    const QString kept = test::WriteBytes(dir.filePath("kept.txt"), "kept\r\n");
    for (const QString& typed : {QStringLiteral("http://"), QStringLiteral(" Http:///x")}) {
        const test::CliRun run = test::RunCli("scan", {typed, "--out", kept});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, "quendrix-cli scan: Invalid Url : http://\n");
        EXPECT_EQ(test::ReadBytes(kept), "kept\r\n");
    }
    EXPECT_TRUE(site.requests().empty());
}

// quendrix-cli scan WORDS... started with Ctrl-C and SIGTERM at their defaults (a test runner
// may have started this test with them ignored), its outputs into files.
struct Spawned {
    pid_t pid = -1;
    QString out, err;
};

Spawned Spawn(const QTemporaryDir& dir, const QString& name, const QStringList& words) {
    Spawned spawned{-1, dir.filePath(name + ".out"), dir.filePath(name + ".err")};
    std::vector<std::string> argv = {"scan"};
    for (const QString& word : words) {
        argv.push_back(word.toStdString());
    }
    spawned.pid = test::SpawnCli(argv, spawned.out.toLocal8Bit(), spawned.err.toLocal8Bit());
    return spawned;
}

// Ctrl-C while a page is waited for from a server that never answers: the scan ends at once
// (no stop settling for 2 s), with the links found so far printed and written. A second
// Ctrl-C changes nothing; SIGTERM ends it the same way.
TEST_F(ScanCommandTest, CtrlCEndsTheScanAtOnceWithTheLinksSoFar) {
    site.script("/", HttpReply::Html(200, "<a href=\"a.htm\">A</a><img src=\"logo.gif\">"));
    site.script("/a.htm", HttpReply::Never());
    const QByteArray printed = "\"htm\";\"" + QByteArray::fromStdString(url("/a.htm")) +
                               "\"\n\"gif\";\"" + QByteArray::fromStdString(url("/logo.gif")) +
                               "\"\n";
    const struct {
        std::vector<int> signals;
        int status;
        QByteArray said;
    } cases[] = {
        {{SIGINT}, 130, "quendrix-cli scan: interrupted\n"},
        {{SIGINT, SIGINT}, 130, "quendrix-cli scan: interrupted\n"},
        {{SIGTERM}, 143, "quendrix-cli scan: ended by SIGTERM\n"},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index);
        const QString name = QString::number(index++);
        const QString path = dir.filePath(name + ".txt");
        const std::size_t asked = site.requests("/a.htm").size();
        const Spawned scan = Spawn(dir, name, {address(), "--out", path});
        // The page that never comes is asked for once the start page's links are out.
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (site.requests("/a.htm").size() == asked) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "a.htm was never asked for";
            site.waitForRequests(site.requests().size() + 1, 100ms);
        }
        for (const int signal : c.signals) {
            ::kill(scan.pid, signal);
        }
        EXPECT_EQ(test::WaitForCli(scan.pid, 30s), c.status);
        EXPECT_EQ(test::ReadBytes(scan.out), printed);
        // "Downloading 1": the scan ended with the page still asked for, not after a stop had
        // wound it down (which would show no download).
        EXPECT_EQ(test::ReadBytes(scan.err),
                  "In queue 0, Downloading 1, To analyse 0, Done 1, Retries 0, Errors 0, "
                  "Links found 2\n" +
                      c.said);
        QByteArray exported = printed;
        exported.replace("\"htm\";\"", "").replace("\"gif\";\"", "").replace("\"\n", "\r\n");
        EXPECT_EQ(test::ReadBytes(path), exported);
    }
}

}  // namespace
}  // namespace quendrix

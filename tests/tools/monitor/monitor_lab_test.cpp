// The Connection Monitor page over the real kernel table: the test moves into a network
// namespace of its own (a fresh one has no sockets at all), so every connection the page sees
// is one the test opened. Ticks are driven by hand so each step sees a settled table. Runs only
// inside the lab as root (ctest -L lab).
#include "tools/monitor/monitor_page.h"

#include "core/result_table_model.h"
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/fake_host.h"
#include "support/test_files.h"

#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quendrix {
namespace {

// The DNS lab's own namespace, taken before any test moves the main thread out of it.
const int kLabNamespace = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);

class MonitorLab : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        // The namespace is this thread's; the page's workers start from here and share it.
        ASSERT_NO_FATAL_FAILURE(enterNamespace());
        page = std::make_unique<MonitorPage>(host);
        page->engine().stop();  // the test ticks by hand
    }
    // A fresh namespace: no socket in it but the test's.
    virtual void enterNamespace() {
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << std::strerror(errno);
        ASSERT_EQ(std::system("ip link set lo up && ip addr add 10.250.4.1/32 dev lo && "
                              "ip addr add 10.250.4.2/32 dev lo"),
                  0);
    }
    void TearDown() override {
        page.reset();
        for (const int fd : m_fds) {
            ::close(fd);
        }
    }

    static sockaddr_in endpoint(const char* address, std::uint16_t port) {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        EXPECT_EQ(inet_pton(AF_INET, address, &at.sin_addr), 1) << address;
        return at;
    }
    int keep(int fd) {
        EXPECT_GE(fd, 0) << std::strerror(errno);
        m_fds.push_back(fd);
        return fd;
    }
    int listenOn(const char* address, std::uint16_t port) {
        const int fd = keep(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in at = endpoint(address, port);
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0)
            << std::strerror(errno);
        EXPECT_EQ(::listen(fd, 16), 0);
        return fd;
    }
    // The client's and the accepted server's descriptors.
    std::pair<int, int> connect(const char* from, std::uint16_t fromPort, const char* to,
                                std::uint16_t toPort, int listener) {
        const int fd = keep(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int one = 1;
        EXPECT_EQ(setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one), 0);
        const sockaddr_in local = endpoint(from, fromPort);
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0)
            << std::strerror(errno);
        const sockaddr_in remote = endpoint(to, toPort);
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote), 0)
            << std::strerror(errno);
        return {fd, keep(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC))};
    }
    // Closes with a reset, so neither end lingers in time_wait.
    void abort(int fd) {
        const linger now{1, 0};
        EXPECT_EQ(setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now), 0);
        ::close(fd);
        std::erase(m_fds, fd);
    }
    void close(int fd) {
        ::close(fd);
        std::erase(m_fds, fd);
    }
    // One tick, to its end; the rows it added as "local|port|remote|port|state|host".
    QStringList tick() {
        const int before = page->history().resultCount();
        EXPECT_TRUE(page->engine().TimerTimer());
        EXPECT_TRUE(page->engine().waitForTick(30000));
        QStringList rows;
        for (int row = before; row < page->history().resultCount(); ++row) {
            QStringList cells;
            for (int column = 2; column < 8; ++column) {
                cells << page->history().cell(row, column);
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    test::FakeHost host;
    std::unique_ptr<MonitorPage> page;

  private:
    std::vector<int> m_fds;
};

TEST_F(MonitorLab, RecordsTheNamespacesConnectionsByTheirKey) {
    const int http = listenOn("127.0.0.1", 80);
    const int ftp = listenOn("10.250.4.1", 20);
    const int other = listenOn("10.250.4.2", 81);
    const auto [client, server] = connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    connect("10.250.4.2", 8080, "10.250.4.1", 20, ftp);
    EXPECT_EQ(tick(), (QStringList{
                          " 10.250.  4.  1|FTP | 10.250.  4.  2|8080|established|",
                          " 10.250.  4.  2|8080| 10.250.  4.  1|FTP |established|",
                          "127.  0.  0.  1|HTTP|127.  0.  0.  1|40001|established|",
                          "127.  0.  0.  1|40001|127.  0.  0.  1|HTTP|established|",
                      }));

    // From another local address with the same port to the same end: the client's key is
    // known, the server's is not.
    connect("10.250.4.2", 40001, "127.0.0.1", 80, http);
    EXPECT_EQ(tick(), QStringList{"127.  0.  0.  1|HTTP| 10.250.  4.  2|40001|established|"});

    // Closed and opened again on the same ports: nothing new.
    abort(client);
    abort(server);
    EXPECT_TRUE(tick().isEmpty());
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    EXPECT_TRUE(tick().isEmpty());

    // Connections that reach close_wait (closed by the client) or time_wait (closed by the
    // server first) before a tick sees them are never shown.
    const auto half = connect("10.250.4.1", 40100, "10.250.4.2", 81, other);
    close(half.first);
    const auto done = connect("10.250.4.1", 40200, "10.250.4.2", 81, other);
    close(done.second);
    close(done.first);
    EXPECT_TRUE(tick().isEmpty());

    // After Clear whatever is open is recorded again, one row per key.
    page->findChild<QToolButton*>("sbClear")->click();
    page->engine().stop();
    EXPECT_EQ(tick(), (QStringList{
                          " 10.250.  4.  1|FTP | 10.250.  4.  2|8080|established|",
                          " 10.250.  4.  2|8080| 10.250.  4.  1|FTP |established|",
                          " 10.250.  4.  2|40001|127.  0.  0.  1|HTTP|established|",
                          "127.  0.  0.  1|HTTP| 10.250.  4.  2|40001|established|",
                          "127.  0.  0.  1|HTTP|127.  0.  0.  1|40001|established|",
                      }));

    // Listeners once asked for; a listener's host name is "X".
    host.recording.answers = {Prompts::Answer::Yes, Prompts::Answer::Yes};
    page->findChild<QCheckBox*>("cbShowListeners")->click();
    page->findChild<QCheckBox*>("CheckBox2")->click();
    EXPECT_EQ(tick(), (QStringList{
                          " 10.250.  4.  1|FTP |...|...|listening|X",
                          " 10.250.  4.  2|  81|...|...|listening|X",
                          "127.  0.  0.  1|HTTP|...|...|listening|X",
                      }));
}

// Host names come from the lab's name server, so this test stays in the lab's namespace,
// where the server's own sockets are: only rows of the test's addresses are looked at.
// 10.250.1.1 has a PTR record (one.lab.test), 10.250.1.99 none.
class MonitorLabNames : public MonitorLab {
  protected:
    void enterNamespace() override {
        ASSERT_GE(kLabNamespace, 0);
        ASSERT_EQ(setns(kLabNamespace, CLONE_NEWNET), 0) << std::strerror(errno);
        ASSERT_EQ(std::system("ip addr replace 10.250.1.1/32 dev lo && "
                              "ip addr replace 10.250.1.99/32 dev lo"),
                  0);
    }
    QStringList ownRows() {
        QStringList own;
        for (const QString& row : tick()) {
            if (row.contains(" 10.250.  1.")) {
                own << row;
            }
        }
        return own;
    }
};

TEST_F(MonitorLabNames, HostRevolveShowsTheRemoteNameOrX) {
    const int named = listenOn("10.250.1.1", 81);
    const int unnamed = listenOn("10.250.1.99", 8080);
    connect("10.250.1.99", 40001, "10.250.1.1", 81, named);
    host.recording.answers = {Prompts::Answer::Yes, Prompts::Answer::Yes};
    page->findChild<QCheckBox*>("CheckBox2")->click();
    EXPECT_EQ(ownRows(), (QStringList{
                             " 10.250.  1.  1|  81| 10.250.  1. 99|40001|established|X",
                             " 10.250.  1. 99|40001| 10.250.  1.  1|  81|established|one.lab.test",
                         }));

    // A listening row is looked up on six dots: "X". Rows written before stay as they were.
    page->findChild<QCheckBox*>("cbShowListeners")->click();
    connect("10.250.1.1", 40002, "10.250.1.99", 8080, unnamed);
    EXPECT_EQ(ownRows(), (QStringList{
                             " 10.250.  1.  1|  81|...|...|listening|X",
                             " 10.250.  1.  1|40002| 10.250.  1. 99|8080|established|X",
                             " 10.250.  1. 99|8080|...|...|listening|X",
                             " 10.250.  1. 99|8080| 10.250.  1.  1|40002|established|one.lab.test",
                         }));
}

// The command line's monitor over the same kind of namespace: its rows as they come, the time
// limit, Ctrl-C ending it with the export written, and its usage problems.
TEST_F(MonitorLab, TheCommandLinePrintsNewRowsAndWritesTheExport) {
    page.reset();  // only the command reads the table here
    const int http = listenOn("127.0.0.1", 80);
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    QTemporaryDir dir;
    const QString csv = dir.filePath("history.csv");
    const auto run = test::RunCli("monitor", {"--seconds", "1", "--export", "csv", "--out", csv});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();  // two rows and the end after the last
    EXPECT_TRUE(
        lines[0].endsWith("    127.  0.  0.  1    HTTP    127.  0.  0.  1    40001    "
                          "established    "))
        << lines[0].toStdString();
    EXPECT_TRUE(
        lines[1].endsWith("    127.  0.  0.  1    40001    127.  0.  0.  1    HTTP    "
                          "established    "))
        << lines[1].toStdString();
    const QByteArray file = test::ReadBytes(csv);
    const QList<QByteArray> rows = file.split('\n');
    ASSERT_EQ(rows.size(), 3) << file.toStdString();
    EXPECT_TRUE(rows[0].endsWith(",127.  0.  0.  1,HTTP,127.  0.  0.  1,40001,established,\r"));
    EXPECT_TRUE(file.endsWith("\r\n"));

    // Until interrupted: Ctrl-C ends it cleanly, the export written.
    const QString txt = dir.filePath("history.txt");
    QProcess process;
    process.start(QStringLiteral(QUENDRIX_CLI_PATH),
                  {"monitor", "--listeners", "--export", "txt", "--out", txt});
    QByteArray seen;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            seen += process.readAllStandardOutput();
            return seen.count('\n') >= 3;
        },
        60000))
        << seen.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QByteArray text = test::ReadBytes(txt);
    EXPECT_TRUE(text.startsWith("\r\n")) << text.toStdString();
    EXPECT_EQ(text.count("\r\n"), 4) << text.toStdString();  // the empty line and three rows
    EXPECT_TRUE(text.contains("    127.  0.  0.  1    HTTP    ...    ...    listening    \r\n"));

    for (const QStringList& words :
         {QStringList{"--export", "csv"}, QStringList{"--export", "xml", "--out", txt},
          QStringList{"--seconds", "0"}, QStringList{"extra"}}) {
        EXPECT_EQ(test::RunCli("monitor", words).status, 2) << words.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace quendrix

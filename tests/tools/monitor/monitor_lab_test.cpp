// The Connection Monitor page over the real kernel table: the test moves into a network
// namespace of its own (a fresh one has no sockets at all), so every connection the page sees
// is one the test opened. Ticks are driven by hand so each step sees a settled table. Runs only
// inside the lab as root (ctest -L lab).
#include "tools/monitor/monitor_page.h"

#include "core/result_table_model.h"
#include "net/tcp_table_refusal.h"
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
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
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

// The command line's monitor, as a user starts it from a shell: Ctrl-C and SIGTERM at their
// defaults (the test runner may start tests with them ignored, which a child inherits), and
// whatever else the test asks for in the child before it runs the program.
class MonitorCli : public MonitorLab {
  protected:
    void SetUp() override {
        MonitorLab::SetUp();
        page.reset();  // only the command reads the table here
    }
    void start(QProcess& process, const QStringList& words, std::function<bool()> inChild = {}) {
        process.setChildProcessModifier([inChild] {
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            if (inChild && !inChild()) {
                ::_exit(kChildSetUpFailed);
            }
        });
        process.start(QStringLiteral(QUENDRIX_CLI_PATH), QStringList{"monitor"} + words);
        ASSERT_TRUE(process.waitForStarted(30000));
    }
    // Reads standard output until it holds `lines` lines in all.
    static bool waitForLines(QProcess& process, QByteArray& seen, qsizetype lines,
                             int timeoutMs = 60000) {
        return QTest::qWaitFor(
            [&] {
                seen += process.readAllStandardOutput();
                return seen.count('\n') >= lines;
            },
            timeoutMs);
    }
    // Only to a process still running: the id of one that ended is 0, the whole group.
    static void signal(QProcess& process, int number) {
        const auto pid = static_cast<pid_t>(process.processId());
        ASSERT_GT(pid, 0);
        ::kill(pid, number);
    }
    // The exit status once ended by itself; -1 for a crash or a signal, -2 when it goes on.
    static int status(QProcess& process, int timeoutMs = 60000) {
        if (!process.waitForFinished(timeoutMs)) {
            return -2;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // Runs a command (with its words) inside the mount namespace of the process.
    static int inMountsOf(QProcess& process, const QString& command) {
        const QString pid = QString::number(process.processId());
        return std::system(QStringLiteral("nsenter -t %1 -m %2")
                               .arg(pid, command.arg(pid))
                               .toLocal8Bit()
                               .constData());
    }

    static constexpr int kChildSetUpFailed = 99;
    QTemporaryDir dir;
};

// Its rows as they come, the time limit, Ctrl-C ending it with the export written, and its
// usage problems.
TEST_F(MonitorCli, PrintsNewRowsAndWritesTheExport) {
    const int http = listenOn("127.0.0.1", 80);
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
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

    // Until interrupted: Ctrl-C ends it as its time would, the export written.
    const QString txt = dir.filePath("history.txt");
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(start(process, {"--listeners", "--export", "txt", "--out", txt}));
    QByteArray seen;
    ASSERT_TRUE(waitForLines(process, seen, 3)) << seen.toStdString();
    signal(process, SIGINT);
    EXPECT_EQ(status(process), 0) << process.readAllStandardError().toStdString();
    const QByteArray text = test::ReadBytes(txt);
    EXPECT_TRUE(text.startsWith("\r\n")) << text.toStdString();
    EXPECT_EQ(text.count("\r\n"), 4) << text.toStdString();  // the empty line and three rows
    EXPECT_TRUE(text.contains("    127.  0.  0.  1    HTTP    ...    ...    listening    \r\n"));

    for (const QStringList& words :
         {QStringList{"--export", "csv"}, QStringList{"--export", "xml", "--out", txt},
          QStringList{"--seconds", "0"}, QStringList{"--seconds", "31536001"},
          QStringList{"--seconds", "4294968000"}, QStringList{"extra"}}) {
        EXPECT_EQ(test::RunCli("monitor", words).status, 2) << words.join(' ').toStdString();
    }
}

// A run with nothing to record ends as the window's export of an empty history: a TXT file of
// one empty line, replacing what was there.
TEST_F(MonitorCli, AnEmptyHistoryIsAnExportOfOneEmptyLine) {
    const QString txt = test::WriteBytes(dir.filePath("history.txt"), "earlier");
    const auto run = test::RunCli("monitor", {"--seconds", "1", "--export", "txt", "--out", txt});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(test::ReadBytes(txt), "\r\n");
}

// Long runs: a Qt timer takes an int of milliseconds, so 4294968 s once came out as 0.7 s and
// 2147484 s as a warning and no end at all. Both run on (and end at Ctrl-C or SIGTERM).
TEST_F(MonitorCli, LongRunsAreNotCutShort) {
    QProcess wrapped;
    QProcess negative;
    QProcess year;
    ASSERT_NO_FATAL_FAILURE(start(wrapped, {"--seconds", "4294968"}));
    ASSERT_NO_FATAL_FAILURE(start(negative, {"--seconds", "2147484"}));
    ASSERT_NO_FATAL_FAILURE(start(year, {"--seconds", "31536000"}));
    EXPECT_EQ(status(wrapped, 3000), -2) << "ended early";
    EXPECT_EQ(status(negative, 100), -2) << "ended early";
    EXPECT_EQ(status(year, 100), -2) << "ended early";
    signal(wrapped, SIGINT);
    signal(negative, SIGTERM);
    signal(year, SIGINT);
    EXPECT_EQ(status(wrapped), 0);
    EXPECT_EQ(status(negative), 0);
    EXPECT_EQ(status(year), 0);
    for (QProcess* process : {&wrapped, &negative, &year}) {
        EXPECT_EQ(process->readAllStandardError(), "");  // no timer warning
    }
}

// An export that fails is the run's failure, even when Ctrl-C ended the run.
TEST_F(MonitorCli, AFailedExportAfterCtrlCIsAFailure) {
    const int http = listenOn("127.0.0.1", 80);
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(start(process, {"--export", "csv", "--out", "/dev/full"}));
    QByteArray seen;
    ASSERT_TRUE(waitForLines(process, seen, 2)) << seen.toStdString();
    signal(process, SIGINT);
    EXPECT_EQ(status(process), 1);
    EXPECT_EQ(process.readAllStandardError(), "quendrix-cli monitor: /dev/full: Disk full\n");
}

// With netlink refused the table comes from /proc; with the /proc files gone too, nothing can
// be read: the run says why once and ends with status 1, leaving an earlier file as it was.
TEST_F(MonitorCli, ATableThatCannotBeReadIsAFailure) {
    const int http = listenOn("127.0.0.1", 80);
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    const QString csv = dir.filePath("history.csv");

    const auto refuseNetlink = [] { return test::RefuseNetlinkSockets(); };
    QProcess fallback;
    ASSERT_NO_FATAL_FAILURE(
        start(fallback, {"--seconds", "1", "--export", "csv", "--out", csv}, refuseNetlink));
    EXPECT_EQ(status(fallback), 0) << fallback.readAllStandardError().toStdString();
    EXPECT_EQ(fallback.readAllStandardOutput().count('\n'), 2);
    EXPECT_EQ(test::ReadBytes(csv).count("\r\n"), 2);

    test::WriteBytes(csv, "earlier");
    QProcess neither;
    ASSERT_NO_FATAL_FAILURE(
        start(neither, {"--seconds", "30", "--export", "csv", "--out", csv},
              [] { return test::RefuseNetlinkSockets() && test::HideProcNetFiles(); }));
    EXPECT_EQ(status(neither), 1);  // at once, not after its 30 s
    EXPECT_EQ(neither.readAllStandardError(),
              "quendrix-cli monitor: cannot read the TCP connection table: netlink: Permission "
              "denied; /proc/net/tcp and tcp6: No such file or directory\n");
    EXPECT_TRUE(neither.readAllStandardOutput().isEmpty());
    EXPECT_EQ(test::ReadBytes(csv), "earlier");
}

// A table that becomes unreadable while the monitor runs: said once however many ticks fail,
// the ticks go on (a connection opened after it is readable again is printed), the export
// holds every row, and the run ends with status 1.
TEST_F(MonitorCli, ATableLostMidwayIsSaidOnceAndFailsTheRun) {
    const int http = listenOn("127.0.0.1", 80);
    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    const QString csv = dir.filePath("history.csv");
    QProcess process;
    // The /proc files are taken away later, in a mount namespace of the child's own.
    ASSERT_NO_FATAL_FAILURE(start(process, {"--export", "csv", "--out", csv}, [] {
        return test::RefuseNetlinkSockets() && unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }));
    QByteArray seen;
    ASSERT_TRUE(waitForLines(process, seen, 2)) << seen.toStdString();
    ASSERT_EQ(inMountsOf(process, "mount -t tmpfs none /proc/%1/net"), 0);
    QByteArray errors;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains('\n');
        },
        60000));
    // A few more ticks fail meanwhile (two a second).
    QTest::qWait(1500);
    ASSERT_EQ(inMountsOf(process, "umount /proc/%1/net"), 0);
    connect("127.0.0.1", 40002, "127.0.0.1", 80, http);
    ASSERT_TRUE(waitForLines(process, seen, 4)) << seen.toStdString();
    signal(process, SIGINT);
    EXPECT_EQ(status(process), 1);
    errors += process.readAllStandardError();
    EXPECT_EQ(errors,
              "quendrix-cli monitor: cannot read the TCP connection table: netlink: Permission "
              "denied; /proc/net/tcp and tcp6: No such file or directory; connections may be "
              "missed while this lasts, the monitor tries again at every tick, and the run "
              "ends with status 1\n");
    EXPECT_EQ(test::ReadBytes(csv).count("\r\n"), 4);
}

// Holds real loopback connections in child processes, since one process may not hold
// enough descriptors for them all (the limit cannot be raised without CAP_SYS_RESOURCE).
// Each child inherits the test's namespace and listener; the children end with the fixture.
class ConnectionHolders {
  public:
    ~ConnectionHolders() {
        if (m_stop >= 0) {
            ::close(m_stop);  // every child reads its end of the pipe and ends
            ::close(m_stopRead);
        }
        for (const pid_t child : m_children) {
            int status = 0;
            ::waitpid(child, &status, 0);
        }
    }
    // count connections from 127.0.0.1, ports firstPort on, to `to`, accepted on listener,
    // held by one new child. The ports are chosen, not left to the kernel, whose search for a
    // free port grows long as they run out.
    bool open(int listener, const sockaddr_in& to, std::uint16_t firstPort, int count) {
        if (m_stop < 0) {
            int stop[2];
            if (::pipe2(stop, O_CLOEXEC) != 0) {
                return false;
            }
            m_stop = stop[1];
            m_stopRead = stop[0];
        }
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) {
            return false;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(m_stop);
            ::close(ready[0]);
            sockaddr_in from = to;
            for (int i = 0; i < count; ++i) {
                from.sin_port = htons(static_cast<std::uint16_t>(firstPort + i));
                const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                if (client < 0 ||
                    ::bind(client, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
                    ::connect(client, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
                    ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) < 0) {
                    ::_exit(1);
                }
            }
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) {
                ::_exit(1);
            }
            while (::read(m_stopRead, &byte, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        if (child < 0) {
            ::close(ready[0]);
            return false;
        }
        m_children.push_back(child);
        char byte = 0;
        const bool opened = ::read(ready[0], &byte, 1) == 1;  // end of file: the child failed
        ::close(ready[0]);
        return opened;
    }

  private:
    int m_stop = -1;
    int m_stopRead = -1;
    std::vector<pid_t> m_children;
};

// More connections than the history holds: the window clears its history (its warning), the
// command line starts only its export again. Every connection is printed once, and the export
// holds the rows recorded since. 50,000 real loopback connections make 100,000 rows, the
// limit with the grid's empty row counted.
TEST_F(MonitorCli, PastTheRowLimitEachConnectionIsStillPrintedOnce) {
    constexpr int kConnections = 50000;
    constexpr int kPerHolder = 8000;  // 16,000 descriptors a process
    const int listener = listenOn("127.0.0.1", 8080);
    ASSERT_EQ(::listen(listener, 4096), 0);
    const sockaddr_in to = endpoint("127.0.0.1", 8080);
    ConnectionHolders holders;
    for (int opened = 0; opened < kConnections; opened += kPerHolder) {
        ASSERT_TRUE(holders.open(listener, to, static_cast<std::uint16_t>(10000 + opened),
                                 std::min(kPerHolder, kConnections - opened)))
            << "after " << opened;
    }

    const QString csv = dir.filePath("history.csv");
    QProcess process;
    ASSERT_NO_FATAL_FAILURE(start(process, {"--export", "csv", "--out", csv}));
    QByteArray seen;
    ASSERT_TRUE(waitForLines(process, seen, 2 * kConnections, 240000)) << seen.count('\n');
    QByteArray errors;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains('\n');
        },
        60000));
    EXPECT_EQ(errors,
              "quendrix-cli monitor: more than 100000 connections recorded: the --out history "
              "starts again from here (a connection is still printed only once)\n");

    // One connection more: its two rows, and nothing printed again.
    connect("127.0.0.1", 1000, "127.0.0.1", 8080, listener);
    ASSERT_TRUE(waitForLines(process, seen, 2 * kConnections + 2, 120000)) << seen.count('\n');
    signal(process, SIGINT);
    EXPECT_EQ(status(process, 120000), 0) << process.readAllStandardError().toStdString();
    seen += process.readAllStandardOutput();
    EXPECT_EQ(seen.count('\n'), 2 * kConnections + 2);
    const QList<QByteArray> rows = test::ReadBytes(csv).split('\n');
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].endsWith(",127.  0.  0.  1,1000,127.  0.  0.  1,8080,established,\r"))
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].endsWith(",127.  0.  0.  1,8080,127.  0.  0.  1,1000,established,\r"))
        << rows[1].toStdString();
}

}  // namespace
}  // namespace quendrix

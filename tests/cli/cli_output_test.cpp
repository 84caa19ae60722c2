// What every quendrix-cli command shares, run as a user runs it (loopback and literal addresses
// only): one grammar with help everywhere, the same exit status for the same situation, and
// standard output that is never reported as written when it was not: a full device is a
// failure with a message, a reader that goes away ends the command quietly.
#include "cli/command_table.h"
#include "support/cli_runner.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quendrix {
namespace {

class CliOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        list = test::WriteBytes(dir.filePath("list.txt"), "127.0.0.1\n127.0.0.2\n");
        localhostList = test::WriteBytes(dir.filePath("localhost.txt"), "127.0.0.1\n");
        empty = test::WriteBytes(dir.filePath("empty.txt"), "");
        QByteArray many;
        for (int i = 0; i < 20000; ++i) {
            many +=
                "127.0." + QByteArray::number(i / 256) + "." + QByteArray::number(i % 256) + "\n";
        }
        longList = test::WriteBytes(dir.filePath("long.txt"), many);
    }
    QTemporaryDir dir;
    QString list, localhostList, empty, longList;
};

// quendrix-cli WORDS..., its standard output on outputPath when one is given.
test::CliRun runCli(const QStringList& words, const QString& outputPath = {},
                    const QString& program = QStringLiteral(QUENDRIX_CLI_PATH)) {
    QProcess process;
    if (!outputPath.isEmpty()) {
        process.setStandardOutputFile(outputPath);
    }
    process.start(program, words);
    const bool finished = process.waitForFinished(60000);
    EXPECT_TRUE(finished) << words.join(' ').toStdString();
    const bool ended = finished && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

TEST_F(CliOutputTest, AFullStandardOutputIsAFailureWithAMessage) {
    const QStringList commands[] = {
        {"--help"},
        {"--version"},
        {"resolve", "localhost"},
        {"resolve", "--help"},
        {"reverse", "127.0.0.1"},
        {"convert", "--to-ip", list},
        // Reverse look-ups outside the lab: 127.0.0.1 only, which the hosts file answers.
        {"convert", "--to-name", localhostList},
        {"ping", "--range", "127.0.0", "1", "2", "--count", "1"},
        {"ping", "--help"},
        {"country", list},
        {"country", "--address", "13.1.1.1"},
        {"trace", "--help"},
    };
    for (const QStringList& words : commands) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const test::CliRun run = runCli(words, "/dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(
            run.err.contains(": cannot write to standard output: No space left on device\n"))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("Finished")) << "no counts for a run that was cut short";
    }
}

TEST_F(CliOutputTest, AReaderThatGoesAwayEndsTheCommandQuietly) {
    const QStringList commands[] = {
        // Without the closed pipe this one would run for days.
        {"ping", "--range", "127.0.0", "1", "5", "--count", "1", "--cycles", "1000000", "--per",
         "1"},
        {"convert", "--to-ip", longList},
        {"country", longList},
    };
    for (const QStringList& words : commands) {
        SCOPED_TRACE(words.join(' ').toStdString());
        // quendrix-cli ... | head -n 1
        QProcess cli;
        QProcess head;
        cli.setStandardOutputProcess(&head);
        head.start("head", {"-n", "1"});
        cli.start(QStringLiteral(QUENDRIX_CLI_PATH), words);
        ASSERT_TRUE(head.waitForFinished(60000));
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << "ended by the signal, not by itself";
        EXPECT_EQ(cli.exitCode(), 1) << "the rest of the rows were not delivered";
        EXPECT_EQ(cli.readAllStandardError(), "");
        const QByteArray first = head.readAllStandardOutput();
        EXPECT_TRUE(first.endsWith("\n") && !first.endsWith("\r\n")) << first.toStdString();
    }
}

// Every command of the table, so a command added there is held to this without a word here.
TEST_F(CliOutputTest, EveryCommandHasHelpAndTheSameGrammar) {
    for (const cli::CommandEntry& entry : cli::kCommandTable) {
        const QByteArray command(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        SCOPED_TRACE(command.toStdString());
        const QString name = QString::fromLatin1(command);
        test::CliRun run = runCli({name, "--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.out.startsWith("Usage: quendrix-cli " + command + " "));
        EXPECT_TRUE(run.out.contains("\nExit status:\n  0  ")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("\n  2  bad usage")) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains('\r'));
        EXPECT_TRUE(run.err.isEmpty());

        run = runCli({name, "--frobnicate", "x"});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("quendrix-cli " + command +
                                       ": unknown option '--frobnicate'\nUsage: quendrix-cli " +
                                       command + " "))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith("Try 'quendrix-cli " + command + " --help' for more.\n"));
    }

    const struct {
        QStringList words;
        int status;
        QByteArray err;  // the first line
    } cases[] = {
        {{}, 2, "Usage: quendrix-cli COMMAND [ARGUMENTS]"},
        {{"frobnicate"}, 2, "quendrix-cli: unknown command 'frobnicate'"},
        {{"resolve"}, 2, "quendrix-cli resolve: missing NAME"},
        {{"resolve", "localhost", "127.0.0.1"},
         2,
         "quendrix-cli resolve: unexpected argument "
         "'127.0.0.1'"},
        {{"reverse", "--to", "x"}, 2, "quendrix-cli reverse: unknown option '--to'"},
        // A list option without its file says what is missing.
        {{"convert", "--to-ip"}, 2, "quendrix-cli convert: missing FILE after --to-ip"},
        {{"convert", "one.txt"},
         2,
         "quendrix-cli convert: 'one.txt' needs its direction: --to-ip FILE (names to addresses) "
         "or --to-name FILE (addresses to names)"},
        {{"ping", "--range", "127.0.0", "1"}, 2, "quendrix-cli ping: missing TO after --range"},
        {{"country", "--out"}, 2, "quendrix-cli country: missing PATH after --out"},
        // The one answer asked for is a failure.
        {{"country", "--address", "175.1.1.1"}, 1, ""},
        {{"reverse", "255.255.255.255"}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        const test::CliRun run = runCli(c.words);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err.split('\n').at(0), c.err) << run.err.toStdString();
    }
}

// The overall help lists the table: each command with its summary, in the table's order, the
// summaries in one column.
TEST_F(CliOutputTest, TheOverallHelpListsEveryCommandOfTheTable) {
    const test::CliRun run = runCli({"--help"});
    EXPECT_EQ(run.status, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    const qsizetype first = lines.indexOf("Commands:") + 1;
    ASSERT_GT(first, 0) << run.out.toStdString();
    const qsizetype count = static_cast<qsizetype>(std::size(cli::kCommandTable));
    ASSERT_GT(lines.size(), first + count);
    EXPECT_EQ(lines.at(first + count), "") << "no line beyond the table's";
    qsizetype column = -1;
    for (qsizetype index = 0; index < count; ++index) {
        const cli::CommandEntry& entry = cli::kCommandTable[index];
        const QByteArray line = lines.at(first + index);
        const QByteArray name(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        const QByteArray summary(entry.summary.data(),
                                 static_cast<qsizetype>(entry.summary.size()));
        EXPECT_TRUE(line.startsWith("  " + name + "  ")) << line.toStdString();
        EXPECT_TRUE(line.endsWith(summary)) << line.toStdString();
        EXPECT_EQ(line.mid(2 + name.size()).trimmed(), summary) << line.toStdString();
        if (column < 0) {
            column = line.size() - summary.size();
        }
        EXPECT_EQ(line.size() - summary.size(), column) << line.toStdString();
    }
}

// quendrix-cli-commands, which the front starts with the same words, answers them as the front
// does: the help, the version, no command and an unknown one. A command that only the front
// runs is not run there.
TEST_F(CliOutputTest, TheCommandsProgramAnswersAsTheFront) {
    const QString commands =
        QFileInfo(QStringLiteral(QUENDRIX_CLI_PATH)).absolutePath() + "/quendrix-cli-commands";
    const QStringList cases[] = {{}, {"--help"}, {"-h"}, {"--version"}, {"frobnicate"}, {""}};
    for (const QStringList& words : cases) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const test::CliRun front = runCli(words);
        const test::CliRun handed = runCli(words, {}, commands);
        EXPECT_EQ(handed.status, front.status);
        EXPECT_EQ(handed.out.toStdString(), front.out.toStdString());
        EXPECT_EQ(handed.err.toStdString(), front.err.toStdString());
    }
    for (const cli::CommandEntry& entry : cli::kCommandTable) {
        if (entry.program == cli::Program::Front) {
            const QString name =
                QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
            const test::CliRun run = runCli({name, "--help"}, {}, commands);
            EXPECT_EQ(run.status, 2);
            EXPECT_TRUE(run.out.isEmpty());
            EXPECT_EQ(run.err,
                      "quendrix-cli: '" + name.toLatin1() + "' is run by quendrix-cli itself\n");
        }
    }
}

// quendrix-cli answers help, version and the trace itself and hands the other commands to
// quendrix-cli-commands: a copy outside the build folder looks for it where an installed front
// would (../libexec/quendrix/), and without it says why a command cannot run.
TEST_F(CliOutputTest, AFrontWithoutItsCommandsProgramSaysWhyACommandCannotRun) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("bin"));
    const QString alone = dir.filePath("bin/quendrix-cli");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUENDRIX_CLI_PATH), alone));
    test::CliRun run = runCli({"resolve", "localhost"}, {}, alone);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, "quendrix-cli: cannot start " + dir.path().toLocal8Bit() +
                           "/bin/../libexec/quendrix/quendrix-cli-commands"
                           ": No such file or directory\n");

    run = runCli({"trace", "--help"}, {}, alone);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith("Usage: quendrix-cli trace ")) << run.out.toStdString();
}

// Without /proc (a chroot, a container) the front cannot know its own folder. Started through
// PATH, it must not look for quendrix-cli-commands in the current folder, where anyone may
// have put a program of that name: it says why and ends. Needs root for a mount namespace in
// which /proc is an empty folder.
TEST_F(CliOutputTest, WithoutItsOwnPathTheFrontRunsNothingFromTheCurrentFolder) {
    const QString marker = dir.filePath("ran-from-the-current-folder");
    test::WriteBytes(dir.filePath("quendrix-cli-commands"),
                     "#!/bin/sh\ntouch '" + marker.toLocal8Bit() + "'\nexit 42\n");
    ASSERT_TRUE(QFile::setPermissions(dir.filePath("quendrix-cli-commands"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString folder = QFileInfo(QStringLiteral(QUENDRIX_CLI_PATH)).absolutePath();
    environment.insert(QStringLiteral("PATH"), folder + QStringLiteral(":/usr/bin:/bin"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("unshare"),
                  {"--mount", "--propagation", "private", "/bin/sh", "-c",
                   "mount -t tmpfs none /proc || exit 77; exec quendrix-cli resolve localhost"});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QByteArray err = process.readAllStandardError();
    if (process.exitCode() == 77 || err.startsWith("unshare:")) {
        GTEST_SKIP() << "no mount namespace (needs root): " << err.toStdString();
    }
    EXPECT_EQ(process.exitCode(), 1);
    // A sanitized build's runtime also says, around it, that it cannot read /proc.
    const QByteArray message =
        "quendrix-cli: cannot start quendrix-cli-commands: the folder of this program is unknown "
        "(/proc/self/exe cannot be read)\n";
    EXPECT_TRUE(err.startsWith(message) || err.contains("\n" + message)) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(CliOutputTest, AnEmptyListIsBadUsageForEveryCommand) {
    const QStringList commands[] = {
        {"convert", "--to-ip", empty},
        {"convert", "--to-name", empty},
        {"ping", empty},
        {"ping", "--range", "127.0.0", "5", "1"},
        {"country", empty},
    };
    for (const QStringList& words : commands) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const test::CliRun run = runCli(words);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, "quendrix-cli " + words.at(0).toLatin1() +
                               ": the list is empty: nothing to do\n");
    }
}

// The names in a folder, as the file system holds them.
std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    EXPECT_NE(listing, nullptr) << folder;
    while (listing != nullptr) {
        const dirent* entry = ::readdir(listing);
        if (entry == nullptr) {
            break;
        }
        if (std::string name = entry->d_name; name != "." && name != "..") {
            names.insert(std::move(name));
        }
    }
    if (listing != nullptr) {
        ::closedir(listing);
    }
    return names;
}

// Paths on the command line are bytes, not text: a list named in Latin-1 ("\xe9") is read, and
// --out writes the file of exactly that name, by every command that runs on Qt.
TEST_F(CliOutputTest, PathsThatAreNotTextReachTheFileSystemAsGiven) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string base = folder.path().toStdString() + "/";
    // QTemporaryDir removes only the names it can read as text.
    struct RemoveNames {
        const std::string& base;
        ~RemoveNames() {
            for (const std::string& name : FolderNames(base)) {
                ::unlink((base + name).c_str());
            }
        }
    } removeNames{base};
    const std::string listName = "liste-\xe9.txt";
    const int fd = ::open((base + listName).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "127.0.0.1\n", 10), 10);
    ::close(fd);

    const struct {
        std::vector<std::string> words;  // the output's name follows them
        std::string output;
    } cases[] = {
        {{"convert", "--to-ip", base + listName, "--export", "all-csv", "--out"},
         "r\xe9sultat.csv"},
        {{"country", base + listName, "--out"}, "pa\xefs.csv"},
        {{"ping", base + listName, "--count", "1", "--export", "all-htm", "--out"}, "\xff\xfe.htm"},
        {{"monitor", "--seconds", "1", "--export", "txt", "--out"}, "connexions-\xe9.txt"},
    };
    std::set<std::string> expected = {listName};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.front());
        std::vector<std::string> words = c.words;
        words.push_back(base + c.output);
        const test::CliRun run = test::RunCliBytes(words);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        struct stat written {};
        ASSERT_EQ(::stat((base + c.output).c_str(), &written), 0) << run.err.toStdString();
        EXPECT_GT(written.st_size, 0);
        expected.insert(c.output);
        EXPECT_EQ(FolderNames(folder.path().toStdString()), expected) << "no other name written";
    }

    // A message names such a file by its own bytes too.
    const std::string absent = base + "absent-\xe9.txt";
    const test::CliRun run = test::RunCliBytes({"ping", absent});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "quendrix-cli ping: Cannot open file \"" +
                           QByteArray::fromStdString(absent) + "\". No such file or directory\n");
}

}  // namespace
}  // namespace quendrix

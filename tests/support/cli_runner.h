// Runs the built quendrix-cli as a user runs it: a child process, its exit status and both
// outputs. The test's CMake gives the program's path (quendrix_test_uses_cli).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#ifndef QUENDRIX_CLI_PATH
#error "QUENDRIX_CLI_PATH is not defined: call quendrix_test_uses_cli() for this test"
#endif

namespace quendrix::test {

struct CliRun {
    int status = -1;  // -1 when the program did not end by itself
    QByteArray out;
    QByteArray err;
};

// quendrix-cli COMMAND ARGUMENTS... started and left running, so several run side by side;
// FinishCli waits for it. `prepare` sets the process up before it starts (its outputs, say).
struct StartedCli {
    std::unique_ptr<QProcess> process;
    QStringList words;
};

inline StartedCli StartCli(const QString& command, const QStringList& arguments,
                           const std::function<void(QProcess&)>& prepare = {}) {
    StartedCli started{std::make_unique<QProcess>(), QStringList{command} + arguments};
    if (prepare) {
        prepare(*started.process);
    }
    started.process->start(QStringLiteral(QUENDRIX_CLI_PATH), started.words);
    return started;
}

inline CliRun FinishCli(StartedCli& started, int timeoutMs = 120000) {
    QProcess& process = *started.process;
    const bool finished = process.waitForFinished(timeoutMs);
    EXPECT_TRUE(finished) << started.words.join(QLatin1Char(' ')).toStdString();
    const bool ended = finished && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// quendrix-cli COMMAND ARGUMENTS...
inline CliRun RunCli(const QString& command, const QStringList& arguments, int timeoutMs = 120000) {
    StartedCli started = StartCli(command, arguments);
    return FinishCli(started, timeoutMs);
}

// quendrix-cli COMMAND ARGUMENTS... with its standard output on a terminal (a pty in raw mode,
// so the bytes read are the bytes written) and a UTF-8 locale. `out` holds what the terminal
// received.
inline CliRun RunCliOnTerminal(const QString& command, const QStringList& arguments,
                               int timeoutMs = 120000) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "no pty";
        return {};
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setChildProcessModifier([slave] { ::dup2(slave, STDOUT_FILENO); });
    process.start(QStringLiteral(QUENDRIX_CLI_PATH), QStringList{command} + arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    EXPECT_TRUE(finished);
    ::close(slave);
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);  // EIO once drained
        if (n <= 0) {
            break;
        }
        out.append(buffer, n);
    }
    ::close(master);
    const bool ended = finished && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, out, process.readAllStandardError()};
}

// Starts quendrix-cli WORDS... with every word as bytes, as a shell hands them over (QProcess
// would take the words as text and change a path that is not, a Latin-1 "\xe9" say): standard
// input from /dev/null, the outputs into the two files, Ctrl-C and SIGTERM at their defaults and
// no signal blocked (a test runner may have started the test with them ignored). The process
// id, or -1 when it could not start.
inline pid_t SpawnCli(const std::vector<std::string>& words, const QByteArray& outPath,
                      const QByteArray& errPath) {
    std::vector<std::string> argv = {QUENDRIX_CLI_PATH};
    argv.insert(argv.end(), words.begin(), words.end());
    std::vector<char*> pointers;
    for (std::string& word : argv) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    const int result =
        posix_spawn(&child, pointers.front(), &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    EXPECT_EQ(result, 0);
    return result == 0 ? child : -1;
}

// The exit status of a spawned quendrix-cli; -1 when a signal ended it, or when it did not end by
// itself within `most` (it is then killed and `inTime` cleared).
inline int WaitForCli(pid_t pid, std::chrono::milliseconds most, bool* inTime = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + most;
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polled, bounded
    }
    if (inTime != nullptr) {
        *inTime = ended != 0;
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return ended == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// quendrix-cli WORDS... run to its end, every word as bytes.
inline CliRun RunCliBytes(const std::vector<std::string>& words, int timeoutMs = 120000) {
    QTemporaryDir outputs;
    EXPECT_TRUE(outputs.isValid());
    const QByteArray outPath = QFile::encodeName(outputs.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(outputs.filePath(QStringLiteral("err")));
    const pid_t child = SpawnCli(words, outPath, errPath);
    if (child == -1) {
        return {};
    }
    bool inTime = true;
    const int status = WaitForCli(child, std::chrono::milliseconds(timeoutMs), &inTime);
    if (!inTime) {
        ADD_FAILURE() << "quendrix-cli did not end in time";
    }
    const auto readAll = [](const QByteArray& path) {
        QFile file(QFile::decodeName(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    return {status, readAll(outPath), readAll(errPath)};
}

}  // namespace quendrix::test

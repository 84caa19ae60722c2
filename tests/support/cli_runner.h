// Runs the built quendrix-cli as a user runs it: a child process, its exit status and both
// outputs. The test's CMake gives the program's path (quendrix_test_uses_cli).
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#ifndef QUENDRIX_CLI_PATH
#error "QUENDRIX_CLI_PATH is not defined: call quendrix_test_uses_cli() for this test"
#endif

namespace quendrix::test {

struct CliRun {
    int status = -1;  // -1 when the program did not end by itself
    QByteArray out;
    QByteArray err;
};

// quendrix-cli COMMAND ARGUMENTS...
inline CliRun RunCli(const QString& command, const QStringList& arguments, int timeoutMs = 120000) {
    const QStringList words = QStringList{command} + arguments;
    QProcess process;
    process.start(QStringLiteral(QUENDRIX_CLI_PATH), words);
    const bool finished = process.waitForFinished(timeoutMs);
    EXPECT_TRUE(finished) << words.join(QLatin1Char(' ')).toStdString();
    const bool ended = finished && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

}  // namespace quendrix::test

#include "app/settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

QString write(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
}

TEST(Settings, ReadsTheThreeKeysStrictly) {
    QTemporaryDir dir;
    const struct {
        QByteArray text;
        bool customized;
        QString server;
        int tab;
    } cases[] = {
        {"", false, "", 0},
        {"[whois]\ncustomized=true\nserver=whois.example\n[tab]\ntab=3\n", true, "whois.example",
         3},
        {"[whois]\ncustomized=True\n[tab]\ntab=x\n", false, "", 0},
        {"[tab]\ntab=12\n", false, "", 12},
        {"[tab]\ntab=-1\n", false, "", -1},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path = write(dir.filePath(QStringLiteral("s%1.ini").arg(n++)), c.text);
        const Settings s = ReadSettings(path);
        EXPECT_EQ(s.customized, c.customized) << c.text.toStdString();
        EXPECT_EQ(s.server, c.server) << c.text.toStdString();
        EXPECT_EQ(s.tab, c.tab) << c.text.toStdString();
    }
    EXPECT_EQ(ReadSettings(dir.filePath(QStringLiteral("none.ini"))).tab, 0);
}

TEST(Settings, WritesTrimmedServerAndReadsItBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    ASSERT_TRUE(WriteSettings(path, {true, QStringLiteral("  whois.example.net \t"), 3}));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[whois]\ncustomized=true\nserver=whois.example.net\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[tab]\ntab=3\n")) << text.toStdString();
}

TEST(Settings, FileBesideTheProgramUnlessItsFolderIsReadOnly) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    EXPECT_EQ(LocateSettingsFile(dir.path()), dir.filePath(QStringLiteral("settings.ini")));
    // An installed program's folder that nobody may write: the user's config folder.
    const QString installed = dir.filePath(QStringLiteral("usr-bin"));
    ASSERT_TRUE(QDir().mkpath(installed));
    ASSERT_EQ(chmod(installed.toLocal8Bit().constData(), 0555), 0);
    if (access(installed.toLocal8Bit().constData(), W_OK) == 0) {
        GTEST_SKIP() << "running as root: every folder is writable";
    }
    EXPECT_EQ(LocateSettingsFile(installed),
              dir.filePath(QStringLiteral("config/quendrix/settings.ini")));
}

}  // namespace
}  // namespace quendrix

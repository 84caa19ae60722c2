#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quendrix {
namespace {

void write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

TEST(Settings, ValuesRoundTripAndOtherKeysSurvive) {
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.ini");
    write(path, "[whois]\ncustomized=True\nserver=old\n[other]\nkept=1\n");
    SettingValues values = ReadSettings(path);
    EXPECT_EQ(values.value("whois/customized"), "True");
    EXPECT_EQ(values.value("whois/server"), "old");
    values.insert("whois/server", "whois.example.net");
    values.insert("tab/tab", "3");
    ASSERT_TRUE(WriteSettings(path, values));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[whois]\ncustomized=True\nserver=whois.example.net\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("[tab]\ntab=3\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("[other]\nkept=1\n")) << text.toStdString();
    EXPECT_TRUE(ReadSettings(dir.filePath("none.ini")).isEmpty());
}

TEST(Settings, PageIndexIsAWholeNumberElseZero) {
    const struct {
        const char* text;
        int index;
    } cases[] = {{"", 0}, {"3", 3}, {" 12 ", 12}, {"-1", -1}, {"x", 0}, {"2.5", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(PageIndexSetting(c.text), c.index) << c.text;
    }
}

// One rule for reading and writing. The access check is given, so that the cases a root
// test process cannot see (every file is writable to root) are checked too.
TEST(Settings, OneRuleForReadingAndWriting) {
    QTemporaryDir dir;
    const QString program = dir.filePath("bin");
    const QString beside = program + "/settings.ini";
    const QString xdg = dir.filePath("config/quendrix/settings.ini");
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(program));

    const struct {
        const char* name;
        bool besideExists;
        bool besideWritable;
        bool folderWritable;
        bool xdgExists;
        QString read;
        QString write;
    } cases[] = {
        {"writable file beside", true, true, false, true, beside, beside},
        {"no file, writable folder", false, false, true, true, beside, beside},
        {"read-only file, first start", true, false, true, false, beside, xdg},
        {"read-only file, XDG file exists", true, false, true, true, xdg, xdg},
        {"no file, read-only folder", false, false, false, false, xdg, xdg},
    };
    for (const auto& c : cases) {
        QFile::remove(beside);
        QFile::remove(xdg);
        if (c.besideExists) {
            write(beside, "[tab]\ntab=1\n");
        }
        if (c.xdgExists) {
            write(xdg, "[tab]\ntab=2\n");
        }
        const auto writable = [&](const QString& path) {
            return path == beside ? c.besideWritable : c.folderWritable;
        };
        const SettingsFiles files = LocateSettingsFiles(program, writable);
        EXPECT_EQ(files.read, c.read) << c.name;
        EXPECT_EQ(files.write, c.write) << c.name;
    }
}

// An installed program never writes into its own folders, though root may write there (this
// test runs as root in CI): the XDG file, or the shipped file read until the XDG one exists.
TEST(Settings, AnInstalledProgramKeepsItsSettingsInTheXdgPlace) {
    QTemporaryDir dir;
    const QString data = dir.filePath("usr/share/quendrix");
    const QString shipped = data + "/settings.ini";
    const QString xdg = dir.filePath("config/quendrix/settings.ini");
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(data));

    const struct {
        const char* name;
        bool shippedExists;
        bool xdgExists;
        QString read;
    } cases[] = {
        {"first start, no shipped file", false, false, xdg},
        {"first start, shipped file", true, false, shipped},
        {"later starts", true, true, xdg},
    };
    for (const auto& c : cases) {
        QFile::remove(shipped);
        QFile::remove(xdg);
        if (c.shippedExists) {
            write(shipped, "[tab]\ntab=1\n");
        }
        if (c.xdgExists) {
            write(xdg, "[tab]\ntab=2\n");
        }
        const SettingsFiles files = LocateInstalledSettingsFiles(data);
        EXPECT_EQ(files.read, c.read) << c.name;
        EXPECT_EQ(files.write, xdg) << c.name;
    }
}

// A FIFO or a device at the settings path, itself or behind a link, is left alone: reading
// does not wait for a writer, writing reports the failure and replaces nothing.
TEST(Settings, ASpecialFileIsNeitherReadNorReplaced) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString device = dir.filePath("device.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", device));
    for (const QString& path : {fifo, device}) {
        EXPECT_TRUE(ReadSettings(path).isEmpty()) << path.toStdString();
        EXPECT_FALSE(WriteSettings(path, {{"tab/tab", "3"}})) << path.toStdString();
    }
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(QFileInfo(device).symLinkTarget(), "/dev/zero");
}

}  // namespace
}  // namespace quendrix

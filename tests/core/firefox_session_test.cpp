// The page of a running Firefox, read from fixture profiles that the tests write: profiles.ini,
// the profile's lock, the mozLz4 session store and the session's JSON.
#include "core/firefox_session.h"

#include "support/firefox_profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

namespace quendrix::firefox {
namespace {

using test::FirefoxHome;
using test::MozLz4;
using test::OnePageSession;

// What Firefox writes: an install's default, an older profile marked Default=1.
const QByteArray kProfilesIni = R"([Install4F96D1932A9F858E]
Default=abcd.default-release
Locked=1

[Profile1]
Name=default
IsRelative=1
Path=old.default
Default=1

[Profile0]
Name=default-release
IsRelative=1
Path=abcd.default-release

[General]
StartWithLastProfile=1
Version=2
)";

// Three windows; the second is selected, its third tab, whose current entry is the second of
// three (the user went back).
const QByteArray kSeveralWindows = R"({
  "version": ["sessionrestore", 1],
  "selectedWindow": 2,
  "windows": [
    {"selected": 1, "tabs": [{"index": 1, "entries": [{"url": "http://w1.example/", "title": "W1"}]}]},
    {"selected": 3, "tabs": [
      {"index": 1, "entries": [{"url": "http://w2t1.example/", "title": "T1"}]},
      {"index": 1, "entries": [{"url": "http://w2t2.example/", "title": "T2"}]},
      {"index": 2, "entries": [
        {"url": "http://w2t3.example/first", "title": "First"},
        {"url": "http://w2t3.example:8080/second/page.html", "title": "Second"},
        {"url": "http://w2t3.example/third", "title": "Third"}]}]},
    {"selected": 1, "tabs": [{"index": 1, "entries": [{"url": "http://w3.example/", "title": "W3"}]}]}
  ],
  "_closedWindows": []
})";

// The process id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class FirefoxSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home.writeProfilesIni(kProfilesIni);
        profile = home.makeProfile(QStringLiteral("abcd.default-release"));
    }
    std::optional<QString> read() const { return ReadFirefoxWindowInfo(home.home()); }

    FirefoxHome home;
    QString profile;
};

TEST_F(FirefoxSessionTest, SelectedWindowTabAndEntry) {
    FirefoxHome::lock(profile);
    FirefoxHome::writeStore(profile, MozLz4(kSeveralWindows));
    EXPECT_EQ(read(), R"("http://w2t3.example:8080/second/page.html","Second")");

    FirefoxSessionSource source(home.home());
    const QString address = GetBrowserAddress(source);
    EXPECT_EQ(address, "http://w2t3.example:8080/second/page.html");
    EXPECT_EQ(HostFromAddress(address), "w2t3.example:8080");
}

TEST_F(FirefoxSessionTest, PagesThatAreNoTarget) {
    FirefoxHome::lock(profile);
    FirefoxSessionSource source(home.home());
    const struct {
        const char* url;
        const char* title;
        const char* address;
    } cases[] = {
        {"https://www.example.org/a/b", "B", "https://www.example.org/a/b"},
        {"about:blank", "", "XXX"},
        {"about:newtab", "New Tab", "XXX"},
        {"file:///home/user/notes.html", "notes.html", "XXX"},
    };
    for (const auto& c : cases) {
        FirefoxHome::writeStore(profile, MozLz4(OnePageSession(c.url, c.title)));
        EXPECT_EQ(GetBrowserAddress(source), QString::fromUtf8(c.address)) << c.url;
    }
}

TEST_F(FirefoxSessionTest, OnlyARunningFirefoxIsRead) {
    FirefoxHome::writeStore(profile, MozLz4(OnePageSession("http://a.example/", "A")));
    EXPECT_EQ(read(), std::nullopt) << "no lock: Firefox does not run";

    FirefoxHome::lock(profile, EndedProcess());
    EXPECT_EQ(read(), std::nullopt) << "the lock's process has ended";

    // The lock was left a day ago by a Firefox that crashed; its process id now belongs to a
    // process that started later (this one).
    FirefoxHome::lock(profile, ::getpid(), 24 * 3600);
    EXPECT_EQ(read(), std::nullopt) << "the lock's process id was reused";

    const QByteArray lockPath = QFile::encodeName(profile + "/lock");
    for (const char* target : {"127.0.1.1:+", "127.0.1.1:+12x", "127.0.1.1:+-1", "garbage",
                               "127.0.1.1:+99999999999999999999"}) {
        ::unlink(lockPath.constData());
        ASSERT_EQ(::symlink(target, lockPath.constData()), 0);
        EXPECT_EQ(read(), std::nullopt) << target;
    }
    // A plain file is no lock link.
    ::unlink(lockPath.constData());
    QFile plain(profile + "/lock");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(read(), std::nullopt);

    FirefoxHome::lock(profile);
    EXPECT_EQ(read(), R"("http://a.example/","A")");
}

TEST_F(FirefoxSessionTest, TheRunningProfileWrittenLastIsRead) {
    const QString older = home.makeProfile(QStringLiteral("old.default"));
    FirefoxHome::writeStore(profile, MozLz4(OnePageSession("http://install.example/", "I")));
    FirefoxHome::writeStore(older, MozLz4(OnePageSession("http://default.example/", "D")));

    // Only the profile marked Default=1 runs.
    FirefoxHome::lock(older);
    EXPECT_EQ(read(), R"("http://default.example/","D")");

    // Both run: the session written last is the window the user used last.
    FirefoxHome::lock(profile);
    FirefoxHome::ageStore(older, 60);
    EXPECT_EQ(read(), R"("http://install.example/","I")");
    FirefoxHome::ageStore(profile, 120);
    EXPECT_EQ(read(), R"("http://default.example/","D")");
}

TEST_F(FirefoxSessionTest, ProfilePathsRelativeAndAbsolute) {
    QTemporaryDir elsewhere;
    const QString absolute = home.makeProfile(elsewhere.filePath("profile"));
    home.writeProfilesIni(
        "[Profile0]\r\nName=away\r\nIsRelative=0\r\nPath=" + QFile::encodeName(absolute) +
        "\r\nDefault=1\r\n\r\n[Profile1]\r\nName=here\r\nPath=Profiles/x.here\r\n");
    FirefoxHome::lock(absolute);
    FirefoxHome::writeStore(absolute, MozLz4(OnePageSession("http://away.example/", "")));
    EXPECT_EQ(read(), R"("http://away.example/","")");

    // Without IsRelative a path that is not absolute lies under the profiles folder.
    ::unlink(QFile::encodeName(absolute + "/lock").constData());
    const QString here = home.makeProfile(QStringLiteral("Profiles/x.here"));
    FirefoxHome::lock(here);
    FirefoxHome::writeStore(here, MozLz4(OnePageSession("http://here.example/", "")));
    EXPECT_EQ(read(), R"("http://here.example/","")");
}

TEST_F(FirefoxSessionTest, FirefoxAsASnap) {
    const QString snapFolder = home.home() + "/snap/firefox/common/.mozilla/firefox";
    const QString snapProfile = home.makeProfile(snapFolder + "/s.default");
    QFile ini(snapFolder + "/profiles.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Install11457493C5A56847]\nDefault=s.default\n\n[Profile0]\nPath=s.default\n");
    ini.close();
    FirefoxHome::lock(snapProfile);
    FirefoxHome::writeStore(snapProfile, MozLz4(OnePageSession("http://snap.example/", "S")));
    EXPECT_EQ(read(), R"("http://snap.example/","S")");

    // Both run: the session written last wins here too.
    FirefoxHome::lock(profile);
    FirefoxHome::writeStore(profile, MozLz4(OnePageSession("http://deb.example/", "D")));
    FirefoxHome::ageStore(snapProfile, 60);
    EXPECT_EQ(read(), R"("http://deb.example/","D")");
}

TEST_F(FirefoxSessionTest, NoProfileOrNoStore) {
    FirefoxHome::lock(profile);
    EXPECT_EQ(read(), std::nullopt) << "running, but no session written yet";

    FirefoxHome::writeStore(profile, MozLz4(OnePageSession("http://a.example/", "A")));
    ASSERT_TRUE(QFile::remove(home.profilesFolder() + "/profiles.ini"));
    EXPECT_EQ(read(), std::nullopt) << "no profiles.ini";
    EXPECT_EQ(ReadFirefoxWindowInfo(QString()), std::nullopt) << "no home folder";
    EXPECT_EQ(ReadFirefoxWindowInfo(home.home() + "/missing"), std::nullopt);
}

TEST_F(FirefoxSessionTest, UnreadableStores) {
    FirefoxHome::lock(profile);
    const QByteArray json = OnePageSession("http://a.example/", "A");
    const QByteArray good = MozLz4(json);
    QByteArray lyingLarger = good;
    lyingLarger[8] = static_cast<char>(lyingLarger[8] + 1);
    QByteArray lyingSmaller = good;
    lyingSmaller[8] = static_cast<char>(lyingSmaller[8] - 1);
    QByteArray badMagic = good;
    badMagic[6] = '5';
    const QByteArray stores[] = {
        {},
        json,                                // not compressed
        badMagic,                            // another format
        good.left(11),                       // the header cut short
        good.left(good.size() - 3),          // the block cut short
        lyingLarger,                         // the size field says more than the block holds
        lyingSmaller,                        // ... or less
        MozLz4("this is no JSON"),           // not JSON
        MozLz4(json.left(json.size() - 1)),  // JSON cut short
    };
    for (const QByteArray& store : stores) {
        FirefoxHome::writeStore(profile, store);
        EXPECT_EQ(read(), std::nullopt) << store.toHex().left(80).toStdString();
    }

    // A FIFO or a folder in the store's place is no store, and reading it does not hang.
    const QString path = FirefoxHome::writeStore(profile, good);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_EQ(read(), std::nullopt);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_EQ(read(), std::nullopt);
}

TEST_F(FirefoxSessionTest, OversizedStores) {
    FirefoxHome::lock(profile);
    const QByteArray good = MozLz4(OnePageSession("http://a.example/", "A"));
    auto withSize = [&](quint32 size) {
        QByteArray store = good;
        for (int i = 0; i < 4; ++i) {
            store[8 + i] = static_cast<char>((size >> (8 * i)) & 0xff);
        }
        return store;
    };
    // A size field beyond the cap, and one beyond what the small block could ever decode to.
    for (const quint32 size :
         {quint32{0xffffffff}, quint32(kMaxSessionJson + 1), quint32{1} << 20}) {
        EXPECT_EQ(DecodeMozLz4(withSize(size).toStdString()), std::nullopt) << size;
        FirefoxHome::writeStore(profile, withSize(size));
        EXPECT_EQ(read(), std::nullopt) << size;
    }

    // A file larger than any store within the cap is not read at all.
    const QString path = FirefoxHome::writeStore(profile, good);
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), 80 * 1024 * 1024), 0);
    EXPECT_EQ(read(), std::nullopt);

    // A large store within the cap is read: 12 MB of closed tabs ahead of the windows.
    QByteArray padding;
    for (int i = 0; i < 100000; ++i) {
        padding +=
            R"({"url":"http://closed.example/)" + QByteArray::number(i) +
            R"(/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","title":"Closed"},)";
    }
    QByteArray large = OnePageSession("http://large.example/", "L");
    large.insert(1, R"("_closed":[)" + padding + R"({}],)");
    ASSERT_GT(large.size(), 12 * 1000 * 1000);
    FirefoxHome::writeStore(profile, MozLz4(large));
    EXPECT_EQ(read(), R"("http://large.example/","L")");
    EXPECT_EQ(DecodeMozLz4(MozLz4(large).toStdString(), 1000), std::nullopt) << "a smaller cap";
}

TEST(FirefoxSessionJsonTest, SessionsWithoutAPage) {
    const char* sessions[] = {
        "[]",
        R"({"windows":{}})",
        R"({"windows":[]})",
        R"({"selectedWindow":"1","windows":[{"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"selectedWindow":2,"windows":[{"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"selectedWindow":-1,"windows":[{"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"selectedWindow":1.5,"windows":[{"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"selectedWindow":1e300,"windows":[{"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"windows":[{"tabs":[]}]})",
        R"({"windows":[{"selected":2,"tabs":[{"entries":[{"url":"http://a/"}]}]}]})",
        R"({"windows":["tab"]})",
        R"({"windows":[{"tabs":[{"entries":[]}]}]})",
        R"({"windows":[{"tabs":[{"index":2,"entries":[{"url":"http://a/"}]}]}]})",
        R"({"windows":[{"tabs":[{"index":null,"entries":[{"url":"http://a/"}]}]}]})",
        R"({"windows":[{"tabs":[{"entries":[{"url":7}]}]}]})",
        R"({"windows":[{"tabs":[{"entries":[{"title":"no url"}]}]}]})",
    };
    for (const char* session : sessions) {
        EXPECT_EQ(WindowInfoFromSessionJson(session), std::nullopt) << session;
    }
}

TEST(FirefoxSessionJsonTest, UnsetIndexes) {
    // No window or tab index: the first; no entry index (or 0): the last entry, the one shown.
    EXPECT_EQ(
        WindowInfoFromSessionJson(
            R"({"windows":[{"tabs":[{"entries":[{"url":"http://a/"},{"url":"http://b/","title":"B"}]},)"
            R"({"entries":[{"url":"http://c/"}]}]}]})"),
        R"("http://b/","B")");
    EXPECT_EQ(
        WindowInfoFromSessionJson(
            R"({"selectedWindow":0,"windows":[{"selected":0,"tabs":[{"index":0,"entries":[{"url":"http://a/"},{"url":"http://b/"}]}]}]})"),
        R"("http://b/","")");
}

TEST(FirefoxSessionSourceTest, SystemSourceUsesTheHomeFolderAndAnyThread) {
    FirefoxHome home;
    home.writeProfilesIni(kProfilesIni);
    const QString profile = home.makeProfile(QStringLiteral("abcd.default-release"));
    FirefoxHome::lock(profile);
    FirefoxHome::writeStore(profile, MozLz4(OnePageSession("http://home.example/x", "X")));

    const QByteArray saved = qgetenv("HOME");
    ASSERT_EQ(::setenv("HOME", QFile::encodeName(home.home()).constData(), 1), 0);
    const std::unique_ptr<BrowserAddressSource> source = MakeSystemBrowserAddressSource();
    ::setenv("HOME", saved.constData(), 1);

    // The pages' jobs may ask from worker threads at the same time.
    std::vector<QString> addresses(4);
    std::vector<std::thread> threads;
    for (QString& address : addresses) {
        threads.emplace_back([&source, &address] { address = GetBrowserAddress(*source); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const QString& address : addresses) {
        EXPECT_EQ(address, "http://home.example/x");
    }
}

}  // namespace
}  // namespace quendrix::firefox

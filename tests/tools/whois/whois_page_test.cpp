// The Whois page on a fake host against the tests' own whois server on 127.0.0.1: the query
// as the user starts it, the reply's bytes kept to the export, Stop on a server that never
// closes, the empty-server message, a failed query, and the server choice in settings.ini.
#include "tools/whois/whois_page.h"

#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/held_resolver.h"
#include "support/scripted_server.h"
#include "support/test_files.h"
#include "tools/whois/whois_reply_view.h"
#include "tools/whois/whois_text.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quendrix {
namespace {

using test::WhoisFixtureServer;
using test::WhoisScript;

class WhoisPageTest : public ::testing::Test {
  protected:
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page(), name);
    }
    WhoisPage& page(std::uint16_t port = 0) {
        if (!m_page) {
            m_page = std::make_unique<WhoisPage>(host, nullptr, port);
        }
        return *m_page;
    }
    // Ticks the custom server box and names the fixture's address.
    void useServer(const QString& server) {
        child<QCheckBox>("CheckBox7")->setChecked(true);
        child<QComboBox>("edit10")->setEditText(server);
    }
    void waitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page().querying(); }, 60000));
    }
    QString state() { return child<QLabel>("state_label")->text(); }
    whois::WhoisReplyView* results() { return child<whois::WhoisReplyView>("meResults"); }
    // The visual lines of meResults, as shown.
    QStringList shown() {
        QStringList lines;
        const QAbstractItemModel* model = results()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            lines.append(model->index(row, 0).data().toString());
        }
        return lines;
    }

    test::FakeHost host;
    QTemporaryDir dir;
    std::unique_ptr<WhoisPage> m_page;
};

TEST_F(WhoisPageTest, QueriesTheServerAndKeepsEveryByteToTheExport) {
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i) {
        everyByte.append(static_cast<char>(i));
    }
    const QByteArray reply = "Domain: example.com\r\n\r\n" + everyByte + "\r\n";
    WhoisFixtureServer server(WhoisScript{reply.toStdString()});
    page(server.port());
    EXPECT_TRUE(child<QLabel>("state_label")->isHidden());
    useServer(" 127.0.0.1 ");
    child<QLineEdit>("edDomain")->setText("  HTTP://WWW.Example.COM/whois ");

    page().whois_start_buttonClick();
    EXPECT_EQ(state(), "Working...");
    EXPECT_FALSE(child<QToolButton>("whois_start_button")->isEnabled());
    EXPECT_FALSE(host.navigationEnabled);
    waitIdle();

    EXPECT_EQ(server.received(), std::vector<std::string>{"example.com\r\n"});
    EXPECT_EQ(child<QLineEdit>("edDomain")->text(), "example.com");
    EXPECT_FALSE(child<QLabel>("state_label")->isHidden());
    EXPECT_EQ(state(), "Done!");
    EXPECT_TRUE(child<QToolButton>("whois_start_button")->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_EQ(page().resultLines(), SplitWhoisReply(reply));
    // One visual line per stored line, one byte per character.
    ASSERT_EQ(shown().size(), 4);  // the LF among the byte values splits them
    EXPECT_EQ(shown().front(), "Domain: example.com");
    EXPECT_TRUE(shown().back().contains(QChar(0xE9)));

    // Every byte value reaches the file as received; lines end in CR LF, the LF alone is
    // what split them.
    const QString path = dir.filePath("reply.txt");
    host.recording.files = {path};
    page().SpeedButton19Click();
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");
    const QByteArray expected = "Domain: example.com\r\r\n\r\r\n" + everyByte.left(10) + "\r\n" +
                                everyByte.mid(11) + "\r\r\n";
    EXPECT_EQ(test::ReadBytes(path), expected);
    EXPECT_TRUE(host.recording.messages().isEmpty());
}

TEST_F(WhoisPageTest, EmptyCustomServerFailedQueryAndEmptyReply) {
    // No server named (blanks alone name none): the message, no query, "Done!".
    page();
    useServer("   ");
    page().whois_start_buttonClick();
    EXPECT_EQ(host.recording.messages(), QStringList{"| Please input the whois server! "});
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.front().icon, Prompts::Icon::Warning);
    EXPECT_FALSE(page().querying());
    EXPECT_EQ(state(), "Done!");
    EXPECT_TRUE(page().resultLines().isEmpty());
    EXPECT_TRUE(host.navigationEnabled);
}

TEST_F(WhoisPageTest, AFailedQueryShowsNothingAndEndsDone) {
    test::RefusingPort refusing;
    page(refusing.port);
    useServer("127.0.0.1");
    child<QLineEdit>("edDomain")->setText("example.com");
    page().whois_start_buttonClick();
    waitIdle();
    EXPECT_EQ(state(), "Done!");
    EXPECT_TRUE(page().resultLines().isEmpty());
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_TRUE(host.recording.recorded.isEmpty());
}

TEST_F(WhoisPageTest, StopEndsAServerThatNeverClosesAndEnterStartsAfresh) {
    WhoisFixtureServer server(std::vector<WhoisScript>{
        {"first part\r\n", WhoisScript::Ending::NeverClose},
        {"first part\r\n", WhoisScript::Ending::NeverClose},
        {"second\r\n"},
    });
    page(server.port());
    useServer("127.0.0.1");
    child<QLineEdit>("edDomain")->setText("one.example");
    page().whois_start_buttonClick();
    ASSERT_TRUE(server.waitForQueries(1));
    page().Button3Click();
    // Idle at once; nothing of the stopped query is shown, now or later.
    EXPECT_FALSE(page().querying());
    EXPECT_EQ(state(), "Done!");
    EXPECT_TRUE(child<QToolButton>("whois_start_button")->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);

    // Enter while a query runs stops it and starts the new one.
    child<QLineEdit>("edDomain")->setText("two.example");
    page().whois_start_buttonClick();
    ASSERT_TRUE(server.waitForQueries(2));
    child<QLineEdit>("edDomain")->setText("three.example");
    QTest::keyClick(child<QLineEdit>("edDomain"), Qt::Key_Return);
    waitIdle();
    EXPECT_EQ(server.received(), (std::vector<std::string>{"one.example\r\n", "two.example\r\n",
                                                           "three.example\r\n"}));
    EXPECT_EQ(page().resultLines(), QByteArrayList{"second\r"});
    EXPECT_EQ(state(), "Done!");

    // Stop with no query running changes nothing.
    page().Button3Click();
    EXPECT_EQ(page().resultLines(), QByteArrayList{"second\r"});
}

TEST_F(WhoisPageTest, OneVisualLinePerStoredLineAndCopyKeepsTheBytes) {
    // CR LF ends, an empty CR LF line, a CR inside a line, other control bytes, a line of
    // 1 MiB, and a last line without its LF.
    const QByteArray longLine(1 << 20, 'x');
    const QByteArray reply = "a\r\n\r\nb\rc\r\n\x1b[2J\tq\x85\n" + longLine + "\nlast\r";
    WhoisFixtureServer server(WhoisScript{reply.toStdString()});
    page(server.port());
    EXPECT_EQ(child<QLabel>("Label63")->text(), "Whois");
    EXPECT_EQ(shown(), QStringList{""});  // the one empty line before any query
    useServer("127.0.0.1");
    page().whois_start_buttonClick();
    waitIdle();

    const QByteArrayList stored = {"a\r", "\r", "b\rc\r", "\x1b[2J\tq\x85", longLine, "last\r"};
    EXPECT_EQ(page().resultLines(), stored);
    const QStringList lines = shown();
    ASSERT_EQ(lines.size(), stored.size());
    EXPECT_EQ(lines.at(0), "a");
    EXPECT_EQ(lines.at(1), "");
    EXPECT_EQ(lines.at(2), QStringLiteral("b\u240Dc"));
    EXPECT_EQ(lines.at(3), QStringLiteral("\u241B[2J    q\uFFFD"));
    EXPECT_EQ(lines.at(4), QString(whois::kShownLineLimit, 'x') + QChar(0x2026));
    EXPECT_EQ(lines.at(5), "last");
    // Every row is one line high, the long one included.
    const int height = results()->sizeHintForRow(0);
    for (int row = 1; row < lines.size(); ++row) {
        EXPECT_EQ(results()->sizeHintForRow(row), height) << row;
    }

    // A copy takes the stored lines whole, every byte kept.
    results()->selectAll();
    QByteArrayList copied;
    for (const QString& line : results()->selectedText().split('\n')) {
        copied.append(line.toLatin1());
    }
    EXPECT_EQ(copied, stored);

    const QString path = dir.filePath("reply.txt");
    host.recording.files = {path};
    page().SpeedButton19Click();
    EXPECT_EQ(test::ReadBytes(path),
              "a\r\r\n\r\r\nb\rc\r\r\n\x1b[2J\tq\x85\r\n" + longLine + "\r\nlast\r\r\n");
}

TEST_F(WhoisPageTest, CheckBox7ActsOnEveryChangeOfItsState) {
    page();
    auto* box = child<QCheckBox>("CheckBox7");
    auto* server = child<QComboBox>("edit10");
    ASSERT_FALSE(box->isChecked());
    ASSERT_FALSE(server->isEnabled());

    // A screen reader's Toggle action, as the accessibility interface gives it.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    const QString toggle = QAccessibleActionInterface::toggleAction();
    ASSERT_TRUE(accessible->actionInterface()->actionNames().contains(toggle));
    accessible->actionInterface()->doAction(toggle);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(server->isEnabled());
    accessible->actionInterface()->doAction(toggle);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(server->isEnabled());

    box->setChecked(true);
    EXPECT_TRUE(server->isEnabled());
    box->setChecked(false);
    EXPECT_FALSE(server->isEnabled());
}

TEST_F(WhoisPageTest, SaveDialog1CanCloseAsksOnlyForAnExistingFile) {
    page();
    const QString path = dir.filePath("out.txt");
    EXPECT_TRUE(page().SaveDialog1CanClose(path));
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    test::WriteBytes(path, "old");
    host.recording.answers = {Prompts::Answer::No, Prompts::Answer::Yes};
    EXPECT_FALSE(page().SaveDialog1CanClose(path));
    EXPECT_TRUE(page().SaveDialog1CanClose(path));
    ASSERT_EQ(host.recording.recorded.size(), 2);
    EXPECT_EQ(host.recording.recorded.front().text, "The file has existed, replace it or not?");
}

TEST_F(WhoisPageTest, ExportBeforeAnyQueryReplaceQuestionAndUncreatableFile) {
    page();
    const QString path = dir.filePath("out.txt");
    test::WriteBytes(path, "old");

    // An existing file and No: left as it was.
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::No};
    page().SpeedButton19Click();
    EXPECT_EQ(test::ReadBytes(path), "old");
    ASSERT_FALSE(host.recording.recorded.isEmpty());
    EXPECT_EQ(host.recording.recorded.last().text, "The file has existed, replace it or not?");

    // Yes: replaced by the one empty line the page holds before any query.
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::Yes};
    page().SpeedButton19Click();
    EXPECT_EQ(test::ReadBytes(path), "\r\n");

    const QString missing = dir.filePath("no/such/folder/out.txt");
    host.recording.files = {missing};
    page().SpeedButton19Click();
    ASSERT_FALSE(host.recording.messages().isEmpty());
    EXPECT_TRUE(host.recording.messages().last().startsWith(
        QStringLiteral("Quendrix|Cannot create file \"%1\". ").arg(missing)))
        << host.recording.messages().last().toStdString();
}

TEST_F(WhoisPageTest, ServerChoiceFromAndToTheSettings) {
    struct Case {
        QString customized;
        bool ticked;
    };
    for (const Case& c : {Case{"true", true}, Case{"True", false}, Case{"", false}}) {
        test::FakeHost settingsHost;
        settingsHost.settings = {{"whois/customized", c.customized},
                                 {"whois/server", "my.whois.example"}};
        WhoisPage page(settingsHost);
        auto* box = page.findChild<QCheckBox*>("CheckBox7");
        auto* server = page.findChild<QComboBox*>("edit10");
        EXPECT_EQ(box->isChecked(), c.ticked) << c.customized.toStdString();
        EXPECT_EQ(server->isEnabled(), c.ticked);
        EXPECT_EQ(server->currentText(), "my.whois.example");
        EXPECT_EQ(server->count(), 4);

        box->setChecked(true);
        EXPECT_TRUE(server->isEnabled());
        server->setEditText("  other.example ");
        page.saveSettings(settingsHost);
        EXPECT_EQ(settingsHost.settings.value("whois/customized"), "true");
        EXPECT_EQ(settingsHost.settings.value("whois/server"), "other.example");
    }
}

// A hand-off that waits for its name look-up ("Whois" from an address) is dropped when the
// user starts or stops the query by hand meanwhile: the late answer neither replaces the box
// nor starts a query.
TEST_F(WhoisPageTest, StartingOrStoppingByHandDropsAHandOffWaitingForItsLookUp) {
    page();
    useServer("   ");  // a start by hand asks for a server and sends nothing
    HandOffPoints converter;
    converter.addBox(
        "ip_edit", [] { return QString("10.0.0.1"); }, [](const QString&) {});
    host.router.addPage("converter", &converter);
    host.router.addPage("whois_tab", &page().handOffPoints());
    const HandOffTarget whois = *HandOffTargetFor("Whois", true);

    const struct {
        const char* what;
        std::function<void()> byHand;
    } cases[] = {
        {"Start", [&] { child<QToolButton>("whois_start_button")->click(); }},
        {"Stop", [&] { child<QToolButton>("button3")->click(); }},
        {"Enter", [&] { QTest::keyClick(child<QLineEdit>("edDomain"), Qt::Key_Return); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::HeldResolver held;
        host.router.setAddressResolver(held.resolver());
        child<QLineEdit>("edDomain")->setText("typed.example");
        ASSERT_TRUE(
            host.router.handOff("converter", "ip_edit", whois, HandOffConversion::ResolveAddress));
        EXPECT_TRUE(host.router.hasPending());
        c.byHand();
        EXPECT_FALSE(host.router.hasPending());
        host.recording.recorded.clear();

        held.release();
        ASSERT_TRUE(test::WaitUntil([&] { return !host.router.lookupsInProgress(); }, 20000));
        test::ProcessEventsFor(20);
        EXPECT_EQ(child<QLineEdit>("edDomain")->text(), "typed.example");
        EXPECT_TRUE(host.recording.recorded.isEmpty()) << "no start from the late answer";
    }

    // Undisturbed, the answer goes into the box and the query is started for it.
    test::HeldResolver held;
    host.router.setAddressResolver(held.resolver());
    ASSERT_TRUE(
        host.router.handOff("converter", "ip_edit", whois, HandOffConversion::ResolveAddress));
    held.release();
    ASSERT_TRUE(test::WaitUntil([&] { return !host.router.hasPending(); }, 20000));
    EXPECT_EQ(child<QLineEdit>("edDomain")->text(), "name-of-10.0.0.1");
    EXPECT_EQ(host.recording.messages(), QStringList{"| Please input the whois server! "});
}

}  // namespace
}  // namespace quendrix

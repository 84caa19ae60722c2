// The Local Information page over records the test gives: both areas filled from them on a job
// after start-up, an address list shown one entry a line and copied as stored, and a failure
// shown in a box only once the window is visible.
#include "tools/localinfo/local_info_page.h"

#include "support/event_loop.h"
#include "support/fake_host.h"

#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

namespace quendrix {
namespace {

using net::AdapterInfo;
using net::AddrEntry;
using net::NetworkParams;

struct Recorded {
    std::atomic<int> paramReads{0};
    std::atomic<int> adapterReads{0};
    std::atomic<bool> readOnUiThread{false};
};

localinfo::Sources GivenSources(std::shared_ptr<Recorded> recorded, bool paramsFail) {
    const std::thread::id ui = std::this_thread::get_id();
    return {[recorded, ui, paramsFail]() -> Result<NetworkParams> {
                ++recorded->paramReads;
                recorded->readOnUiThread =
                    recorded->readOnUiThread || std::this_thread::get_id() == ui;
                if (paramsFail) {
                    return Error::fromErrno(EACCES);
                }
                NetworkParams params;
                params.hostName = "quendrix-lab";
                params.dnsServers = {{"10.250.0.53", ""}};
                params.currentDnsServer = params.dnsServers.front();
                return params;
            },
            [recorded]() -> Result<std::vector<AdapterInfo>> {
                ++recorded->adapterReads;
                AdapterInfo adapter;
                adapter.adapterName = "dummy-lab";
                adapter.address = {0x02, 0x00, 0x0a, 0xfa, 0x00, 0x0b};
                adapter.ipAddressList = {{"10.250.0.11", "255.255.255.0"},
                                         {"10.250.1.11", "255.255.0.0"}};
                return std::vector<AdapterInfo>{adapter, AdapterInfo{}};
            },
            []() -> Result<localinfo::TimeZoneState> {
                return localinfo::TimeZoneState{0, "UTC"};
            }};
}

TEST(LocalInfoPageTest, FillsBothAreasFromTheRecordsOnAJob) {
    test::FakeHost host;
    auto recorded = std::make_shared<Recorded>();
    LocalInfoPage page(host, GivenSources(recorded, false));
    EXPECT_EQ(page.objectName(), "local_information_tab");
    for (InfoTextArea* area : {page.Info, page.info2}) {
        EXPECT_TRUE(area->isReadOnly());
        EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_TRUE(area->toPlainText().isEmpty());
    }
    // Nothing is read while the page (and the window around it) is being made.
    EXPECT_EQ(recorded->paramReads, 0);
    page.resize(860, 600);  // about the window's size: no line needs to wrap
    page.show();
    ASSERT_TRUE(test::WaitUntil([&] { return page.isFilled(); }, 30000));
    EXPECT_FALSE(recorded->readOnUiThread);
    EXPECT_EQ(recorded->paramReads, 1);
    EXPECT_EQ(page.Info->storedText(),
              "Host name: quendrix-lab\nDomain name: \nCurrent DNS Server: 10.250.0.53\n"
              "DNS 1: 10.250.0.53\nScope ID: \nRouting: 0\nProxy: 0\nDNS: 0");
    EXPECT_EQ(page.info2->lines().size(), 36u);
    EXPECT_TRUE(host.recording.recorded.isEmpty());

    // One block per stored line; the two addresses are two lines of their block, the second
    // under the first.
    QTextDocument* document = page.info2->document();
    EXPECT_EQ(document->blockCount(), 36);
    const QTextBlock addresses = document->findBlockByNumber(10);
    EXPECT_EQ(addresses.text(), QStringLiteral("  IP addresses: A: 10.250.0.11 M: 255.255.255.0") +
                                    QChar::LineSeparator +
                                    "                A: 10.250.1.11 M: 255.255.0.0");
    // Laid out now: the area lays out only what it has painted.
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(document->documentLayout());
    ASSERT_NE(layout, nullptr);
    layout->ensureBlockLayout(addresses);
    ASSERT_NE(addresses.layout(), nullptr);
    EXPECT_EQ(addresses.layout()->lineCount(), 2);
    EXPECT_EQ(document->findBlockByNumber(5).text(), "  Adapter address: 02-00-0A-FA-00-0B");

    // Copying gives the stored text, carriage returns included.
    page.info2->selectAll();
    page.info2->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), page.info2->storedText());
    EXPECT_TRUE(page.info2->storedText().contains(
        "  IP addresses: A: 10.250.0.11 M: 255.255.255.0\rA: 10.250.1.11 M: 255.255.0.0\r\n"));
    // Part of the list: from the second address to the end of its line.
    QTextCursor cursor(addresses);
    cursor.setPosition(addresses.position() + addresses.text().indexOf(QChar::LineSeparator));
    cursor.setPosition(addresses.position() + addresses.length() - 1, QTextCursor::KeepAnchor);
    page.info2->setTextCursor(cursor);
    page.info2->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "\rA: 10.250.1.11 M: 255.255.0.0\r");
}

TEST(LocalInfoPageTest, AFailureIsShownOverTheWindowOnceItIsVisible) {
    test::FakeHost host;
    auto recorded = std::make_shared<Recorded>();
    QWidget window;
    auto* page = new LocalInfoPage(host, GivenSources(recorded, true), &window);
    bool visibleWhenShown = false;
    host.recording.closeMessage = [&] {
        visibleWhenShown = window.isVisible();
        return true;
    };
    // The filling ends before the window is shown: the box waits for it.
    ASSERT_TRUE(test::WaitUntil([&] { return page->isFilled(); }, 30000));
    test::ProcessEventsFor(50);
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    window.show();
    ASSERT_TRUE(test::WaitUntil([&] { return !host.recording.recorded.isEmpty(); }, 30000));
    EXPECT_TRUE(visibleWhenShown);
    EXPECT_EQ(host.recording.messages(),
              QStringList({"Quendrix|System Error.  Code: 13.\nPermission denied"}));
    EXPECT_EQ(host.recording.recorded.front().icon, Prompts::Icon::Error);
    // Both areas stay empty and the adapters are not read.
    EXPECT_TRUE(page->Info->toPlainText().isEmpty());
    EXPECT_TRUE(page->info2->toPlainText().isEmpty());
    EXPECT_EQ(recorded->adapterReads, 0);
    // Once only.
    test::ProcessEventsFor(50);
    EXPECT_EQ(host.recording.recorded.size(), 1);
}

}  // namespace
}  // namespace quendrix

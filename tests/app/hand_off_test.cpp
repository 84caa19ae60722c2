#include "core/hand_off.h"

#include "support/event_loop.h"
#include "support/held_resolver.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// Two pages' points that log what is done to them, and a router that logs page switches.
struct TwoPages {
    TwoPages() {
        source.addBox(
            "box", [] { return QString("typed"); }, [](const QString&) {});
        source.addSource("list", [this]() -> std::optional<QString> { return selected; });
        target.addBox(
            "Edit", [this] { return text; },
            [this](const QString& value) {
                text = value;
                log << "set " + value;
            });
        target.addAction("stop", [this] { log << "stop with " + text; });
        target.addAction("start", [this] { log << "start with " + text; });
        router.addPage("from", &source);
        router.addPage("to", &target);
    }
    // Lets a held look-up answer and waits until its worker is back and its answer (if not
    // dropped) applied.
    void answer() {
        held.release();
        ASSERT_TRUE(test::WaitUntil([this] { return !router.lookupsInProgress(); }, 20000));
        test::ProcessEventsFor(20);
    }
    test::HeldResolver held;
    HandOffPoints source, target;
    std::optional<QString> selected;
    QString text = "old";
    QStringList log;
    ~TwoPages() { held.release(); }  // no worker waits for the router's end
    HandOffRouter router{[this](const QString& page) {
                             log << "show " + page;
                             return true;
                         },
                         held.resolver()};
    const HandOffTarget stopStart{"to", "Edit", {"stop", "start"}};
};

struct HandOffFixture : ::testing::Test, TwoPages {};

TEST_F(HandOffFixture, SwitchesThenSetsThenRunsTheActionsInOrder) {
    EXPECT_TRUE(router.handOff("from", "box", stopStart));
    EXPECT_EQ(log, (QStringList{"show to", "set typed", "stop with typed", "start with typed"}));
}

TEST_F(HandOffFixture, AFailedGuardOrAMissingPointDoesNothingAtAll) {
    const struct {
        const char* sourcePage;
        const char* source;
        HandOffTarget target;
    } cases[] = {
        {"from", "list", {"to", "Edit", {"start"}}},     // nothing selected
        {"from", "nothing", {"to", "Edit", {"start"}}},  // no such source
        {"nowhere", "box", {"to", "Edit", {"start"}}},   // no such page
        {"from", "box", {"to", "Other", {"start"}}},     // no such box
        {"from", "box", {"gone", "Edit", {"start"}}},    // no such target page
    };
    for (const auto& c : cases) {
        for (const auto conversion : {HandOffConversion::None, HandOffConversion::ResolveAddress}) {
            EXPECT_FALSE(router.handOff(c.sourcePage, c.source, c.target, conversion)) << c.source;
        }
    }
    EXPECT_FALSE(router.hasPending());
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    EXPECT_EQ(text, "old");

    selected = QString();  // an empty selected entry is still an entry
    EXPECT_TRUE(router.handOff("from", "list", {"to", "Edit", {}}));
    EXPECT_EQ(log, (QStringList{"show to", "set "}));
}

// The look-up runs while the window goes on: the page is switched at once, the box is set
// and the actions run when the answer comes.
TEST_F(HandOffFixture, ALookUpSwitchesAtOnceAndDeliversWhenTheAnswerComes) {
    EXPECT_TRUE(router.handOff("from", "box", stopStart, HandOffConversion::ResolveAddress));
    // Returned although the name server has not answered: the window is not held.
    EXPECT_EQ(log, QStringList{"show to"});
    EXPECT_TRUE(router.hasPending());
    test::ProcessEventsFor(20);
    EXPECT_EQ(text, "old");

    answer();
    EXPECT_FALSE(router.hasPending());
    EXPECT_EQ(log, (QStringList{"show to", "set name-of-typed", "stop with name-of-typed",
                                "start with name-of-typed"}));
}

// What comes between the hand-off and its answer wins: a newer hand-off, a delivery (a
// browser button) or the target page's own start or stop by hand. A failed guard is not
// something newer: it does nothing at all.
TEST_F(HandOffFixture, APendingDeliveryIsDroppedByWhatComesNewer) {
    const struct {
        const char* what;
        std::function<void(TwoPages&)> newer;
        QStringList after;  // the log after the hand-off's "show to"
    } cases[] = {
        {"a newer hand-off",
         [](TwoPages& f) {
             f.router.handOff("from", "box", {"to", "Edit", {}});
         },
         {"show to", "set typed"}},
        {"a delivery",
         [](TwoPages& f) {
             f.router.deliver({"to", "Edit", {}}, "browser");
         },
         {"show to", "set browser"}},
        {"the page's own start or stop", [](TwoPages& f) { f.router.cancelPending(); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TwoPages f;
        ASSERT_TRUE(
            f.router.handOff("from", "box", f.stopStart, HandOffConversion::ResolveAddress));
        c.newer(f);
        EXPECT_FALSE(f.router.hasPending());
        f.answer();
        EXPECT_EQ(f.log, QStringList{"show to"} + c.after);
    }

    // A newer item whose guard fails leaves the waiting one alone.
    ASSERT_TRUE(router.handOff("from", "box", stopStart, HandOffConversion::ResolveAddress));
    EXPECT_FALSE(router.handOff("from", "list", {"to", "Edit", {}}));
    EXPECT_TRUE(router.hasPending());
    answer();
    EXPECT_EQ(log.last(), "start with name-of-typed");
}

// The last of two look-ups is the one delivered, even when the first answers later.
TEST_F(HandOffFixture, OnlyTheLatestLookUpIsDelivered) {
    ASSERT_TRUE(router.handOff("from", "box", stopStart, HandOffConversion::ResolveAddress));
    router.setAddressResolver([](const QString& address) { return "second-" + address; });
    selected = "10.0.0.1";
    ASSERT_TRUE(
        router.handOff("from", "list", {"to", "Edit", {}}, HandOffConversion::ResolveAddress));
    ASSERT_TRUE(test::WaitUntil([this] { return !router.hasPending(); }, 20000));
    answer();
    EXPECT_EQ(log, (QStringList{"show to", "show to", "set second-10.0.0.1"}));
}

TEST(HandOffTargets, PingFromAnAddressSourceGoesToTheAddressSide) {
    EXPECT_EQ(HandOffTargetFor("Ping", true)->box, "Edit8");
    EXPECT_EQ(HandOffTargetFor("Ping", false)->actions, QStringList{"SpeedButton7Click"});
    EXPECT_EQ(HandOffTargetFor("Whois", false)->actions,
              (QStringList{"Button3Click", "whois_start_buttonClick"}));
    EXPECT_FALSE(HandOffTargetFor("Brower", false));
}

// Only a host name or a dotted address goes to the browser; a failure text never does.
TEST(HandOffTargets, TheBrowserItemOpensOnlyHostNamesAndAddresses) {
    const struct {
        const char* text;
        const char* opened;  // nullptr: ignored
    } cases[] = {
        {"www.example.com", "http://www.example.com"},
        {"Mail-1.Example.org", "http://Mail-1.Example.org"},
        {"10.0.0.1", "http://10.0.0.1"},
        {"Unknown", nullptr},
        {"localhost", nullptr},
        {"", nullptr},
        {" www.example.com", nullptr},
        {"www.example.com/path", nullptr},
        {"user@example.com", nullptr},
        {"example..com", nullptr},
        {".example.com", nullptr},
        {"example.com.", nullptr},
        {"...", nullptr},
        {"ex ample.com", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> opened = WebAddressToOpen(QString::fromUtf8(c.text));
        if (c.opened == nullptr) {
            EXPECT_FALSE(opened) << c.text;
        } else {
            EXPECT_EQ(opened, QString::fromUtf8(c.opened)) << c.text;
        }
    }
}

}  // namespace
}  // namespace quendrix

#include "core/hand_off.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// Two pages' points that log what is done to them, and a router that logs page switches.
struct HandOffFixture : ::testing::Test {
    HandOffFixture() {
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
    HandOffPoints source, target;
    std::optional<QString> selected;
    QString text = "old";
    QStringList log;
    HandOffRouter router{[this](const QString& page) {
        log << "show " + page;
        return true;
    }};
};

TEST_F(HandOffFixture, SwitchesThenSetsThenRunsTheActionsInOrder) {
    EXPECT_TRUE(router.handOff("from", "box", {"to", "Edit", {"stop", "start"}},
                               [this](const QString& value) {
                                   log << "convert " + value;
                                   return value.toUpper();
                               }));
    EXPECT_EQ(log, (QStringList{"show to", "convert typed", "set TYPED", "stop with TYPED",
                                "start with TYPED"}));
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
        EXPECT_FALSE(router.handOff(c.sourcePage, c.source, c.target)) << c.source;
    }
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    EXPECT_EQ(text, "old");

    selected = QString();  // an empty selected entry is still an entry
    EXPECT_TRUE(router.handOff("from", "list", {"to", "Edit", {}}));
    EXPECT_EQ(log, (QStringList{"show to", "set "}));
}

TEST(HandOffTargets, PingFromAnAddressSourceGoesToTheAddressSide) {
    EXPECT_EQ(HandOffTargetFor("Ping", true)->box, "Edit8");
    EXPECT_EQ(HandOffTargetFor("Ping", false)->actions, QStringList{"SpeedButton7Click"});
    EXPECT_EQ(HandOffTargetFor("Whois", false)->actions,
              (QStringList{"Button3Click", "whois_start_buttonClick"}));
    EXPECT_FALSE(HandOffTargetFor("Brower", false));
}

}  // namespace
}  // namespace quendrix

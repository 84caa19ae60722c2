// A PageHost for page tests: recording prompts, a navigation flag, settings in memory and a
// hand-off router over the pages a test registers.
#pragma once

#include "core/browser_address.h"
#include "core/hand_off.h"
#include "core/page_host.h"
#include "support/recording_prompts.h"

#include <QMap>
#include <QStringList>

namespace quendrix::test {

// A browser double: the reply it gives, or none (no browser running).
class FakeBrowser : public BrowserAddressSource {
  public:
    std::optional<QString> windowInfo() override {
        ++queries;
        return reply;
    }
    std::optional<QString> reply;
    int queries = 0;
};

class FakeHost : public PageHost {
  public:
    Prompts& prompts() override { return recording; }
    void setNavigationEnabled(bool enabled) override { navigationEnabled = enabled; }
    QString openDialogDirectory() const override { return directory; }
    void setOpenDialogDirectory(const QString& value) override { directory = value; }
    QString setting(const QString& key) const override { return settings.value(key); }
    void setSetting(const QString& key, const QString& value) override {
        settings.insert(key, value);
    }
    HandOffRouter& handOff() override { return router; }
    void endProgramWithoutSettings() override { ++programEnds; }
    BrowserAddressSource& browserAddress() override { return browser; }

    RecordingPrompts recording;
    bool navigationEnabled = true;
    QString directory = QStringLiteral("/start");
    QMap<QString, QString> settings;
    FakeBrowser browser;
    int programEnds = 0;  // calls of endProgramWithoutSettings
    // The pages shown through the router, in order.
    QStringList shownPages;
    HandOffRouter router{[this](const QString& page) {
        shownPages.append(page);
        return true;
    }};
};

}  // namespace quendrix::test

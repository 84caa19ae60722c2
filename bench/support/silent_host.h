// A PageHost for benchmarks: prompts that answer No and show nothing.
#pragma once

#include "core/browser_address.h"
#include "core/hand_off.h"
#include "core/page_host.h"
#include "core/prompts.h"

namespace quendrix::bench {

class SilentPrompts : public Prompts {
  public:
    bool message(const QString&, const QString&, Icon) override { return true; }
    Answer askYesNo(const QString&, const QString&) override { return Answer::No; }
    Answer askYesCancel(const QString&, const QString&) override { return Answer::Cancel; }
    QString openFile(const QString&, const QStringList&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    bool openWithShell(const QString&) override { return false; }
};

class SilentHost : public PageHost {
  public:
    Prompts& prompts() override { return m_prompts; }
    void setNavigationEnabled(bool) override {}
    QString openDialogDirectory() const override { return {}; }
    void setOpenDialogDirectory(const QString&) override {}
    QString setting(const QString&) const override { return {}; }
    void setSetting(const QString&, const QString&) override {}
    HandOffRouter& handOff() override { return m_router; }
    void endProgramWithoutSettings() override {}
    BrowserAddressSource& browserAddress() override { return *m_browser; }

  private:
    SilentPrompts m_prompts;
    std::unique_ptr<BrowserAddressSource> m_browser = MakeSystemBrowserAddressSource();
    HandOffRouter m_router{[](const QString&) { return false; }};
};

}  // namespace quendrix::bench

// A PageHost for page tests: recording prompts and a navigation flag to look at.
#pragma once

#include "core/page_host.h"
#include "support/recording_prompts.h"

namespace quendrix::test {

class FakeHost : public PageHost {
  public:
    Prompts& prompts() override { return recording; }
    void setNavigationEnabled(bool enabled) override { navigationEnabled = enabled; }
    QString openDialogDirectory() const override { return directory; }
    void setOpenDialogDirectory(const QString& value) override { directory = value; }

    RecordingPrompts recording;
    bool navigationEnabled = true;
    QString directory = QStringLiteral("/start");
};

}  // namespace quendrix::test

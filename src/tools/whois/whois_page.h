// The Whois page. For now it holds the custom whois server choice (CheckBox7, edit10),
// which settings.ini keeps from one run to the next.
#pragma once

#include "core/widgets/tool_page.h"

class QCheckBox;
class QLineEdit;

namespace quendrix {

class WhoisPage : public ToolPage {
    Q_OBJECT
  public:
    // Reads "whois/customized" and "whois/server" through the host.
    explicit WhoisPage(PageHost& host, QWidget* parent = nullptr);

    // Stores the box's state ("true"/"false") and the server text without its blanks.
    void saveSettings(PageHost& host) override;

  private:
    QCheckBox* CheckBox7;
    QLineEdit* edit10;
};

}  // namespace quendrix

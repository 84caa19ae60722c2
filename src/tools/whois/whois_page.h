// The Whois page: a domain or web address in, the whois server's whole reply out, line by
// line, and the reply saved as a text file. The query runs as a job; Stop ends it at once,
// even while it waits on a server that never closes. The reply's lines are kept as the bytes
// received and shown one byte per character, so the export holds exactly those bytes.
#pragma once

#include "core/job_runner.h"
#include "core/widgets/tool_page.h"
#include "net/whois_client.h"

#include <QByteArrayList>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace quendrix {

namespace whois {
class WhoisReplyView;
}

// What a finished query hands the page: the reply's lines as received.
struct WhoisReplyRows {
    QByteArrayList lines;
};

class WhoisPage : public ToolPage {
    Q_OBJECT
  public:
    // Reads "whois/customized" and "whois/server" through the host. The port is the whois
    // port; only tests give another one (their fixture server's).
    explicit WhoisPage(PageHost& host, QWidget* parent = nullptr,
                       std::uint16_t port = net::WhoisClient::kDefaultPort);
    ~WhoisPage() override;

    // Stores the box's state ("true"/"false") and the server text without its blanks.
    void saveSettings(PageHost& host) override;

    // True from the start of a query until it ends or is stopped.
    bool querying() const;
    // The reply's lines as received (bytes), as shown in meResults and exported.
    const QByteArrayList& resultLines() const { return m_lines; }

    void whois_start_buttonClick();
    void Button3Click();
    void SpeedButton19Click();
    void SpeedButton23Click();
    // Enables edit10 while CheckBox7 is ticked; runs on every change of the box's state, by
    // mouse, key, the accessibility interface or setChecked.
    void CheckBox7Click();
    // The save dialog's confirmation of a file name: true when path may be written (a new
    // file, or Yes to the replace question).
    bool SaveDialog1CanClose(const QString& path);

  private:
    void whois_button_active();
    void edDomainKeyPress();
    void showLines();

    PageHost& m_host;
    std::uint16_t m_port;
    JobRunner<WhoisReplyRows>* m_runner;
    JobId m_query = 0;
    QByteArrayList m_lines;

    QLabel* Label41;
    QLineEdit* edDomain;
    QToolButton* SpeedButton23;
    QToolButton* whois_start_button;
    QToolButton* button3;
    QToolButton* SpeedButton19;
    QLabel* state_label;
    QCheckBox* CheckBox7;
    QComboBox* edit10;
    whois::WhoisReplyView* meResults;
};

}  // namespace quendrix

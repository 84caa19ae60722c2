#include "tools/whois/whois_page.h"

#include "core/browser_buttons.h"
#include "core/export_writer.h"
#include "core/job_runner.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/target.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "tools/whois/whois_export.h"
#include "tools/whois/whois_query.h"
#include "tools/whois/whois_reply_view.h"
#include "tools/whois/whois_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace quendrix {

WhoisPage::WhoisPage(PageHost& host, QWidget* parent, std::uint16_t port)
    : ToolPage(QStringLiteral("whois_tab"), QStringLiteral("Whois"), parent),
      m_host(host),
      m_port(port),
      m_runner(new JobRunner<WhoisReplyRows>(
          [this](JobId, std::span<WhoisReplyRows> rows) {
              for (WhoisReplyRows& row : rows) {
                  m_lines = std::move(row.lines);
                  meResults->setLines(m_lines);
              }
          },
          this)),
      m_lines{QByteArray()} {
    headerLabel()->setObjectName(QStringLiteral("Label63"));
    Label41 = MakeLabel(QStringLiteral("Label41"), QStringLiteral("WWW."), this);
    edDomain = MakeEdit(QStringLiteral("edDomain"), QString(), this);
    edDomain->setToolTip(QStringLiteral("Right Click to Get More"));
    SpeedButton23 = MakeBrowserButton(objectName(), this);
    whois_start_button = MakeSpeedButton(QStringLiteral("whois_start_button"),
                                         QStringLiteral("Whois"), QStringLiteral("Whois"), this);
    button3 = MakeSpeedButton(QStringLiteral("button3"), QStringLiteral("Stop"),
                              QStringLiteral("Stop"), this);
    SpeedButton19 = MakeSpeedButton(QStringLiteral("SpeedButton19"), QStringLiteral("Export"),
                                    QStringLiteral("Export the results to a file"), this);
    state_label = MakeLabel(QStringLiteral("state_label"), QStringLiteral("Working..."), this);
    state_label->setMinimumWidth(80);
    state_label->hide();

    auto* query = new QHBoxLayout;
    query->addWidget(Label41);
    query->addWidget(edDomain, 1);
    query->addWidget(SpeedButton23);
    query->addWidget(whois_start_button);
    query->addWidget(button3);
    query->addWidget(state_label);
    query->addStretch();
    query->addWidget(SpeedButton19);
    body()->addLayout(query);

    CheckBox7 = MakeCheckBox(QStringLiteral("CheckBox7"),
                             QStringLiteral("Using a Customized Whois Server"), this);
    edit10 = new QComboBox(this);
    edit10->setObjectName(QStringLiteral("edit10"));
    edit10->setEditable(true);
    edit10->addItems(whois::ServerChoices());
    auto* server = new QHBoxLayout;
    server->addWidget(CheckBox7);
    server->addWidget(edit10, 1);
    body()->addLayout(server);

    meResults = new whois::WhoisReplyView(this);
    meResults->setObjectName(QStringLiteral("meResults"));
    meResults->setLines(m_lines);
    body()->addWidget(meResults, 1);

    connect(CheckBox7, &QCheckBox::toggled, this, &WhoisPage::CheckBox7Click);
    // Starting or stopping by hand drops a hand-off still waiting for its look-up (its
    // answer would replace the box and restart the query); the hand-off runs the handlers
    // itself, not through these.
    connect(whois_start_button, &QToolButton::clicked, this, [this] {
        m_host.handOff().cancelPending();
        whois_start_buttonClick();
    });
    connect(button3, &QToolButton::clicked, this, [this] {
        m_host.handOff().cancelPending();
        Button3Click();
    });
    connect(SpeedButton19, &QToolButton::clicked, this, &WhoisPage::SpeedButton19Click);
    connect(SpeedButton23, &QToolButton::clicked, this, &WhoisPage::SpeedButton23Click);
    connect(edDomain, &QLineEdit::returnPressed, this, [this] {
        m_host.handOff().cancelPending();
        edDomainKeyPress();
    });
    connect(m_runner, &JobRunnerBase::ended, this, [this](JobId id, const JobOutcome& outcome) {
        // A stopped query was already put back to idle by Stop.
        if (id != m_query || outcome.kind == JobOutcome::Kind::Stopped) {
            return;
        }
        ShowJobFailure(m_host.prompts(), outcome);
        whois_button_active();
    });

    // Only the exact text "true" checks the box.
    const bool customized =
        host.setting(QStringLiteral("whois/customized")) == QStringLiteral("true");
    CheckBox7->setChecked(customized);
    CheckBox7Click();
    // The stored name, not a list item.
    edit10->setEditText(host.setting(QStringLiteral("whois/server")));

    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("edDomain"), [this] { return edDomain->text(); },
        [this](const QString& text) { edDomain->setText(text); });
    points.addAction(QStringLiteral("Button3Click"), [this] { Button3Click(); });
    points.addAction(QStringLiteral("whois_start_buttonClick"),
                     [this] { whois_start_buttonClick(); });
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_whois"), edDomain);
}

WhoisPage::~WhoisPage() {
    // The worker posts to this page: end it before any control goes.
    m_runner->shutdown();
}

void WhoisPage::saveSettings(PageHost& host) {
    host.setSetting(QStringLiteral("whois/customized"),
                    CheckBox7->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    host.setSetting(QStringLiteral("whois/server"), TrimBlanks(edit10->currentText()));
}

bool WhoisPage::querying() const {
    return m_runner->isRunning();
}

void WhoisPage::whois_start_buttonClick() {
    if (m_runner->isRunning()) {
        return;  // one query at a time: the button is disabled meanwhile
    }
    state_label->setText(QStringLiteral("Working..."));
    state_label->show();
    whois_start_button->setEnabled(false);
    m_host.setNavigationEnabled(false);

    m_lines.clear();
    meResults->setLines(m_lines);

    QString server = whois::kDefaultServer;
    if (CheckBox7->isChecked()) {
        server = TrimBlanks(edit10->currentText());
        // Blanks alone name no server either (an empty name would ask this computer).
        if (server.isEmpty()) {
            m_host.prompts().message(QString(), QStringLiteral(" Please input the whois server! "),
                                     Prompts::Icon::Warning);
            whois_button_active();
            return;
        }
    }
    const QString domain = NormaliseWhoisDomain(edDomain->text());
    edDomain->setText(domain);

    m_query = m_runner->start(
        [port = m_port, server = server.toLocal8Bit().toStdString(),
         query = whois::QueryBytes(domain)](JobRunner<WhoisReplyRows>::Context& job) {
            const auto reply = net::WhoisClient(port).query(server, query, job.stopToken());
            // A failed query shows nothing; the page ends in "Done!" all the same.
            if (!reply) {
                return;
            }
            job.push({whois::ReplyLines(*reply)});
        });
}

void WhoisPage::whois_button_active() {
    state_label->setText(QStringLiteral("Done!"));
    whois_start_button->setEnabled(true);
    m_host.setNavigationEnabled(true);
}

void WhoisPage::Button3Click() {
    if (!m_runner->isRunning()) {
        return;
    }
    // Returns at once, even while the worker still waits for the server's name: whatever
    // that look-up gives later is dropped, and the next query runs on a thread of its own.
    m_runner->stop(m_query);
    whois_button_active();
}

void WhoisPage::edDomainKeyPress() {
    // Enter while a query runs starts the new one in its place, as the hand-off does.
    Button3Click();
    whois_start_buttonClick();
}

void WhoisPage::SpeedButton23Click() {
    PressBrowserButton(m_host, objectName());
}

void WhoisPage::CheckBox7Click() {
    edit10->setEnabled(CheckBox7->isChecked());
}

bool WhoisPage::SaveDialog1CanClose(const QString& path) {
    return ConfirmReplace(m_host.prompts(), path, HasExistedQuestion());
}

void WhoisPage::SpeedButton19Click() {
    SaveExportAs(
        m_host.prompts(), whois::WhoisExportKinds().front(),
        [this](const QString& path) { return SaveDialog1CanClose(path); },
        [this] { return whois::WhoisExportLines(m_lines); }, whois::kWhoisExportEncoding,
        [](const QString& path, const QString& reason) {
            return whois::CannotCreateFileText(QDir::toNativeSeparators(path), reason);
        });
}

}  // namespace quendrix

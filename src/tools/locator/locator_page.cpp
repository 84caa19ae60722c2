#include "tools/locator/locator_page.h"

#include "core/browser_buttons.h"
#include "core/export_writer.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/target.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace quendrix {

LocatorPage::LocatorPage(PageHost& host, QWidget* parent, locator::LocatorView::Kind viewKind,
                         std::string geoIpPath)
    : ToolPage(QStringLiteral("ip_locator_tab"), QStringLiteral("IP Locator"), parent),
      m_host(host),
      m_viewKind(viewKind),
      m_base(locator::LocatorBase(host.setting(QStringLiteral("locator/base")))),
      m_service(std::make_shared<const locator::LocationService>(std::move(geoIpPath))),
      m_runner(new JobRunner<LocatorAnswer>(
          [this](JobId id, std::span<LocatorAnswer> answers) {
              for (const LocatorAnswer& answer : answers) {
                  if (id == m_query) {
                      navigate(answer);
                  }
              }
          },
          this)) {
    headerLabel()->setObjectName(QStringLiteral("Label67"));
    Label71 =
        MakeLabel(QStringLiteral("Label71"), QStringLiteral("IP Address / Domain Name"), this);
    Edit11 = MakeEdit(QStringLiteral("Edit11"), QString(), this);
    Edit11->setToolTip(QStringLiteral("Right Click to Get More"));
    SpeedButton26 = MakeBrowserButton(objectName(), this);
    SpeedButton3 = MakeSpeedButton(QStringLiteral("SpeedButton3"), QStringLiteral("Convert"),
                                   QStringLiteral("Convert"), this);
    SpeedButton25 = MakeSpeedButton(QStringLiteral("SpeedButton25"), QStringLiteral("Export"),
                                    QStringLiteral("Export the results to a file"), this);

    auto* query = new QHBoxLayout;
    query->addWidget(Label71);
    query->addWidget(Edit11, 1);
    query->addWidget(SpeedButton26);
    query->addWidget(SpeedButton3);
    query->addStretch();
    query->addWidget(SpeedButton25);
    body()->addLayout(query);
    // WebBrowser1 fills the rest once it is made.

    connect(SpeedButton3, &QToolButton::clicked, this, &LocatorPage::SpeedButton3Click);
    connect(SpeedButton26, &QToolButton::clicked, this, &LocatorPage::SpeedButton26Click);
    connect(SpeedButton25, &QToolButton::clicked, this, &LocatorPage::SpeedButton25Click);
    connect(Edit11, &QLineEdit::returnPressed, this, &LocatorPage::SpeedButton3Click);
    connect(m_runner, &JobRunnerBase::ended, this, [this](JobId id, const JobOutcome& outcome) {
        if (id == m_query) {
            ShowJobFailure(m_host.prompts(), outcome);
        }
    });

    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("Edit11"), [this] { return Edit11->text(); },
        [this](const QString& text) { Edit11->setText(text); });
    points.addAction(QStringLiteral("SpeedButton3Click"), [this] { SpeedButton3Click(); });
    // The whois box's menu, sending this box's text.
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_whois"), Edit11);
}

LocatorPage::~LocatorPage() {
    // The worker posts to this page: end it before any control goes.
    m_runner->shutdown();
}

bool LocatorPage::resolving() const {
    return m_runner->isRunning();
}

bool LocatorPage::waitForWorkers(int timeoutMs) {
    return m_runner->waitForWorkers(timeoutMs);
}

void LocatorPage::showEvent(QShowEvent* event) {
    ToolPage::showEvent(event);
    ensureView();
}

void LocatorPage::ensureView() {
    if (m_view) {
        return;
    }
    m_view = locator::MakeLocatorView(m_viewKind, m_service, m_host.prompts(), this);
    body()->addWidget(m_view->widget(), 1);
}

void LocatorPage::SpeedButton3Click() {
    ensureView();
    // The newest query wins: one still resolving is dropped with whatever it finds.
    if (m_query != 0) {
        m_runner->stop(m_query);
    }
    const bool builtInPage = locator::IsBuiltInBase(m_base) && m_view->needsBuiltInPage();
    m_query = m_runner->start([text = Edit11->text(), base = m_base, builtInPage,
                               service = m_service](JobRunner<LocatorAnswer>::Context& job) {
        // The text as typed, not reduced: a scheme or a path makes the look-up fail ("X").
        LocatorAnswer answer{ResolveName(text), QString()};
        if (builtInPage && !job.stopRequested()) {
            answer.html = locator::LocationPageHtml(service->Report(answer.address));
        }
        job.push(std::move(answer));
    });
}

void LocatorPage::navigate(const LocatorAnswer& answer) {
    ensureView();
    m_queryAddress = locator::QueryAddress(m_base, answer.address);
    ++m_navigations;
    if (const auto refused = m_view->show(m_queryAddress, answer.html)) {
        // The general error report.
        m_host.prompts().message(QStringLiteral("Quendrix"), *refused, Prompts::Icon::Error);
    }
}

void LocatorPage::SpeedButton26Click() {
    PressBrowserButton(m_host, objectName());
}

QStringList LocatorPage::exportLines() const {
    if (!m_view || m_view->address().isEmpty()) {
        return {};
    }
    QStringList lines{m_view->address()};
    QString text = m_view->plainText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(0x2029), QLatin1Char('\n'));  // paragraph separators of a document
    lines += text.split(QLatin1Char('\n'));
    while (lines.size() > 1 && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

void LocatorPage::SpeedButton25Click() {
    const ExportKind kind{
        0, QString(), QString(), ExportFormat::Txt, ExportRows::All, QStringLiteral("txt")};
    SaveExportAs(m_host.prompts(), kind, AlreadyExistsQuestion(), [this] { return exportLines(); });
}

}  // namespace quendrix

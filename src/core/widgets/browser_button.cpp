#include "core/widgets/browser_button.h"

#include "core/browser_address.h"
#include "core/browser_buttons.h"
#include "core/widgets/page_controls.h"

#include <QLineEdit>
#include <QToolButton>

namespace quendrix {

QToolButton* MakeBrowserButton(const QString& page, QWidget* parent) {
    const BrowserButton* row = BrowserButtonOf(page);
    Q_ASSERT(row != nullptr);
    return MakeSpeedButton(row->button, QStringLiteral("IE"), row->hint, parent);
}

BrowserPrefill::BrowserPrefill(std::shared_ptr<BrowserAddressSource> source,
                               const QList<QLineEdit*>& boxes, QObject* parent)
    : QObject(parent),
      m_source(std::move(source)),
      m_runner([this](JobId, std::span<QString> answers) {
          for (const QString& address : answers) {
              apply(address);
          }
      }) {
    m_boxes.reserve(boxes.size());
    for (QLineEdit* edit : boxes) {
        m_boxes.append(Box{edit, false});
    }
    // Any change before the answer counts: the user's typing, a hand-off, a browser button.
    for (qsizetype index = 0; index < m_boxes.size(); ++index) {
        connect(boxes.at(index), &QLineEdit::textChanged, this,
                [this, index] { m_boxes[index].changed = true; });
    }
}

BrowserPrefill::~BrowserPrefill() {
    // The job reads the source, not the boxes; it is joined before the boxes can go.
    m_runner.shutdown();
}

void BrowserPrefill::start() {
    // The job holds the source, so a window closed while the browser is asked loses nothing.
    m_runner.start([source = m_source](JobRunner<QString>::Context& job) {
        job.push(GetBrowserAddress(*source));
    });
}

bool BrowserPrefill::wait(int timeoutMs) {
    return m_runner.waitForIdle(timeoutMs);
}

void BrowserPrefill::apply(const QString& address) {
    if (address == kNoBrowserAddress) {
        return;
    }
    const QString host = HostFromAddress(address);
    for (qsizetype index = 0; index < m_boxes.size(); ++index) {
        QLineEdit* edit = m_boxes.at(index).edit;
        if (edit != nullptr && !m_boxes.at(index).changed) {
            edit->setText(host);
        }
    }
}

}  // namespace quendrix

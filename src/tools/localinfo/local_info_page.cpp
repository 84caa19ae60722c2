#include "tools/localinfo/local_info_page.h"

#include "core/page_host.h"
#include "core/prompts.h"

#include <QEvent>
#include <QFontDatabase>
#include <QMimeData>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quendrix {

InfoTextArea::InfoTextArea(const QString& objectName, QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(objectName);
    setReadOnly(true);
    // A vertical scroll bar only: a line wider than the area wraps.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Fixed pitch, so that an address list's later entries stand exactly under its first.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void InfoTextArea::setLines(localinfo::InfoLines lines) {
    m_lines = std::move(lines);
    QStringList shown;
    shown.reserve(static_cast<qsizetype>(m_lines.size()));
    for (const localinfo::InfoLine& line : m_lines) {
        shown.append(localinfo::DisplayText(line, QChar::LineSeparator));
    }
    setPlainText(shown.join(QLatin1Char('\n')));
}

QString InfoTextArea::storedText() const {
    return localinfo::LineTexts(m_lines).join(QLatin1Char('\n'));
}

QMimeData* InfoTextArea::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        return QPlainTextEdit::createMimeDataFromSelection();
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QString copied;
    bool first = true;
    for (QTextBlock block = document()->findBlock(start);
         block.isValid() && block.position() <= end; block = block.next()) {
        if (!first) {
            copied += QLatin1Char('\n');
        }
        first = false;
        const int textLength = block.length() - 1;  // without the block's end
        const int from = std::max(start - block.position(), 0);
        const int to = std::min(end - block.position(), textLength);
        QString part = block.text().mid(from, to - from);
        const auto number = static_cast<std::size_t>(block.blockNumber());
        if (number < m_lines.size() && m_lines[number].addressList) {
            // Back to the stored form: a carriage return after every entry.
            const localinfo::InfoLine& line = m_lines[number];
            part.replace(
                QString(QChar::LineSeparator) + QString(line.label.size(), QLatin1Char(' ')),
                QStringLiteral("\r"));
            part.replace(QChar::LineSeparator, QLatin1Char('\r'));
            if (to == textLength && line.value.endsWith(QLatin1Char('\r'))) {
                part += QLatin1Char('\r');
            }
        }
        copied += part;
    }
    auto* mime = new QMimeData;
    mime->setText(copied);
    return mime;
}

LocalInfoPage::LocalInfoPage(PageHost& host, localinfo::Sources sources, QWidget* parent)
    : ToolPage(QStringLiteral("local_information_tab"), QString(), parent),
      Info(new InfoTextArea(QStringLiteral("Info"), this)),
      info2(new InfoTextArea(QStringLiteral("info2"), this)),
      m_host(host),
      m_sources(std::move(sources)),
      m_runner([this](JobId, std::span<localinfo::LocalInformation> rows) {
          for (localinfo::LocalInformation& information : rows) {
              apply(std::move(information));
          }
      }) {
    body()->addWidget(Info, 1);
    body()->addWidget(info2, 2);
    connect(&m_runner, &JobRunnerBase::ended, this, [this](JobId, const JobOutcome& outcome) {
        if (outcome.failed()) {
            // Only an exception escaping a reader ends the job this way.
            m_filled = true;
            reportWhenVisible(outcome.text());
            Q_EMIT filled();
        }
    });
    // The first event-loop turn comes after the window has been shown.
    QTimer::singleShot(0, this, [this] { startFilling(); });
}

LocalInfoPage::~LocalInfoPage() {
    m_runner.shutdown();
}

void LocalInfoPage::startFilling() {
    m_runner.start([sources = m_sources](JobRunner<localinfo::LocalInformation>::Context& job) {
        job.push(localinfo::ReadLocalInformation(sources));
    });
}

void LocalInfoPage::apply(localinfo::LocalInformation information) {
    Info->setLines(std::move(information.info));
    info2->setLines(std::move(information.info2));
    m_filled = true;
    if (information.failure) {
        reportWhenVisible(localinfo::SystemErrorText(*information.failure));
    }
    Q_EMIT filled();
}

void LocalInfoPage::reportWhenVisible(QString text) {
    m_pendingReport = std::move(text);
    QWidget* top = window();
    if (!top->isVisible()) {
        top->installEventFilter(this);
        return;
    }
    // From a turn of its own: the box's own event loop never runs inside the job's apply.
    QTimer::singleShot(0, this, [this] {
        if (m_pendingReport) {
            const QString report = *std::exchange(m_pendingReport, std::nullopt);
            m_host.prompts().message(QStringLiteral("Quendrix"), report, Prompts::Icon::Error);
        }
    });
}

bool LocalInfoPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() && event->type() == QEvent::Show && m_pendingReport) {
        watched->removeEventFilter(this);
        reportWhenVisible(*m_pendingReport);
    }
    return ToolPage::eventFilter(watched, event);
}

}  // namespace quendrix

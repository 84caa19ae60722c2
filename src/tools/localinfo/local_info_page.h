// The Local Information page: the network parameters in the upper text area `Info`, one block
// per adapter in the lower `info2`, both read-only and filled once at start-up. The sources
// are read on a job after the window is shown, so reading them never delays its first paint;
// a failure is shown in a box over the window once it is visible.
#pragma once

#include "core/job_runner.h"
#include "core/widgets/tool_page.h"
#include "tools/localinfo/local_info.h"

#include <QPlainTextEdit>

#include <optional>

namespace quendrix {

class PageHost;

// A read-only text area of info lines. An address list shows one entry a line, each after the
// first indented under the first (a line separator inside the line's block, so the area keeps
// one block per stored line); copying gives the stored text, carriage returns included.
class InfoTextArea : public QPlainTextEdit {
    Q_OBJECT
  public:
    InfoTextArea(const QString& objectName, QWidget* parent);
    void setLines(localinfo::InfoLines lines);
    const localinfo::InfoLines& lines() const { return m_lines; }
    // The stored lines' texts joined by LF: what copying everything gives.
    QString storedText() const;

  protected:
    QMimeData* createMimeDataFromSelection() const override;

  private:
    localinfo::InfoLines m_lines;
};

class LocalInfoPage : public ToolPage {
    Q_OBJECT
  public:
    LocalInfoPage(PageHost& host, localinfo::Sources sources, QWidget* parent = nullptr);
    ~LocalInfoPage() override;

    InfoTextArea* Info;
    InfoTextArea* info2;

    // True once the filling has ended (filled, or failed and reported or waiting to be).
    bool isFilled() const { return m_filled; }

  Q_SIGNALS:
    void filled();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void startFilling();
    void apply(localinfo::LocalInformation information);
    void reportWhenVisible(QString text);

    PageHost& m_host;
    localinfo::Sources m_sources;
    bool m_filled = false;
    std::optional<QString> m_pendingReport;           // a failure waiting for the window to show
    JobRunner<localinfo::LocalInformation> m_runner;  // last: its jobs use the members above
};

}  // namespace quendrix

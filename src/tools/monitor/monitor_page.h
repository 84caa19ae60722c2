// The Connection Monitor page: the dated history of the machine's TCP connections, recorded
// twice a second from the window's creation to its close whichever page is shown, cleared on
// request or when it grows past its limit, and exported as TXT or CSV.
#pragma once

#include "core/widgets/tool_page.h"
#include "tools/monitor/connection_monitor.h"

#include <memory>

class QCheckBox;
class QLabel;
class QToolButton;

namespace quendrix {

class ExportDialog;
class GridView;
class ResultTableModel;

class MonitorPage : public ToolPage {
    Q_OBJECT
  public:
    // The header line above the grid, its blanks lining the titles up with the columns.
    static const QString kColumnTitles;

    // Reads the machine's table unless a test hands in another source. Starts the monitor.
    explicit MonitorPage(PageHost& host, QWidget* parent = nullptr,
                         std::shared_ptr<monitor::ConnectionSource> source = {});
    ~MonitorPage() override;

    monitor::ConnectionMonitor& engine() { return *m_monitor; }
    ResultTableModel& history() { return *m_history; }
    ExportDialog& exportDialog() { return *m_export; }

    void sbClearClick();
    void cbShowListenersClick();
    void CheckBox2Click();
    void SpeedButton14Click();

  private:
    void applyRows(std::span<monitor::HistoryRow> rows);
    void tickEnded(bool full);
    // Asks before a box that may slow the page down is checked; Cancel unchecks it.
    bool confirmBox(QCheckBox* box, const QString& firstLine);
    void sizeColumns();

    PageHost& m_host;
    ResultTableModel* m_history;
    ExportDialog* m_export;
    std::unique_ptr<monitor::ConnectionMonitor> m_monitor;
    bool m_warning = false;  // the row-limit warning is open

    QLabel* stStart;
    QCheckBox* cbShowListeners;
    QCheckBox* CheckBox2;
    QToolButton* sbClear;
    QToolButton* SpeedButton14;
    QLabel* StaticText1;
    GridView* sgConnHist;
};

}  // namespace quendrix

// The Batch Ping page: the list generation panel on top, the ping list on the left, the run
// controls, the result grid and its counters on the right, and the export dialog.
#pragma once

#include "core/widgets/tool_page.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace quendrix {

namespace net {
class IcmpEcho;
}

class ExportDialog;
class GridView;
class PageHost;
class PingRun;
class ResultTableModel;
class TargetListPanel;

class PingPage : public ToolPage {
    Q_OBJECT
  public:
    // echo: the program's one ICMP echo service (the main window owns it; the page keeps a
    // share so that its worker can finish with it whatever the order of destruction).
    PingPage(PageHost& host, std::shared_ptr<net::IcmpEcho> echo, QWidget* parent = nullptr);
    ~PingPage() override;

    // The run (Start, Stop, its end, one continuous cycle).
    void ping_start_buttonClick();
    void ping_stop_buttonClick();
    void ping_button_active();
    void Timer1Timer();
    // "Continuous" shows "Total Count" and enables "Per".
    void CheckBox6Click();
    // Checks the "Per" text after every change.
    void Edit9Change();

    // List generation: the name, the address or its neighbourhood, the range.
    void SpeedButton7Click();
    void SpeedButton18Click();
    void SpeedButton8Click();
    // The name of the page open in the web browser, pinged as SpeedButton7 would.
    void SpeedButton21Click();

    // Export of the grid through the "Choose" dialog.
    void SpeedButton12Click();

    TargetListPanel* list() const { return m_list; }
    ResultTableModel* grid() const { return m_gridModel; }
    PingRun* run() const { return m_run.get(); }
    QTimer* timer() const { return Timer1; }
    // The export dialog, made on first use and kept, so it keeps its choices.
    ExportDialog* exportDialog();

  private:
    void buildGenerationPanel();
    void buildRunPanel();
    void declareHandOffPoints();
    void showCounters();
    void showEchoUnavailable(const QString& notice);
    // Replaces the list and sets "Total".
    void fillList(const QStringList& entries);
    // Stop, then start: what the fills that ping at once do.
    void restartRun();

    PageHost& m_host;

    QLineEdit* Edit7;
    QToolButton* SpeedButton21;
    QToolButton* SpeedButton7;
    QLineEdit* Edit8;
    QCheckBox* CheckBox4;
    QComboBox* ComboBox4;
    QToolButton* SpeedButton18;
    QLineEdit* Edit2;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QToolButton* SpeedButton8;

    TargetListPanel* m_list;
    QToolButton* ping_start_button;
    QToolButton* ping_stop_button;
    QToolButton* SpeedButton12;
    QLabel* Label54;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QCheckBox* CheckBox6;
    QLineEdit* Edit9;
    QTimer* Timer1;
    QLabel* Label60;
    QLabel* Label59;
    QLabel* Label33;
    QLabel* Label20;
    QLabel* Label30;
    ResultTableModel* m_gridModel;
    GridView* StringGrid1;
    ExportDialog* m_exportDialog = nullptr;
    // Declared last: its worker reads the list and writes the grid, so it goes first.
    std::unique_ptr<PingRun> m_run;
};

}  // namespace quendrix

// The Traceroute page: a host or web address in, the route to it out, hop by hop as each hop
// answers, with the router's host name where asked for, the log of the look-up and the first
// ping beside it, and the hop list saved as a text file. The trace runs as a job on the page's
// one ICMP client (its sequence numbers run on from trace to trace); Max Hops and Host Revolve
// reach the running trace as they change.
#pragma once

#include "core/job_runner.h"
#include "core/widgets/tool_page.h"
#include "tools/trace/trace_run.h"

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QSpinBox;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quendrix {

class TracePage : public ToolPage {
    Q_OBJECT
  public:
    // wait is how long each ping waits for its answer: the program always waits 5 s; only
    // tests give a shorter one.
    explicit TracePage(PageHost& host, QWidget* parent = nullptr,
                       std::chrono::milliseconds wait = net::RawIcmpClient::kDefaultReceiveTimeout);
    ~TracePage() override;

    // True from a start until the trace has ended, also while a stopped trace finishes its
    // last hop, and while a start waits for the running trace to end.
    bool tracing() const;
    // The hop list's rows as shown, in list order; the log's lines.
    std::vector<trace::HopRow> hopRows() const;
    QStringList logLines() const;

    void acGoExecute();
    void acStopExecute();
    void SpeedButton13Click();
    void SpeedButton22Click();
    // A key typed into the target box: Enter starts a trace as Start does (also while one
    // runs: that one ends after the hop it waits for, then the new one starts). True when the
    // key was used.
    bool edTargetKeyPress(int key);
    // The export's file-name check: true when the file may be written (it does not exist, or
    // the user answered Yes to "The file has existed, replace it or not?").
    bool SaveDialog2CanClose(const QString& path);

    // The three steps of a trace, which its job runs in order on its own thread; they touch no
    // widget (what they find reaches the page through the job's channel). acPingExecute is
    // PingHost with the resolved address and the current Max Hops.
    static Result<std::optional<trace::TraceEnd>> acResolveExecute(trace::TraceSteps& run);
    static Result<std::optional<trace::TraceEnd>> acPingExecute(trace::TraceSteps& run);
    static Result<trace::TraceEnd> acTraceExecute(trace::TraceSteps& run);
    static Result<std::optional<trace::TraceEnd>> PingHost(trace::TraceSteps& run,
                                                           const std::string& address, int maxHops);

  protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void startTrace();
    void traceEnded(JobId id, const JobOutcome& outcome);
    void apply(std::span<trace::TraceEvent> events);
    void writeHop(const trace::HopRow& row);
    void fitColumns();

    PageHost& m_host;
    const std::chrono::milliseconds m_wait;
    trace::TraceClient m_client;
    // The running trace's own controls: a trace abandoned for a new one keeps its stop flag.
    std::shared_ptr<trace::TraceControls> m_controls;
    JobRunner<trace::TraceEvent>* m_runner;
    JobId m_trace = 0;
    bool m_startPending = false;

    QLabel* m_targetLabel;
    QLineEdit* edTarget;
    QToolButton* SpeedButton22;
    QToolButton* button1;
    QToolButton* button2;
    QLabel* m_maxHopsLabel;
    QSpinBox* seMaxHops;
    QCheckBox* CheckBox1;
    QToolButton* SpeedButton13;
    QTreeWidget* lvTrace;
    QListWidget* lbLog;
    QMenu* pop_tracert;
    QMenu* Pop_tracert_results;
};

}  // namespace quendrix

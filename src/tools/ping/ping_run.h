// The batch ping run: pings every entry of the ping list a given number of times, one echo
// at a time on a worker of its own, and writes one row per attempt into the result grid
// with the Finished / Successful / Failed counts of the run. The page shows it; the command
// line and the benchmark drive the same object.
#pragma once

#include "core/batch_engine.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quendrix {

namespace net {
class IcmpEcho;
struct EchoResult;
}  // namespace net

class ResultTableModel;
class TargetListModel;

// The fixed request every echo carries (34 bytes, no terminator).
inline constexpr char kPingRequestData[] = "-------Hello,World!---------------";
std::span<const std::uint8_t> PingRequestBytes();

// The result grid's headers, left to right.
QStringList PingGridHeaders();

// Texts of the grid that the run writes and the export reads.
inline const QString kPingRunning = QStringLiteral("Running");
inline const QString kPingFailedStatus = QStringLiteral("X");
inline const QString kPingTimedOut = QStringLiteral("Timed out");
inline const QString kPingUnknownHost = QStringLiteral("Unknown host");
// A reply that came back but does not carry our data.
inline const QString kPingBadReply = QStringLiteral("Bad reply data");
// What an empty cell holds.
inline const QString kPingBlank = QStringLiteral(" ");

// One attempt as the worker sees it: what happened and the two numbers of the reply.
struct PingAttempt {
    enum class Outcome {
        Reply,        // a reply carrying our data: "Running"
        BadReply,     // a reply whose data is not ours: failed, "Bad reply data"
        NoReply,      // a time-out or a failure of the echo service: "Timed out"
        UnknownHost,  // the host does not resolve: "Unknown host", no numbers
    };
    Outcome outcome = Outcome::NoReply;
    std::uint32_t dataSize = 0;
    std::uint32_t roundTripMs = 0;

    bool successful() const { return outcome == Outcome::Reply; }
};

PingAttempt PingAttemptForEcho(const net::EchoResult& result);

// The five cells of an attempt's row: Status, the entry as listed, Bytes, Time(ms), Failed
// Reason; an empty cell holds a single blank.
QStringList PingRowCells(const QString& entry, const PingAttempt& attempt);

// One attempt as the worker hands it over, with the counts after it; or, with an empty entry
// and a notice, the text that says why no echo can be sent.
struct PingHanded {
    QString entry;
    PingAttempt attempt;
    BatchCounters counters;
    QString notice;
};

class PingRun : public BatchEngine<PingHanded> {
    Q_OBJECT
  public:
    static constexpr int kDefaultTimeoutMs = 2500;

    // The list and the grid must outlive this object; the echo service is shared with
    // whoever else owns it.
    PingRun(const TargetListModel& list, ResultTableModel& grid,
            std::shared_ptr<net::IcmpEcho> echo, QObject* parent = nullptr);
    // Stops a running worker and waits for its thread.
    ~PingRun() override;

    // Starts a worker that pings the list into the grid as it stands (the grid is not
    // cleared: continuous cycles append). Counts start at 0. A worker still running is
    // stopped first, so at most one run writes into the grid.
    void start(int pingCount);
    // The time-out of the following entries; any thread. Read by the worker before each
    // entry's first attempt.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeoutMs.store(timeout.count()); }
    std::chrono::milliseconds timeout() const {
        return std::chrono::milliseconds(m_timeoutMs.load());
    }

    // The ping count the last run started with (the export's host groups).
    int lastPingCount() const { return m_lastPingCount; }

  Q_SIGNALS:
    // No ICMP socket can be opened: the text says why and how to fix it. Emitted once for
    // the echo service's life, before the first row that it concerns.
    void echoUnavailable(const QString& notice);

  private:
    bool applyRows(std::span<PingHanded> handed) override;

    const TargetListModel& m_list;
    ResultTableModel& m_grid;
    std::shared_ptr<net::IcmpEcho> m_echo;
    std::atomic<long long> m_timeoutMs{kDefaultTimeoutMs};
    int m_lastPingCount = 2;
};

}  // namespace quendrix

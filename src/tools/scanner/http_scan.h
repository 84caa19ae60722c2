// The website scanner as one component: the download scheduler, the link decisions with their
// sets and filter lists, the start address, the optional results file and the 200 ms timer that
// drives everything. The page and `quendrix-cli scan` each own one, set its properties, listen
// to its events and start, stop or shut it down. Everything here runs on the thread that made
// it (the user-interface thread); only the fetches and the text work on a received body run on
// the scheduler's network thread.
//
// Nothing here lets events run. The only nested event loops are the caller's: the message
// StartScan shows and whatever the working handler opens when a scan ends. The tick guard and
// the start guard keep a timer event or a start from running inside those.
#pragma once

#include "tools/scanner/dwnld.h"
#include "tools/scanner/http_get.h"
#include "tools/scanner/link_analyzer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace quendrix {

class THttpScan : public QObject {
    Q_OBJECT

  public:
    using TOnWorking = std::function<void(bool working)>;
    using TOnHttpScanUpdatedStats = std::function<void(int inQueue, int downloading, int toAnalyze,
                                                       int done, int retries, int errors)>;
    using TScanOnError = std::function<void(const std::string& url, std::uint32_t errorCode,
                                            const std::string& errorMsg)>;
    // How the component shows its three start-up messages (a plain box with an OK button in the
    // window, standard error on the command line). Unset: not shown.
    using TShowMessage = std::function<void(const std::string& text)>;

    static constexpr int kTickMs = 200;
    static constexpr int kShutdownTicks = 10;
    static constexpr const char* kDefaultAgent =
        "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

    // Makes the scheduler (pages only: HtmlOnly), the sets and lists, and starts the timer,
    // which runs for the component's whole life.
    explicit THttpScan(QObject* parent = nullptr);
    ~THttpScan() override;

    // True when the scan runs (or already ran for this address); false after showing
    // "unable to create file: " + name, "no URL specified" or "Invalid Url : " + address.
    // The first address of a scan raises OnWorking(true) before this returns.
    bool StartScan(const std::string& address);
    // True when a stop was asked for now; false when there was nothing to stop.
    bool StopScan();
    // Aborts everything; ten ticks later EndProgram is called. No page, statistics or error
    // reaches the component any more, and OnWorking(false) is not raised before the end.
    void ShutDown();
    bool IsWorking() const { return m_dwnld.Working; }
    bool IsStopping() const { return m_dwnld.Stopping; }
    // Lower-cased; one entry per line (CR, LF or both end a line; not trimmed); sorted, which
    // drops empty lines.
    void SetTypeFilterText(const std::string& text);

    // One timer step at tick count `now` (milliseconds, wrapping). The timer calls it with the
    // component's clock; tests stop the timer and call it with their own.
    void TickAt(std::uint32_t now);
    // The component's clock: milliseconds since it was made.
    std::uint32_t Now() const;
    QTimer& Timer() { return m_timer; }

    // Properties. A setter ignores a value below the minimum the comment gives.
    int TimeOut() const { return m_dwnld.TimeOut; }
    void SetTimeOut(int seconds);  // minimum 10
    // Where the results file is made at a start (nothing when empty). A name with a "/" is kept
    // as it is; any other non-empty name gets the current folder, "/" and "Download/" in front.
    const std::string& FileOfResults() const { return m_fileOfResults; }
    void SetFileOfResults(const std::string& name);
    bool LeavesFirst() const { return m_dwnld.LeavesFirst; }
    void SetLeavesFirst(bool value) { m_dwnld.LeavesFirst = value; }
    const std::string& UserName() const { return m_dwnld.UserName; }
    void SetUserName(const std::string& value) { m_dwnld.UserName = value; }
    const std::string& Password() const { return m_dwnld.Password; }
    void SetPassword(const std::string& value) { m_dwnld.Password = value; }
    const std::string& Agent() const { return m_dwnld.Agent; }
    void SetAgent(const std::string& value) { m_dwnld.Agent = value; }
    // Stored only: each request names the page that linked it.
    std::string Referer;
    const std::string& StartingUrl() const { return m_startingUrl; }
    void SetStartingUrl(const std::string& value) { m_startingUrl = value; }
    // Stored only: each address is fetched on its own port.
    int HttpPort = 80;
    int Retries() const { return m_dwnld.Retries; }
    void SetRetries(int value);  // minimum 1
    TLinkScan LinkScan() const { return m_analyzer.LinkScan; }
    void SetLinkScan(TLinkScan value) { m_analyzer.LinkScan = value; }
    TLinkReport LinkReport() const { return m_analyzer.LinkReport; }
    void SetLinkReport(TLinkReport value) { m_analyzer.LinkReport = value; }
    int DepthSearchLevel() const { return m_analyzer.DepthSearchLevel; }
    void SetDepthSearchLevel(int value);  // minimum 1
    bool TypeFilterEnabled() const { return m_analyzer.TypeFilterEnabled; }
    void SetTypeFilterEnabled(bool value) { m_analyzer.TypeFilterEnabled = value; }
    bool KeywordsFilterEnabled() const { return m_analyzer.KeywordsFilterEnabled; }
    void SetKeywordsFilterEnabled(bool value) { m_analyzer.KeywordsFilterEnabled = value; }
    bool KeywordsLimiterEnabled() const { return m_analyzer.KeywordsLimiterEnabled; }
    void SetKeywordsLimiterEnabled(bool value) { m_analyzer.KeywordsLimiterEnabled = value; }
    TProxyType ProxyType() const { return m_dwnld.ProxyType; }
    void SetProxyType(TProxyType value) { m_dwnld.ProxyType = value; }
    const std::string& ProxyAddress() const { return m_dwnld.ProxyAddress; }
    void SetProxyAddress(const std::string& value) { m_dwnld.ProxyAddress = value; }
    int ProxyPort() const { return m_dwnld.ProxyPort; }
    void SetProxyPort(int value) { m_dwnld.ProxyPort = value; }
    const std::string& ProxyUser() const { return m_dwnld.ProxyUser; }
    void SetProxyUser(const std::string& value) { m_dwnld.ProxyUser = value; }
    const std::string& ProxyPassword() const { return m_dwnld.ProxyPassword; }
    void SetProxyPassword(const std::string& value) { m_dwnld.ProxyPassword = value; }
    int MaxQueueSize() const { return m_analyzer.MaxQueueSize; }
    void SetMaxQueueSize(int value);  // minimum 10
    bool SeekRobotsTxt() const { return m_analyzer.SeekRobotsTxt; }
    void SetSeekRobotsTxt(bool value) { m_analyzer.SeekRobotsTxt = value; }
    int ConcurrentDownloads() const { return m_dwnld.ConcurrentDownloads; }
    // Minimum 1. Also the network thread's limit of connections to one server.
    void SetConcurrentDownloads(int value);

    // Events, raised on the component's thread. OnMetaTag is asked for only while set.
    TOnLinkFound OnLinkFound;
    TOnPageReceived OnPageReceived;
    TOnWorking OnWorking;
    TOnHttpScanUpdatedStats OnUpdatedStats;
    TScanOnError OnError;
    TOnMetaTag OnMetaTag;
    TShowMessage ShowMessage;
    // How the program ends after ShutDown: the application's quit by default.
    std::function<void()> EndProgram;

    // The parts, for tests and benchmarks that look inside.
    TMFDwnld& Scheduler() { return m_dwnld; }
    TLinkAnalyzer& Analyzer() { return m_analyzer; }
    bool ResultsFileOpen() const { return m_results != nullptr; }
    int ShutdownCountdown() const { return m_shutdownCountdown; }

  private:
    void pageReceived(TMFHttpGet& slot);
    void workingChanged(bool working);
    void closeResults();
    void show(const std::string& text);

    TMFDwnld m_dwnld;
    TLinkAnalyzer m_analyzer;
    std::string m_fileOfResults;
    std::string m_startingUrl;
    std::FILE* m_results = nullptr;
    int m_shutdownCountdown = 0;
    bool m_inTick = false;
    bool m_inStart = false;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

}  // namespace quendrix

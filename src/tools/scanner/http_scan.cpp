#include "tools/scanner/http_scan.h"

#include <QCoreApplication>
#include <QDir>

#include <utility>

namespace quendrix {

THttpScan::THttpScan(QObject* parent) : QObject(parent), m_analyzer(m_dwnld) {
    m_dwnld.HtmlOnly = true;
    m_dwnld.ConcurrentDownloads = 6;
    m_dwnld.LeavesFirst = false;
    m_dwnld.Agent = kDefaultAgent;
    m_dwnld.Analyse = AnalysePage;
    m_analyzer.DepthSearchLevel = 3;
    m_analyzer.LinkScan = scanAllLinks;
    m_analyzer.LinkReport = reportAllLinks;

    m_dwnld.OnPageReceived = [this](TMFHttpGet& slot) { pageReceived(slot); };
    m_dwnld.OnStatistics = [this](int inQueue, int downloading, int toAnalyze, int done,
                                  int retries, int errors) {
        if (OnUpdatedStats) {
            OnUpdatedStats(inQueue, downloading, toAnalyze, done, retries, errors);
        }
    };
    m_dwnld.OnError = [this](const std::string& url, std::uint32_t code, const std::string& text) {
        if (OnError) {
            OnError(url, code, text);
        }
    };
    m_dwnld.OnWorking = [this](bool working) { workingChanged(working); };

    EndProgram = [] { QCoreApplication::quit(); };

    m_clock.start();
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { TickAt(Now()); });
    m_timer.start();
}

THttpScan::~THttpScan() {
    m_timer.stop();
    closeResults();
}

std::uint32_t THttpScan::Now() const {
    return static_cast<std::uint32_t>(m_clock.elapsed());
}

bool THttpScan::StartScan(const std::string& address) {
    if (!address.empty()) {
        m_startingUrl = address;
    }
    // A start from inside a start (Enter pressed while its message is shown).
    if (m_inStart) {
        return true;
    }
    m_inStart = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{m_inStart};

    if (!m_dwnld.Stopping && m_results == nullptr && !m_fileOfResults.empty()) {
        m_results = std::fopen(m_fileOfResults.c_str(), "wb");
        if (m_results == nullptr) {
            show("unable to create file: " + m_fileOfResults);
            return false;
        }
        m_analyzer.ResultsFile = [this](const std::string& line) {
            // CR LF, as every text file the program writes.
            if (m_results != nullptr) {
                std::fwrite(line.data(), 1, line.size(), m_results);
                std::fputs("\r\n", m_results);
            }
        };
    }
    if (m_startingUrl.empty()) {
        show("no URL specified");
        return false;
    }
    if (!m_analyzer.StartAddress.Crack(m_startingUrl)) {
        show("Invalid Url : " + m_startingUrl);
        return false;
    }
    const std::string start = m_analyzer.StartAddress.GetUrl();
    if (!m_analyzer.KnownUrls.Locate(start, true).found) {
        m_dwnld.Enqueue(start, start, 0, true, ' ', 0, 1);
    }
    return true;
}

bool THttpScan::StopScan() {
    if (!IsWorking() || IsStopping()) {
        return false;
    }
    closeResults();
    m_dwnld.RequestStop();
    return true;
}

void THttpScan::ShutDown() {
    m_dwnld.Enabled = false;
    m_dwnld.OnPageReceived = nullptr;
    m_dwnld.OnStatistics = nullptr;
    m_dwnld.OnError = nullptr;
    m_dwnld.RequestStop();
    m_shutdownCountdown = kShutdownTicks;
}

void THttpScan::SetTypeFilterText(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    m_analyzer.TypeFilterList.SetText(lower);
    m_analyzer.TypeFilterList.Sort();
}

void THttpScan::TickAt(std::uint32_t now) {
    // A modal box opened by a handler of this tick runs the timer again.
    if (m_inTick) {
        return;
    }
    m_inTick = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{m_inTick};

    if (m_dwnld.Working) {
        m_dwnld.Tick(now);
        if (!m_dwnld.CheckProgress()) {
            m_dwnld.SetWorking(false);
            closeResults();
        }
    }
    if (m_shutdownCountdown > 0) {
        --m_shutdownCountdown;
        if (m_shutdownCountdown == 0 && EndProgram) {
            EndProgram();
        }
    }
}

void THttpScan::SetTimeOut(int seconds) {
    if (seconds >= 10) {
        m_dwnld.TimeOut = seconds;
    }
}

void THttpScan::SetFileOfResults(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) {
        m_fileOfResults = name;
        return;
    }
    m_fileOfResults = QDir::currentPath().toStdString() + "/Download/" + name;
}

void THttpScan::SetRetries(int value) {
    if (value >= 1) {
        m_dwnld.Retries = value;
    }
}

void THttpScan::SetDepthSearchLevel(int value) {
    if (value >= 1) {
        m_analyzer.DepthSearchLevel = value;
    }
}

void THttpScan::SetMaxQueueSize(int value) {
    if (value >= 10) {
        m_analyzer.MaxQueueSize = value;
    }
}

void THttpScan::SetConcurrentDownloads(int value) {
    // The scheduler brings its pool to this at the next tick and gives the network thread the
    // matching limit of connections to one server.
    if (value >= 1) {
        m_dwnld.ConcurrentDownloads = value;
    }
}

void THttpScan::pageReceived(TMFHttpGet& slot) {
    // The handlers as they stand now: a page set them after the component was made.
    m_analyzer.OnLinkFound = OnLinkFound;
    m_analyzer.OnPageReceived = OnPageReceived;
    m_analyzer.OnMetaTag = OnMetaTag;
    m_analyzer.ProcessPage(slot);
}

void THttpScan::workingChanged(bool working) {
    if (OnWorking) {
        OnWorking(working);
    }
    if (!working) {
        m_analyzer.ClearSets();
    }
}

void THttpScan::closeResults() {
    m_analyzer.ResultsFile = nullptr;
    if (m_results != nullptr) {
        std::fclose(m_results);
        m_results = nullptr;
    }
}

void THttpScan::show(const std::string& text) {
    if (ShowMessage) {
        ShowMessage(text);
    }
}

}  // namespace quendrix

// A connection table the tests fill: each read hands out the rows set last, or a failure.
#pragma once

#include "tools/monitor/connection_monitor.h"

#include <mutex>
#include <utility>
#include <vector>

namespace quendrix::monitor::test {

class TableDouble final : public ConnectionSource {
  public:
    void set(std::vector<TTcpConnStatus> rows) {
        std::lock_guard lock(m_mutex);
        m_rows = std::move(rows);
        m_fail = false;
    }
    void failReads() {
        std::lock_guard lock(m_mutex);
        m_fail = true;
    }
    int reads() const {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }
    Result<std::vector<TTcpConnStatus>> read() override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (m_fail) {
            return Error::fromErrno(13);
        }
        return m_rows;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<TTcpConnStatus> m_rows;
    bool m_fail = false;
    int m_reads = 0;
};

inline TTcpConnStatus established(const char* local, const char* localPort, const char* remote,
                                  const char* remotePort) {
    return {QString::fromLatin1(local), QString::fromLatin1(localPort), QString::fromLatin1(remote),
            QString::fromLatin1(remotePort), QStringLiteral("established")};
}

inline TTcpConnStatus listener(const char* local, const char* localPort) {
    return {QString::fromLatin1(local), QString::fromLatin1(localPort), QStringLiteral("..."),
            QStringLiteral("..."), QStringLiteral("listening")};
}

}  // namespace quendrix::monitor::test

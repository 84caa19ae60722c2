// How fluid the Whois page stays while it takes in the largest replies the client accepts:
// one line of 16 MiB, and 200,000 short lines. A server of this program's own on 127.0.0.1
// (a free port) sends the reply and closes; the page is shown (offscreen) and a zero timer
// notes the gaps between event-loop turns from the start of the query until the reply has
// been shown and painted.
//
//   QT_QPA_PLATFORM=offscreen whois_reply_fluidity_bench
#include "net/whois_client.h"
#include "support/event_loop_gaps.h"
#include "support/silent_host.h"
#include "tools/whois/whois_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <thread>

namespace quendrix {
namespace {

// Serves one connection: reads the query line, sends the reply, closes.
class OneReplyServer {
  public:
    explicit OneReplyServer(std::string reply) : m_reply(std::move(reply)) {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        m_ready = m_listen >= 0 &&
                  bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  listen(m_listen, 1) == 0 &&
                  getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        m_port = ntohs(address.sin_port);
        if (m_ready) {
            m_thread = std::thread([this] { serve(); });
        }
    }
    ~OneReplyServer() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_listen >= 0) {
            close(m_listen);
        }
    }
    bool ready() const { return m_ready; }
    std::uint16_t port() const { return m_port; }

  private:
    void serve() {
        // The page connects at once; a minute bounds a run that went wrong.
        pollfd waiting{m_listen, POLLIN, 0};
        if (poll(&waiting, 1, 60000) != 1) {
            return;
        }
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            return;
        }
        std::string query;
        char byte = 0;
        while (query.size() < 4096 &&
               (query.size() < 2 || query.substr(query.size() - 2) != "\r\n") &&
               recv(client, &byte, 1, 0) == 1) {
            query += byte;
        }
        for (std::size_t sent = 0; sent < m_reply.size();) {
            const ssize_t n =
                send(client, m_reply.data() + sent, m_reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
        close(client);
    }

    std::string m_reply;
    int m_listen = -1;
    bool m_ready = false;
    std::uint16_t m_port = 0;
    std::thread m_thread;
};

std::string OneLongLine() {
    return std::string(net::kWhoisReplyLimit - 2, 'x') + "\r\n";
}

std::string ShortLines() {
    std::string reply;
    char line[64];
    for (int i = 0; i < 200000; ++i) {
        const int length =
            std::snprintf(line, sizeof line, "Line %06d:        value of the line\r\n", i);
        reply.append(line, static_cast<std::size_t>(length));
    }
    return reply;
}

void BM_WhoisReplyFluidity(benchmark::State& state) {
    const std::string reply = state.range(0) == 0 ? OneLongLine() : ShortLines();
    for (auto _ : state) {
        OneReplyServer server(reply);
        if (!server.ready()) {
            state.SkipWithError("cannot listen on 127.0.0.1");
            return;
        }
        bench::SilentHost host;
        WhoisPage page(host, nullptr, server.port());
        page.resize(880, 600);
        page.show();
        page.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
        page.findChild<QComboBox*>(QStringLiteral("edit10"))
            ->setEditText(QStringLiteral("127.0.0.1"));
        page.findChild<QLineEdit*>(QStringLiteral("edDomain"))
            ->setText(QStringLiteral("example.com"));
        QApplication::processEvents();

        bench::EventLoopGaps gaps;
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!page.querying()) {
                poll.stop();
                // A little longer, so that the view lays the reply out and paints it.
                QTimer::singleShot(300, &loop, &QEventLoop::quit);
            }
        });
        gaps.start();
        page.whois_start_buttonClick();
        poll.start();
        loop.exec();
        const double seconds = gaps.stop();
        state.SetIterationTime(seconds);
        state.counters["lines"] = static_cast<double>(page.resultLines().size());
        state.counters["bytes"] = static_cast<double>(reply.size());
        gaps.report(state);
    }
}
BENCHMARK(BM_WhoisReplyFluidity)
    ->ArgName("short_lines")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix

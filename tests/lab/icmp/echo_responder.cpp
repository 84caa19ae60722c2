// A slow, noisy echo responder for the ICMP lab. Run inside a lab namespace whose kernel does
// not answer echoes (net.ipv4.icmp_echo_ignore_all=1). For every echo request to --listen it
// sends at once three decoy replies carrying other data:
//   - from --listen with another identifier (another process's reply),
//   - from --listen with the previous sequence number (a late reply to an earlier request),
//   - from --decoy-source with the right identifier and sequence (another host's reply),
// and after --delay-ms the true reply echoing the request's data.
// It ends after --max-seconds, or when killed; it writes --ready-file once it listens.
//
//   echo_responder --listen A --decoy-source B --delay-ms N --max-seconds S --ready-file PATH
#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct PendingReply {
    Clock::time_point due;
    std::uint32_t to;
    std::uint16_t identifier;
    std::uint16_t sequence;
    std::vector<std::uint8_t> data;
};

std::uint16_t checksum(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        sum +=
            static_cast<std::uint32_t>(bytes[i] << 8) + (i + 1 < bytes.size() ? bytes[i + 1] : 0u);
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

void sendReply(int fd, std::uint32_t to, std::uint16_t identifier, std::uint16_t sequence,
               const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> m = {0,
                                   0,
                                   0,
                                   0,
                                   static_cast<std::uint8_t>(identifier >> 8),
                                   static_cast<std::uint8_t>(identifier),
                                   static_cast<std::uint8_t>(sequence >> 8),
                                   static_cast<std::uint8_t>(sequence)};
    m.insert(m.end(), data.begin(), data.end());
    const std::uint16_t sum = checksum(m);
    m[2] = static_cast<std::uint8_t>(sum >> 8);
    m[3] = static_cast<std::uint8_t>(sum);
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = to;
    if (sendto(fd, m.data(), m.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
               sizeof destination) < 0) {
        std::perror("echo_responder: sendto");
    }
}

std::vector<std::uint8_t> bytesOf(const char* text) {
    return std::vector<std::uint8_t>(text, text + std::strlen(text));
}

int rawSocketFrom(std::uint32_t source) {
    int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("echo_responder: socket");
        std::exit(1);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = source;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
        std::perror("echo_responder: bind");
        std::exit(1);
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    std::string listenText, decoyText, readyFile;
    int delayMs = 300;
    int maxSeconds = 120;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--listen") {
            listenText = argv[i + 1];
        } else if (option == "--decoy-source") {
            decoyText = argv[i + 1];
        } else if (option == "--delay-ms") {
            delayMs = std::atoi(argv[i + 1]);
        } else if (option == "--max-seconds") {
            maxSeconds = std::atoi(argv[i + 1]);
        } else if (option == "--ready-file") {
            readyFile = argv[i + 1];
        }
    }
    in_addr listenAddress{}, decoyAddress{};
    if (inet_pton(AF_INET, listenText.c_str(), &listenAddress) != 1 ||
        inet_pton(AF_INET, decoyText.c_str(), &decoyAddress) != 1) {
        std::fprintf(stderr,
                     "usage: %s --listen A --decoy-source B [--delay-ms N] "
                     "[--max-seconds S] [--ready-file PATH]\n",
                     argv[0]);
        return 2;
    }

    // The listening socket takes the requests and sends the replies that come from --listen.
    const int mainSocket = rawSocketFrom(listenAddress.s_addr);
    icmp_filter filter{};
    filter.data = ~(1u << ICMP_ECHO);
    setsockopt(mainSocket, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    const int decoySocket = rawSocketFrom(decoyAddress.s_addr);
    if (!readyFile.empty()) {
        std::ofstream(readyFile) << "ready\n";
    }

    const auto end = Clock::now() + std::chrono::seconds(maxSeconds);
    std::deque<PendingReply> pending;  // due times only grow: the delay is fixed
    std::vector<std::uint8_t> buffer(65536);
    while (Clock::now() < end) {
        while (!pending.empty() && Clock::now() >= pending.front().due) {
            const PendingReply& reply = pending.front();
            sendReply(mainSocket, reply.to, reply.identifier, reply.sequence, reply.data);
            pending.pop_front();
        }
        auto wakeAt = pending.empty() ? end : std::min(end, pending.front().due);
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - Clock::now());
        pollfd fd{mainSocket, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(std::max<long>(wait.count() + 1, 0))) <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(mainSocket, buffer.data(), buffer.size(), 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 20) {
            continue;
        }
        const std::size_t headerSize = static_cast<std::size_t>(buffer[0] & 0x0f) * 4;
        std::uint32_t destination = 0;
        std::memcpy(&destination, &buffer[16], 4);
        if (destination != listenAddress.s_addr || static_cast<std::size_t>(n) < headerSize + 8 ||
            buffer[headerSize] != ICMP_ECHO) {
            continue;
        }
        const std::uint8_t* icmp = &buffer[headerSize];
        const auto identifier = static_cast<std::uint16_t>((icmp[4] << 8) | icmp[5]);
        const auto sequence = static_cast<std::uint16_t>((icmp[6] << 8) | icmp[7]);
        std::vector<std::uint8_t> data(icmp + 8,
                                       static_cast<const std::uint8_t*>(buffer.data() + n));
        const std::uint32_t to = from.sin_addr.s_addr;

        sendReply(mainSocket, to, static_cast<std::uint16_t>(identifier ^ 0x5a5a), sequence,
                  bytesOf("decoy: another identifier"));
        sendReply(mainSocket, to, identifier, static_cast<std::uint16_t>(sequence - 1),
                  bytesOf("decoy: an earlier sequence"));
        sendReply(decoySocket, to, identifier, sequence, bytesOf("decoy: another source"));
        pending.push_back({Clock::now() + std::chrono::milliseconds(delayMs), to, identifier,
                           sequence, std::move(data)});
    }
    close(decoySocket);
    close(mainSocket);
    return 0;
}

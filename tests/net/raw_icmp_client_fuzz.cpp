// Fuzz target for what the trace client makes of a received datagram: any bytes, after twelve
// bytes that give the probe it waits for (identifier, sequence number and tick count as the
// request carried them, then the target's address in network order). The bytes are read as a
// raw socket hands them over and as a datagram socket does. Nothing may raise an error, and a
// match must describe the bytes given and answer that probe. Built with libFuzzer under clang;
// otherwise the entry point replays the seed files.
#include "net/raw_icmp_client.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quendrix::net::ReplyStatusKind;
    constexpr std::size_t kProbeSize = 12;
    if (size < kProbeSize) {
        return 0;
    }
    quendrix::net::EchoProbe probe;
    probe.identifier = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    probe.sequence = static_cast<std::uint16_t>(data[2] | data[3] << 8);
    probe.tickCount = static_cast<std::uint32_t>(data[4] | data[5] << 8 | data[6] << 16 |
                                                 static_cast<std::uint32_t>(data[7]) << 24);
    std::memcpy(&probe.target, data + 8, sizeof probe.target);
    const std::span<const std::uint8_t> datagram(data + kProbeSize, size - kProbeSize);

    if (const auto reply = quendrix::net::readReply(datagram, probe)) {
        const quendrix::net::TReplyStatus& status = *reply;
        const bool kindFitsType =
            (status.msgType == 0 && status.replyStatusType == ReplyStatusKind::EchoReply) ||
            (status.msgType == 3 &&
             status.replyStatusType == ReplyStatusKind::DestinationUnreachable) ||
            (status.msgType == 11 && status.replyStatusType == ReplyStatusKind::TimeToLiveExceeded);
        if (!kindFitsType || status.sequenceId != probe.sequence ||
            status.bytesReceived != static_cast<std::int32_t>(datagram.size()) ||
            status.timeToLive != datagram[8]) {
            std::abort();
        }
    }

    // The same bytes as a datagram socket's message, the kernel's identifier being the probe's.
    quendrix::net::IcmpReceived received;
    received.size = datagram.size();
    const auto wireIdentifier =
        static_cast<std::uint16_t>((probe.identifier >> 8) | (probe.identifier << 8));
    if (const auto reply =
            quendrix::net::readDatagramReply(datagram, received, wireIdentifier, probe)) {
        if (reply->replyStatusType != ReplyStatusKind::EchoReply || reply->msgType != 0 ||
            reply->sequenceId != probe.sequence || datagram.size() < 12 ||
            std::memcmp(datagram.data() + 8, data + 4, 4) != 0) {
            std::abort();
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"

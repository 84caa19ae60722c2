// Fuzz target for what the trace client makes of a received datagram: any bytes, after four
// bytes that choose the identifier and sequence it waits for. A match must describe the bytes
// given, and every failure must be one of the two texts the user may be shown. Built with
// libFuzzer under clang; otherwise the entry point replays the seed files.
#include "net/raw_icmp_client.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quendrix::net::ReplyStatusKind;
    if (size < 4) {
        return 0;
    }
    const auto identifier = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    const auto sequence = static_cast<std::uint16_t>(data[2] | data[3] << 8);
    const std::span<const std::uint8_t> datagram(data + 4, size - 4);
    const auto reply = quendrix::net::readReply(datagram, identifier, sequence);
    if (!reply) {
        const std::string& text = reply.error().text;
        if (text != "Not enough bytes received" && text != "Non-echo type response received") {
            std::abort();
        }
        return 0;
    }
    if (!reply->has_value()) {
        return 0;
    }
    const quendrix::net::TReplyStatus& status = **reply;
    const bool kindFitsType =
        (status.msgType == 0 && status.replyStatusType == ReplyStatusKind::EchoReply) ||
        (status.msgType == 3 &&
         status.replyStatusType == ReplyStatusKind::DestinationUnreachable) ||
        (status.msgType == 11 && status.replyStatusType == ReplyStatusKind::TimeToLiveExceeded);
    if (!kindFitsType || status.sequenceId != sequence ||
        status.bytesReceived != static_cast<std::int32_t>(datagram.size()) ||
        status.timeToLive != datagram[8]) {
        std::abort();
    }
    return 0;
}

#include "support/fuzz_replay_main.h"

// How GoogleTest prints the raw ICMP client's reply status in a failure: the fields, not the
// bytes. Shared by the client's unit and lab tests.
#pragma once

#include "net/raw_icmp_client.h"

#include <ostream>

namespace quendrix::net {

inline void PrintTo(const TReplyStatus& s, std::ostream* out) {
    *out << "{kind " << static_cast<int>(s.replyStatusType) << ", from " << s.fromIpAddress
         << ", type " << int{s.msgType} << ", " << s.bytesReceived << " bytes, TTL "
         << int{s.timeToLive} << ", sequence " << s.sequenceId << ", " << s.msRoundTripTime
         << " ms}";
}

}  // namespace quendrix::net

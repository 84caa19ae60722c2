// A netlink dump: one request to the kernel and the datagrams of its answer, read until the
// dump's end, with each message handed to the caller. The walker over one received datagram is
// a plain function over bytes, so tests and fuzzers drive it with crafted messages. Shared by
// the TCP table (sock_diag) and the network information (routes).
#pragma once

#include "net/file_descriptor.h"
#include "net/result.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace quendrix::net {

// Called with each message of the answer that is not netlink's own (done, error, no-op,
// overrun): its type and its payload (the bytes after the message header, as long as the
// message says). A failure ends the walk and is its result.
using NetlinkMessageHandler =
    std::function<Result<void>(std::uint16_t type, std::span<const std::uint8_t> payload)>;

// Walks the messages of one received datagram of the dump answering the request with sequence
// number `sequence` (messages with another number are skipped) and hands each to `onMessage`.
// True once the dump's end (NLMSG_DONE) was read. Fails with Malformed or Truncated for bytes
// that do not form netlink messages, with System and the kernel's errno when the kernel
// answered with an error (also one at the end of a dump that failed part-way), and with
// ENOBUFS when the kernel lost messages (an overrun).
Result<bool> walkNetlinkDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                 const NetlinkMessageHandler& onMessage);

// A netlink socket of `protocol` (NETLINK_ROUTE, NETLINK_SOCK_DIAG) with a receive time-out.
Result<FileDescriptor> openNetlinkSocket(int protocol);

// Sends a dump request of `type` with the body `request` (the message after the netlink header;
// the header is filled here) as number `sequence`, and reads the answer into `buffer` (kept by
// the caller between dumps) until the dump ends, handing every message to `onMessage`.
Result<void> runNetlinkDump(int socket, std::uint16_t type, std::span<const std::uint8_t> request,
                            std::uint32_t sequence, std::vector<std::uint8_t>& buffer,
                            const NetlinkMessageHandler& onMessage);

// Reads the attributes (rtattr) that follow a message's fixed part in `bytes`, handing each
// attribute's type and data to `onAttribute`. Fails with Malformed for an attribute whose
// length is shorter than its header or reaches beyond `bytes`.
Result<void> walkNetlinkAttributes(
    std::span<const std::uint8_t> bytes,
    const std::function<void(std::uint16_t type, std::span<const std::uint8_t> data)>& onAttribute);

}  // namespace quendrix::net

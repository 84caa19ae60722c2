// Fuzz target for the reply splitter: any bytes. The lines hold no LF, are never empty, and
// joined with the LFs they lost give the input with its runs of LF collapsed.
#include "tools/whois/whois_text.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArrayList lines = quendrix::SplitWhoisReply(reply);
    QByteArray collapsed;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        if (reply.at(i) != '\n' || (!collapsed.isEmpty() && !collapsed.endsWith('\n'))) {
            collapsed.append(reply.at(i));
        }
    }
    if (collapsed.endsWith('\n')) {
        collapsed.chop(1);
    }
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || line.contains('\n')) {
            std::abort();
        }
    }
    if (lines.join('\n') != collapsed) {
        std::abort();
    }
    return 0;
}

#include "support/fuzz_replay_main.h"

// Fuzz target for reading a Firefox session store: the input as a mozLz4 file (header, size,
// LZ4 block) and, since a fuzzer rarely makes a valid block, also as the session's JSON itself.
// A page found must come out as a reply "URL","TITLE" that the reply rules take apart.
// Built with libFuzzer in the fuzz build; elsewhere the seeds are replayed as a test.
#include "core/browser_address.h"
#include "core/firefox_session.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void checkReply(const std::optional<QString>& reply) {
    if (!reply) {
        return;
    }
    if (reply->size() < 5 || !reply->startsWith(QLatin1Char('"')) ||
        !reply->endsWith(QLatin1Char('"')) || !reply->contains(QLatin1String("\",\""))) {
        std::abort();
    }
    const QString address = quendrix::BrowserAddressFromReply(*reply);
    (void)quendrix::HostFromAddress(address);
    (void)quendrix::AddressWithoutScheme(address);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quendrix::firefox;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A smaller cap than the reader's keeps each run quick; the checks before it are the same.
    if (const auto json = DecodeMozLz4(bytes, 1024 * 1024)) {
        checkReply(WindowInfoFromSessionJson(*json));
    }
    checkReply(WindowInfoFromSessionJson(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))));
    return 0;
}

#include "support/fuzz_replay_main.h"

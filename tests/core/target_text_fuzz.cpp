// Fuzz target for the target-text parsers: reduction, the typed-address check and the list
// file splitter. Built with libFuzzer under clang; with other compilers the same entry point
// replays the seed files given on the command line, so the seeds run as an ordinary test.
#include "core/target.h"
#include "core/target_list_model.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromLocal8Bit(bytes);

    const QString host = quendrix::ReduceTarget(text);
    // The host never keeps a slash or outer blanks, and reducing it again changes nothing.
    if (host.contains(QLatin1Char('/')) || quendrix::TrimBlanks(host) != host ||
        quendrix::ReduceTarget(host) != host) {
        std::abort();
    }
    if (const auto octets = quendrix::ParseDottedAddress(text)) {
        for (const int octet : *octets) {
            if (octet < 0 || octet > 255) {
                std::abort();
            }
        }
    } else if (octets.code() == quendrix::ErrorCode::InvalidInput && octets.error().text.empty()) {
        std::abort();  // an unreadable part is always named
    }
    const QStringList lines = quendrix::SplitTargetLines(bytes);
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))) {
            std::abort();
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"

// Fuzz target for the owner table's look-up: the same text, read as UTF-8 and as UTF-16,
// must give the same owner, and the look-up functions must give that owner in both encodings.
// Built with libFuzzer in the fuzz build; elsewhere the seeds are replayed as a test.
#include "core/owner_table.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quendrix::whereis;
    const std::string_view utf8(reinterpret_cast<const char*>(data), size);
    // Invalid sequences become U+FFFD, which like any other non-ASCII byte is no digit or
    // dot: the two readings can only differ through a fault in one of them.
    const QString utf16 = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));

    const OwnerText& fromUtf8 = ownerTable().lookup(utf8);
    const OwnerText& fromUtf16 = ownerTable().lookup(QStringView(utf16));
    if (!(fromUtf8 == fromUtf16) || fromUtf8.utf8 != fromUtf16.utf8) {
        std::abort();
    }
    // An owner's two encodings are the same text.
    if (QString::fromUtf8(fromUtf8.utf8.data(), static_cast<qsizetype>(fromUtf8.utf8.size())) !=
        fromUtf8.toQString()) {
        std::abort();
    }
    if (LookupOwner(utf8) != fromUtf8.utf8 ||
        LookupOwner(QStringView(utf16)) != fromUtf8.toQString()) {
        std::abort();
    }
    return 0;
}

#include "support/fuzz_replay_main.h"

// Fuzz target for the ways the Batch Ping fills its list: a typed address alone or with its
// neighbourhood (which the converter builds the same way), and an address range. Input: one
// flag byte (bit 0: neighbourhood), one size byte, then the lines "address", "prefix", "from"
// and "to". Built with libFuzzer in the fuzz build; elsewhere the seeds are replayed as a test.
#include "core/errors.h"
#include "core/target.h"
#include "tools/ping/ping_list.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

using quendrix::PingListFill;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The 32-bit value of dotted text without leading zeros ("10.0.0.1"), else nullopt.
std::optional<std::int64_t> canonicalValue(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const int octet = part.toInt(&ok);
        if (!ok || octet < 0 || octet > 255 || QString::number(octet) != part) {
            return std::nullopt;
        }
        value = value * 256 + octet;
    }
    return value;
}

void checkAddressList(const QString& typed, bool neighbourhood, int size) {
    const PingListFill fill = quendrix::PingAddressList(typed, neighbourhood, size);
    if (fill.outcome == PingListFill::Outcome::NotANumber) {
        check(!fill.message.isEmpty() && fill.entries.isEmpty());
        return;  // a part that is no whole number: the general error report
    }
    std::optional<std::array<int, 4>> octets;
    if (!typed.isEmpty()) {
        if (const auto parsed = quendrix::ParseDottedAddress(typed)) {
            octets = *parsed;
        }
    }
    if (typed.isEmpty()) {
        check(fill.outcome == PingListFill::Outcome::NothingTyped && fill.entries.isEmpty());
        return;
    }
    if (!octets) {
        check(fill.outcome == PingListFill::Outcome::BadAddress && !fill.replacesList());
        return;
    }
    if (!neighbourhood) {
        check(fill.outcome == PingListFill::Outcome::Filled && fill.entries == QStringList{typed});
        return;
    }
    // size + 1 consecutive addresses centred on the typed one, cut at 255.255.255.255, none
    // at all when they would reach 0.0.0.0.
    const std::int64_t address = (std::int64_t{(*octets)[0]} << 24) |
                                 (std::int64_t{(*octets)[1]} << 16) |
                                 (std::int64_t{(*octets)[2]} << 8) | (*octets)[3];
    const std::int64_t half = size / 2;
    check(fill.replacesList());
    if (address - half <= 0) {
        check(fill.outcome == PingListFill::Outcome::BelowZero && fill.entries.isEmpty());
        return;
    }
    const std::int64_t last = std::min<std::int64_t>(address + half, 0xFFFFFFFF);
    check((fill.outcome == PingListFill::Outcome::PastTheEnd) == (address + half > 0xFFFFFFFF));
    check(fill.entries.size() == last - (address - half) + 1);
    std::int64_t expected = address - half;
    for (const QString& entry : fill.entries) {
        check(canonicalValue(entry) == expected);
        ++expected;
    }
}

void checkRangeList(const QString& prefix, const QString& from, const QString& to) {
    const PingListFill fill = quendrix::PingRangeList(prefix, from, to);
    const auto first = quendrix::ReadWholeNumber(from);
    const auto last = quendrix::ReadWholeNumber(to);
    if (!first || !last) {
        check(fill.outcome == PingListFill::Outcome::NotWholeNumber && !fill.replacesList());
        return;
    }
    if (*first < 0 || *first > 255 || *last < 0 || *last > 255) {
        check(fill.outcome == PingListFill::Outcome::NumberOutside && !fill.replacesList());
        return;
    }
    check(fill.outcome == PingListFill::Outcome::Filled);
    check(fill.entries.size() == (*first <= *last ? *last - *first + 1 : 0));
    long long k = *first;
    for (const QString& entry : fill.entries) {
        check(entry == prefix + QLatin1Char('.') + QString::number(k));
        ++k;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool neighbourhood = (data[0] & 1) != 0;
    // Every size up to 255, odd ones included: the page passes its box's number as it reads.
    const int neighbourhoodSize = data[1];
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2))
            .split(QLatin1Char('\n'));
    const auto line = [&lines](qsizetype i) { return i < lines.size() ? lines[i] : QString(); };

    checkAddressList(line(0), neighbourhood, neighbourhoodSize);
    checkRangeList(line(1), line(2), line(3));
    return 0;
}

#include "support/fuzz_replay_main.h"

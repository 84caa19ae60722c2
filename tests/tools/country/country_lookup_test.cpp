// The country look-up of one target and the batch over a live list: rows in list order with
// look-ups running ahead, edits seen from the next entry on, the in-flight bound, and stop.
// Only literal addresses and localhost are resolved here; names are the lab test's.
#include "tools/country/country_lookup.h"
#include "tools/country/owner_table.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace quendrix::whereis {
namespace {

using namespace std::chrono_literals;

TEST(LookupTarget, ReducesResolvesAndLooksUp) {
    const struct {
        const char* target;
        const char* owner;
    } cases[] = {
        {"57.1.2.3", "France"},
        {"  http://52.0.0.1/path/page.htm ", "Germany"},
        {"HTTP://61.8.0.1", "Australia"},
        {"13.1.1.1", "Xerox Palo Alto Research Center, CA (NET-XEROX-NET) "},
        {"175.1.1.1", "X"},  // resolves, but the table has nothing for 173 to 191
        {"200.53.0.1", "X"},
        {"localhost", "United States"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LookupTarget(QString::fromUtf8(c.target)), QString::fromUtf8(c.owner))
            << c.target;
    }
}

// A list the test can change while a batch reads it, as the page's list can.
class LiveList {
  public:
    explicit LiveList(QStringList entries) : m_entries(std::move(entries)) {}
    BatchSource source() {
        return {[this] {
                    std::lock_guard lock(m_mutex);
                    return static_cast<int>(m_entries.size());
                },
                [this](int position) -> std::optional<QString> {
                    std::lock_guard lock(m_mutex);
                    if (position >= m_entries.size()) {
                        return std::nullopt;
                    }
                    return m_entries.at(position);
                }};
    }
    void edit(int position, const QString& entry) {
        std::lock_guard lock(m_mutex);
        m_entries[position] = entry;
    }
    void append(const QString& entry) {
        std::lock_guard lock(m_mutex);
        m_entries.append(entry);
    }
    void truncate(int size) {
        std::lock_guard lock(m_mutex);
        m_entries.resize(size);
    }

  private:
    std::mutex m_mutex;
    QStringList m_entries;
};

// Everything a batch reported, in order: "take <entry>" and "row <entry>=<owner> s/f".
struct Recorder {
    BatchEvents events(std::function<void(const BatchRow&)> after = {}) {
        return {[this](int position, const QString& entry) {
                    log << QStringLiteral("take %1 %2").arg(position).arg(entry);
                },
                [this, after](const BatchRow& row) {
                    rows.push_back(row);
                    log << QStringLiteral("row %1 %2=%3 %4/%5")
                               .arg(row.position)
                               .arg(row.entry, row.owner)
                               .arg(row.successfulCount)
                               .arg(row.failedCount);
                    if (after) {
                        after(row);
                    }
                }};
    }
    QStringList log;
    std::vector<BatchRow> rows;
};

QStringList literalAddresses(int count) {
    QStringList entries;
    for (int i = 0; i < count; ++i) {
        // Spread over first octets with owners, sub-tables and empty slots.
        entries << QStringLiteral("%1.%2.0.1").arg((i * 37) % 256).arg((i * 11) % 256);
    }
    return entries;
}

TEST(BatchLookup, RowsFollowTheListOneByOneOrAhead) {
    const QStringList entries = literalAddresses(300);
    for (const int resolvers : {1, 8, BatchOptions().resolvers}) {
        LiveList list(entries);
        Recorder recorder;
        BatchOptions options;
        options.resolvers = resolvers;
        RunBatchLookup(list.source(), recorder.events(), std::stop_token(), options);

        QStringList expected;
        int successful = 0;
        int failed = 0;
        for (int i = 0; i < entries.size(); ++i) {
            const QString owner = LookupOwner(QStringView(entries.at(i)));
            (owner == QStringLiteral("X") ? failed : successful) += 1;
            expected << QStringLiteral("take %1 %2").arg(i).arg(entries.at(i))
                     << QStringLiteral("row %1 %2=%3 %4/%5")
                            .arg(i)
                            .arg(entries.at(i), owner)
                            .arg(successful)
                            .arg(failed);
        }
        EXPECT_EQ(recorder.log, expected) << "resolvers " << resolvers;
        EXPECT_GT(failed, 0);
        EXPECT_GT(successful, 0);
    }
}

// A look-up whose entry says how long it takes ("slow:40"), counting look-ups in flight.
struct TimedLookup {
    QString operator()(const QString& entry) {
        const int now = ++*inFlight;
        int seen = maxInFlight->load();
        while (now > seen && !maxInFlight->compare_exchange_weak(seen, now)) {
        }
        const int ms = entry.section(QLatin1Char(':'), 1).toInt();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        --*inFlight;
        return QStringLiteral("owner of ") + entry;
    }
    std::shared_ptr<std::atomic<int>> inFlight = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> maxInFlight = std::make_shared<std::atomic<int>>(0);
};

TEST(BatchLookup, LookUpsFinishingOutOfOrderAreReportedInOrderWithinTheBound) {
    QStringList entries;
    for (int i = 0; i < 40; ++i) {
        // Earlier entries take longer, so later ones finish first.
        entries << QStringLiteral("e%1:%2").arg(i).arg((40 - i) % 8 * 5);
    }
    LiveList list(entries);
    Recorder recorder;
    TimedLookup lookup;
    BatchOptions options;
    options.resolvers = 4;
    options.lookup = lookup;
    RunBatchLookup(list.source(), recorder.events(), std::stop_token(), options);

    ASSERT_EQ(recorder.rows.size(), entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(recorder.rows[i].position, i);
        EXPECT_EQ(recorder.rows[i].owner, QStringLiteral("owner of ") + entries.at(i));
    }
    EXPECT_LE(lookup.maxInFlight->load(), 4);
    EXPECT_GE(lookup.maxInFlight->load(), 2);
}

TEST(BatchLookup, EditsDuringTheRunAreSeenFromTheNextEntryOn) {
    const QStringList original = literalAddresses(12);
    LiveList list(original);
    Recorder recorder;
    std::mutex mutex;
    QStringList looked;  // entries whose look-up has finished
    BatchOptions options;
    options.resolvers = 8;
    options.lookup = [&](const QString& entry) {
        const QString owner = LookupTarget(entry);
        std::lock_guard lock(mutex);
        looked << entry;
        return owner;
    };
    const auto lookedUp = [&](const QString& entry) {
        std::lock_guard lock(mutex);
        return looked.contains(entry);
    };
    RunBatchLookup(list.source(), recorder.events([&](const BatchRow& row) {
        if (row.position == 1) {
            // Positions 5 and 6 have been looked up ahead; then they are edited.
            while (!lookedUp(original.at(5)) || !lookedUp(original.at(6))) {
                std::this_thread::sleep_for(1ms);
            }
            list.edit(5, QStringLiteral("57.9.9.9"));      // France
            list.edit(6, QStringLiteral(" 52.1.1.1/a "));  // Germany
            list.append(QStringLiteral("61.128.0.1"));     // China
        }
        if (row.position == 9) {
            list.truncate(11);
        }
    }),
                   std::stop_token(), options);

    ASSERT_EQ(recorder.rows.size(), 11u);  // 12 + 1 - 2: the list ended at its new length
    EXPECT_NE(LookupOwner(QStringView(original.at(5))), QStringLiteral("France"));
    EXPECT_EQ(recorder.rows[5].entry, QStringLiteral("57.9.9.9"));
    EXPECT_EQ(recorder.rows[5].owner, QStringLiteral("France"));
    EXPECT_EQ(recorder.rows[6].entry, QStringLiteral(" 52.1.1.1/a "));
    EXPECT_EQ(recorder.rows[6].owner, QStringLiteral("Germany"));
    EXPECT_EQ(recorder.rows[10].owner, LookupOwner(QStringView(original.at(10))));
}

TEST(BatchLookup, NothingIsReportedAfterAStop) {
    // Stop seen between two entries.
    LiveList list(literalAddresses(50));
    Recorder recorder;
    std::stop_source stop;
    RunBatchLookup(list.source(), recorder.events([&](const BatchRow& row) {
        if (row.position == 3) {
            stop.request_stop();
        }
    }),
                   stop.get_token());
    EXPECT_EQ(recorder.rows.size(), 4u);
    EXPECT_TRUE(recorder.log.constLast().startsWith(QStringLiteral("row 3 ")));

    // Stop while the batch waits for a look-up that is still blocked in the pool: the batch
    // reports nothing for it and returns once the blocked look-up has come back.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<bool> slowStarted = false;
    BatchOptions options;
    options.resolvers = 4;
    options.lookup = [&](const QString& entry) {
        if (entry == QStringLiteral("slow")) {
            slowStarted = true;
            std::unique_lock lock(mutex);
            released.wait(lock, [&] { return release; });
        }
        return entry;
    };
    LiveList blocked(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("slow"),
                                 QStringLiteral("c")});
    Recorder second;
    std::atomic<int> rowsDone = 0;
    std::stop_source stop2;
    std::thread batch([&] {
        RunBatchLookup(blocked.source(), second.events([&](const BatchRow&) { ++rowsDone; }),
                       stop2.get_token(), options);
    });
    while (!slowStarted || rowsDone < 2) {
        std::this_thread::sleep_for(1ms);
    }
    stop2.request_stop();
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    batch.join();
    EXPECT_EQ(second.log, (QStringList{QStringLiteral("take 0 a"), QStringLiteral("row 0 a=a 1/0"),
                                       QStringLiteral("take 1 b"), QStringLiteral("row 1 b=b 2/0"),
                                       QStringLiteral("take 2 slow")}));
}

}  // namespace
}  // namespace quendrix::whereis

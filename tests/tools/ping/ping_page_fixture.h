// A Batch Ping page on a fake host with its own ICMP echo service, and the look-ups a page
// test needs: controls by name, the grid's rows, the counters, the wait for a run.
#pragma once

#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "net/icmp_echo.h"
#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/grid_rows.h"
#include "tools/ping/ping_page.h"
#include "tools/ping/ping_run.h"

#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace quendrix::test {

class PingPageFixture : public ::testing::Test {
  protected:
    template <typename Widget = QWidget>
    Widget* child(const char* name) const {
        auto* widget = page.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString label(const char* name) const {
        auto* widget = child<QLabel>(name);
        return widget != nullptr ? widget->text() : QString();
    }
    bool startEnabled() const { return child<QToolButton>("ping_start_button")->isEnabled(); }
    void setList(const QStringList& entries) {
        page.list()->model()->replaceAll(entries);
        page.list()->showCount();
    }
    QStringList entries() const { return page.list()->model()->entries(); }
    // Every result row as "Status|entry|Bytes|Time|Reason".
    QStringList rows() const { return GridRows(*page.grid()); }
    // Status and entry of every row, "Status|entry", for runs whose times vary.
    QStringList outcomes() const {
        QStringList out;
        for (const QString& row : rows()) {
            out.append(row.section(QLatin1Char('|'), 0, 1));
        }
        return out;
    }
    // "Finished/Successful/Failed", blank labels left blank.
    QString counters() const {
        return label("Label33") + QLatin1Char('/') + label("Label20") + QLatin1Char('/') +
               label("Label30");
    }
    void waitForRun(int timeoutMs = 60000) {
        ASSERT_TRUE(page.run()->waitForIdle(timeoutMs)) << "the run did not end";
    }
    bool haveSocket() { return !echo->unavailableReason().has_value(); }

    FakeHost host;
    std::shared_ptr<net::IcmpEcho> echo = std::make_shared<net::IcmpEcho>();
    PingPage page{host, echo};
};

}  // namespace quendrix::test

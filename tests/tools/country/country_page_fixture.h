// A Country Lookup page on a fake host, with the look-ups a page test needs: controls and
// label texts by name, the grid's columns and its trailing row, a batch run to its end.
#pragma once

#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/grid_rows.h"
#include "tools/country/country_grid_model.h"
#include "tools/country/country_page.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace quendrix::test {

class CountryPageFixture : public ::testing::Test {
  protected:
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page, name);
    }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
    // Runs a batch over entries to its end.
    void runBatch(const QStringList& entries, int timeoutMs = 20000) {
        page.list()->model()->replaceAll(entries);
        page.whereis_startClick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page.batchRunning(); }, timeoutMs));
        QTest::qWait(20);  // the grid shows written rows at the end of the turn
    }
    QStringList column(int c) { return GridColumn(*page.grid(), c); }
    // A cell of the trailing row, where the entry being looked up stands.
    QString extraRowCell(int c) {
        const auto* model = page.grid();
        return model->data(model->index(model->rowCount() - 1, c), Qt::DisplayRole).toString();
    }

    FakeHost host;
    CountryPage page{host};
};

}  // namespace quendrix::test

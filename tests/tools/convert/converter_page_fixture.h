// A converter page on a fake host, with the look-ups a page test needs: its labels and
// buttons by name, the grid's rows, the list, and a wait for the batch to end.
#pragma once

#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/grid_rows.h"
#include "tools/convert/batch_conversion.h"
#include "tools/convert/converter_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix::test {

class ConverterPageFixture : public ::testing::Test {
  protected:
    QString label(const char* name) const {
        auto* widget = page.findChild<QLabel*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget != nullptr ? widget->text() : QString();
    }
    // The page's own control of that name (the list's add dialog has an Edit1 too).
    template <typename T>
    T* control(const char* name) const {
        for (T* widget : page.findChildren<T*>(QLatin1String(name))) {
            if (widget->window() == &page) {
                return widget;
            }
        }
        ADD_FAILURE() << "no control " << name;
        return nullptr;
    }
    QToolButton* button(const char* name) const {
        auto* widget = page.findChild<QToolButton*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void setList(const QStringList& entries) {
        page.list()->model()->replaceAll(entries);
        page.list()->showCount();
    }
    // Every result row as "left|right".
    QStringList rows() const { return GridRows(*page.grid()); }
    // The three counters as "finished/successful/failed" (blank labels stay blank).
    QString counters() const {
        return label("Label18") + QLatin1Char('/') + label("Label16") + QLatin1Char('/') +
               label("Label17");
    }
    void waitForBatch(int timeoutMs = 120000) {
        ASSERT_TRUE(page.batch()->waitForIdle(timeoutMs)) << "the batch did not end";
    }
    // Address to name with the neighbourhood of the given size; waits for both jobs.
    void convertNeighbourhood(const QString& address, const QString& size) {
        control<QLineEdit>("ip_edit")->setText(address);
        control<QCheckBox>("CheckBox3")->setChecked(true);
        control<QComboBox>("ComboBox3")->setCurrentText(size);
        page.iptoname_buttonClick();
        waitForBatch();
        EXPECT_TRUE(WaitUntil([this] { return button("iptoname_button")->isEnabled(); }, 30000));
    }

    FakeHost host;
    ConverterPage page{host};
};

}  // namespace quendrix::test

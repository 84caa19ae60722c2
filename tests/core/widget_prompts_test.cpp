// The real message box tells OK apart from a box closed without it: Escape and the window's
// close button must not read as OK, though Qt makes the lone OK button the escape button.
#include "core/widgets/widget_prompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// Shows a box through the real prompts and, once it is up, ends it the given way.
bool EndBox(const std::function<void(QMessageBox&)>& end) {
    QWidget parent;
    WidgetPrompts prompts(&parent);
    bool ended = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible() && !ended) {
            ended = true;
            end(*box);
        }
    });
    poll.start(10);
    const bool ok =
        prompts.message(QStringLiteral("caption"), QStringLiteral("text"), Prompts::Icon::Warning);
    EXPECT_TRUE(ended);
    return ok;
}

TEST(WidgetPrompts, MessageReportsWhetherOkWasPressed) {
    const struct {
        const char* how;
        std::function<void(QMessageBox&)> end;
        bool ok;
    } cases[] = {
        {"OK clicked", [](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); }, true},
        {"Enter", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, true},
        {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
        {"closed", [](QMessageBox& box) { box.close(); }, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EndBox(c.end), c.ok) << c.how;
    }
}

}  // namespace
}  // namespace quendrix

// Window captions as the X server holds them: exactly the given caption, nothing appended.
#include "app/main_window.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/target_list_panel.h"
#include "core/widgets/widget_prompts.h"
#include "support/http_global_init.h"
#include "support/recording_prompts.h"
#include "tools/convert/converter_page.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// The window's name property on the X server (_NET_WM_NAME), as xprop prints it.
QString ServerTitle(QWidget* window) {
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_WM_NAME"});
    if (!xprop.waitForFinished(10000)) {
        return "(xprop did not answer)";
    }
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype first = line.indexOf('"');
    const qsizetype last = line.lastIndexOf('"');
    return first >= 0 && last > first ? line.mid(first + 1, last - first - 1) : line;
}

QString ShownTitle(QWidget* window) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    return ServerTitle(window);
}

// The caption of a modal message box shown through the real prompts, read while it is up.
QString MessageTitle(const QString& caption) {
    QWidget parent;
    WidgetPrompts prompts(&parent);
    QString title = "(no box)";
    int polls = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && box->isVisible() && box->windowHandle()->isExposed()) {
            title = ServerTitle(box);
            box->close();
        } else if (++polls > 500) {
            poll.stop();  // gives up after about ten seconds; the box stays to fail the test
        }
    });
    poll.start(20);
    prompts.message(caption, "text", Prompts::Icon::Warning);
    return title;
}

class X11Captions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") {
            GTEST_SKIP() << "needs the X11 platform: run through tests/app/under-xvfb";
        }
    }
};

TEST_F(X11Captions, WindowsAndDialogsKeepTheirOwnCaption) {
    QTemporaryDir dir;
    test::RecordingPrompts recording;
    MainWindowOptions options;
    options.executableDirectory = dir.path();
    options.settingsFiles = {dir.filePath("settings.ini"), dir.filePath("settings.ini")};
    options.prompts = &recording;
    Tmain window(options);
    EXPECT_EQ(ShownTitle(&window).toStdString(), "Quendrix");

    auto* converter = qobject_cast<ConverterPage*>(window.page(0));
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(ShownTitle(converter->list()->addDialog()).toStdString(), "Add");
    converter->list()->addDialog()->hide();
    EXPECT_EQ(ShownTitle(converter->list()->updateDialog()).toStdString(), "Update");
    converter->list()->updateDialog()->hide();
    EXPECT_EQ(ShownTitle(converter->exportDialog()).toStdString(), "Choose");
    converter->exportDialog()->hide();

    EXPECT_EQ(MessageTitle("Vantrell").toStdString(), "Vantrell");
    EXPECT_EQ(MessageTitle("Error").toStdString(), "Error");
    // X11 never shows an empty title: the program's name stands in.
    EXPECT_EQ(MessageTitle(QString()).toStdString(), "Quendrix");
}

}  // namespace
}  // namespace quendrix

// Closing the window while the website scanner crawls a site of the HTTP fixture on 127.0.0.1:
// the question, Cancel keeping the scan, Yes shutting the scanner down and ending the program
// without the settings write, Exit ending it right after the answer, and a scan being stopped
// letting the close go ahead with the settings written. The scanner's timer is stopped and
// ticked by the test; the program's end is recorded, not carried out.
#include "app/main_window.h"
#include "support/fake_host.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"
#include "support/recording_prompts.h"
#include "support/scan_tick.h"
#include "tools/scanner/scanner_page.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

class ScannerCloseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        site.script("/", HttpReply::Html(200, "<a href=never.html>N</a>"));
        site.script("/never.html", HttpReply::Never());
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kSettings);
        file.close();
        open();
    }
    void open(bool recordEnd = true) {
        window.reset();
        MainWindowOptions options;
        options.executableDirectory = dir.path();
        options.settingsFiles = {settingsPath(), settingsPath()};
        options.prompts = &prompts;
        options.browser = std::make_shared<test::FakeBrowser>();  // no browser running
        if (recordEnd) {
            options.endProgram = [this] { ++ends; };
        }
        window = std::make_unique<Tmain>(options);
        window->show();
        window->showPage(5);
        page = qobject_cast<ScannerPage*>(window->page(5));
        ASSERT_NE(page, nullptr);
        scan().Timer().stop();
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    QByteArray settings() const {
        QFile file(settingsPath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    THttpScan& scan() { return page->HttpScan1(); }
    void tick() { test::TickScan(scan(), now, 200ms); }
    // Starts the scan and ticks until the page that never answers is asked for.
    void startScan() {
        page->findChild<QLineEdit*>(QStringLiteral("Edit111"))
            ->setText(QString::fromStdString(site.hostPort()));
        page->Button22Click();
        for (int ticks = 0; site.requests().size() < 2; ++ticks) {
            ASSERT_LT(ticks, 100);
            tick();
        }
        ASSERT_TRUE(scan().IsWorking());
    }
    int questions() const {
        int count = 0;
        for (const auto& prompt : prompts.recorded) {
            count += prompt.kind == QStringLiteral("yescancel") &&
                     prompt.text == QStringLiteral("Website Scanner is working, exit or not?");
        }
        return count;
    }

    static constexpr const char* kSettings = "[scanner]\nConcurrentDownloads=12\n[tab]\ntab=2\n";
    HttpFixture site;
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Tmain> window;
    ScannerPage* page = nullptr;
    int ends = 0;
    std::uint32_t now = 1000;
};

TEST_F(ScannerCloseTest, CancelKeepsScanningAndYesEndsTheProgramWithoutTheSettings) {
    startScan();
    prompts.answers = {Prompts::Answer::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(questions(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(scan().IsWorking());
    EXPECT_FALSE(scan().IsStopping());
    EXPECT_EQ(settings(), QByteArray(kSettings));

    prompts.answers = {Prompts::Answer::Yes};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(questions(), 2);
    EXPECT_TRUE(scan().IsStopping());
    // The end comes ten ticks (two seconds) later.
    for (int i = 1; i < THttpScan::kShutdownTicks; ++i) {
        tick();
    }
    EXPECT_EQ(ends, 0);
    tick();
    EXPECT_EQ(ends, 1);
    // Whatever closes the window after that writes no settings and asks nothing.
    EXPECT_TRUE(window->close());
    EXPECT_EQ(questions(), 2);
    EXPECT_EQ(settings(), QByteArray(kSettings));
}

TEST_F(ScannerCloseTest, ExitEndsTheProgramRightAfterTheAnswer) {
    for (const Prompts::Answer answer : {Prompts::Answer::Cancel, Prompts::Answer::Yes}) {
        open();
        ends = 0;
        prompts.answers = {answer};
        startScan();
        window->Exit1Click();
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(settings(), QByteArray(kSettings));
    }
    EXPECT_EQ(questions(), 2);
}

// The program's own end, in a running event loop: Exit leaves it after one question. (A quit
// request would ask the window to close again, and, refused, would not end the loop at all.)
TEST_F(ScannerCloseTest, ExitLeavesTheEventLoopAfterOneQuestion) {
    open(false);
    startScan();
    prompts.answers = {Prompts::Answer::Cancel, Prompts::Answer::Cancel};
    QTimer::singleShot(0, window.get(), [this] { window->Exit1Click(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(questions(), 1);
    EXPECT_EQ(settings(), QByteArray(kSettings));
}

// The same for Yes with the scanner's own timer: the program's loop ends about two seconds
// after the answer, and the settings stay as they were.
TEST_F(ScannerCloseTest, YesEndsTheRunningProgramAboutTwoSecondsLater) {
    open(false);
    startScan();
    prompts.answers = {Prompts::Answer::Yes};
    scan().Timer().start();
    QElapsedTimer clock;
    QTimer::singleShot(0, window.get(), [this, &clock] {
        clock.start();
        EXPECT_FALSE(window->close());
    });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_GE(clock.elapsed(), (THttpScan::kShutdownTicks - 1) * THttpScan::kTickMs);
    EXPECT_EQ(questions(), 1);
    EXPECT_EQ(settings(), QByteArray(kSettings));
}

TEST_F(ScannerCloseTest, AfterStopTheCloseGoesAheadAndWritesTheSettings) {
    // Read at start-up; kept in the file, never written by the program.
    EXPECT_EQ(scan().ConcurrentDownloads(), 12);
    startScan();
    page->Button11Click();
    ASSERT_TRUE(scan().IsStopping());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(questions(), 0);
    EXPECT_TRUE(settings().contains("tab=5")) << settings().toStdString();
    EXPECT_TRUE(settings().contains("[scanner]\nConcurrentDownloads=12\n"))
        << settings().toStdString();
    EXPECT_EQ(ends, 0);
}

}  // namespace
}  // namespace quendrix

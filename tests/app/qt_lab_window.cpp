// The window program's whole run on a lab host under an X server: the real start-up, real
// offers in the report view, three Refresh clicks and every offer they bring, the About window,
// and screenshots of both.
// Run by lab_window.sh on the client host; ORVANE_TEST_ARTIFACTS names the folder for its files.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/helper_link.h"
#include "app/qt/shell.h"
#include "app/resources/resource_ids.h"
#include "app/startup.h"
#include "qt_test_support.h"

namespace {

QString artifact(const char* name)
{
    return qEnvironmentVariable("ORVANE_TEST_ARTIFACTS") + QLatin1Char('/') + QLatin1String(name);
}

QString proc_status(const char* field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(field)) return QString::fromLatin1(line.mid(qstrlen(field))).trimmed();
    return {};
}

void save(const QPixmap& picture, const char* name)
{
    EXPECT_FALSE(picture.isNull()) << name;
    EXPECT_TRUE(picture.save(artifact(name))) << name;
}

void write_text(const char* name, const QString& text)
{
    QFile file(artifact(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toLatin1());
}

TEST(QtLabWindow, ShowsRealOffersFromBothServersAndKeepsScreenshots)
{
    const QString server = qEnvironmentVariable("ORVANE_TEST_SERVER_IP");
    const QString relay = qEnvironmentVariable("ORVANE_TEST_RELAY_IP");
    const QString upstream = qEnvironmentVariable("ORVANE_TEST_UPSTREAM_IP");
    ASSERT_FALSE(server.isEmpty() || relay.isEmpty() || upstream.isEmpty());

    QElapsedTimer since_start;
    since_start.start();
    const StartupOutcome outcome = start_up();
    ASSERT_EQ(outcome.failed_step, StartupStep::none) << startup_failure_line(outcome);
    // Root keeps its other rights; none that opens a socket, which the helper holds.
    for (const char* field : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:", "CapBnd:"})
        EXPECT_EQ(proc_status(field).toULongLong(nullptr, 16) & ((1ull << 10) | (1ull << 13)), 0u) << field;

    EXPECT_EQ(play({[&] {
                        // Both servers answer the first request: two blocks, one of them relayed.
                        const bool both = wait_until(
                            [&] {
                                const QString text = main_text(IDC_LOG);
                                return text.count(QStringLiteral("-------------------------\n")) >= 2;
                            },
                            20000);
                        const QString text = main_text(IDC_LOG);
                        write_text("report_first.txt", text);
                        write_text("first_blocks_ms.txt", QString::number(since_start.elapsed()));
                        ASSERT_TRUE(both) << text.toStdString();
                        EXPECT_TRUE(text.contains(QStringLiteral("Packet from %1 \n Offered IP ").arg(server)))
                            << text.toStdString();
                        EXPECT_TRUE(text.contains(
                            QStringLiteral("Packet from %1 \n Relayed by %2 \n Offered IP ").arg(upstream, relay)))
                            << text.toStdString();
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("1"));
                        EXPECT_EQ(main_text(IDC_RECEIVED), QStringLiteral("2"));
                        QTest::qWait(300);
                        save(main_window()->grab(), "main_window.png");
                        for (int i = 0; i < 3; ++i) click(main_control(IDC_REFRESH));
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("4"));
                        // Both servers answer every request; the script holds LogFile against all eight offers.
                        EXPECT_TRUE(wait_until([] { return main_text(IDC_RECEIVED) == QStringLiteral("8"); }, 20000))
                            << main_text(IDC_RECEIVED).toStdString() << " received";
                        click(main_control(IDC_ABOUT));
                    },
                    [] {
                        ASSERT_EQ(about_windows().size(), 1u);
                        QWidget* about = about_windows()[0];
                        QTest::qWait(500);
                        save(about->grab(), "about_window.png");
                        save(QGuiApplication::primaryScreen()->grabWindow(0), "screen.png");
                        main_window()->close();
                    }},
                   40000),
              0);
}

}  // namespace

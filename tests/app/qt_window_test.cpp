// The Qt shell driven as a user would, in a network namespace of the test's own: the main
// window's counts and commands, the report view's caret, the About windows and their runs,
// the close paths, and the program orvane itself (exit statuses, capabilities, a flood).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTextStream>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

#include "app/dialog_layout.h"
#include "app/qt/shell.h"
#include "app/reply_capture.h"
#include "app/report_output.h"
#include "app/resources/resource_ids.h"
#include "net/network.h"
#include "qt_test_support.h"

using namespace std::chrono_literals;

namespace {

const QString kSeparator = QStringLiteral("-------------------------\n");

class QtWindow : public testing::Test {
protected:
    void SetUp() override
    {
        if (!in_private_network()) GTEST_SKIP() << "needs root, for a network namespace of the test's own";
        std::remove("LogFile");
        open_endpoints();
    }

    void TearDown() override
    {
        if (!in_private_network()) return;
        EXPECT_TRUE(wait_for_receiver_threads(2000ms)) << "a receiver thread outlived its run";
        close_udp_endpoint(app_state.request_endpoint);
        close_udp_endpoint(app_state.reply_endpoint);
    }

    // As start-up does, without dropping the test's own capabilities (later cases bind again).
    static void open_endpoints()
    {
        reset_app_state();
        ASSERT_EQ(start_network(app_state.socket_library_state), 0);
        app_state.request_endpoint = open_udp_endpoint(kDhcpServerPort);
        app_state.reply_endpoint = open_udp_endpoint(kDhcpClientPort);
        ASSERT_NE(app_state.request_endpoint, kNoEndpoint);
        ASSERT_NE(app_state.reply_endpoint, kNoEndpoint);
    }

    static void reopen_endpoints()
    {
        ASSERT_TRUE(wait_for_receiver_threads(2000ms));
        close_udp_endpoint(app_state.request_endpoint);
        close_udp_endpoint(app_state.reply_endpoint);
        open_endpoints();
    }

    // The requests sent so far: the limited broadcast is routed back onto the request endpoint.
    static std::vector<QByteArray> take_sent_requests()
    {
        std::vector<QByteArray> requests;
        char buffer[2048];
        ssize_t length;
        while ((length = recv(static_cast<int>(app_state.request_endpoint), buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            requests.emplace_back(buffer, static_cast<qsizetype>(length));
        return requests;
    }

    static void close_main()
    {
        main_window()->close();
    }
};

QString block(const char* server, const char* relay, const char* offered)
{
    QString text = QStringLiteral("Packet from %1 \n").arg(QLatin1String(server));
    if (relay != nullptr) text += QStringLiteral(" Relayed by %1 \n").arg(QLatin1String(relay));
    if (offered != nullptr) text += QStringLiteral(" Offered IP %1 \n").arg(QLatin1String(offered));
    return text + kSeparator;
}

bool received_shows(int count)
{
    return wait_until([count] { return main_text(IDC_RECEIVED) == QString::number(count); });
}

// --- The main window ------------------------------------------------------------------------

TEST_F(QtWindow, OpensAtTheTopLeftWithOneRequestSentAndNothingReceived)
{
    EXPECT_EQ(play({[] {
                        QWidget* window = main_window();
                        ASSERT_NE(window, nullptr);
                        EXPECT_TRUE(window->isVisible());
                        EXPECT_EQ(window->windowTitle(), QStringLiteral("Orvane Version 1.0"));
                        EXPECT_EQ(window->frameGeometry().topLeft(),
                                  QGuiApplication::primaryScreen()->geometry().topLeft());
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("1"));
                        EXPECT_EQ(main_text(IDC_RECEIVED), QStringLiteral("0"));
                        EXPECT_EQ(main_text(IDC_LOG), QString());
                        EXPECT_EQ(app_state.stop_flag.load(), 0);
                        EXPECT_EQ(app_state.report_view.load(), static_cast<void*>(report_view()));
                        const auto sent = take_sent_requests();
                        ASSERT_EQ(sent.size(), 1u);
                        EXPECT_EQ(sent[0].size(), 548);
                    },
                    [] { close_main(); }}),
              0);
    EXPECT_EQ(app_state.stop_flag.load(), 1);
}

TEST_F(QtWindow, ThreeRefreshClicksSendThreeMoreIdenticalRequests)
{
    EXPECT_EQ(play({[] {
                        for (int i = 0; i < 3; ++i) click(main_control(IDC_REFRESH));
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("4"));
                        const auto sent = take_sent_requests();
                        ASSERT_EQ(sent.size(), 4u);
                        for (const QByteArray& request : sent) EXPECT_EQ(request, sent[0]);
                    },
                    [] { close_main(); }}),
              0);
}

// As the Windows dialog manager does: the focused button is the default one while it has the focus,
// so Enter clicks it as Space does; with the focus anywhere else Enter clicks nothing.
TEST_F(QtWindow, EnterClicksTheFocusedButtonAndNothingElse)
{
    struct Row {
        const char* name;
        int focus;  // a button, or IDC_LOG for the report view
        Qt::Key key;
        const char* sent;  // Packets Sent afterwards
        bool cleared;
    };
    const Row rows[] = {
        {"Return on Refresh", IDC_REFRESH, Qt::Key_Return, "2", false},
        {"keypad Enter on Refresh", IDC_REFRESH, Qt::Key_Enter, "2", false},
        {"Space on Refresh", IDC_REFRESH, Qt::Key_Space, "2", false},
        {"Return on Clear", IDC_CLEAR, Qt::Key_Return, "1", true},
        {"Return in the report view", IDC_LOG, Qt::Key_Return, "1", false},
        {"keypad Enter in the report view", IDC_LOG, Qt::Key_Enter, "1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(play({[&] {
                            QWidget* window = main_window();
                            window->activateWindow();
                            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
                            report_view()->setPlainText(QStringLiteral("kept\n"));
                            QWidget* target = main_control(row.focus);
                            target->setFocus();
                            ASSERT_TRUE(wait_until([&] { return target->hasFocus(); }));
                            for (const int id : {IDC_REFRESH, IDC_CLEAR, IDC_ABOUT})
                                EXPECT_EQ(static_cast<QPushButton*>(main_control(id))->isDefault(), id == row.focus)
                                    << id;
                            // The key goes where the keyboard focus is, as a person's would.
                            ASSERT_EQ(QApplication::focusWidget(), target);
                            QTest::keyClick(QApplication::focusWidget(), row.key);
                            EXPECT_EQ(main_text(IDC_SENT), QLatin1String(row.sent));
                            EXPECT_EQ(main_text(IDC_LOG).isEmpty(), row.cleared);
                            EXPECT_TRUE(about_windows().empty());
                        },
                        [] { close_main(); }}),
                  0);
        reopen_endpoints();
    }
    // Enter on About opens the About window.
    EXPECT_EQ(play({[] {
                        main_window()->activateWindow();
                        ASSERT_TRUE(QTest::qWaitForWindowActive(main_window()));
                        main_control(IDC_ABOUT)->setFocus();
                        ASSERT_TRUE(wait_until([] { return QApplication::focusWidget() == main_control(IDC_ABOUT); }));
                        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                    },
                    [] {
                        EXPECT_EQ(about_windows().size(), 1u);
                        close_main();
                    }}),
              0);
}

TEST_F(QtWindow, RepliesRaiseTheCountAndAddTheirBlocks)
{
    struct Row {
        const char* name;
        Ipv4Address server, offered, relay;
        QString expected;
    };
    const std::vector<Row> rows = {
        {"direct offer",
         {192, 168, 1, 1},
         {192, 168, 1, 57},
         {0, 0, 0, 0},
         block("192.168.1.1", nullptr, "192.168.1.57")},
        {"relayed offer",
         {192, 168, 3, 1},
         {192, 168, 4, 7},
         {192, 168, 77, 2},
         block("192.168.3.1", "192.168.77.2", "192.168.4.7")},
        {"no offer, no relay", {0, 0, 0, 0}, {0, 1, 2, 3}, {0, 9, 9, 9}, block("0.0.0.0", nullptr, nullptr)},
    };
    EXPECT_EQ(play({[&] {
                        QString expected;
                        int count = 0;
                        for (const Row& row : rows) {
                            send_to_reply_port(make_reply(row.server, row.offered, row.relay));
                            expected += row.expected;
                            ASSERT_TRUE(received_shows(++count)) << row.name;
                            ASSERT_TRUE(wait_until([&] { return main_text(IDC_LOG) == expected; }))
                                << row.name << ": " << main_text(IDC_LOG).toStdString();
                        }
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("1"));
                    },
                    [] { close_main(); }}),
              0);
}

TEST_F(QtWindow, ClearEmptiesTheViewKeepsBothCountsAndTheNextBlockStartsAtTheTop)
{
    EXPECT_EQ(
        play({[] {
                  send_to_reply_port(make_reply({192, 168, 1, 1}, {192, 168, 1, 50}, {0, 0, 0, 0}));
                  ASSERT_TRUE(received_shows(1));
                  click(main_control(IDC_REFRESH));
                  ASSERT_TRUE(
                      wait_until([] { return main_text(IDC_LOG) == block("192.168.1.1", nullptr, "192.168.1.50"); }));
                  click(main_control(IDC_CLEAR));
                  EXPECT_EQ(main_text(IDC_LOG), QString());
                  EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("2"));
                  EXPECT_EQ(main_text(IDC_RECEIVED), QStringLiteral("1"));
                  send_to_reply_port(make_reply({192, 168, 1, 2}, {0, 0, 0, 0}, {0, 0, 0, 0}));
                  ASSERT_TRUE(received_shows(2));
                  EXPECT_TRUE(wait_until([] { return main_text(IDC_LOG) == block("192.168.1.2", nullptr, nullptr); }))
                      << main_text(IDC_LOG).toStdString();
              },
              [] { close_main(); }}),
        0);
}

TEST_F(QtWindow, ABlockLandsAtTheCaretAndReplacesTheSelection)
{
    const QString first = block("192.168.1.1", nullptr, "192.168.1.57");
    const QString second = block("192.168.9.9", nullptr, nullptr);
    struct Row {
        const char* name;
        int anchor, position;  // in the first block; equal for a plain caret
    };
    const int line_two = static_cast<int>(first.indexOf(QLatin1Char('\n'))) + 1;
    const int line_three = static_cast<int>(first.indexOf(QLatin1Char('\n'), line_two)) + 1;
    const Row placed[] = {{"caret clicked at the start of the second line", line_two, line_two},
                          {"caret clicked in the middle of a line", 5, 5},
                          {"second line selected", line_two, line_three}};
    for (const Row& row : placed) {
        SCOPED_TRACE(row.name);
        std::remove("LogFile");
        EXPECT_EQ(play({[&] {
                            send_to_reply_port(make_reply({192, 168, 1, 1}, {192, 168, 1, 57}, {0, 0, 0, 0}));
                            ASSERT_TRUE(wait_until([&] { return main_text(IDC_LOG) == first; }));
                            QPlainTextEdit* view = report_view();
                            // Put the caret there as a person would: a click on the character.
                            QTextCursor at(view->document());
                            at.setPosition(row.anchor);
                            const QPoint point = view->cursorRect(at).center();
                            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
                            ASSERT_EQ(view->textCursor().position(), row.anchor);
                            if (row.position != row.anchor) {
                                QTextCursor selection = view->textCursor();
                                selection.setPosition(row.position, QTextCursor::KeepAnchor);
                                view->setTextCursor(selection);
                            }
                            send_to_reply_port(make_reply({192, 168, 9, 9}, {0, 0, 0, 0}, {0, 0, 0, 0}));
                            const QString expected = first.left(row.anchor) + second + first.mid(row.position);
                            EXPECT_TRUE(wait_until([&] { return main_text(IDC_LOG) == expected; }))
                                << main_text(IDC_LOG).toStdString();
                            EXPECT_EQ(view->textCursor().position(), row.anchor + second.size());
                        },
                        [] { close_main(); }}),
                  0);
        reopen_endpoints();
    }
}

// --- The About window -------------------------------------------------------------------------

TEST_F(QtWindow, AboutOpensHidesReopensAndLeavesTheMainWindowWorking)
{
    QWidget* first_about = nullptr;
    EXPECT_EQ(play({[] { click(main_control(IDC_ABOUT)); },
                    [&] {
                        // Inside the first About window's run.
                        const auto abouts = about_windows();
                        ASSERT_EQ(abouts.size(), 1u);
                        first_about = abouts[0];
                        EXPECT_TRUE(first_about->isVisible());
                        EXPECT_EQ(first_about->frameGeometry().topLeft(),
                                  QGuiApplication::primaryScreen()->geometry().topLeft());
                        EXPECT_TRUE(main_window()->isEnabled());
                        click(main_control(IDC_REFRESH));
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("2"));
                        send_to_reply_port(make_reply({192, 168, 1, 1}, {192, 168, 1, 5}, {0, 0, 0, 0}));
                        ASSERT_TRUE(received_shows(1));
                        ASSERT_TRUE(wait_until([] { return main_text(IDC_LOG).endsWith(kSeparator); }));
                        click(main_control(IDC_CLEAR));
                        EXPECT_EQ(main_text(IDC_LOG), QString());
                        first_about->close();
                    },
                    [&] {
                        // Closed means hidden: the window and its run are still there.
                        ASSERT_EQ(about_windows().size(), 1u);
                        EXPECT_FALSE(first_about->isVisible());
                        click(main_control(IDC_REFRESH));
                        EXPECT_EQ(main_text(IDC_SENT), QStringLiteral("3"));
                        click(main_control(IDC_ABOUT));
                    },
                    [&] {
                        const auto abouts = about_windows();
                        ASSERT_EQ(abouts.size(), 2u);
                        QWidget* second = abouts[0] == first_about ? abouts[1] : abouts[0];
                        EXPECT_TRUE(second->isVisible());
                        EXPECT_FALSE(first_about->isVisible());
                        close_main();
                    }}),
              0);
    EXPECT_TRUE(about_windows().empty()) << "every About window ends with the quit request";
}

TEST_F(QtWindow, ClosingTheMainWindowEndsEveryRunWhetherAboutIsShownOrHidden)
{
    for (const bool hide_first : {false, true}) {
        SCOPED_TRACE(hide_first ? "About hidden" : "About shown");
        EXPECT_EQ(play({[] { click(main_control(IDC_ABOUT)); }, [] { click(main_control(IDC_ABOUT)); },
                        [hide_first] {
                            ASSERT_EQ(about_windows().size(), 2u);
                            if (hide_first)
                                for (QWidget* about : about_windows()) about->close();
                        },
                        [] { close_main(); }}),
                  0);
        EXPECT_TRUE(about_windows().empty());
        reopen_endpoints();
    }
}

TEST_F(QtWindow, AboutShowsTheTemplatesTextsAndThePictureAtItsOwnSize)
{
    EXPECT_EQ(play({[] { click(main_control(IDC_ABOUT)); },
                    [] {
                        ASSERT_EQ(about_windows().size(), 1u);
                        QWidget* about = about_windows()[0];
                        EXPECT_EQ(find_dialog_control(about, IDC_EMAIL)->property("text").toString(),
                                  QStringLiteral("Email Me"));
                        EXPECT_EQ(find_dialog_control(about, IDC_DONATE)->property("text").toString(),
                                  QStringLiteral("Donate"));
                        QStringList texts;
                        QSize picture;
                        for (QLabel* label : about->findChildren<QLabel*>()) {
                            if (!label->pixmap().isNull())
                                picture = label->size();
                            else
                                texts << label->text();
                        }
                        EXPECT_EQ(picture, QSize(89, 85));
                        EXPECT_TRUE(texts.contains(QLatin1String(kAppealText))) << texts.join('|').toStdString();
                        EXPECT_TRUE(texts.contains(QStringLiteral("Brix")));
                        // Clicking the buttons hands the targets over and leaves every run going.
                        click(find_dialog_control(about, IDC_EMAIL));
                        click(find_dialog_control(about, IDC_DONATE));
                        EXPECT_TRUE(about->isVisible());
                        EXPECT_TRUE(main_window()->isVisible());
                    },
                    [] { close_main(); }}),
              0);
}

// The platform's launcher gets url.toEncoded(): it must be the target, byte for byte.
TEST(QtShellTargets, SurviveQtsUrlHandlingByteForByte)
{
    for (const char* target : {kMailLink, kDonationAddress}) {
        const QUrl url = QUrl::fromEncoded(QByteArray(target), QUrl::TolerantMode);
        EXPECT_TRUE(url.isValid()) << target;
        EXPECT_EQ(url.toEncoded().toStdString(), std::string(target));
    }
    EXPECT_NE(std::string(kDonationAddress).find("%40"), std::string::npos);
    EXPECT_EQ(std::string(kDonationAddress).find('?'), std::string::npos);
}

// Needs a real desktop platform (xcb under Xvfb): offscreen has no launcher at all.
TEST_F(QtWindow, AboutButtonsRunTheDesktopsOpenCommandWithTheExactTargets)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "runs under Xvfb only";
    char folder[] = "/tmp/orvane-xdg.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const QString record = QString::fromLatin1(folder) + QStringLiteral("/record");
    QFile script(QString::fromLatin1(folder) + QStringLiteral("/xdg-open"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#:$1\" >>'%1'\n").arg(record).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QByteArray(folder) + ":" + qgetenv("PATH"));
    auto recorded = [&] {
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly)) return QStringList();
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    EXPECT_EQ(play({[] { click(main_control(IDC_ABOUT)); },
                    [&] {
                        QWidget* about = about_windows().at(0);
                        click(find_dialog_control(about, IDC_EMAIL));
                        ASSERT_TRUE(wait_until([&] { return recorded().size() == 1; }));
                        click(find_dialog_control(about, IDC_DONATE));
                        ASSERT_TRUE(wait_until([&] { return recorded().size() == 2; }));
                    },
                    [] { close_main(); }}),
              0);
    EXPECT_EQ(recorded(), QStringList({QStringLiteral("1:") + QLatin1String(kMailLink),
                                       QStringLiteral("1:") + QLatin1String(kDonationAddress)}));
    std::system((std::string("rm -rf ") + folder).c_str());
}

// --- Output operations and the close paths -----------------------------------------------------

TEST_F(QtWindow, OutputOperationsDoNothingWhileNoWindowExists)
{
    auto call_all = [] {
        show_received_count(7);
        append_report_line("Packet from 1.2.3.4 \r\n");
    };
    auto from_another_thread = [&] {
        auto done = std::async(std::launch::async, call_all);
        return done.wait_for(1s) == std::future_status::ready;
    };
    call_all();
    EXPECT_TRUE(from_another_thread()) << "before the window opened";
    EXPECT_EQ(play({[] { close_main(); }}), 0);
    call_all();
    EXPECT_TRUE(from_another_thread()) << "after the window closed";
}

TEST_F(QtWindow, CountsShowAsUnsignedDecimals)
{
    EXPECT_EQ(play({[] {
                        show_received_count(-1);
                        EXPECT_EQ(main_text(IDC_RECEIVED), QStringLiteral("4294967295"));
                        show_received_count(2147483647);
                        EXPECT_EQ(main_text(IDC_RECEIVED), QStringLiteral("2147483647"));
                    },
                    [] { close_main(); }}),
              0);
}

TEST_F(QtWindow, TerminationSignalsTakeTheClosePath)
{
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        EXPECT_EQ(play({[signal_number] { raise(signal_number); }}, 5000), 0);
        EXPECT_EQ(app_state.stop_flag.load(), 1);
        reopen_endpoints();
    }
}

TEST_F(QtWindow, CloseUnderAFloodEndsPromptlyAndLogsOnlyWholeDatagrams)
{
    std::atomic<bool> flooding{true};
    std::thread flooder([&] {
        const auto reply = make_reply({192, 168, 1, 1}, {192, 168, 1, 99}, {0, 0, 0, 0}, 300);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(kDhcpClientPort);
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        while (flooding.load())
            sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        close(fd);
    });
    QElapsedTimer closing;
    EXPECT_EQ(play({[] {
                        ASSERT_TRUE(wait_until([] { return main_text(IDC_RECEIVED).toInt() >= 50; }, 10000))
                            << main_text(IDC_RECEIVED).toStdString() << " received";
                    },
                    [&] {
                        closing.start();
                        close_main();
                    }}),
              0);
    const qint64 elapsed = closing.elapsed();
    EXPECT_LT(elapsed, 1000) << "the run took " << elapsed << " ms to end";
    EXPECT_TRUE(wait_for_receiver_threads(1000ms));
    flooding.store(false);
    flooder.join();
    const qint64 logged = QFile(QStringLiteral("LogFile")).size();
    EXPECT_GT(logged, 0);
    EXPECT_EQ(logged % 300, 0) << "a datagram was cut short in LogFile";
    const qint64 whole = logged / 300;
    EXPECT_TRUE(app_state.received_count == whole || app_state.received_count == whole + 1)
        << app_state.received_count << " received, " << whole << " logged";
}

// --- Port 68 held by another program: the replies through the packet socket ------------------

// A program of the host's own (a desktop's DHCP client) holds port 68; the run reads its replies through the
// capture that start-up opens in its place.
class QtWindowBesideAHolder : public QtWindow {
protected:
    void SetUp() override
    {
        QtWindow::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        close_udp_endpoint(app_state.reply_endpoint);
        holder_ = bind_port(kDhcpClientPort);
        ASSERT_GE(holder_, 0);
        ASSERT_EQ(open_reply_capture(StartupOutcome{StartupStep::reply_endpoint, EADDRINUSE}).failed_step,
                  StartupStep::none);
        ASSERT_NE(app_state.reply_endpoint, kNoEndpoint);
    }
    void TearDown() override
    {
        if (!in_private_network()) return;
        EXPECT_TRUE(wait_for_receiver_threads(2000ms)) << "a receiver thread outlived its run";
        close_reply_capture();
        EXPECT_EQ(app_state.reply_endpoint, kNoEndpoint);
        QtWindow::TearDown();
        if (holder_ >= 0) close(holder_);
    }

    static int bind_port(std::uint16_t port)
    {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) return fd;
        close(fd);
        return -1;
    }

    // What the holder was handed: its datagrams' lengths.
    std::vector<ssize_t> holder_lengths() const
    {
        std::vector<ssize_t> lengths;
        char buffer[2048];
        ssize_t length;
        while ((length = recv(holder_, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0) lengths.push_back(length);
        return lengths;
    }

    int holder_ = -1;
};

void send_from_loopback(const std::vector<std::uint8_t>& bytes, const char* address, std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    inet_pton(AF_INET, address, &target.sin_addr);
    sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    close(fd);
}

// Loopback shows the packet socket each datagram twice (going out, coming in); a bound socket is handed it once,
// and only when it is to port 68. The holder gets every datagram as before.
TEST_F(QtWindowBesideAHolder, EachDatagramToPortSixtyEightCountsOnceAndTheOthersNotAtAll)
{
    struct Row {
        const char* name;
        const char* address;
        std::uint16_t port;
        std::size_t length;
        int counted;  // Packets Received afterwards
    };
    const Row rows[] = {
        {"to 127.0.0.1:68", "127.0.0.1", kDhcpClientPort, 300, 1},
        {"to the limited broadcast, port 68", "255.255.255.255", kDhcpClientPort, 310, 2},
        {"to another loopback address, port 68", "127.0.0.9", kDhcpClientPort, 320, 3},
        {"to port 67", "127.0.0.1", kDhcpServerPort, 330, 3},
        {"to port 6800", "127.0.0.1", 6800, 340, 3},
        {"longer than a request, to port 68", "127.0.0.1", kDhcpClientPort, 548, 4},
    };
    EXPECT_EQ(play({[&] {
                        qint64 logged = 0;
                        for (const Row& row : rows) {
                            SCOPED_TRACE(row.name);
                            send_from_loopback(
                                make_reply({192, 168, 1, 1}, {192, 168, 1, 50}, {0, 0, 0, 0}, row.length), row.address,
                                row.port);
                            if (row.port == kDhcpClientPort) logged += static_cast<qint64>(row.length);
                            // A second copy, or one that should not count, would come within this wait.
                            QTest::qWait(100);
                            EXPECT_TRUE(received_shows(row.counted)) << main_text(IDC_RECEIVED).toStdString();
                            EXPECT_EQ(QFile(QStringLiteral("LogFile")).size(), logged);
                        }
                        EXPECT_EQ(main_text(IDC_LOG).count(kSeparator), 4);
                        EXPECT_EQ(holder_lengths(), (std::vector<ssize_t>{300, 310, 320, 548}));
                    },
                    [] { close_main(); }}),
              0);
}

// The receiver thread waits on the packet socket, which no shutdown wakes: stop_network must end the wait.
TEST_F(QtWindowBesideAHolder, CloseEndsTheReceiverThreadWaitingOnThePacketSocket)
{
    QElapsedTimer closing;
    EXPECT_EQ(play({[] {
                        send_to_reply_port(make_reply({192, 168, 1, 1}, {192, 168, 1, 50}, {0, 0, 0, 0}));
                        ASSERT_TRUE(received_shows(1));
                        EXPECT_TRUE(wait_until([] {
                            return main_text(IDC_LOG) == block("192.168.1.1", nullptr, "192.168.1.50");
                        })) << main_text(IDC_LOG).toStdString();
                        // Long enough for the thread to be back in its wait.
                        QTest::qWait(200);
                    },
                    [&] {
                        closing.start();
                        close_main();
                    }}),
              0);
    EXPECT_TRUE(wait_for_receiver_threads(200ms)) << "still waiting " << closing.elapsed() << " ms after the close";
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_EQ(QFile(QStringLiteral("LogFile")).size(), 300);
}

// --- The program orvane itself ----------------------------------------------------------------

class QtProgram : public QtWindow {
protected:
    void SetUp() override
    {
        if (!in_private_network()) GTEST_SKIP() << "needs root, for a network namespace of the test's own";
        folder_ = QString::fromLatin1(mkdtemp(folder_bytes_));
    }
    void TearDown() override
    {
        if (!in_private_network()) return;
        std::system((std::string("rm -rf ") + folder_bytes_).c_str());
    }

    // Starts orvane, under launcher (a program that then runs it, given launcher_arguments first) when one is given.
    void start(QProcess& program, const QStringList& environment = {}, const QString& launcher = {},
               const QStringList& launcher_arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
#ifdef ORVANE_TSAN_SUPPRESSIONS
        env.insert(QStringLiteral("TSAN_OPTIONS"), QStringLiteral("suppressions=" ORVANE_TSAN_SUPPRESSIONS));
#endif
        for (const QString& entry : environment) env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder_);
        if (launcher.isEmpty())
            program.start(QStringLiteral(ORVANE_PROGRAM_PATH), {});
        else
            program.start(launcher, launcher_arguments + QStringList{QStringLiteral(ORVANE_PROGRAM_PATH)});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    static QString status_line(qint64 pid, const char* field)
    {
        QFile file(QStringLiteral("/proc/%1/status").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) return {};
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith(field)) return QString::fromLatin1(line.mid(qstrlen(field))).trimmed();
        return {};
    }

    // Up means both ports are bound by it: a new bind of port 68 fails (of port 67 while another holds 68).
    static bool program_is_up(std::uint16_t port = kDhcpClientPort)
    {
        return wait_until([port] {
            const int fd = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_port = htons(port);
            const bool held = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0;
            close(fd);
            return held;
        });
    }

    // The program holds no right that opens a socket, for itself or a child, and its helper no right at all.
    static void expect_no_socket_right(qint64 pid)
    {
        const auto socket_rights = [&](const char* field) {
            constexpr qulonglong kBindService = 1ull << 10, kRaw = 1ull << 13;
            return status_line(pid, field).toULongLong(nullptr, 16) & (kBindService | kRaw);
        };
        ASSERT_TRUE(wait_until([&] { return socket_rights("CapEff:") == 0; }));
        for (const char* field : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:", "CapBnd:"})
            EXPECT_EQ(socket_rights(field), 0u) << field;
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
        ASSERT_TRUE(children.open(QIODevice::ReadOnly));
        const qint64 helper = children.readAll().trimmed().split(' ').value(0).toLongLong();
        ASSERT_GT(helper, 0);
        for (const char* field : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:"})
            EXPECT_EQ(status_line(helper, field), QStringLiteral("0000000000000000")) << "helper " << field;
    }

    char folder_bytes_[32] = "/tmp/orvane-program.XXXXXX";
    QString folder_;
};

// Started by root: the program keeps root's other rights (its LogFile goes wherever root may write) but none that
// opens a socket, not even for a child; its helper, which holds the ports, keeps no capability at all.
TEST_F(QtProgram, HoldsNoRightToASocketOnceStartedAndItsHelperNone)
{
    QProcess program;
    start(program);
    ASSERT_TRUE(program_is_up());
    const qint64 pid = program.processId();
    expect_no_socket_right(pid);
    EXPECT_NE(status_line(pid, "CapEff:"), QStringLiteral("0000000000000000")) << "root's other rights are kept";
    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(2000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(QtProgram, EndsWithStatusZeroWithinASecondOnEachTerminationSignal)
{
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal_number);
        QProcess program;
        start(program);
        ASSERT_TRUE(program_is_up());
        QTest::qWait(200);
        QElapsedTimer ending;
        ending.start();
        kill(static_cast<pid_t>(program.processId()), signal_number);
        ASSERT_TRUE(program.waitForFinished(1000)) << "still running after a second";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_LT(ending.elapsed(), 1000);
    }
}

// Root has cap_net_raw, with which a held port 68 is read beside its holder (the case below); without it, or with
// port 67 held, start-up fails as it always did.
TEST_F(QtProgram, AHeldPortEndsItWithStatusOneBeforeAnyWindow)
{
    struct Row {
        std::uint16_t port;
        bool raw_right;
        const char* hint;  // how the line ends
    };
    // The hint names the helper, which carries the rights, as the kernel has it.
    const QString path = QFileInfo(QStringLiteral(ORVANE_HELPER_PATH)).canonicalFilePath();
    const Row rows[] = {
        {kDhcpServerPort, false, "commonly a DHCP server or relay running on this host; stop it first"},
        {kDhcpServerPort, true, "commonly a DHCP server or relay running on this host; stop it first"},
        {kDhcpClientPort, false,
         "commonly a DHCP client running on this host; stop it first, or let orvane read its replies beside it with "
         "cap_net_raw: sudo setcap cap_net_bind_service,cap_net_raw=+ep "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.port << (row.raw_right ? " with" : " without") << " cap_net_raw");
        const int holder = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(row.port);
        ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
        QProcess program;
        // A display that does not exist: had the program started Qt, it would abort, not return 1.
        const QStringList display = {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:31999")};
        if (row.raw_right)
            start(program, display);
        else
            start(program, display, QStringLiteral("setpriv"),
                  {QStringLiteral("--bounding-set=-net_raw"), QStringLiteral("--inh-caps=-net_raw")});
        ASSERT_TRUE(program.waitForFinished(5000));
        close(holder);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        const QString error = QString::fromLatin1(program.readAllStandardError());
        EXPECT_EQ(error, QStringLiteral("orvane: cannot bind UDP port %1: Address already in use; another program "
                                        "holds it, %2%3\n")
                             .arg(row.port)
                             .arg(QLatin1String(row.hint), row.port == kDhcpClientPort ? path : QString()));
        EXPECT_FALSE(QFile::exists(folder_ + QStringLiteral("/LogFile")));
    }
}

// With cap_net_raw (root's) and port 68 held, the program runs beside the holder: the replies reach the window and
// LogFile once each through the helper's packet socket, the holder still gets them, the program keeps no right to a
// socket and the helper none at all, and a signal ends it as before.
TEST_F(QtProgram, AHeldReplyPortIsReadBesideItsHolderWithTheRawRight)
{
    const int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kDhcpClientPort);
    ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    QProcess program;
    start(program);
    ASSERT_TRUE(program_is_up(kDhcpServerPort)) << program.readAllStandardError().toStdString();
    expect_no_socket_right(program.processId());
    const QString log = folder_ + QStringLiteral("/LogFile");
    // The capture was open before the capabilities went: from here on each reply reaches it.
    for (int k = 1; k <= 3; ++k) {
        send_to_reply_port(make_reply({192, 168, 1, 1}, {192, 168, 1, 50}, {0, 0, 0, 0}));
        EXPECT_TRUE(wait_until([&] { return QFile(log).size() >= 300 * k; })) << k;
    }
    QTest::qWait(200);
    EXPECT_EQ(QFile(log).size(), 900);
    char buffer[2048];
    int held = 0;
    while (recv(holder, buffer, sizeof buffer, MSG_DONTWAIT) == 300) ++held;
    EXPECT_EQ(held, 3);
    QElapsedTimer ending;
    ending.start();
    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(1000)) << "still running after a second";
    close(holder);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_LT(ending.elapsed(), 1000);
    const QByteArray error = program.readAllStandardError();
    EXPECT_FALSE(error.contains("orvane:")) << error.toStdString();
}

// Both ports bound (or port 67 and the packet socket beside a holder of port 68), but the kernel refuses the drop of
// the capabilities (a seccomp filter answers capset with EPERM): it must not go on holding them.
TEST_F(QtProgram, AFailedCapabilityDropEndsItWithStatusOneBeforeAnyWindow)
{
    for (const bool port_68_held : {false, true}) {
        SCOPED_TRACE(port_68_held ? "port 68 held" : "both ports bound");
        const int holder = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(kDhcpClientPort);
        if (port_68_held) {
            ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
        }
        QProcess program;
        start(program, {QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:31999")},
              QStringLiteral(ORVANE_REFUSE_CAPSET));
        ASSERT_TRUE(program.waitForFinished(5000));
        close(holder);
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_EQ(QString::fromLatin1(program.readAllStandardError()),
                  QStringLiteral("orvane: cannot give up its capabilities once the ports are bound: Operation not "
                                 "permitted; it ends rather than go on with them\n"));
        EXPECT_FALSE(QFile::exists(folder_ + QStringLiteral("/LogFile")));
    }
}

TEST_F(QtProgram, EndsWithinASecondUnderAFloodWithOnlyWholeDatagramsLogged)
{
    QProcess program;
    start(program);
    ASSERT_TRUE(program_is_up());
    std::atomic<bool> flooding{true};
    std::thread flooder([&] {
        const auto reply = make_reply({192, 168, 1, 1}, {192, 168, 1, 99}, {0, 0, 0, 0}, 300);
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(kDhcpClientPort);
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        while (flooding.load())
            sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
        close(fd);
    });
    const QString log = folder_ + QStringLiteral("/LogFile");
    EXPECT_TRUE(wait_until([&] { return QFile(log).size() > 300 * 200; }, 10000));
    QElapsedTimer ending;
    ending.start();
    kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = program.waitForFinished(1000);
    const qint64 elapsed = ending.elapsed();
    flooding.store(false);
    flooder.join();
    ASSERT_TRUE(ended) << "still running after a second under the flood";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(QFile(log).size() % 300, 0) << "a datagram was cut short in LogFile";
}

}  // namespace

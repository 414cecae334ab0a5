// The two windows' message tables over a recording shell: what each message does and returns.
#include "app/window_actions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/resources/resource_ids.h"
#include "fake_window_shell.h"

namespace {

using Calls = std::vector<std::string>;

const WindowHandle kMain = reinterpret_cast<WindowHandle>(0x51);
const WindowHandle kAbout = reinterpret_cast<WindowHandle>(0x52);
constexpr Endpoint kRequestEndpoint = 7;

// A command's wparam with a notification code in the high half, as other notifications carry it.
constexpr std::uintptr_t with_high(int control_id, std::uintptr_t high)
{
    return (high << 16) | command_wparam(control_id);
}

class WindowActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_fake_shell();
        app_state.request_endpoint = kRequestEndpoint;
    }
    void TearDown() override
    {
        reset_fake_shell();
    }
};

TEST_F(WindowActions, InitialisationSendsShowsOneAndStartsTheReceiverWithTheViewInPlace)
{
    app_state.stop_flag.store(1);  // initialisation must clear it

    // The initialisation's wparam (the focus control) is never read as a command.
    EXPECT_TRUE(main_window_message(kMain, WindowMessage::initialise, command_wparam(IDC_ABOUT)));

    EXPECT_EQ(shell_calls, (Calls{"show 1003 1", "send 7", "find 1000", "thread"}));
    EXPECT_EQ(app_state.sent_count, 1);
    EXPECT_EQ(app_state.main_window.load(), kMain);
    EXPECT_EQ(app_state.report_view.load(), fake_control(kMain, IDC_LOG));
    // The thread must never find the view unset or the stop flag still raised.
    EXPECT_EQ(thread_start_view.report_view, fake_control(kMain, IDC_LOG));
    EXPECT_EQ(thread_start_view.stop_flag, 0);
    EXPECT_EQ(thread_start_view.sent_count, 1);
}

TEST_F(WindowActions, EveryClosingMessageStopsTheReceiverAndTheNetworkAndPostsQuit)
{
    for (const WindowMessage message : {WindowMessage::close, WindowMessage::end_session, WindowMessage::destroy}) {
        SCOPED_TRACE(static_cast<int>(message));
        reset_fake_shell();
        main_window_message(kMain, WindowMessage::initialise, 0);
        shell_calls.clear();

        EXPECT_TRUE(main_window_message(kMain, message, 0));
        EXPECT_EQ(app_state.stop_flag.load(), 1);
        EXPECT_EQ(shell_calls, (Calls{"stop_network", "quit"}));
        // A second closing message repeats the three steps, which is harmless.
        EXPECT_TRUE(main_window_message(kMain, message, 0));
        EXPECT_EQ(shell_calls, (Calls{"stop_network", "quit", "stop_network", "quit"}));
        EXPECT_EQ(app_state.sent_count, 1);
    }
}

// The buttons act on wparam alone: any message that is not one of the four named ones.
struct CommandCase {
    const char* name;
    std::uintptr_t wparam;
    Calls calls;
};

TEST_F(WindowActions, MainWindowCommandsDependOnWparamAlone)
{
    const CommandCase cases[] = {
        {"Refresh", command_wparam(IDC_REFRESH), {"show 1003 2", "send 7"}},
        {"Clear", command_wparam(IDC_CLEAR), {"clear"}},
        {"About", command_wparam(IDC_ABOUT), {"about"}},
        {"Refresh with a nonzero high half", with_high(IDC_REFRESH, 1), {}},
        {"Clear with a nonzero high half", with_high(IDC_CLEAR, 0x8000), {}},
        {"About with a focus notification", with_high(IDC_ABOUT, 6), {}},
        {"the report view", command_wparam(IDC_LOG), {}},
        {"Enter in a window without a default button", command_wparam(1), {}},
        {"Escape", command_wparam(2), {}},
        {"an About window button", command_wparam(IDC_EMAIL), {}},
        {"zero", 0, {}},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_shell();
        app_state.request_endpoint = kRequestEndpoint;
        app_state.sent_count = 1;
        const WindowHandle before = reinterpret_cast<WindowHandle>(0x99);
        app_state.main_window.store(before);

        EXPECT_FALSE(main_window_message(kMain, WindowMessage::other, c.wparam));
        EXPECT_EQ(shell_calls, c.calls);
        // The handle is stored on every message, whatever it does.
        EXPECT_EQ(app_state.main_window.load(), kMain);
        EXPECT_EQ(app_state.stop_flag.load(), 0);
    }
}

TEST_F(WindowActions, ThreeRefreshesCountToFourAndClearKeepsTheCount)
{
    main_window_message(kMain, WindowMessage::initialise, 0);
    for (int i = 0; i < 3; ++i) main_window_message(kMain, WindowMessage::other, command_wparam(IDC_REFRESH));
    main_window_message(kMain, WindowMessage::other, command_wparam(IDC_CLEAR));

    EXPECT_EQ(app_state.sent_count, 4);
    EXPECT_EQ(shell_calls, (Calls{"show 1003 1", "send 7", "find 1000", "thread", "show 1003 2", "send 7",
                                  "show 1003 3", "send 7", "show 1003 4", "send 7", "clear"}));
}

TEST_F(WindowActions, TheSentCountIsShownUnsignedAndWrapsPastTheSignedRange)
{
    app_state.sent_count = 2147483647;
    send_request_and_count();
    EXPECT_EQ(shell_calls, (Calls{"show 1003 2147483648", "send 7"}));
}

TEST_F(WindowActions, AboutWindowTable)
{
    struct AboutCase {
        const char* name;
        WindowMessage message;
        std::uintptr_t wparam;
        bool result;
        Calls calls;
    };
    const AboutCase cases[] = {
        {"initialisation", WindowMessage::initialise, 0, true, {}},
        {"close only hides", WindowMessage::close, 0, false, {"hide"}},
        {"end of session only hides", WindowMessage::end_session, 0, false, {"hide"}},
        {"destruction only hides", WindowMessage::destroy, 0, false, {"hide"}},
        {"Email Me", WindowMessage::other, command_wparam(IDC_EMAIL), false, {"open mailto:author@orvane.example.org"}},
        {"Donate",
         WindowMessage::other,
         command_wparam(IDC_DONATE),
         false,
         {"open https://www.paypal.com/xclick/business=author%40orvane.example.org&item_name=Orvane+Donation"}},
        {"Email Me with a nonzero high half", WindowMessage::other, with_high(IDC_EMAIL, 1), false, {}},
        {"Donate with a nonzero high half", WindowMessage::other, with_high(IDC_DONATE, 0xFFFF), false, {}},
        {"a main window button", WindowMessage::other, command_wparam(IDC_REFRESH), false, {}},
        {"the initialisation's wparam is not a command",
         WindowMessage::initialise,
         command_wparam(IDC_EMAIL),
         true,
         {}},
    };
    for (const AboutCase& c : cases) {
        SCOPED_TRACE(c.name);
        reset_fake_shell();
        app_state.main_window.store(kMain);

        EXPECT_EQ(about_window_message(kAbout, c.message, c.wparam), c.result);
        EXPECT_EQ(shell_calls, c.calls);
        // The About window never touches the main window's state.
        EXPECT_EQ(app_state.stop_flag.load(), 0);
        EXPECT_EQ(app_state.main_window.load(), kMain);
        EXPECT_EQ(app_state.sent_count, 0);
    }
}

}  // namespace

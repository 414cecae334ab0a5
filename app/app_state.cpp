// The program-wide state record.
#include "app/app_state.h"

AppState app_state;

void reset_app_state()
{
    app_state.instance = nullptr;
    app_state.main_window.store(nullptr);
    app_state.report_view.store(nullptr);
    app_state.socket_library_state = SocketLibraryState{};
    app_state.request_endpoint = 0;
    app_state.reply_endpoint = 0;
    app_state.hardware_address = HardwareAddress{};
    app_state.sent_count = 0;
    app_state.received_count = 0;
    app_state.stop_flag.store(0);
    app_state.discovery_request = DiscoveryRequest{};
    app_state.reply_buffer = ReplyBuffer{};
    app_state.reply_summary = ReplySummary{};
    app_state.report_text = ReportText{};
    app_state.raw_log = RawLog{kDefaultLogFilePath, false, {}};
}

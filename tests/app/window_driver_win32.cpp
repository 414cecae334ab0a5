// Windows test driver (run under Wine in the test LAN): starts orvane.exe, finds its windows by title,
// reads them (GetDlgItemInt, WM_GETTEXT), clicks them (BM_CLICK), closes them (WM_CLOSE), takes
// screenshots of both windows and checks its exit status.
//
//   window_driver run EXE WORKDIR SHOTDIR SERVER_IP UPSTREAM_IP RELAY_IP
//   window_driver refused EXE WORKDIR PORT    (holds UDP PORT itself while orvane.exe starts)
//
// Prints one line per check ("ok ..." or "FAIL ...") and "requests N" with the number of requests the
// window sent; exits 0 when every check held.
// Winsock 2 before windows.h, which would otherwise bring the older socket header.
#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "app/resources/resource_ids.h"

namespace {

const char* const kMainTitle = "Orvane Version 1.0";
const char* const kAboutTitle = "About Orvane";
const char* const kDialogClass = "#32770";

int failures = 0;

void check(bool condition, const std::string& what)
{
    std::printf("%s %s\n", condition ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!condition) ++failures;
}

// A Unix path as Wine's Z: drive sees it; other paths are taken as they are.
std::string windows_path(const std::string& path)
{
    if (path.empty() || path[0] != '/') return path;
    std::string converted = "Z:" + path;
    for (char& ch : converted)
        if (ch == '/') ch = '\\';
    return converted;
}

template <typename Condition>
bool wait_for(Condition condition, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(50);
    }
}

struct Program {
    PROCESS_INFORMATION info{};
    bool started = false;
};

Program start_program(const std::string& exe, const std::string& workdir)
{
    Program program;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string command = "\"" + windows_path(exe) + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    const std::string directory = windows_path(workdir);
    program.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                                     &startup, &program.info) != 0;
    check(program.started, "orvane.exe starts (" + command + ")");
    return program;
}

bool has_ended(const Program& program)
{
    return WaitForSingleObject(program.info.hProcess, 0) == WAIT_OBJECT_0;
}

DWORD exit_status(const Program& program, DWORD milliseconds)
{
    if (WaitForSingleObject(program.info.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(program.info.hProcess, &status);
    return status;
}

struct TitleSearch {
    const char* title;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_titled(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TitleSearch*>(data);
    char text[64] = {};
    char cls[16] = {};
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(text, search->title) == 0 && std::strcmp(cls, kDialogClass) == 0) search->found.push_back(window);
    return TRUE;
}

// Every top-level dialog window with this title, visible or not.
std::vector<HWND> windows_titled(const char* title)
{
    TitleSearch search{title, {}};
    EnumWindows(collect_titled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND visible_window_titled(const char* title, HWND other_than = nullptr)
{
    for (HWND window : windows_titled(title))
        if (window != other_than && IsWindowVisible(window)) return window;
    return nullptr;
}

unsigned count_in(HWND window, int control_id)
{
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(window, control_id, &translated, FALSE);
    return translated ? value : 0xFFFFFFFFu;
}

std::string report_text(HWND main)
{
    HWND view = GetDlgItem(main, IDC_LOG);
    const LRESULT length = SendMessageA(view, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(view, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());
}

unsigned occurrences(const std::string& text, const std::string& piece)
{
    unsigned n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

void click(HWND main, int control_id)
{
    SendMessageA(GetDlgItem(main, control_id), BM_CLICK, 0, 0);
}

// Moves the keyboard focus to the control as Tab would (the dialog manager makes a focused push button
// the default one) and presses Enter there, both through the window's own message loop.
void press_enter_on(HWND main, int control_id)
{
    HWND control = GetDlgItem(main, control_id);
    PostMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    PostMessageA(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

// About runs a modal loop inside the click; posting keeps the driver free while it runs.
void click_later(HWND main, int control_id)
{
    PostMessageA(GetDlgItem(main, control_id), BM_CLICK, 0, 0);
}

bool at_top_left(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r.left == 0 && r.top == 0;
}

// Copies the window's place on the screen into a 24-bit BMP.
bool save_screenshot(HWND window, const std::string& path)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE);
    Sleep(700);
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool saved = false;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD image_size = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        file.bfSize = file.bfOffBits + image_size;
        info.bmiHeader.biSizeImage = image_size;
        if (FILE* out = std::fopen(windows_path(path).c_str(), "wb")) {
            saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                    std::fwrite(bits, image_size, 1, out) == 1;
            saved = std::fclose(out) == 0 && saved;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

// Wine's own decoration instead of a window manager's, so the screenshots show the title bar.
void draw_own_window_frames()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
}

// One reply block of a server, with or without a relay, as the report view shows it.
std::regex block_of(const std::string& server, const std::string& relay)
{
    std::string dotted = server;
    std::string pattern = "Packet from " + std::regex_replace(dotted, std::regex("\\."), "\\.") + " \\r\\n";
    if (!relay.empty()) pattern += " Relayed by " + std::regex_replace(relay, std::regex("\\."), "\\.") + " \\r\\n";
    pattern += " Offered IP [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+ \\r\\n-------------------------\\r\\n";
    return std::regex(pattern);
}

int run_window(const std::string& exe, const std::string& workdir, const std::string& shots, const std::string& server,
               const std::string& upstream, const std::string& relay)
{
    draw_own_window_frames();
    Program program = start_program(exe, workdir);
    if (!program.started) return 1;

    HWND main = nullptr;
    wait_for([&] { return (main = visible_window_titled(kMainTitle)) != nullptr || has_ended(program); }, 60000);
    check(main != nullptr, "the main window \"Orvane Version 1.0\" appears");
    if (main == nullptr) {
        TerminateProcess(program.info.hProcess, 2);
        return 1;
    }
    check(at_top_left(main), "the main window opens at the top-left corner");
    check(count_in(main, IDC_SENT) == 1, "Packets Sent shows 1 once the window is up");

    const std::regex direct = block_of(server, "");
    const std::regex relayed = block_of(upstream, relay);
    std::string text;
    const bool both = wait_for(
        [&] {
            text = report_text(main);
            return std::regex_search(text, direct) && std::regex_search(text, relayed);
        },
        20000);
    check(both, "offers of " + server + " and of " + upstream + " relayed by " + relay + " are in the report view");
    if (!both) std::printf("report view:\n%s\n", text.c_str());
    check(count_in(main, IDC_RECEIVED) == occurrences(text, "Packet from "),
          "Packets Recieved counts the blocks in the view (" + std::to_string(count_in(main, IDC_RECEIVED)) + ")");
    check(save_screenshot(main, shots + "/main_window.bmp"), "screenshot of the main window");

    for (unsigned expected = 2; expected <= 4; ++expected) {
        click(main, IDC_REFRESH);
        check(count_in(main, IDC_SENT) == expected, "Refresh raises Packets Sent to " + std::to_string(expected));
    }
    // Every request draws an offer from each server.
    const bool all = wait_for([&] { return count_in(main, IDC_RECEIVED) >= 8; }, 20000);
    Sleep(500);
    text = report_text(main);
    const unsigned received = count_in(main, IDC_RECEIVED);
    check(all && occurrences(text, "Packet from ") == received,
          "four requests bring " + std::to_string(received) + " replies, each a block in the view");

    // Clear by keyboard: Enter clicks the focused button, and nothing while the view has the focus. The
    // window handles posted messages in order, so once the view is empty the first Enter was handled too.
    press_enter_on(main, IDC_LOG);
    press_enter_on(main, IDC_CLEAR);
    check(wait_for([&] { return report_text(main).empty(); }, 10000),
          "Enter on the focused Clear button clicks it: the report view is empty");
    check(count_in(main, IDC_SENT) == 4 && windows_titled(kAboutTitle).empty(),
          "Enter with the report view focused clicked no button");
    check(count_in(main, IDC_SENT) == 4 && count_in(main, IDC_RECEIVED) == received, "Clear keeps both counts");

    click_later(main, IDC_ABOUT);
    HWND about = nullptr;
    wait_for([&] { return (about = visible_window_titled(kAboutTitle)) != nullptr; }, 10000);
    check(about != nullptr, "About opens the window \"About Orvane\"");
    if (about != nullptr) {
        check(at_top_left(about), "the About window opens at the top-left corner");
        HWND picture = nullptr;
        for (HWND child = GetWindow(about, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) picture = child;
        RECT r{};
        if (picture != nullptr) GetClientRect(picture, &r);
        check(picture != nullptr && r.right == 89 && r.bottom == 85, "the picture takes the bitmap's own 89 x 85 size");
        check(save_screenshot(about, shots + "/about_window.bmp"), "screenshot of the About window");
    }
    check(IsWindowEnabled(main) != 0, "the main window stays enabled while About is up");
    click(main, IDC_REFRESH);
    check(count_in(main, IDC_SENT) == 5, "Refresh works with About open");
    wait_for([&] { return count_in(main, IDC_RECEIVED) >= received + 2; }, 20000);
    Sleep(300);
    check(!report_text(main).empty(), "replies reach the view with About open");
    click(main, IDC_CLEAR);
    check(report_text(main).empty(), "Clear works with About open");

    if (about != nullptr) {
        SendMessageA(about, WM_CLOSE, 0, 0);
        check(IsWindow(about) && !IsWindowVisible(about), "closing About only hides it");
        click_later(main, IDC_ABOUT);
        HWND again = nullptr;
        wait_for([&] { return (again = visible_window_titled(kAboutTitle, about)) != nullptr; }, 10000);
        check(again != nullptr && windows_titled(kAboutTitle).size() == 2,
              "About again shows a fresh window, the hidden one still there");
    }

    std::printf("requests %u\n", count_in(main, IDC_SENT));
    PostMessageA(main, WM_CLOSE, 0, 0);
    const DWORD status = exit_status(program, 20000);
    check(status == 0,
          "closing the main window with About open ends with status 0 (got " + std::to_string(status) + ")");
    if (status == STILL_ACTIVE) TerminateProcess(program.info.hProcess, 2);
    return failures == 0 ? 0 : 1;
}

// Binds 0.0.0.0:port as another program would, so that orvane.exe cannot take it.
bool hold_port(int port)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const SOCKET holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(port));
    return holder != INVALID_SOCKET && bind(holder, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

int run_refused(const std::string& exe, const std::string& workdir, int port)
{
    check(hold_port(port), "the driver holds UDP port " + std::to_string(port));
    Program program = start_program(exe, workdir);
    if (!program.started) return 1;
    bool window_seen = false;
    wait_for(
        [&] {
            if (!windows_titled(kMainTitle).empty()) window_seen = true;
            return has_ended(program);
        },
        60000);
    const DWORD status = exit_status(program, 0);
    check(status == 1, "a start-up failure ends with status 1 (got " + std::to_string(status) + ")");
    check(!window_seen, "no window is shown");
    if (status == STILL_ACTIVE) TerminateProcess(program.info.hProcess, 2);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 7 && args[0] == "run") return run_window(args[1], args[2], args[3], args[4], args[5], args[6]);
    if (args.size() == 4 && args[0] == "refused") return run_refused(args[1], args[2], std::stoi(args[3]));
    std::fprintf(stderr,
                 "usage: window_driver run EXE WORKDIR SHOTDIR SERVER_IP UPSTREAM_IP RELAY_IP\n"
                 "       window_driver refused EXE WORKDIR PORT\n");
    return 2;
}

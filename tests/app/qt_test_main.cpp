// The Qt shell tests' entry: a QApplication for every case and, for the unit cases, a network
// namespace of the process's own, so ports 67 and 68 and the request stay inside it.
#include <QApplication>

#include <gtest/gtest.h>

#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/qt/shell.h"
#include "qt_test_support.h"

namespace {

bool private_network = false;

[[maybe_unused]] bool enter_private_network()
{
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0) return false;
    // Loopback up, and the limited broadcast routed onto it: the request then comes back to the
    // request endpoint, where a test can read what was sent.
    return std::system("ip link set lo up && ip route add 255.255.255.255/32 dev lo") == 0;
}

}  // namespace

#ifdef ORVANE_TSAN_SUPPRESSIONS
// Qt's libraries are not built with ThreadSanitizer; calls made from inside them are not judged.
extern "C" const char* __tsan_default_options()
{
    return "suppressions=" ORVANE_TSAN_SUPPRESSIONS;
}
#endif

#ifdef ORVANE_LSAN_SUPPRESS_DBUS
// libdbus, which Qt's X11 platform loads, keeps one buffer until the process ends.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so.3\n";
}
#endif

bool in_private_network()
{
    return private_network;
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
#ifdef ORVANE_TEST_PRIVATE_NETWORK
    // Listing the cases needs no network; a namespace is made only for running them.
    if (!GTEST_FLAG_GET(list_tests)) private_network = enter_private_network();
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Every unit case writes its LogFile into a folder of its own; the lab run keeps the caller's.
#ifdef ORVANE_TEST_PRIVATE_NETWORK
    char folder[] = "/tmp/orvane-qt-test.XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) return 2;
#endif
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    install_shutdown_paths(application);
    const int status = RUN_ALL_TESTS();
#ifdef ORVANE_TEST_PRIVATE_NETWORK
    std::system((std::string("rm -rf ") + folder).c_str());
#endif
    return status;
}

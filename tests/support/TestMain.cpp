// Entry point of every test program: gives the run its own X display and user folders, then
// creates the QApplication and runs the GoogleTest cases.
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace oculet::test {
namespace {

pid_t g_xvfb = -1;

// Starts Xvfb on the first free display; -displayfd makes the server choose the number and
// report it once it accepts connections, so there is no race and no fixed display number.
bool startXvfb() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    g_xvfb = startChild({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1920x1080x24",
                         "-nolisten", "tcp", "-noreset", "+extension", "MIT-SHM"});
    ::close(fds[1]);
    if (g_xvfb < 0) {
        ::close(fds[0]);
        return false;
    }
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
        return false;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

} // namespace



} // namespace oculet::test

int main(int argc, char** argv) {
    using oculet::test::TestEnvironment;
    ::testing::InitGoogleTest(&argc, argv);
    if (!TestEnvironment::createPrivateRoot()) {
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    if (!oculet::test::startXvfb()) {
        std::fprintf(stderr, "could not start Xvfb; install the xvfb package\n");
        return 2;
    }

    int result = 1;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    TestEnvironment::stopWindowManager();
    oculet::test::stopChild(oculet::test::g_xvfb);
    TestEnvironment::removePrivateRoot();
    return result;
}

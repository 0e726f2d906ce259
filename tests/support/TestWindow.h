#pragma once

// Drives the test_window program: a stand-in radio-program window with a known title, place and
// picture, which a test can move, retitle, recolour and raise while Oculet watches it.

#include "tests/support/OculetProcess.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>

namespace oculet::test {

class TestWindow {
  public:
    TestWindow();

    // Starts test_window with the given title and client rectangle (root coordinates); `fill`
    // are further options such as {"--colour", "#ff0000"} or {"--quadrants"}.
    bool start(const QString& title, const QRect& geometry, const QStringList& fill = {});
    // Waits for "ready <id>": the window is mapped and painted.
    bool waitReady(int timeout_ms = 5000);

    WindowId windowId() const { return m_id; }
    qint64 pid() const { return m_process.pid(); }

    // Each of these returns once the change is visible through X: the window is at the new
    // place, the title is the new one; recolour and raise return once the program has done it.
    bool move(int x, int y, int timeout_ms = 3000);
    bool retitle(const QString& title, int timeout_ms = 3000);
    bool recolour(const QColor& colour, int timeout_ms = 3000);
    bool raise(int timeout_ms = 3000);
    // Asks the program to quit; true when it exited with 0 in time.
    bool quit(int timeout_ms = 3000);

    // The current look of the window through the probe.
    std::optional<ProbedWindow> describe() { return m_process.probe().describe(m_id); }
    OculetProcess& process() { return m_process; }

  private:
    bool command(const QString& line, int timeout_ms);

    OculetProcess m_process;
    WindowId m_id = 0;
    qsizetype m_commandsSent = 0;
};

} // namespace oculet::test

// The probe and the stand-in window together: what test_window shows must be what the probe
// reads back from the X server, or every system test built on them proves nothing.
#include "tests/harness/Desktop.h"
#include "tests/support/TestWindow.h"

#include <QImage>
#include <vector>

namespace oculet::test {
namespace {

using WindowProbe = OnDesktop;

// Polls the screen until the pixel at `at` has `colour`; on failure, reports what was there.
::testing::AssertionResult showsColour(X11Probe& probe, QPoint at, const QColor& colour,
                                       int timeout_ms = 2000) {
    QColor seen;
    if (pollUntil(timeout_ms, [&] {
            seen = probe.pixelAt(at);
            return sameColour(seen, colour);
        })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at (" << at.x() << "," << at.y() << ") the screen shows "
           << seen.name().toStdString() << ", not " << colour.name().toStdString();
}

::testing::AssertionResult notColour(X11Probe& probe, QPoint at, const QColor& colour,
                                     int timeout_ms = 2000) {
    QColor seen;
    if (pollUntil(timeout_ms, [&] {
            seen = probe.pixelAt(at);
            return !sameColour(seen, colour, 40);
        })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "at (" << at.x() << "," << at.y() << ") the screen still shows "
           << seen.name().toStdString();
}

int stackIndex(const QList<ProbedWindow>& windows, WindowId id) {
    for (qsizetype i = 0; i < windows.size(); ++i) {
        if (windows[i].id == id) {
            return int(i);
        }
    }
    return -1;
}

TEST_P(WindowProbe, SeesTitlePlaceAndPixelsOfEachFill) {
    // A picture whose left half is magenta and right half cyan, stretched over the window.
    const QString pictureFile =
        TestEnvironment::makeTempDir(QStringLiteral("picture")) + QStringLiteral("/halves.png");
    QImage halves(40, 10, QImage::Format_RGB32);
    halves.fill(QColor(0, 255, 255));
    for (int y = 0; y < halves.height(); ++y) {
        for (int x = 0; x < halves.width() / 2; ++x) {
            halves.setPixelColor(x, y, QColor(255, 0, 255));
        }
    }
    ASSERT_TRUE(halves.save(pictureFile));

    struct Spot {
        QPoint at; // in window coordinates
        QColor colour;
    };
    struct Row {
        const char* name;
        QStringList fill;
        std::vector<Spot> spots;
    };
    const QRect place(120, 140, 200, 150);
    const std::vector<Row> rows = {
        {"colour",
         {QStringLiteral("--colour"), QStringLiteral("#3366cc")},
         {{{0, 0}, QColor(0x33, 0x66, 0xcc)},
          {{199, 149}, QColor(0x33, 0x66, 0xcc)},
          {{100, 75}, QColor(0x33, 0x66, 0xcc)}}},
        {"quadrants",
         {QStringLiteral("--quadrants")},
         {{{50, 37}, Qt::red},
          {{150, 37}, Qt::green},
          {{50, 112}, Qt::blue},
          {{150, 112}, Qt::yellow},
          {{0, 149}, Qt::blue},
          {{199, 0}, Qt::green}}},
        {"picture",
         {QStringLiteral("--picture"), pictureFile},
         {{{10, 75}, QColor(255, 0, 255)}, {{190, 75}, QColor(0, 255, 255)}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestWindow window;
        const QString title = QStringLiteral("Fill %1").arg(QLatin1String(row.name));
        ASSERT_TRUE(window.start(title, place, row.fill));
        ASSERT_TRUE(window.waitReady());

        const QList<ProbedWindow> mine = probe.find(window.pid());
        ASSERT_EQ(mine.size(), 1) << "a frameless Qt window shows exactly one top-level window";
        const ProbedWindow& seen = mine.front();
        EXPECT_EQ(seen.id, window.windowId());
        EXPECT_EQ(seen.title, title);
        EXPECT_TRUE(seen.mapped);
        EXPECT_EQ(seen.geometry, place);
        EXPECT_EQ(seen.frame, place) << "no decorations on a frameless window";
        EXPECT_EQ(seen.transientFor, 0u);
        EXPECT_EQ(probe.find(0, title).size(), 1);

        for (const Spot& spot : row.spots) {
            EXPECT_TRUE(showsColour(probe, place.topLeft() + spot.at, spot.colour));
        }
        // The pixels stop exactly at the window's edge.
        const QColor inside = probe.pixelAt(place.topLeft());
        EXPECT_TRUE(notColour(probe, place.topLeft() - QPoint(1, 1), inside));
        EXPECT_TRUE(notColour(probe, place.bottomRight() + QPoint(1, 1),
                              probe.pixelAt(place.bottomRight())));

        EXPECT_TRUE(window.quit());
        EXPECT_TRUE(probe.waitUntilGone(seen.id, 2000));
        EXPECT_TRUE(probe.find(window.pid()).isEmpty());
    }
}

TEST_P(WindowProbe, FrameIncludesDecorationsOnlyUnderAWindowManager) {
    TestWindow window;
    ASSERT_TRUE(window.start(QStringLiteral("Framed"), QRect(500, 300, 200, 120),
                             {QStringLiteral("--decorated")}));
    ASSERT_TRUE(window.waitReady());
    std::optional<ProbedWindow> seen;
    // The window manager announces the frame extents a moment after it has framed the window.
    const bool framed = pollUntil(GetParam() == Desktop::Openbox ? 2000 : 300, [&] {
        seen = window.describe();
        return seen && seen->frame != seen->geometry;
    });
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->geometry.size(), QSize(200, 120));
    if (GetParam() == Desktop::Openbox) {
        ASSERT_TRUE(framed) << "no _NET_FRAME_EXTENTS under openbox";
        EXPECT_TRUE(seen->frame.contains(seen->geometry));
        EXPECT_GT(seen->frame.height(), seen->geometry.height()) << "a title bar adds height";
    } else {
        EXPECT_FALSE(framed);
        EXPECT_EQ(seen->frame, seen->geometry);
    }
}

TEST_P(WindowProbe, MovingMovesWhatTheProbeSees) {
    const QColor green(0x22, 0xaa, 0x44);
    TestWindow window;
    ASSERT_TRUE(window.start(QStringLiteral("Mover"), QRect(100, 100, 160, 120),
                             {QStringLiteral("--colour"), green.name()}));
    ASSERT_TRUE(window.waitReady());
    ASSERT_TRUE(showsColour(probe, QPoint(180, 160), green));

    ASSERT_TRUE(window.move(600, 500));
    EXPECT_EQ(window.describe()->geometry, QRect(600, 500, 160, 120));
    EXPECT_TRUE(showsColour(probe, QPoint(680, 560), green));
    EXPECT_TRUE(notColour(probe, QPoint(180, 160), green))
        << "the old place still shows the window";

    // Hanging over the bottom-right corner of the 1920 x 1080 screen: the visible part reads
    // back in the window's colour, the part beyond the screen as black.
    ASSERT_TRUE(window.move(1860, 1030));
    const QImage grabbed = probe.grab(QRect(1860, 1030, 160, 120));
    ASSERT_EQ(grabbed.size(), QSize(160, 120));
    EXPECT_TRUE(showsColour(probe, QPoint(1900, 1060), green));
    EXPECT_TRUE(sameColour(probe.grab(QRect(1860, 1030, 160, 120)).pixelColor(40, 30), green));
    EXPECT_EQ(grabbed.pixelColor(100, 30), QColor(Qt::black));
    EXPECT_EQ(grabbed.pixelColor(30, 100), QColor(Qt::black));
    EXPECT_EQ(probe.grab(QRect(-50, -50, 10, 10)).pixelColor(5, 5), QColor(Qt::black));
}

TEST_P(WindowProbe, SeesANewTitle) {
    TestWindow window;
    ASSERT_TRUE(window.start(QStringLiteral("Before"), QRect(300, 300, 120, 80)));
    ASSERT_TRUE(window.waitReady());
    ASSERT_EQ(probe.find(window.pid(), QStringLiteral("Before")).size(), 1);

    const QString after = QStringLiteral("EasyPal — Über 2 Größen");
    ASSERT_TRUE(window.retitle(after));
    EXPECT_EQ(probe.find(0, after).size(), 1) << "titles are read as UTF-8";
    EXPECT_TRUE(probe.find(0, QStringLiteral("Before")).isEmpty());
}

TEST_P(WindowProbe, SeesTheStackingOrder) {
    const QColor red(Qt::red);
    const QColor blue(Qt::blue);
    TestWindow lower;
    TestWindow upper;
    ASSERT_TRUE(lower.start(QStringLiteral("Lower"), QRect(100, 100, 200, 200),
                            {QStringLiteral("--colour"), red.name()}));
    ASSERT_TRUE(lower.waitReady());
    ASSERT_TRUE(upper.start(QStringLiteral("Upper"), QRect(200, 200, 200, 200),
                            {QStringLiteral("--colour"), blue.name()}));
    ASSERT_TRUE(upper.waitReady());

    const QPoint overlap(250, 250);
    EXPECT_TRUE(showsColour(probe, overlap, blue));
    QList<ProbedWindow> all = probe.windows();
    EXPECT_LT(stackIndex(all, upper.windowId()), stackIndex(all, lower.windowId()))
        << "newest window on top";
    ASSERT_GE(stackIndex(all, lower.windowId()), 0);

    ASSERT_TRUE(lower.raise());
    EXPECT_TRUE(pollUntil(2000, [&] {
        all = probe.windows();
        return stackIndex(all, lower.windowId()) < stackIndex(all, upper.windowId());
    })) << "the probe does not see the raised window on top";
    EXPECT_TRUE(showsColour(probe, overlap, red));
}

TEST_P(WindowProbe, ClicksAndKeysReachTheWindow) {
    TestWindow window;
    ASSERT_TRUE(window.start(QStringLiteral("Target"), QRect(400, 200, 200, 100)));
    ASSERT_TRUE(window.waitReady());

    ASSERT_TRUE(probe.click(window.windowId(), QPoint(30, 40)));
    EXPECT_TRUE(window.process().waitForOutput("click 30 40\n", 2000))
        << window.process().standardOutput().toStdString();

    ASSERT_TRUE(probe.sendKey(window.windowId(), Key::Escape));
    EXPECT_TRUE(window.process().waitForOutput(
        QByteArray("key ") + QByteArray::number(int(Qt::Key_Escape)) + "\n", 2000));
    ASSERT_TRUE(probe.sendKey(window.windowId(), Key::Return));
    EXPECT_TRUE(window.process().waitForOutput(
        QByteArray("key ") + QByteArray::number(int(Qt::Key_Return)) + "\n", 2000));
}

OCULET_ON_EVERY_DESKTOP(WindowProbe);

} // namespace
} // namespace oculet::test

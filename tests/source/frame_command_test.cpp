#include "source/FrameCommand.h"
#include "tests/support/X11Probe.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace oculet {
namespace {

// Qt takes arguments such as "-style=…", "-stylesheet=…" or "-platform" for itself: the frame
// program must read its own text first and leave Qt none of it.
TEST(FrameCommand, ArgumentsThatLookLikeQtOptionsStayTheFramesAndQtSeesNone) {
    QByteArray name = "oculet-frame";
    QByteArray text = frameCommandText("-style=fusion Zoné", " :&H0000FF:", "-stylesheet=/etc/passwd").toLocal8Bit();
    char* one[] = {name.data(), text.data(), nullptr};
    int argc = 2;
    EXPECT_EQ(takeFrameCommand(argc, one), (FrameCommand{"-style=fusion Zoné", 0x0000FF, "-stylesheet=/etc/passwd"}));
    EXPECT_EQ(argc, 1);
    QByteArray first = "-platform", second = "offscreen :&HFF00:Close";
    char* typed[] = {name.data(), first.data(), second.data(), nullptr};
    argc = 3;
    EXPECT_EQ(takeFrameCommand(argc, typed), (FrameCommand{"-platform offscreen", 0xFF00, "Close"}));
    EXPECT_EQ(argc, 1);
}

TEST(FrameCommand, TheFrameProgramShowsATitleThatLooksLikeAQtOption) {
    QProcess program;
    program.start(QFileInfo(QStringLiteral(OCULET_BINARY)).absolutePath() + QStringLiteral("/oculet-frame"),
                  {frameCommandText("-style=fusion", " :&H0000FF:", "Close")});
    ASSERT_TRUE(program.waitForStarted(3000));
    std::optional<QString> title;
    test::pollUntil(5000, [&] {
        const auto shown = test::shownWindows(program.processId());
        title = shown.isEmpty() ? std::nullopt : test::xdotool({"getwindowname", QString::number(shown.first().id)});
        return title.has_value();
    });
    EXPECT_EQ(title.value_or("(no window)").trimmed().toStdString(), "-style=fusion");
    program.kill();
    program.waitForFinished();
}

} // namespace
} // namespace oculet

// OculetProcess against stand-ins whose behaviour is known: test_window playing the main window
// and its message boxes, and the shell for exit codes, environment and output.
#include "tests/harness/Desktop.h"
#include "tests/support/OculetProcess.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <gtest/gtest-spi.h>
#include <vector>

namespace oculet::test {
namespace {

using OculetWindows = OnDesktop;

const QString kTestWindow = QStringLiteral(OCULET_TEST_WINDOW);

bool processGone(qint64 pid) {
    return ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
}

TEST_P(OculetWindows, FindsTheMainWindowOnlyByTitleAndSize) {
    struct Row {
        const char* title;
        const char* geometry;
        bool isMain;
    };
    const std::vector<Row> rows = {
        {"Oculet", "320x262+40+40", true},
        {"Oculet", "200x100+40+40", false},
        {"Oculet - EasyPal", "320x262+40+40", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.title) + " " + row.geometry);
        OculetProcess oculet(kTestWindow);
        ASSERT_TRUE(oculet.start({QStringLiteral("--title"), QString::fromUtf8(row.title),
                                  QStringLiteral("--geometry"), QLatin1String(row.geometry)}));
        ASSERT_TRUE(oculet.waitForOutput("ready "));
        const auto main = oculet.waitForMainWindow(row.isMain ? 5000 : 300);
        ASSERT_EQ(main.has_value(), row.isMain);
        if (main) {
            EXPECT_EQ(main->pid, oculet.pid());
            EXPECT_EQ(main->geometry, QRect(40, 40, 320, 262));
        }
    }
}

TEST_P(OculetWindows, AnswersAMessageBoxWithTheKeyPressed) {
    struct Row {
        const char* name;
        QStringList args;
        Key key;
        const char* answer;
        int exitCode;
    };
    const QStringList withMain{
        QStringLiteral("--title"),    QStringLiteral("Oculet"),
        QStringLiteral("--geometry"), QStringLiteral("320x262+80+60"),
        QStringLiteral("--message"),  QStringLiteral("EasyPal not running!")};
    const QStringList alone{QStringLiteral("--no-window"), QStringLiteral("--buttons"),
                            QStringLiteral("ok"), QStringLiteral("--message"),
                            QStringLiteral("Another instance of Oculet is open!")};
    const std::vector<Row> rows = {
        {"Return takes the default Yes", withMain, Key::Return, "answer yes\n", 10},
        {"Escape takes No", withMain, Key::Escape, "answer no\n", 11},
        {"Return on a lone OK box", alone, Key::Return, "answer ok\n", 12},
        {"Escape on a lone OK box", alone, Key::Escape, "answer ok\n", 12},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OculetProcess oculet(kTestWindow);
        ASSERT_TRUE(oculet.start(row.args));
        WindowId mainId = 0;
        if (row.args.contains(QStringLiteral("--title"))) {
            const auto main = oculet.waitForMainWindow();
            ASSERT_TRUE(main.has_value());
            mainId = main->id;
        }
        const auto box = oculet.waitForMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->title, QStringLiteral("Oculet"));
        EXPECT_EQ(box->pid, oculet.pid());
        EXPECT_NE(box->id, mainId);
        if (mainId != 0) {
            EXPECT_EQ(box->transientFor, mainId);
        }

        EXPECT_TRUE(oculet.answer(row.key));
        EXPECT_EQ(oculet.waitForExit(), row.exitCode);
        EXPECT_TRUE(oculet.standardOutput().endsWith(row.answer))
            << oculet.standardOutput().toStdString();
    }
}

OCULET_ON_EVERY_DESKTOP(OculetWindows);

TEST(OculetProcess, TerminateReturnsHowTheProcessEnded) {
    struct Row {
        const char* name;
        QStringList args;
        int result;
        bool crashed;
    };
    const std::vector<Row> rows = {
        {"handles SIGTERM with its own exit code",
         {QStringLiteral("--term-exit"), QStringLiteral("7")},
         7,
         false},
        {"handles SIGTERM with a clean exit",
         {QStringLiteral("--term-exit"), QStringLiteral("0")},
         0,
         false},
        {"dies of SIGTERM", {}, -SIGTERM, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OculetProcess process(kTestWindow);
        ASSERT_TRUE(process.start(row.args));
        ASSERT_TRUE(process.waitForOutput("ready "));
        EXPECT_EQ(process.terminate(), row.result);
        EXPECT_EQ(process.crashed(), row.crashed);
        EXPECT_FALSE(process.isRunning());
        EXPECT_TRUE(processGone(process.pid()));
    }
}

TEST(OculetProcess, TerminateKillsAndFailsLoudlyWhenSigtermIsIgnored) {
    OculetProcess process(kTestWindow);
    ASSERT_TRUE(process.start({QStringLiteral("--ignore-term")}));
    ASSERT_TRUE(process.waitForOutput("ready "));
    int result = 0;
    EXPECT_NONFATAL_FAILURE(result = process.terminate(300), "ignored SIGTERM for 300 ms");
    EXPECT_EQ(result, -SIGKILL);
    EXPECT_FALSE(process.isRunning());
}

TEST(OculetProcess, LeavesNoProcessBehind) {
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("--ignore-term")}}) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        qint64 pid = 0;
        {
            OculetProcess process(kTestWindow);
            ASSERT_TRUE(process.start(args));
            ASSERT_TRUE(process.waitForOutput("ready "));
            pid = process.pid();
            ASSERT_GT(pid, 0);
        }
        EXPECT_TRUE(processGone(pid)) << "process " << pid << " outlived its OculetProcess";
    }
}

TEST(OculetProcess, PassesTheEnvironmentAndCapturesBothStreams) {
    OculetProcess shell(QStringLiteral("/bin/sh"));
    ASSERT_TRUE(shell.start(
        {QStringLiteral("-c"),
         QStringLiteral("echo \"$OCULET_HARNESS_WORD $HOME $DISPLAY\"; echo trouble >&2; exit 3")},
        {{QStringLiteral("OCULET_HARNESS_WORD"), QStringLiteral("hello")}}));
    EXPECT_EQ(shell.waitForExit(), 3);
    EXPECT_FALSE(shell.crashed());
    EXPECT_EQ(
        QString::fromUtf8(shell.standardOutput()),
        QStringLiteral("hello %1 %2\n").arg(TestEnvironment::home(), TestEnvironment::display()));
    EXPECT_EQ(shell.standardError(), QByteArray("trouble\n"));
}

TEST(OculetProcess, WaitsGiveUpOnceTheProcessHasEnded) {
    OculetProcess shell(QStringLiteral("/bin/sh"));
    ASSERT_TRUE(shell.start({QStringLiteral("-c"), QStringLiteral("exit 0")}));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(shell.waitForMainWindow(20000).has_value());
    EXPECT_FALSE(shell.waitForMessageBox(20000).has_value());
    EXPECT_FALSE(shell.answer(Key::Return, 20000));
    EXPECT_FALSE(shell.waitForOutput("never", 20000));
    // Far below the 80 s these waits would take if they ignored the ended process.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(shell.terminate(), 0);
}

} // namespace
} // namespace oculet::test

#include "ui/UpdateCheck.h"

#include "settings/InterfaceTexts.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/HttpServer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QFile>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

namespace oculet {
namespace {

using test::pollUntil;

TEST(UpdateCheck, TheOfferedVersionIsFourCharactersElevenAfterTheNameReadAsANumber) {
    struct Row {
        const char* page;
        std::optional<double> offered; // none: no product name, nothing asked
    };
    // Name, five other characters, then the version.
    for (const Row& row : {Row{"<b>Oculet (v. 2.22)</b>", 2.22}, Row{"Oculet 12342.21", 2.21},
                           Row{"Oculet abc 2.3 and more", 2.3}, Row{"xOculetxxxxx2.2.1", 2.2},
                           Row{"Oculet abcd  7x", 7}, Row{"Oculet 12342.", 2}, Row{"Oculet abc", 0},
                           Row{"oculet (v. 9.99)", std::nullopt}, Row{"", std::nullopt}}) {
        const std::optional<QString> text = offeredVersionText(row.page);
        ASSERT_EQ(text.has_value(), row.offered.has_value()) << row.page;
        if (text) {
            EXPECT_DOUBLE_EQ(versionValue(*text), *row.offered) << row.page;
        }
    }
    EXPECT_DOUBLE_EQ(installedVersion("Oculet 2.21"), 2.21);
    EXPECT_DOUBLE_EQ(installedVersion("Oculet 2.3"), 2.3);
    EXPECT_EQ(defaultDownloadPage("https://user@example.org:8080/v/x.html?q=1"),
              "https://example.org:8080/_mgxroot/page_10728.html");
}

TEST(UpdateCheck, ANewerVersionAsksOnceWhenNoPanelIsOpenAndFailuresShowNothing) {
    test::HttpServer server;
    InterfaceTexts texts;
    // The desktop's browser is a stand-in on PATH that notes the address it is given.
    const QString bin = test::TestEnvironment::makeTempDir("bin");
    const QString opened = bin + "/opened";
    test::writeFile(bin + "/xdg-open", QStringLiteral("#!/bin/sh\necho \"$1\" >> %1\n").arg(opened).toUtf8());
    QFile::setPermissions(bin + "/xdg-open", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", bin.toUtf8() + ":" + qgetenv("PATH"));
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();

    struct Row {
        QString page;
        bool asks;
    };
    for (const Row& row : {Row{server.page("/newer"), true}, Row{server.page("/same"), false},
                           Row{server.page("/slow"), false}, Row{server.page("/missing"), false},
                           Row{server.page("/huge"), false}, Row{refused, false}}) {
        SCOPED_TRACE(row.page.toStdString());
        test::RecordingMessages messages;
        bool panelOpen = true;
        UpdateCheck::Hooks hooks;
        hooks.mayAsk = [&] { return !panelOpen; };
        hooks.limits = {1000, 2000, 1024 * 1024};
        UpdateCheck check(row.page, {}, "Oculet 2.21", texts, messages, hooks);
        bool finished = false;
        QObject::connect(&check, &UpdateCheck::finished, [&] { finished = true; });
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(50);
        check.start(0);
        pollUntil(row.asks ? 1500 : 3500, [&] { return finished; });
        EXPECT_TRUE(messages.shown.isEmpty()) << "asked over an open panel";
        panelOpen = false;
        if (row.asks) {
            // The question does not wait for its answer, and the check is over only once answered.
            ASSERT_TRUE(pollUntil(2000, [&] { return !messages.shown.isEmpty(); }));
            EXPECT_FALSE(finished);
            messages.answerAll(true);
        }
        EXPECT_EQ(pollUntil(2000, [&] { return finished; }), true);
        EXPECT_EQ(messages.shown.size(), row.asks ? 1 : 0);
        if (row.page.endsWith("/slow")) {
            EXPECT_GT(ticks, 20) << "the window waited for the page";
        }
        if (row.asks) {
            EXPECT_FALSE(pollUntil(700, [&] { return messages.shown.size() > 1; })) << "asked again";
            EXPECT_EQ(messages.shown.value(0), texts[Text::UpdateQuestion] + "\n\n" +
                                                    texts[Text::UpdateQuestionMore] + " 2.22?");
            EXPECT_TRUE(pollUntil(3000, [&] { return QFile::exists(opened); }));
            EXPECT_EQ(test::readFile(opened).trimmed(), server.page("/_mgxroot/page_10728.html").toUtf8());
        }
    }
    // An answer that comes after the check has gone (the program is ending) acts on nothing.
    {
        test::RecordingMessages late;
        auto check = std::make_unique<UpdateCheck>(server.page("/newer"), QString(), "Oculet 2.21", texts, late,
                                                   UpdateCheck::Hooks{});
        check->start(0);
        ASSERT_TRUE(pollUntil(3000, [&] { return !late.pending.empty(); }));
        check.reset();
        QFile::remove(opened);
        late.answerAll(true);
        EXPECT_FALSE(pollUntil(500, [&] { return QFile::exists(opened); }));
    }
    // Without a version page nothing is ever contacted.
    const QByteArray before = server.requests();
    test::RecordingMessages messages;
    UpdateCheck silent({}, {}, "Oculet 2.21", texts, messages, {});
    silent.start(0);
    pollUntil(500, [] { return false; });
    EXPECT_EQ(server.requests(), before);
}

} // namespace
} // namespace oculet

// The entry that starts Oculet with the session: what the desktop reads from it, and what the
// check box shows for entries the user made or switched off by hand.
#include "platform/Autostart.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace oculet::test {
namespace {

// Runs a tool of the desktop; its exit code, -1 when it could not run.
int runTool(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return process.exitCode();
}

TEST(Autostart, TheEntryStartsThisProgramAndTheBoxShowsEntriesMadeByHand) {
    const QString root = TestEnvironment::makeTempDir(QStringLiteral("autostart"));
    // Every character the entry has to quote, in the program's folder.
    const QString folder = root + QStringLiteral("/a \"b\" `c` $HOME \\d");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/oculet");
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\ntouch \"$0.started\"\n"));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const Autostart autostart(root + QStringLiteral("/config/autostart"), program);
    EXPECT_FALSE(autostart.isOn()) << "no folder yet";
    QString error;
    ASSERT_TRUE(autostart.setOn(true, &error)) << error.toStdString();
    ASSERT_TRUE(autostart.isOn());
    QString said;
    EXPECT_EQ(runTool(QStringLiteral("desktop-file-validate"), {autostart.entryPath()}, &said), 0)
        << said.toStdString();
    ASSERT_EQ(runTool(QStringLiteral("gio"), {QStringLiteral("launch"), autostart.entryPath()}, &said), 0)
        << said.toStdString();
    EXPECT_TRUE(pollUntil(5000, [&] { return QFileInfo::exists(program + QStringLiteral(".started")); }))
        << "the entry's command did not start the program: " << readFile(autostart.entryPath()).toStdString();

    ASSERT_TRUE(autostart.setOn(false, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(autostart.entryPath()));
    EXPECT_FALSE(autostart.isOn());
    EXPECT_TRUE(autostart.setOn(false)) << "nothing to remove is no failure";

    const std::pair<const char*, bool> handMade[] = {
        {"[Desktop Entry]\nType=Application\nName=Oculet\nExec=oculet\n", true},
        {"[Desktop Entry]\nType=Application\nName=Oculet\nExec=oculet\nHidden=true\n", false},
        {"[Desktop Entry]\nType=Application\nExec=oculet\nX-GNOME-Autostart-enabled=false\n", false},
    };
    for (const auto& [text, on] : handMade) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(writeFile(autostart.entryPath(), text));
        EXPECT_EQ(autostart.isOn(), on);
    }

    // An autostart "folder" that is a file: said, not ignored.
    ASSERT_TRUE(writeFile(root + QStringLiteral("/blocked"), "x"));
    const Autostart blocked(root + QStringLiteral("/blocked"), program);
    error.clear();
    EXPECT_FALSE(blocked.setOn(true, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace oculet::test

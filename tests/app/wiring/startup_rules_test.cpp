// What start-up does with files an older installation left behind, on real folders.
#include "app/StartupRules.h"
#include "platform/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace oculet {
namespace {

TEST(StartupRules, TheOffPictureMovesIntoTheDataFolderButStaysWhereItWasUntilItCan) {
    const QString program = test::TestEnvironment::makeTempDir("program");
    const QString data = test::TestEnvironment::makeTempDir("data");
    const QString name = u'/' + Paths::offPictureName();
    ASSERT_TRUE(test::writeFile(program + name, "off") && QDir().mkpath(data + name)); // a folder in the way
    moveOffPictureIntoDataFolder(program, data);
    EXPECT_EQ(test::readFile(program + name), "off") << "removed though it could not be copied";
    ASSERT_TRUE(QDir().rmdir(data + name));
    moveOffPictureIntoDataFolder(program, data);
    EXPECT_TRUE(test::readFile(data + name) == "off" && !QFile::exists(program + name));
}

} // namespace
} // namespace oculet

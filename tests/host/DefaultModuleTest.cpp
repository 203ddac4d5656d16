// Where zazod-host looks for its module by default: the build's own module when it runs from its
// build folder (also reached through a symbolic link), else the module of its own installation,
// relative to the program's folder wherever the prefix is.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "DefaultModule.h"

namespace {

struct InstalledCase {
  const char* name;
  QString programDir;
  QString module;
};

class DefaultModuleInstalled : public ::testing::TestWithParam<InstalledCase> {};

TEST_P(DefaultModuleInstalled, IsTheModuleOfTheSameInstallation) {
  EXPECT_EQ(DefaultModule::pathFor(GetParam().programDir), GetParam().module);
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, DefaultModuleInstalled,
    ::testing::Values(
        InstalledCase{"Usr", "/usr/bin", "/usr/lib/zazod/modules/zaZod_190.so"},
        InstalledCase{"TrailingSlash", "/opt/zazod/bin/", "/opt/zazod/lib/zazod/modules/zaZod_190.so"},
        InstalledCase{"Blanks", "/tmp/host prefix/bin", "/tmp/host prefix/lib/zazod/modules/zaZod_190.so"},
        // A folder that does not exist is no build folder either: the installed layout is named,
        // and loading reports that path missing rather than falling back to some build's module.
        InstalledCase{"Missing", "/nonexistent/bin", "/nonexistent/lib/zazod/modules/zaZod_190.so"}),
    [](const ::testing::TestParamInfo<InstalledCase>& info) { return info.param.name; });

TEST(DefaultModuleBuild, TheBuildFolderLoadsTheBuildsModule) {
  EXPECT_EQ(DefaultModule::pathFor(ZAZOD_TEST_HOST_DIR), QStringLiteral(ZAZOD_TEST_BUILD_MODULE));
}

TEST(DefaultModuleBuild, ALinkToTheBuildFolderIsTheBuildFolder) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const QString link = scratch.filePath(QStringLiteral("host"));
  ASSERT_TRUE(QFile::link(QStringLiteral(ZAZOD_TEST_HOST_DIR), link));
  EXPECT_EQ(DefaultModule::pathFor(link), QStringLiteral(ZAZOD_TEST_BUILD_MODULE));
}

}  // namespace

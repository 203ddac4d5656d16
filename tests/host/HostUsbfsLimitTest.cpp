// zazod-host list with the Aravis transport discovering, so that every listed camera may be a USB3
// Vision camera: the exact lines it prints about the usbfs memory limit, read from a file the test
// writes. The Aravis discovery broadcasts on every interface, so this program runs only inside a
// private network namespace with nothing but loopback (scripts/netns); listing its tests works
// anywhere.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "HostRun.h"
#include "NetworkNamespace.h"

namespace {

struct LimitCase {
  const char* name;
  const char* content;  // of the limit file; null: no file there
  QMap<QString, QString> settings;
  QStringList warning;  // after "zazod-host: "; %1 is the file's path
};

void PrintTo(const LimitCase& value, std::ostream* out) { *out << value.name; }

const QMap<QString, QString> kDiscovering{{"ZAZOD_SDK_TRANSPORTS", "emulation,aravis"},
                                          {"ZAZOD_SDK_EMULATED_CAMERAS", "2"}};

class HostListUsbfsLimit : public testing::TestWithParam<LimitCase> {};

TEST_P(HostListUsbfsLimit, WarnsOnStderrWithTheCommandThatRaisesIt) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath("usbfs_memory_mb");
  if (GetParam().content != nullptr) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(GetParam().content);
  }
  QMap<QString, QString> environment = GetParam().settings;
  environment.insert("ZAZOD_HOST_USBFS_LIMIT_FILE", path);
  const HostRun run = HostRun::of({"list"}, environment);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.out, "basler EMU0001\nbasler EMU0002\n") << run;
  QStringList expected;
  for (const QString& line : GetParam().warning) {
    expected << "zazod-host: " + QString(line).replace("%1", path);
  }
  EXPECT_EQ(run.errLines(), expected) << run;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HostListUsbfsLimit,
    testing::Values(
        LimitCase{
            "KernelDefault",
            "16\n",
            kDiscovering,
            {"warning: the usbfs memory limit is 16 MiB, below the 80 MiB that 2 listed cameras need if they "
             "are USB3 Vision (10 buffers of 2048x2048 Mono8 each); their frames may fail",
             "raise it now: echo 1000 | sudo tee %1",
             "and at boot: add usbcore.usbfs_memory_mb=1000 to the kernel command line"}},
        LimitCase{"Enough", "80\n", kDiscovering, {}}, LimitCase{"Unlimited", "0\n", kDiscovering, {}},
        LimitCase{"NoUsbcore", nullptr, kDiscovering, {}},
        LimitCase{
            "Garbage",
            "16\x1b[2J\n",
            kDiscovering,
            {"warning: cannot tell the usbfs memory limit: %1 holds \"16\\x1b[2J\\n\", not a number of MiB"}},
        // Without the Aravis transport, or with it asking GigE Vision addresses only, no listed camera
        // can be a USB3 Vision camera.
        LimitCase{"EmulationOnly", "16\n", {{"ZAZOD_SDK_EMULATED_CAMERAS", "2"}}, {}},
        LimitCase{"AddressesOnly",
                  "16\n",
                  {{"ZAZOD_SDK_TRANSPORTS", "emulation,aravis"},
                   {"ZAZOD_SDK_ARAVIS_ADDRESSES", "127.0.0.1"},
                   {"ZAZOD_SDK_EMULATED_CAMERAS", "2"}},
                  {}}),
    [](const testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

bool listingOnly(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!listingOnly(argc, argv) && !NetworkNamespace::onlyLoopback()) {
    std::fprintf(stderr,
                 "host_usbfs_limit_tests: refusing to run outside a private network namespace with only "
                 "loopback; run it as scripts/netns %s\n",
                 argv[0]);
    return 1;
  }
  return RUN_ALL_TESTS();
}

// The usbfs memory limit: the strict reading of usbcore's parameter file, which files are refused
// without being read, which settings of the SDK layer make listed cameras count as possible USB3
// Vision cameras, and the exact lines zazod-host list prints.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include "UsbfsMemoryLimit.h"

namespace {

using State = UsbfsMemoryLimit::State;

const QString kPath = QStringLiteral("/sys/module/usbcore/parameters/usbfs_memory_mb");
const QString kRaise = QStringLiteral("raise it now: echo 1000 | sudo tee ") + kPath;
const QString kBoot =
    QStringLiteral("and at boot: add usbcore.usbfs_memory_mb=1000 to the kernel command line");

struct ParseCase {
  const char* name;
  QByteArray content;
  State state;
  uint64_t megabytes;
  QString problem;
};

void PrintTo(const ParseCase& value, std::ostream* out) { *out << value.name; }

class UsbfsLimitParse : public testing::TestWithParam<ParseCase> {};

TEST_P(UsbfsLimitParse, TakesDigitsAndOneNewlineOnly) {
  const UsbfsMemoryLimit limit = UsbfsMemoryLimit::parse(GetParam().content);
  EXPECT_EQ(limit.state(), GetParam().state);
  EXPECT_EQ(limit.megabytes(), GetParam().megabytes);
  EXPECT_EQ(limit.problem(), GetParam().problem);
}

const QString kNotANumber = QStringLiteral("holds %1, not a number of MiB");

INSTANTIATE_TEST_SUITE_P(
    Contents, UsbfsLimitParse,
    testing::Values(
        ParseCase{"KernelDefault", "16\n", State::Limited, 16, {}},
        ParseCase{"NoNewline", "16", State::Limited, 16, {}},
        ParseCase{"Zero", "0\n", State::Unlimited, 0, {}},
        ParseCase{"LeadingZeros", "0040\n", State::Limited, 40, {}},
        ParseCase{"Largest", "4294967295\n", State::Limited, 4294967295ULL, {}},
        ParseCase{"AboveUnsigned", "4294967296\n", State::Invalid, 0, "holds a number above 4294967295"},
        ParseCase{"TwentyDigits", "99999999999999999999", State::Invalid, 0,
                  "holds a number above 4294967295"},
        ParseCase{"TooLong", QByteArray(33, '1'), State::Invalid, 0, "holds more than 32 bytes"},
        ParseCase{"Empty", "", State::Invalid, 0, "is empty"},
        ParseCase{"NewlineOnly", "\n", State::Invalid, 0, kNotANumber.arg("\"\\n\"")},
        ParseCase{"TwoNewlines", "16\n\n", State::Invalid, 0, kNotANumber.arg("\"16\\n\\n\"")},
        ParseCase{"CarriageReturn", "16\r\n", State::Invalid, 0, kNotANumber.arg("\"16\\x0d\\n\"")},
        ParseCase{"LeadingBlank", " 16\n", State::Invalid, 0, kNotANumber.arg("\" 16\\n\"")},
        ParseCase{"TrailingBlank", "16 \n", State::Invalid, 0, kNotANumber.arg("\"16 \\n\"")},
        ParseCase{"Sign", "-1\n", State::Invalid, 0, kNotANumber.arg("\"-1\\n\"")},
        ParseCase{"Unit", "16M", State::Invalid, 0, kNotANumber.arg("\"16M\"")},
        ParseCase{"Hex", "0x10", State::Invalid, 0, kNotANumber.arg("\"0x10\"")},
        ParseCase{"QuoteAndEscape", "1\"\\\x1b[2J", State::Invalid, 0,
                  kNotANumber.arg("\"1\\\"\\\\\\x1b[2J\"")},
        ParseCase{"NulInside",
                  QByteArray("1\0"
                             "6",
                             3),
                  State::Invalid, 0, kNotANumber.arg("\"1\\x006\"")},
        ParseCase{"HighBytes", "\xff\xfe", State::Invalid, 0, kNotANumber.arg("\"\\xff\\xfe\"")}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------

struct WarningCase {
  const char* name;
  QByteArray content;  // of the parameter file
  int cameras;
  QStringList lines;
};

void PrintTo(const WarningCase& value, std::ostream* out) { *out << value.name; }

class UsbfsLimitWarning : public testing::TestWithParam<WarningCase> {};

TEST_P(UsbfsLimitWarning, WarnsOnlyBelowWhatTheBuffersNeed) {
  EXPECT_EQ(UsbfsMemoryLimit::parse(GetParam().content).warning(GetParam().cameras, kPath), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, UsbfsLimitWarning,
    testing::Values(
        WarningCase{
            "DefaultOneCamera",
            "16\n",
            1,
            {"warning: the usbfs memory limit is 16 MiB, below the 40 MiB that 1 listed camera needs if "
             "it is USB3 Vision (10 buffers of 2048x2048 Mono8 each); its frames may fail",
             kRaise, kBoot}},
        WarningCase{
            "BelowTwoCameras",
            "79\n",
            2,
            {"warning: the usbfs memory limit is 79 MiB, below the 80 MiB that 2 listed cameras need if "
             "they are USB3 Vision (10 buffers of 2048x2048 Mono8 each); their frames may fail",
             kRaise, kBoot}},
        WarningCase{"Equal", "80\n", 2, {}}, WarningCase{"Above", "1000\n", 2, {}},
        WarningCase{"Unlimited", "0\n", 30, {}}, WarningCase{"NoCamera", "16\n", 0, {}},
        WarningCase{
            "NeedAboveTheSuggestion",
            "1000\n",
            26,
            {"warning: the usbfs memory limit is 1000 MiB, below the 1040 MiB that 26 listed cameras "
             "need if they are USB3 Vision (10 buffers of 2048x2048 Mono8 each); their frames may fail",
             "raise it now: echo 1040 | sudo tee " + kPath,
             "and at boot: add usbcore.usbfs_memory_mb=1040 to the kernel command line"}},
        WarningCase{"Garbage",
                    "lots\n",
                    1,
                    {"warning: cannot tell the usbfs memory limit: " + kPath +
                     " holds \"lots\\n\", not a number of MiB"}},
        WarningCase{"GarbageNoCamera", "lots\n", 0, {}},
        WarningCase{
            "Huge",
            "4294967296",
            1,
            {"warning: cannot tell the usbfs memory limit: " + kPath + " holds a number above 4294967295"}}),
    [](const testing::TestParamInfo<WarningCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------

TEST(UsbfsLimitRead, AMissingFileIsNoLimitAndGivesNoWarning) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const UsbfsMemoryLimit limit = UsbfsMemoryLimit::read(folder.filePath("usbfs_memory_mb"));
  EXPECT_EQ(limit.state(), State::Missing);
  EXPECT_EQ(limit.warning(4, kPath), QStringList());
}

TEST(UsbfsLimitRead, ReadsTheFileAndOnlyItsFirstBytes) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath("usbfs_memory_mb");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("16\n");
  file.close();
  EXPECT_EQ(UsbfsMemoryLimit::read(path).megabytes(), 16U);

  // A file of a gigabyte's worth of digits would be as refused: nothing past the bound is read.
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(1 << 20, '7'));
  file.close();
  EXPECT_EQ(UsbfsMemoryLimit::read(path).problem(), "holds more than 32 bytes");
}

// A pipe at the path would block the host forever on its read; a folder cannot be read.
TEST(UsbfsLimitRead, RefusesWhatIsNoRegularFileWithoutReadingIt) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString pipe = folder.filePath("pipe");
  ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
  for (const QString& path : {pipe, folder.path()}) {
    const UsbfsMemoryLimit limit = UsbfsMemoryLimit::read(path);
    EXPECT_EQ(limit.state(), State::Invalid) << path.toStdString();
    EXPECT_EQ(limit.problem(), "is not a regular file") << path.toStdString();
  }
}

// ---------------------------------------------------------------------------------------------

struct CandidateCase {
  const char* name;
  QMap<QString, QString> environment;
  int candidates;  // of 3 listed cameras
};

void PrintTo(const CandidateCase& value, std::ostream* out) { *out << value.name; }

class UsbfsLimitCandidates : public testing::TestWithParam<CandidateCase> {};

TEST_P(UsbfsLimitCandidates, CountsListedCamerasWhileAravisDiscovers) {
  QProcessEnvironment environment;
  for (auto it = GetParam().environment.begin(); it != GetParam().environment.end(); ++it) {
    environment.insert(it.key(), it.value());
  }
  EXPECT_EQ(UsbfsMemoryLimit::usb3VisionCandidates(environment, 3), GetParam().candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, UsbfsLimitCandidates,
    testing::Values(
        CandidateCase{"Default", {}, 0},
        CandidateCase{"Emulation", {{"ZAZOD_SDK_TRANSPORTS", "emulation"}}, 0},
        CandidateCase{"Aravis", {{"ZAZOD_SDK_TRANSPORTS", "aravis"}}, 3},
        CandidateCase{"BothWithBlanks", {{"ZAZOD_SDK_TRANSPORTS", "emulation , aravis "}}, 3},
        CandidateCase{"NameInsideAnother", {{"ZAZOD_SDK_TRANSPORTS", "aravis2,xaravis"}}, 0},
        CandidateCase{"AddressesOnly",
                      {{"ZAZOD_SDK_TRANSPORTS", "aravis"}, {"ZAZOD_SDK_ARAVIS_ADDRESSES", "127.0.0.1"}},
                      0},
        CandidateCase{
            "EmptyAddressList", {{"ZAZOD_SDK_TRANSPORTS", "aravis"}, {"ZAZOD_SDK_ARAVIS_ADDRESSES", ""}}, 0}),
    [](const testing::TestParamInfo<CandidateCase>& info) { return info.param.name; });

TEST(UsbfsLimitPath, TheEnvironmentMayNameAnotherFile) {
  QProcessEnvironment environment;
  EXPECT_EQ(UsbfsMemoryLimit::path(environment), kPath);
  environment.insert("ZAZOD_HOST_USBFS_LIMIT_FILE", "/tmp/limit");
  EXPECT_EQ(UsbfsMemoryLimit::path(environment), "/tmp/limit");
}

}  // namespace

// zazod-host as integrators run it: a process with emulated cameras of the SDK layer, checked by its
// exit code, its output and the pictures it writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "HostRun.h"

namespace {

using Environment = QMap<QString, QString>;

const Environment kOneCamera{{"ZAZOD_SDK_EMULATED_CAMERAS", "1"}};

QImage picture(const QString& path) { return QImage(path).convertToFormat(QImage::Format_Grayscale8); }

// The size of a contact sheet of `tiles` half-size 640x480 frames in columns of ceil(sqrt(n)).
QSize contactSheetSize(int tiles) {
  int columns = 1;
  while (columns * columns < tiles) {
    ++columns;
  }
  const int rows = (tiles + columns - 1) / columns;
  return QSize(4 + columns * (320 + 4), 4 + rows * (240 + 4));
}

// ---------------------------------------------------------------------------------------------
// list

struct ListCase {
  const char* name;
  QStringList arguments;
  Environment environment;
  QString expectedOut;
};

void PrintTo(const ListCase& value, std::ostream* out) { *out << value.name; }

class HostList : public testing::TestWithParam<ListCase> {};

TEST_P(HostList, PrintsOneLinePerListedKey) {
  const HostRun run = HostRun::of(QStringList{"list"} + GetParam().arguments, GetParam().environment);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.out, GetParam().expectedOut) << run;
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, HostList,
    testing::Values(
        ListCase{"NoneSet", {}, {}, "no camera present\n"},
        ListCase{"ZeroEmulated", {}, {{"ZAZOD_SDK_EMULATED_CAMERAS", "0"}}, "no camera present\n"},
        ListCase{
            "TwoEmulated", {}, {{"ZAZOD_SDK_EMULATED_CAMERAS", "2"}}, "basler EMU0001\nbasler EMU0002\n"},
        ListCase{"TwoByOption", {"--emulate", "2"}, {}, "basler EMU0001\nbasler EMU0002\n"},
        ListCase{"ZeroByOption",
                 {"--emulate", "0"},
                 {{"ZAZOD_SDK_EMULATED_CAMERAS", "2"}},
                 "no camera present\n"}),
    [](const testing::TestParamInfo<ListCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// grab into pictures

struct PictureCase {
  const char* name;
  QStringList arguments;
  int frames;
  int every;
};

void PrintTo(const PictureCase& value, std::ostream* out) { *out << value.name; }

class HostGrabPictures : public testing::TestWithParam<PictureCase> {};

TEST_P(HostGrabPictures, WritesDistinctFramesOfTheCameraSizeAndAContactSheet) {
  const PictureCase& param = GetParam();
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  const HostRun run = HostRun::of(QStringList{"grab", "--frames", QString::number(param.frames), "--every",
                                              QString::number(param.every), "--out", out.path()} +
                                      param.arguments,
                                  kOneCamera);
  ASSERT_TRUE(run.finished) << run;
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.summaryValue("snapped"), param.frames) << run;
  EXPECT_EQ(run.summaryValue("delivered"), param.frames) << run;
  EXPECT_EQ(run.summaryValue("failed"), 0) << run;
  EXPECT_TRUE(run.err.isEmpty()) << run;

  QStringList expected;
  for (int ordinal = 1; ordinal <= param.frames; ordinal += param.every) {
    expected << QStringLiteral("frame-%1.png").arg(ordinal, 4, 10, QLatin1Char('0'));
  }
  const QDir dir(out.path());
  EXPECT_EQ(dir.entryList({"frame-*.png"}, QDir::Files, QDir::Name), expected) << run;

  QImage previous;
  for (const QString& name : expected) {
    const QImage image = picture(dir.filePath(name));
    ASSERT_FALSE(image.isNull()) << name.toStdString();
    EXPECT_EQ(image.size(), QSize(640, 480)) << name.toStdString();
    if (!previous.isNull()) {
      EXPECT_NE(image, previous) << name.toStdString() << " shows the same picture as the frame before";
    }
    previous = image;
  }
  const QImage sheet = picture(dir.filePath("contact.png"));
  ASSERT_FALSE(sheet.isNull()) << run;
  EXPECT_EQ(sheet.size(), contactSheetSize(std::min<int>(expected.size(), 16))) << run;
}

INSTANTIATE_TEST_SUITE_P(Modes, HostGrabPictures,
                         testing::Values(PictureCase{"Software", {"--mode", "software"}, 6, 1},
                                         PictureCase{"Counted", {"--mode", "counted"}, 6, 1},
                                         PictureCase{"SoftwareEveryThird", {}, 7, 3},
                                         PictureCase{"SoftwareAtFixedRate", {"--rate", "200"}, 8, 1},
                                         PictureCase{"MoreThanSixteen", {}, 20, 1}),
                         [](const testing::TestParamInfo<PictureCase>& info) { return info.param.name; });

TEST(HostGrab, CountedModeEndsAtTheFrameLimit) {
  const HostRun run =
      HostRun::of({"grab", "--mode", "counted", "--frames", "10", "--limit", "3"}, kOneCamera);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.summaryValue("delivered"), 3) << run;
  EXPECT_TRUE(run.out.contains("  snapped     3 (refused 1: frame limit 3 reached)")) << run;
}

TEST(HostGrab, CountedModeWithLimitZeroRefusesTheFirstSnap) {
  const HostRun run = HostRun::of({"grab", "--mode", "counted", "--frames", "4", "--limit", "0"}, kOneCamera);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.summaryValue("delivered"), 0) << run;
  EXPECT_TRUE(run.out.contains("  snapped     0 (refused 1: frame limit 0 reached)")) << run;
}

TEST(HostGrab, WithoutAnyCameraGrabsFromOneEmulatedCamera) {
  const HostRun run = HostRun::of({"grab", "--frames", "3"});
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  ASSERT_FALSE(run.outLines().isEmpty()) << run;
  EXPECT_EQ(run.outLines().first(), "no camera listed: grabbing from one emulated camera (--emulate 1)")
      << run;
  EXPECT_TRUE(run.out.contains("camera basler EMU0001, software mode, 3 frames")) << run;
  EXPECT_EQ(run.summaryValue("delivered"), 3) << run;
}

TEST(HostGrab, OpensTheCameraTheKeyNames) {
  const HostRun run = HostRun::of({"grab", "--frames", "2", "--key", "basler EMU0002"},
                                  {{"ZAZOD_SDK_EMULATED_CAMERAS", "3"}});
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_TRUE(run.out.contains("camera basler EMU0002, software mode, 2 frames")) << run;
  EXPECT_EQ(run.summaryValue("delivered"), 2) << run;
}

TEST(HostGrab, VerboseShowsTheModuleDebugLines) {
  const HostRun quiet = HostRun::of({"grab", "--frames", "2"}, kOneCamera);
  const HostRun verbose = HostRun::of({"grab", "--frames", "2", "--verbose"}, kOneCamera);
  ASSERT_TRUE(quiet.finished && verbose.finished) << quiet << verbose;
  const QString frameLine = "debug: \"Image Frame 2 grabbed.\"";
  EXPECT_FALSE(quiet.out.contains(frameLine)) << quiet;
  EXPECT_TRUE(verbose.out.contains(frameLine)) << verbose;
}

// ---------------------------------------------------------------------------------------------
// hardware trigger on Line1

struct HardwareCase {
  const char* name;
  QStringList arguments;
  Environment environment;
};

void PrintTo(const HardwareCase& value, std::ostream* out) { *out << value.name; }

class HostGrabHardware : public testing::TestWithParam<HardwareCase> {};

TEST_P(HostGrabHardware, CollectsTheFramesOfLine1Pulses) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  const HostRun run = HostRun::of(
      QStringList{"grab", "--mode", "hardware", "--frames", "5", "--out", out.path()} + GetParam().arguments,
      GetParam().environment);
  ASSERT_TRUE(run.finished) << run;
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_GE(run.summaryValue("delivered"), 5) << run;
  EXPECT_EQ(run.summaryValue("snapped"), 0) << run;
  EXPECT_TRUE(run.out.contains("camera basler EMU0001, hardware mode, 5 frames")) << run;
  const QImage first = picture(QDir(out.path()).filePath("frame-0001.png"));
  const QImage fifth = picture(QDir(out.path()).filePath("frame-0005.png"));
  EXPECT_EQ(first.size(), QSize(640, 480));
  EXPECT_EQ(fifth.size(), QSize(640, 480));
  EXPECT_NE(first, fifth);
}

INSTANTIATE_TEST_SUITE_P(Pulses, HostGrabHardware,
                         testing::Values(HardwareCase{"FromTheEnvironment",
                                                      {},
                                                      {{"ZAZOD_SDK_EMULATED_CAMERAS", "1"},
                                                       {"ZAZOD_SDK_EMULATED_LINE1_HZ", "50"}}},
                                         HardwareCase{
                                             "FromEmulateAndRate", {"--emulate", "1", "--rate", "50"}, {}},
                                         HardwareCase{"FromEmulateAlone", {"--emulate", "1"}, {}},
                                         HardwareCase{"EmbeddedDefault", {}, {}}),
                         [](const testing::TestParamInfo<HardwareCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// bad input: one line on stderr, a non-zero exit code of its kind, never a crash

struct ErrorCase {
  const char* name;
  QStringList arguments;
  Environment environment;
  int exitCode;
  const char* errorPattern;  // the whole stderr line
};

void PrintTo(const ErrorCase& value, std::ostream* out) { *out << value.name; }

class HostBadInput : public testing::TestWithParam<ErrorCase> {};

TEST_P(HostBadInput, EndsWithOneClearLineAndItsExitCode) {
  const ErrorCase& param = GetParam();
  const HostRun run = HostRun::of(param.arguments, param.environment);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, param.exitCode) << run;
  ASSERT_EQ(run.errLines().size(), 1) << run;
  const QRegularExpression pattern(QStringLiteral("^zazod-host: %1$").arg(param.errorPattern));
  ASSERT_TRUE(pattern.isValid()) << param.errorPattern;
  EXPECT_TRUE(pattern.match(run.errLines().first()).hasMatch()) << "wanted: " << param.errorPattern << "\n"
                                                                << run;
}

INSTANTIATE_TEST_SUITE_P(
    Module, HostBadInput,
    testing::Values(
        ErrorCase{"Missing",
                  {"list", "--module", "/nonexistent/zaZod_190.so"},
                  {},
                  3,
                  "the module /nonexistent/zaZod_190.so does not exist"},
        ErrorCase{"Folder", {"grab", "--module", "/"}, {}, 3, "the module / is not a file"},
        ErrorCase{"NotALibrary",
                  {"list", "--module", ZAZOD_TEST_TEXT_FILE},
                  kOneCamera,
                  3,
                  "cannot load the module .*CMakeLists.txt: .+"},
        ErrorCase{"NoExports",
                  {"grab", "--module", ZAZOD_TEST_NO_EXPORTS_MODULE},
                  kOneCamera,
                  3,
                  ".*host_test_no_exports.so is not a camera module: it lacks the export Camera_Create"},
        ErrorCase{"CreateOnly",
                  {"list", "--module", ZAZOD_TEST_CREATE_ONLY_MODULE},
                  kOneCamera,
                  3,
                  ".*host_test_create_only.so is not a camera module: it lacks the export Camera_Delete"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Camera, HostBadInput,
    testing::Values(
        ErrorCase{"UnknownSerial",
                  {"grab", "--key", "basler NOPE"},
                  kOneCamera,
                  4,
                  "the module refused to open the camera \"basler NOPE\": it logged no reason; cameras "
                  "listed: basler EMU0001"},
        ErrorCase{"KeyWithoutSerial",
                  {"grab", "--key", "EMU0001"},
                  kOneCamera,
                  4,
                  "the module refused to open the camera \"EMU0001\": Camera key in config file invalid\\. "
                  "The format should be \\(name serialnum\\)\\. - CCameraBasler::IOpenCamera"},
        ErrorCase{"NoCameraPresent",
                  {"grab", "--key", "basler EMU0001"},
                  {},
                  4,
                  "the module refused to open the camera \"basler EMU0001\": No camera present - "
                  "CCameraBasler::IOpenCamera"},
        ErrorCase{"NoneEmulated",
                  {"grab", "--emulate", "0"},
                  {},
                  4,
                  "no camera present \\(with --emulate 0 and no --key\\)"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Arguments, HostBadInput,
    testing::Values(
        ErrorCase{
            "NoCommand", {}, {}, 2, "no command given: use list, grab, view or tables \\(see --help\\)"},
        ErrorCase{
            "UnknownCommand", {"snap"}, {}, 2, "unknown command \"snap\": use list, grab, view or tables"},
        ErrorCase{"UnknownOption", {"grab", "--colour"}, {}, 2, "Unknown option 'colour'\\."},
        ErrorCase{"BadMode",
                  {"grab", "--mode", "freerun"},
                  kOneCamera,
                  2,
                  "unknown grab mode \"freerun\": use hardware, software or counted"},
        ErrorCase{"ModeCode",
                  {"grab", "--mode", "2"},
                  kOneCamera,
                  2,
                  "unknown grab mode \"2\": use hardware, software or counted"},
        ErrorCase{"ZeroFrames",
                  {"grab", "--frames", "0"},
                  {},
                  2,
                  "--frames wants a whole number from 1 to 100000000, not \"0\""},
        ErrorCase{"WordForFrames",
                  {"grab", "--frames", "many"},
                  {},
                  2,
                  "--frames wants a whole number from 1 to 100000000, not \"many\""},
        ErrorCase{"ZeroEvery",
                  {"grab", "--every", "0"},
                  {},
                  2,
                  "--every wants a whole number from 1 to 100000000, not \"0\""},
        ErrorCase{
            "NegativeRate", {"grab", "--rate", "-5"}, {}, 2, "--rate wants a positive number, not \"-5\""},
        ErrorCase{
            "LimitOutsideCounted", {"grab", "--limit", "3"}, {}, 2, "--limit applies to --mode counted only"},
        ErrorCase{"GrabOptionForList",
                  {"list", "--frames", "3"},
                  {},
                  2,
                  "--frames is an option of grab, not of list"},
        ErrorCase{"TwoCommands", {"list", "grab"}, {}, 2, "one command at a time, not \"list grab\""}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Output, HostBadInput,
                         testing::Values(ErrorCase{"BelowAFile",
                                                   {"grab", "--out", ZAZOD_TEST_TEXT_FILE "/frames"},
                                                   kOneCamera,
                                                   6,
                                                   "cannot create the output folder .*CMakeLists.txt/frames"},
                                         ErrorCase{"ReadOnlyFileSystem",
                                                   {"grab", "--out", "/proc/zazod-frames"},
                                                   kOneCamera,
                                                   6,
                                                   "cannot create the output folder /proc/zazod-frames"}),
                         [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Frames, HostBadInput,
                         testing::Values(ErrorCase{
                             "HardwareWithoutPulses",
                             {"grab", "--mode", "hardware", "--frames", "3", "--timeout", "0.3"},
                             kOneCamera,
                             7,
                             "frames did not arrive within 0\\.3 s: 0 of 3 came"}),
                         [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

#ifdef ZAZOD_TEST_FAULT_MODULE
Environment withFault(const char* fault) {
  return {{"ZAZOD_SDK_EMULATED_CAMERAS", "1"}, {"ZAZOD_TEST_HOST_FAULT", fault}};
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostBadInput,
    testing::Values(
        ErrorCase{"NoTriggerReadiness",
                  {"grab", "--module", ZAZOD_TEST_FAULT_MODULE},
                  withFault("no-trigger-ready"),
                  5,
                  "IStartCamera refused to start \"basler EMU0001\" in software mode: The cameras must can "
                  "be queried whether they are ready to accept the next frame trigger\\. - "
                  "CCameraBasler::IStartCamera"},
        ErrorCase{"StartThrows",
                  {"grab", "--module", ZAZOD_TEST_FAULT_MODULE, "--mode", "counted"},
                  withFault("start-exception"),
                  5,
                  "IStartCamera refused to start \"basler EMU0001\" in counted mode: An exception "
                  "occurred : injected start failure - CCameraBasler::IStartCamera"},
        ErrorCase{"ListingThrows",
                  {"list", "--module", ZAZOD_TEST_FAULT_MODULE},
                  withFault("enum-exception"),
                  8,
                  "listing the cameras raised an exception in the module"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

// Failed grabs and skipped images leave no trace but the module's log lines; the summary counts them.
struct FaultCountCase {
  const char* name;
  const char* fault;
  long long delivered;
  long long failed;
  long long skipped;
};

void PrintTo(const FaultCountCase& value, std::ostream* out) { *out << value.name; }

class HostGrabFaults : public testing::TestWithParam<FaultCountCase> {};

TEST_P(HostGrabFaults, SummaryCountsWhatTheModuleLogged) {
  const FaultCountCase& param = GetParam();
  const HostRun run =
      HostRun::of({"grab", "--module", ZAZOD_TEST_FAULT_MODULE, "--frames", "5"}, withFault(param.fault));
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.summaryValue("snapped"), 5) << run;
  EXPECT_EQ(run.summaryValue("delivered"), param.delivered) << run;
  EXPECT_EQ(run.summaryValue("failed"), param.failed) << run;
  EXPECT_EQ(run.summaryValue("skipped"), param.skipped) << run;
  EXPECT_EQ(run.out.count("  warning: Basler Camera image grab error:"), param.failed) << run;
}

INSTANTIATE_TEST_SUITE_P(Faults, HostGrabFaults,
                         testing::Values(FaultCountCase{"None", "", 5, 0, 0},
                                         FaultCountCase{"TwoFailedGrabs", "failed-results:2", 3, 2, 0},
                                         FaultCountCase{"SkippedImages", "skipped:4", 5, 0, 4}),
                         [](const testing::TestParamInfo<FaultCountCase>& info) { return info.param.name; });

// A camera that ignores triggers: each frame is paired with its own snap, the ignored ones are
// counted on their own line, and only snaps after the last answered one make the grab exit 7.
// The wait for frames, 5 s, is long enough that an answered snap's frame always comes within it,
// even on a busy machine.
struct IgnoredTriggerCase {
  const char* name;
  const char* fault;
  int frames;
  int exitCode;
  long long delivered;
  QString withoutFrameLine;
  QString error;  // the stderr line, empty for none
};

void PrintTo(const IgnoredTriggerCase& value, std::ostream* out) { *out << value.name; }

class HostGrabIgnoredTriggers : public testing::TestWithParam<IgnoredTriggerCase> {};

TEST_P(HostGrabIgnoredTriggers, SummaryPairsFramesWithTheirOwnSnaps) {
  const IgnoredTriggerCase& param = GetParam();
  // 4 snaps a second: a frame paired with the snap before its own would show a latency of at
  // least one period, 250 ms, in every frame; its own snap's takes far less but for a stall.
  const HostRun run = HostRun::of({"grab", "--module", ZAZOD_TEST_FAULT_MODULE, "--frames",
                                   QString::number(param.frames), "--rate", "4", "--timeout", "5"},
                                  withFault(param.fault));
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, param.exitCode) << run;
  EXPECT_EQ(run.summaryValue("snapped"), param.frames) << run;
  EXPECT_EQ(run.summaryValue("delivered"), param.delivered) << run;
  EXPECT_TRUE(run.outLines().contains(param.withoutFrameLine)) << run;
  EXPECT_EQ(run.err.trimmed().toStdString(), param.error.toStdString()) << run;
  const QRegularExpressionMatch latency =
      QRegularExpression(
          "^  latency     p50 ([0-9.]+) ms, p99 ([0-9.]+) ms, max ([0-9.]+) ms \\(snap to frame, "
          "(\\d+) frames\\)$",
          QRegularExpression::MultilineOption)
          .match(run.out);
  ASSERT_TRUE(latency.hasMatch()) << run;
  EXPECT_LT(latency.captured(1).toDouble(), 250.0) << run;
  EXPECT_EQ(latency.captured(4).toLongLong(), param.delivered) << run;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostGrabIgnoredTriggers,
    testing::Values(
        IgnoredTriggerCase{"NoneIgnored", "", 6, 0, 6, "  triggers without a frame 0", ""},
        IgnoredTriggerCase{
            "EveryFifthIgnored", "ignore-every:5", 12, 0, 10,
            "  triggers without a frame 2 (2 ignored by the camera, which answered a later one)", ""},
        IgnoredTriggerCase{"LastTwoUnanswered", "ignore-from:9", 10, 7, 8,
                           "  triggers without a frame 2 (2 at the end unanswered within 5 s)",
                           "zazod-host: frames did not arrive within 5 s: 8 of 10 came, the last 2 snaps "
                           "unanswered"},
        IgnoredTriggerCase{
            "IgnoredAndUnanswered", "ignore-every:3", 9, 7, 6,
            "  triggers without a frame 3 (2 ignored by the camera, which answered a later one; "
            "1 at the end unanswered within 5 s)",
            "zazod-host: frames did not arrive within 5 s: 6 of 9 came, the last snap unanswered"}),
    [](const testing::TestParamInfo<IgnoredTriggerCase>& info) { return info.param.name; });
#endif

TEST(HostBadInput, TimeoutStillPrintsTheSummary) {
  const HostRun run =
      HostRun::of({"grab", "--mode", "hardware", "--frames", "2", "--timeout", "0.2"}, kOneCamera);
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 7) << run;
  EXPECT_EQ(run.summaryValue("delivered"), 0) << run;
}

// ---------------------------------------------------------------------------------------------
// tables

TEST(HostTables, PrintsTheFourNameTablesOfTheInterface) {
  const HostRun run = HostRun::of({"tables"});
  ASSERT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 0) << run;
  const QStringList lines = run.out.split('\n');
  for (const char* expected :
       {"camera families", "   190  Basler(190)", "     0  Unknown(0)", "   230  Dalsa(230)", "camera states",
        "     3  Running", "port types", "     5  TCP Client Session", "image formats", "     1  GRAY8",
        "    12  BGR32"}) {
    EXPECT_TRUE(lines.contains(expected)) << expected << "\n" << run;
  }
  // 14 families, 6 states, 6 port types, 8 image formats, four titles, three blank lines between.
  EXPECT_EQ(run.outLines().size(), 14 + 6 + 6 + 8 + 4) << run;
}

}  // namespace

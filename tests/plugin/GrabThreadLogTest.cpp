// The grab thread's lines under the host's logging rules: exactly the lines Qt delivers for each
// rule set and each kind of grab event, rules changed between frames and from another thread, a
// category filter, a host's own message handler and Qt's default one. Frames reach the sink and
// the fields are stored whatever the rules say.
#include <gtest/gtest.h>

#include <QDebug>
#include <QLoggingCategory>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "PluginTestSupport.h"

namespace {

using std::chrono::seconds;

constexpr uint32_t kSwitchNumber = 50;
constexpr uint32_t kMarkerNumber = 100;
constexpr uint32_t kErrorCode = 3758096385U;

LogLine frameLine(uint32_t number) {
  return debugLine(QString("\"Image Frame %1 grabbed.\"  _  CCameraBasler::OnImageGrabbed").arg(number));
}
const LogLine kFailedLine = warningLine(
    "Basler Camera image grab error:  3758096385   Frame lost in transfer  -  "
    "ZODOzizoZavozEzazodu::OnImageGrabbed");
const LogLine kSkippedLine =
    debugLine("Basler Camera( Emulated ), skipped  3  images.  -  ZODOzizoZavozEzazodu::OnImagesSkipped");
const LogLine kMarkerLine = frameLine(kMarkerNumber);

// A grabbing camera in software-trigger mode. The rules are read on the grab thread when a frame is
// handled, so a test changes them either while nothing is in flight or on the grab thread itself,
// from the sink call of a frame with a chosen number (onFrame). The marker frame that ends every
// test puts the default rules back from its sink call, so its line always arrives, and once it has
// arrived everything snapped before it has been handled.
class GrabLogTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    device = std::make_unique<emu::EmulatedCamera>(addCamera());
    createGrabbing(*device);
    sink.setAction([this](ICameraObject* object) {
      const uint32_t number = object->m_imageNumber;
      const auto action = m_atFrame.find(number);
      if (action != m_atFrame.end()) {
        action->second();
      }
      if (number == kMarkerNumber) {
        QLoggingCategory::setFilterRules(QString());
      }
    });
  }
  void TearDown() override {
    PluginTest::TearDown();
    QLoggingCategory::setFilterRules(QString());
  }

  // Runs `action` on the grab thread in the sink call of the frame with this image number, before
  // its line. To be called before the test's first snap.
  void onFrame(uint32_t number, std::function<void()> action) { m_atFrame[number] = std::move(action); }
  void snap() { ASSERT_EQ(camera->ISnapCamera(0), 1); }
  void snapNumbered(uint32_t number) {
    device->SetNextImageNumber(number);
    snap();
  }
  void snapMarker() {
    const size_t frames = sink.count();
    snapNumbered(kMarkerNumber);
    ASSERT_TRUE(sink.waitForFrames(frames + 1));
    ASSERT_TRUE(waitForLine(kMarkerLine));
  }
  bool waitForLine(const LogLine& line) const {
    const auto deadline = std::chrono::steady_clock::now() + seconds(5);
    for (size_t seen = 1;; ++seen) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (!log.waitForLines(seen, left)) {
        return false;
      }
      if (log.lines()[seen - 1] == line) {
        return true;
      }
    }
  }
  std::vector<uint32_t> sinkNumbers() const {
    std::vector<uint32_t> numbers;
    for (const RecordedFrame& frame : sink.frames()) {
      numbers.push_back(frame.imageNumber);
    }
    return numbers;
  }

  std::unique_ptr<emu::EmulatedCamera> device;

 private:
  std::map<uint32_t, std::function<void()>> m_atFrame;
};

enum class Event { GoodFrame, FailedGrab, SkippedImages };

const char* eventName(Event event) {
  switch (event) {
    case Event::GoodFrame:
      return "GoodFrame";
    case Event::FailedGrab:
      return "FailedGrab";
    case Event::SkippedImages:
      return "SkippedImages";
  }
  return "?";
}

// Rules in force for the first event, and from the switch frame on for the second event.
struct Rules {
  const char* name;
  const char* first;
  const char* second;
};

const Rules kAllOn{"AllOn", "", ""};
const Rules kDebugOff{"DebugOff", "*.debug=false", "*.debug=false"};
const Rules kDefaultDebugOff{"DefaultCategoryDebugOff", "default.debug=false", "default.debug=false"};
const Rules kWarningOff{"WarningOff", "*.warning=false", "*.warning=false"};
const Rules kDebugSwitchedOff{"DebugSwitchedOffBetweenFrames", "", "*.debug=false"};
const Rules kDebugSwitchedOn{"DebugSwitchedOnBetweenFrames", "*.debug=false", ""};
const Rules kWarningSwitchedOn{"WarningSwitchedOnBetweenFrames", "*.warning=false", ""};

struct RulesCase {
  Rules rules;
  Event event;
  // Every line of: the first event, the switch frame (number 50, under the second rules), the
  // second event and the marker frame.
  std::vector<LogLine> lines;
};

std::ostream& operator<<(std::ostream& out, const RulesCase& c) {
  return out << c.rules.name << "/" << eventName(c.event);
}

std::vector<RulesCase> rulesCases() {
  const LogLine f1 = frameLine(1);
  const LogLine f50 = frameLine(kSwitchNumber);
  const LogLine f51 = frameLine(kSwitchNumber + 1);
  const LogLine w = kFailedLine;
  const LogLine s = kSkippedLine;
  const LogLine m = kMarkerLine;
  return {
      {kAllOn, Event::GoodFrame, {f1, f50, f51, m}},
      {kAllOn, Event::FailedGrab, {w, f50, w, m}},
      {kAllOn, Event::SkippedImages, {s, f1, f50, s, f51, m}},
      {kDebugOff, Event::GoodFrame, {m}},
      {kDebugOff, Event::FailedGrab, {w, w, m}},
      {kDebugOff, Event::SkippedImages, {m}},
      {kDefaultDebugOff, Event::GoodFrame, {m}},
      {kDefaultDebugOff, Event::FailedGrab, {w, w, m}},
      {kDefaultDebugOff, Event::SkippedImages, {m}},
      {kWarningOff, Event::GoodFrame, {f1, f50, f51, m}},
      {kWarningOff, Event::FailedGrab, {f50, m}},
      {kWarningOff, Event::SkippedImages, {s, f1, f50, s, f51, m}},
      {kDebugSwitchedOff, Event::GoodFrame, {f1, m}},
      {kDebugSwitchedOff, Event::FailedGrab, {w, w, m}},
      {kDebugSwitchedOff, Event::SkippedImages, {s, f1, m}},
      {kDebugSwitchedOn, Event::GoodFrame, {f50, f51, m}},
      {kDebugSwitchedOn, Event::FailedGrab, {w, f50, w, m}},
      {kDebugSwitchedOn, Event::SkippedImages, {f50, s, f51, m}},
      {kWarningSwitchedOn, Event::GoodFrame, {f1, f50, f51, m}},
      {kWarningSwitchedOn, Event::FailedGrab, {f50, w, m}},
      {kWarningSwitchedOn, Event::SkippedImages, {s, f1, f50, s, f51, m}},
  };
}

class LoggingRules : public GrabLogTest, public ::testing::WithParamInterface<RulesCase> {
 protected:
  void snapEvent(Event event) {
    if (event == Event::FailedGrab) {
      device->FailNextResults(1, kErrorCode, "Frame lost in transfer");
    } else if (event == Event::SkippedImages) {
      device->InjectSkippedImages(3);
    }
    snap();
  }
};

TEST_P(LoggingRules, WriteExactlyTheLinesQtDelivers) {
  const RulesCase& c = GetParam();
  const QString second = QString::fromLatin1(c.rules.second);
  onFrame(kSwitchNumber, [second] { QLoggingCategory::setFilterRules(second); });
  QLoggingCategory::setFilterRules(QString::fromLatin1(c.rules.first));
  snapEvent(c.event);
  snapNumbered(kSwitchNumber);
  snapEvent(c.event);
  snapMarker();
  EXPECT_EQ(log.lines(), c.lines);

  // The sink saw every good frame with its fields stored, whatever the rules.
  for (const RecordedFrame& frame : sink.frames()) {
    EXPECT_EQ(frame.camera, camera.get());
    EXPECT_NE(frame.buffer, nullptr);
    EXPECT_EQ(frame.width, 640U);
    EXPECT_EQ(frame.height, 480U);
  }
  const std::vector<uint32_t> expected =
      c.event == Event::FailedGrab
          ? std::vector<uint32_t>{kSwitchNumber, kMarkerNumber}
          : std::vector<uint32_t>{1, kSwitchNumber, kSwitchNumber + 1, kMarkerNumber};
  EXPECT_EQ(sinkNumbers(), expected);
  EXPECT_EQ(camera->m_imageNumber, kMarkerNumber);
}

INSTANTIATE_TEST_SUITE_P(Table, LoggingRules, ::testing::ValuesIn(rulesCases()),
                         [](const ::testing::TestParamInfo<RulesCase>& info) {
                           return std::string(info.param.rules.name) + "_" + eventName(info.param.event);
                         });

// The frame line is what qDebug() delivers for its items, whatever the number's length.
TEST_F(GrabLogTest, FrameLineIsWhatQDebugDelivers) {
  const std::vector<uint32_t> numbers = {0, 9, 10, 65536, 4294967295U};
  for (uint32_t number : numbers) {
    snapNumbered(number);
  }
  snapMarker();
  std::vector<LogLine> lines = log.lines();
  ASSERT_EQ(lines.size(), numbers.size() + 1);
  lines.pop_back();  // the marker's
  log.clear();
  for (uint32_t number : numbers) {
    qDebug() << QStringLiteral("Image Frame %1 grabbed.").arg(number) << " _ "
             << "CCameraBasler::OnImageGrabbed";
  }
  EXPECT_EQ(lines, log.lines());
}

// The camera's device information, which only the skipped-images line shows, is not asked for when
// that line is off; with the line on it is.
TEST_F(GrabLogTest, DroppedSkippedLineReadsNoDeviceInformation) {
  const std::vector<std::string> textReads = {"GetDeviceInfo", "GetModelName"};
  for (const char* rules : {"*.debug=false", ""}) {
    QLoggingCategory::setFilterRules(QString::fromLatin1(rules));  // nothing in flight
    device->ClearJournal();
    device->InjectSkippedImages(3);
    snap();
    snapMarker();
    const std::vector<std::string> expected = std::strlen(rules) > 0 ? std::vector<std::string>{} : textReads;
    EXPECT_EQ(operations(device->Journal(), textReads), expected) << "rules: " << rules;
  }
}

// A reader failure's critical line follows the rules for critical lines.
TEST_F(GrabLogTest, ReaderFailureLineFollowsTheCriticalRule) {
  const emu::Fault fault{"RuntimeException", "payload unreadable"};
  onFrame(kSwitchNumber, [this, fault] {
    QLoggingCategory::setFilterRules(QString());
    device->FailNext("GetHeight", fault);
  });
  QLoggingCategory::setFilterRules("*.critical=false");
  device->FailNext("GetHeight", fault);
  snap();
  snapNumbered(kSwitchNumber);
  snap();
  snapMarker();
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{frameLine(kSwitchNumber),
                                               criticalLine("An exception occurred :  payload unreadable  -  "
                                                            "CCameraBasler::OnImageGrabbed"),
                                               kMarkerLine}));
  EXPECT_EQ(sinkNumbers(), (std::vector<uint32_t>{kSwitchNumber, kMarkerNumber}));
}

// With QT_FATAL_WARNINGS set Qt aborts on a warning even when its rules drop it; a failed grab's
// warning still goes to Qt then. Run in a child process that sets the variable before any warning.
TEST_F(GrabLogTest, FatalWarningsAbortOnADroppedFailedGrabWarning) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        setenv("QT_FATAL_WARNINGS", "1", 1);
        QLoggingCategory::setFilterRules("*.warning=false");
        device->FailNextResults(1, kErrorCode, "Frame lost in transfer");
        snap();
        snap();
        sink.waitForFrames(1);
      },
      "");
}

// A host's filter on the categories: Qt asks it whenever the rules change.
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void defaultDebugOff(QLoggingCategory* category) {
  if (g_previousFilter != nullptr) {
    g_previousFilter(category);
  }
  if (std::strcmp(category->categoryName(), "default") == 0) {
    category->setEnabled(QtDebugMsg, false);
  }
}

TEST_F(GrabLogTest, CategoryFilterSwitchesTheDebugLinesOff) {
  onFrame(kMarkerNumber, [] { QLoggingCategory::installFilter(g_previousFilter); });
  g_previousFilter = QLoggingCategory::installFilter(&defaultDebugOff);
  device->InjectSkippedImages(3);
  snap();
  device->FailNextResults(1, kErrorCode, "Frame lost in transfer");
  snap();
  snapMarker();
  g_previousFilter = nullptr;
  EXPECT_EQ(log.lines(), (std::vector<LogLine>{kFailedLine, kMarkerLine}));
  EXPECT_EQ(sink.count(), 2U);
}

// What a host's own message handler receives: for the frame line, the same type and context that
// qDebug() gives any other line, and the text unchanged after the next frame has been written.
struct Received {
  QtMsgType type;
  QString text;
  int version;
  int line;
  std::string file;
  std::string function;
  std::string category;
};

std::string orNull(const char* text) { return text == nullptr ? std::string("(null)") : std::string(text); }

bool operator==(const Received& a, const Received& b) {
  return a.type == b.type && a.text == b.text && a.version == b.version && a.line == b.line &&
         a.file == b.file && a.function == b.function && a.category == b.category;
}

std::ostream& operator<<(std::ostream& out, const Received& r) {
  return out << LogLine{r.type, r.text} << " v" << r.version << " " << r.file << ":" << r.line << " "
             << r.function << " [" << r.category << "]";
}

std::vector<Received>* g_received = nullptr;

void hostHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (g_received != nullptr) {
    g_received->push_back(Received{type, message, context.version, context.line, orNull(context.file),
                                   orNull(context.function), orNull(context.category)});
  }
}

TEST_F(GrabLogTest, HostHandlerGetsTheContextOfQDebug) {
  std::vector<Received> received;
  g_received = &received;
  const QtMessageHandler capture = qInstallMessageHandler(&hostHandler);
  onFrame(kMarkerNumber, [capture] { qInstallMessageHandler(capture); });
  qDebug() << "reference";
  snap();
  snap();
  snapMarker();
  g_received = nullptr;

  ASSERT_EQ(received.size(), 3U);
  const Received& reference = received[0];
  for (uint32_t number : {1U, 2U}) {
    Received expected = reference;
    expected.text = frameLine(number).text;
    EXPECT_EQ(received[number], expected);
  }
}

// With no handler installed, Qt's default handler prints the lines on standard error.
TEST_F(GrabLogTest, DefaultHandlerPrintsTheLines) {
  const QtMessageHandler capture = qInstallMessageHandler(nullptr);
  onFrame(kMarkerNumber, [capture] { qInstallMessageHandler(capture); });
  ::testing::internal::CaptureStderr();
  snap();
  device->FailNextResults(1, kErrorCode, "Frame lost in transfer");
  snap();
  snapMarker();
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed, (frameLine(1).text + "\n" + kFailedLine.text + "\n").toStdString());
}

// Rules changed from another thread while frames and failed grabs arrive: every line that is
// delivered is whole and in order, every frame reaches the sink, and once the rules stay put the
// lines are there again.
TEST_F(GrabLogTest, RulesChangedFromAnotherThreadWhileFramesArrive) {
  std::atomic<bool> stop{false};
  std::thread changer([&stop] {
    const char* const rules[] = {"", "*.debug=false", "*.warning=false", "default.debug=true"};
    for (size_t i = 0; !stop.load(); ++i) {
      QLoggingCategory::setFilterRules(QString::fromLatin1(rules[i % 4]));
      std::this_thread::yield();
    }
  });
  constexpr uint32_t kSnaps = 300;
  size_t goodFrames = 0;
  for (uint32_t i = 1; i <= kSnaps; ++i) {
    if (i % 10 == 0) {
      device->FailNextResults(1, kErrorCode, "Frame lost in transfer");
    } else {
      ++goodFrames;
    }
    snap();
    if (i % 10 != 0) {
      ASSERT_TRUE(sink.waitForFrames(goodFrames));
    }
  }
  stop.store(true);
  changer.join();
  snapMarker();

  EXPECT_EQ(sink.count(), goodFrames + 1);
  const std::vector<LogLine> lines = log.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), kMarkerLine);
  uint32_t lastNumber = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == kFailedLine) {
      continue;
    }
    ASSERT_EQ(lines[i].type, QtDebugMsg) << lines[i];
    const QString number = lines[i].text.section(' ', 2, 2);
    bool isNumber = false;
    const uint32_t n = number.toUInt(&isNumber);
    ASSERT_TRUE(isNumber) << lines[i];
    EXPECT_EQ(lines[i], frameLine(n));
    EXPECT_GT(n, lastNumber);
    EXPECT_LE(n, kSnaps);
    lastNumber = n;
  }
}

}  // namespace

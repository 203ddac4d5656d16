// Integration tests of the Aravis backend through the loaded module, against Aravis's fake GigE
// Vision camera: listing, opening with the software-trigger configuration, grabbing by software
// trigger, failed frames, a second client, and a camera killed mid-grab. Each test starts a fresh
// fake camera (its state would carry over between connections) and ends it by its process id.
//
// The process runs inside a private network namespace with only loopback (see AravisTestMain).
#include <glib.h>
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AravisPeer.h"
#include "FakeCamera.h"
#include "LoadedModule.h"
#include "LogCapture.h"
#include "RecordingSink.h"
#include "ScopedEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A frame asked for by software trigger: the fake camera looks for triggers 25 times a second.
constexpr milliseconds kFrameTimeout{3000};
// What closing and deleting a camera whose device vanished mid-grab may take at most.
constexpr seconds kTeardownBound{10};

class AravisModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadedModule::instance().loaded()) << LoadedModule::instance().error();
    startCamera({});
  }

  void TearDown() override {
    for (ICameraObject* camera : m_cameras) {
      LoadedModule::instance().destroy(camera);
    }
    m_cameras.clear();
    // Only now, with every grab thread joined, may the sinks, records and log captures go.
    m_sinks.clear();
    m_configs.clear();
    m_logs.clear();
    m_fake.reset();
  }

  // A settings record, a sink and a log capture that live until the cameras are deleted.
  CameraConfig& newConfig() { return *m_configs.emplace_back(std::make_unique<CameraConfig>()); }
  RecordingSink& newSink() { return *m_sinks.emplace_back(std::make_unique<RecordingSink>()); }
  LogCapture& newLog() { return *m_logs.emplace_back(std::make_unique<LogCapture>()); }

  void startCamera(std::vector<std::string> extraArguments) {
    m_fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber(), std::move(extraArguments));
    ASSERT_TRUE(m_fake->start()) << "the fake camera did not come up";
    m_key = QString("basler %1").arg(QString::fromStdString(m_fake->serialNumber()));
  }

  // A camera object of the module for `config`, deleted at the end of the test.
  ICameraObject* createCamera(CameraConfig& config, ICameraFrameSink* sink) {
    config.cameraKey = m_key;
    config.imageFormat = 1;
    ICameraObject* camera = LoadedModule::instance().create(&config, sink);
    m_cameras.push_back(camera);
    return camera;
  }

  void deleteCamera(ICameraObject* camera) {
    for (auto it = m_cameras.begin(); it != m_cameras.end(); ++it) {
      if (*it == camera) {
        m_cameras.erase(it);
        break;
      }
    }
    LoadedModule::instance().destroy(camera);
  }

  // Snaps once and waits for the frame that follows; false when it did not come.
  static bool snapAndWait(ICameraObject* camera, const RecordingSink& sink) {
    const size_t before = sink.count();
    return camera->ISnapCamera(0) == 1 && sink.waitForFrames(before + 1, kFrameTimeout);
  }

  std::unique_ptr<FakeCamera> m_fake;
  QString m_key;
  std::vector<std::unique_ptr<LogCapture>> m_logs;
  std::vector<std::unique_ptr<CameraConfig>> m_configs;
  std::vector<std::unique_ptr<RecordingSink>> m_sinks;
  std::vector<ICameraObject*> m_cameras;
};

TEST_F(AravisModule, ListsTheCameraOfTheAcceptedVendors) {
  struct Case {
    const char* vendors;  // null: unset
    bool listed;
  };
  const Case cases[] = {
      {"*", true},       {nullptr, false},  // only Basler by default; the fake's vendor is "Aravis"
      {"Basler", false}, {"Aravis", true}, {"basler, ARAVIS", true}, {"Aravi", false}, {"", false},
  };
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  for (const Case& c : cases) {
    ScopedEnvironment vendors("ZAZOD_SDK_ARAVIS_VENDORS", c.vendors);
    const QStringList expected = c.listed ? QStringList{m_key} : QStringList{};
    EXPECT_EQ(camera->IEnumCameras(), expected)
        << "ZAZOD_SDK_ARAVIS_VENDORS=" << (c.vendors ? c.vendors : "(unset)");
  }
}

TEST_F(AravisModule, AsksOnlyTheListedAddressesWithinABound) {
  struct Case {
    const char* addresses;
    bool listed;
  };
  const Case cases[] = {
      {"127.0.0.1", true},           {"127.0.0.2", false},  // nothing answers there
      {"127.0.0.2,127.0.0.1", true},                        // the answering one is found after the silent one
      {"localhost", false},                                 // a name is never resolved
      {"127.0.0.1,127.0.0.1", true},                        // listed once
  };
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  for (const Case& c : cases) {
    ScopedEnvironment addresses("ZAZOD_SDK_ARAVIS_ADDRESSES", c.addresses);
    const Clock::time_point begin = Clock::now();
    const QStringList keys = camera->IEnumCameras();
    EXPECT_LT(Clock::now() - begin, seconds(5)) << c.addresses;
    EXPECT_EQ(keys, c.listed ? QStringList{m_key} : QStringList{}) << c.addresses;
  }
}

TEST_F(AravisModule, DiscoveryWithoutAddressesFindsTheCameraWithinABound) {
  ScopedEnvironment addresses("ZAZOD_SDK_ARAVIS_ADDRESSES", nullptr);
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  const Clock::time_point begin = Clock::now();
  const QStringList keys = camera->IEnumCameras();
  EXPECT_LT(Clock::now() - begin, seconds(8));
  EXPECT_EQ(keys, QStringList{m_key});
}

TEST_F(AravisModule, OpenAppliesTheSoftwareTriggerConfigurationToTheRealNodeMap) {
  {
    // The opposite of what the configuration writes, so that every value read back is its work.
    AravisPeer peer(FakeCamera::address());
    ASSERT_TRUE(peer.controls()) << peer.lastError();
    for (const char* trigger : {"FrameStart", "AcquisitionStart"}) {
      ASSERT_TRUE(peer.set("TriggerSelector", trigger)) << peer.lastError();
      ASSERT_TRUE(peer.set("TriggerMode", trigger == std::string("FrameStart") ? "Off" : "On"))
          << peer.lastError();
      ASSERT_TRUE(peer.set("TriggerSource", "Line0")) << peer.lastError();
    }
    ASSERT_TRUE(peer.set("AcquisitionMode", "SingleFrame")) << peer.lastError();
  }
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  LogCapture& log = newLog();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1) << ::testing::PrintToString(log.lines());
  EXPECT_TRUE(camera->m_isOpened);
  camera->ICloseCamera();  // lets go of the camera so the peer may move the selector

  AravisPeer peer(FakeCamera::address());
  ASSERT_TRUE(peer.controls()) << peer.lastError();
  EXPECT_EQ(peer.get("TriggerSelector"), "FrameStart");
  EXPECT_EQ(peer.get("AcquisitionMode"), "Continuous");
  EXPECT_EQ(peer.triggerMode("FrameStart"), "On");
  EXPECT_EQ(peer.triggerSource("FrameStart"), "Software");
  EXPECT_EQ(peer.triggerMode("AcquisitionStart"), "Off");
  EXPECT_EQ(peer.triggerSource("AcquisitionStart"), "Line0");  // only the chosen trigger gets a source
}

TEST_F(AravisModule, FiftySnapsGiveFiftyFramesInOrder) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  EXPECT_TRUE(camera->m_isGrabbing);
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(snapAndWait(camera, sink)) << "no frame for snap " << i + 1;
  }
  camera->IStopCamera();
  const std::vector<RecordedFrame> frames = sink.frames();
  ASSERT_EQ(frames.size(), 50u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].width, 512u);
    EXPECT_EQ(frames[i].height, 512u);
    EXPECT_NE(frames[i].buffer, nullptr);
    EXPECT_EQ(frames[i].imageNumber, i + 1) << "image numbers count the delivered frames from 1";
  }
}

TEST_F(AravisModule, RepeatedStartStopKeepsDeliveringFromTheSamePool) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  for (int cycle = 0; cycle < 15; ++cycle) {
    camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    ASSERT_EQ(camera->IStartCamera(), 1) << "cycle " << cycle;
    ASSERT_TRUE(snapAndWait(camera, sink)) << "cycle " << cycle;
    EXPECT_EQ(sink.frames().back().imageNumber, 1u) << "each start counts from 1 again";
    camera->IStopCamera();
    EXPECT_FALSE(camera->m_isGrabbing);
  }
  EXPECT_EQ(sink.count(), 15u);
}

TEST_F(AravisModule, StoppingFromInsideTheFrameCallbackDoesNotDeadlock) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  sink.setAction([](ICameraObject* grabbing) { grabbing->IStopCamera(); });
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  ASSERT_TRUE(snapAndWait(camera, sink));
  EXPECT_FALSE(camera->m_isGrabbing);
  // Started again, it grabs again: the stop from the callback left the device usable.
  sink.setAction(nullptr);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  EXPECT_TRUE(snapAndWait(camera, sink));
}

TEST_F(AravisModule, HardwareTriggerFailsBecauseTheCameraHasNoLine1) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  LogCapture& log = newLog();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  log.clear();
  camera->m_requestedGrabMode = GrabMode_HardwareTrigger;
  EXPECT_EQ(camera->IStartCamera(), 0);
  EXPECT_FALSE(camera->m_isGrabbing);
  const std::vector<LogLine> critical = log.lines(QtCriticalMsg);
  ASSERT_EQ(critical.size(), 1u) << ::testing::PrintToString(log.lines());
  EXPECT_TRUE(critical[0].text.startsWith("An exception occurred : ")) << critical[0];
  EXPECT_TRUE(critical[0].text.contains("Line1")) << critical[0];
  EXPECT_TRUE(critical[0].text.contains("not an entry")) << "Aravis's own text: " << critical[0];
  EXPECT_TRUE(critical[0].text.endsWith("CCameraBasler::IStartCamera")) << critical[0];
  // The camera stays usable in software trigger.
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  EXPECT_TRUE(snapAndWait(camera, sink));
}

TEST_F(AravisModule, SecondClientCannotTakeACameraTheFirstHolds) {
  CameraConfig& firstConfig = newConfig();
  CameraConfig& secondConfig = newConfig();
  RecordingSink& firstSink = newSink();
  RecordingSink& secondSink = newSink();
  LogCapture& log = newLog();
  ICameraObject* first = createCamera(firstConfig, &firstSink);
  ICameraObject* second = createCamera(secondConfig, &secondSink);
  ASSERT_EQ(first->IOpenCamera(), 1);
  log.clear();
  EXPECT_EQ(second->IOpenCamera(), 0);
  EXPECT_FALSE(second->m_isOpened);
  const std::vector<LogLine> critical = log.lines(QtCriticalMsg);
  ASSERT_EQ(critical.size(), 1u) << ::testing::PrintToString(log.lines());
  EXPECT_TRUE(critical[0].text.contains("controlled by another application")) << critical[0];
  // The holder is undisturbed.
  first->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(first->IStartCamera(), 1);
  EXPECT_TRUE(snapAndWait(first, firstSink));
  // Once the first lets go, the second may open it.
  first->ICloseCamera();
  EXPECT_EQ(second->IOpenCamera(), 1);
}

class AravisModuleLosingPackets : public AravisModule {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadedModule::instance().loaded()) << LoadedModule::instance().error();
    startCamera({"-r", "10"});  // ten packets of a thousand lost
  }
};

TEST_F(AravisModuleLosingPackets, FailedGrabsGiveWarningsAndGoodFramesStillArrive) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  LogCapture& log = newLog();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  size_t warnings = 0;
  for (int snap = 0; snap < 200 && (sink.count() < 3 || warnings == 0); ++snap) {
    const size_t linesBefore = log.lines().size();
    ASSERT_EQ(camera->ISnapCamera(0), 1);
    // Every snap ends in a good frame (its debug line) or a failed grab (its warning line); the
    // next snap waits for it.
    ASSERT_TRUE(log.waitForLines(linesBefore + 1, kFrameTimeout)) << "nothing came of snap " << snap;
    warnings = log.lines(QtWarningMsg).size();
  }
  camera->IStopCamera();
  EXPECT_GE(sink.count(), 3u);
  const std::vector<LogLine> warningLines = log.lines(QtWarningMsg);
  ASSERT_FALSE(warningLines.empty()) << "no frame failed with packets lost";
  for (const LogLine& line : warningLines) {
    EXPECT_TRUE(line.text.startsWith("Basler Camera image grab error: ")) << line;
    EXPECT_TRUE(line.text.contains("Aravis buffer status")) << line;
  }
  const std::vector<RecordedFrame> frames = sink.frames();
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_GT(frames[i].imageNumber, frames[i - 1].imageNumber);
  }
}

TEST_F(AravisModule, CameraKilledMidGrabLetsCloseAndDeleteReturnAndOpensAgainWhenBack) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  ASSERT_TRUE(snapAndWait(camera, sink));

  const std::string serial = m_fake->serialNumber();
  m_fake->kill();
  Clock::time_point begin = Clock::now();
  camera->ICloseCamera();
  EXPECT_LT(Clock::now() - begin, kTeardownBound) << "ICloseCamera";
  EXPECT_FALSE(camera->m_isOpened);
  begin = Clock::now();
  deleteCamera(camera);
  EXPECT_LT(Clock::now() - begin, kTeardownBound) << "Camera_Delete";

  // The same camera back: a new camera object opens and grabs again.
  m_fake = std::make_unique<FakeCamera>(serial);
  ASSERT_TRUE(m_fake->start());
  CameraConfig& againConfig = newConfig();
  RecordingSink& againSink = newSink();
  ICameraObject* again = createCamera(againConfig, &againSink);
  ASSERT_EQ(again->IOpenCamera(), 1);
  again->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(again->IStartCamera(), 1);
  EXPECT_TRUE(snapAndWait(again, againSink));
}

// Counts the warnings and criticals of GLib, GObject and Aravis while it lives.
class GLibProblems {
 public:
  GLibProblems() { m_previous = g_log_set_default_handler(&GLibProblems::handle, this); }
  ~GLibProblems() { g_log_set_default_handler(m_previous, nullptr); }
  GLibProblems(const GLibProblems&) = delete;
  GLibProblems& operator=(const GLibProblems&) = delete;
  int count() const { return m_count.load(); }

 private:
  static void handle(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer self) {
    if ((level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) != 0) {
      static_cast<GLibProblems*>(self)->m_count.fetch_add(1);
      std::fprintf(stderr, "%s: %s\n", domain != nullptr ? domain : "(no domain)", message);
    }
  }

  GLogFunc m_previous = nullptr;
  std::atomic<int> m_count{0};
};

// Two host threads opening cameras at the same time (here the same camera, which one of them gets
// while the other is refused): Aravis parses each device's GenICam description as it connects,
// and two parses at once used to corrupt its objects (GObject criticals, then a crash). Creating
// and deleting camera objects stays on one thread at a time, as the module asks of a host.
TEST_F(AravisModule, OpensOnTwoThreadsAtOnceLeaveAravisIntact) {
  GLibProblems problems;
  std::mutex lifecycle;
  std::atomic<int> opened{0};
  const auto openAndClose = [&] {
    CameraConfig config;
    config.cameraKey = m_key;
    config.imageFormat = 1;
    RecordingSink sink;
    for (int i = 0; i < 5; ++i) {
      ICameraObject* camera = nullptr;
      {
        std::lock_guard<std::mutex> lock(lifecycle);
        camera = LoadedModule::instance().create(&config, &sink);
      }
      opened.fetch_add(camera->IOpenCamera());
      camera->ICloseCamera();
      std::lock_guard<std::mutex> lock(lifecycle);
      LoadedModule::instance().destroy(camera);
    }
  };
  std::thread other(openAndClose);
  openAndClose();
  other.join();
  EXPECT_GE(opened.load(), 1);
  EXPECT_EQ(problems.count(), 0);

  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  EXPECT_TRUE(snapAndWait(camera, sink));
  EXPECT_EQ(problems.count(), 0);
}

TEST_F(AravisModule, CameraKilledWhileGrabbingIdleFailsLaterOperationsAtOnce) {
  CameraConfig& config = newConfig();
  RecordingSink& sink = newSink();
  LogCapture& log = newLog();
  ICameraObject* camera = createCamera(config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  m_fake->kill();
  // The first access after the kill waits for Aravis's timeout and marks the device lost ...
  Clock::time_point begin = Clock::now();
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_LT(Clock::now() - begin, kTeardownBound);
  // ... every later one fails at once.
  begin = Clock::now();
  EXPECT_EQ(camera->ISnapCamera(0), 0);
  EXPECT_LT(Clock::now() - begin, milliseconds(500));
  EXPECT_EQ(log.lines(QtCriticalMsg).size(), 2u) << ::testing::PrintToString(log.lines());
  begin = Clock::now();
  camera->ICloseCamera();
  EXPECT_LT(Clock::now() - begin, kTeardownBound);
}

}  // namespace

// The Aravis backend through the loaded module at production frame sizes (2048x2048 Mono8), with
// every delivered frame's pixels compared with the fake camera's test pattern: frames under
// injected packet loss and a camera that vanishes while a frame is on the wire. A damaged frame must
// arrive as a failed grab with its warning line, never as a good frame, and nothing may hang.
//
// The process runs inside a private network namespace with only loopback (see AravisTestMain);
// each camera listens on an address of its own, added to that namespace's loopback.
#include <arv.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QString>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FakeCamera.h"
#include "LoadedModule.h"
#include "LogCapture.h"
#include "LoopbackThrottle.h"
#include "PatternSink.h"
#include "TestPattern.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr uint32_t kSide = 2048;
// A 4 MiB frame a busy machine may take a while to receive; a snap's outcome comes within this.
constexpr milliseconds kOutcomeTimeout{5000};
constexpr seconds kTeardownBound{10};
// The fake camera offers no packet resend, so one lost packet fails a frame: with its 1400-byte
// packets a 4 MiB frame would survive 1 % loss almost never. With 16000-byte packets (about 260
// per frame) some 7 % of the frames arrive whole.
constexpr uint32_t kLossyPacketSize = 16000;
// Failed results carry this code base plus one plus Aravis's buffer status.
constexpr uint32_t kBufferErrorBase = 0xE2000000u;
// Loopback's rate while a camera is to vanish mid-frame: a 4 MiB frame takes some 1.7 s to pass.
constexpr uint32_t kThrottledMegabits = 20;
// Bytes past which a frame has begun to pass (far more than the control traffic meanwhile).
constexpr uint64_t kFrameBegun = 64 * 1024;
constexpr int kVanishAttempts = 4;

QString grabErrorLine(ArvBufferStatus status, const char* description) {
  return QString("Basler Camera image grab error:  %1   %2  -  ZODOzizoZavozEzazodu::OnImageGrabbed")
      .arg(kBufferErrorBase + static_cast<uint32_t>(status + 1))
      .arg(description);
}

const char* const kMissingPackets =
    "The frame is incomplete: packets are missing (Aravis buffer status MISSING_PACKETS).";
const char* const kTimedOut = "The frame did not complete in time (Aravis buffer status TIMEOUT).";

class AravisLoad : public ::testing::Test {
 protected:
  struct Camera {
    std::unique_ptr<FakeCamera> fake;
    CameraConfig config;
    PatternSink sink;
    ICameraObject* object = nullptr;
  };

  void SetUp() override {
    ASSERT_TRUE(LoadedModule::instance().loaded()) << LoadedModule::instance().error();
    setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", "127.0.0.2,127.0.0.3,127.0.0.4", 1);
  }

  void TearDown() override {
    setenv("ZAZOD_SDK_ARAVIS_ADDRESSES", FakeCamera::address(), 1);
    for (std::unique_ptr<Camera>& camera : m_cameras) {
      if (camera->object != nullptr) {
        LoadedModule::instance().destroy(camera->object);
      }
    }
    m_cameras.clear();
    m_log.reset();
  }

  // The test's log capture. It outlives the camera objects, which TearDown deletes first, so no grab
  // thread writes to a capture that has gone.
  LogCapture& captureLog() { return m_log.emplace(); }

  // A fake camera on 127.0.0.`host` at kSide x kSide and a module camera object for it, opened and
  // grabbing by software trigger.
  Camera& startCamera(int host, std::vector<std::string> extraArguments = {}, uint32_t packetSize = 0,
                      uint32_t side = kSide, const std::vector<std::string>& controls = {}) {
    m_cameras.push_back(std::make_unique<Camera>());
    Camera& camera = *m_cameras.back();
    camera.fake = std::make_unique<FakeCamera>(FakeCamera::uniqueSerialNumber(), std::move(extraArguments));
    camera.fake->setAddress("127.0.0." + std::to_string(host));
    camera.fake->setSize(side, side);
    camera.fake->setPacketSize(packetSize);
    for (const std::string& control : controls) {
      camera.fake->addControl(control);
    }
    EXPECT_TRUE(camera.fake->start()) << "the fake camera did not come up";
    camera.config.cameraKey = QString("basler %1").arg(QString::fromStdString(camera.fake->serialNumber()));
    camera.config.imageFormat = 1;
    camera.object = LoadedModule::instance().create(&camera.config, &camera.sink);
    EXPECT_EQ(camera.object->IOpenCamera(), 1);
    camera.object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    EXPECT_EQ(camera.object->IStartCamera(), 1);
    return camera;
  }

  void deleteCamera(Camera& camera) {
    LoadedModule::instance().destroy(camera.object);
    camera.object = nullptr;
  }

  // Snaps every camera once and waits until each snap has had its outcome: a frame in a sink or a
  // warning line. Outcomes are counted from the round's start, so what came before (another round,
  // an earlier camera on the same sink) cannot answer this round's snaps. A snap without an outcome
  // within the bound (the fake camera, when the machine is busy, now and then lets a trigger pass
  // unanswered) is counted in `unanswered`; `outcomes` adds those that came. False when a snap was
  // refused or more outcomes came than snaps were made.
  static bool snapRound(const std::vector<Camera*>& cameras, const LogCapture& log, size_t& outcomes,
                        size_t& unanswered) {
    const auto seenSoFar = [&] {
      size_t seen = log.lines(QtWarningMsg).size();
      for (Camera* camera : cameras) {
        seen += camera->sink.count();
      }
      return seen;
    };
    const size_t before = seenSoFar();
    for (Camera* camera : cameras) {
      if (camera->object->ISnapCamera(0) != 1) {
        return false;
      }
    }
    const size_t expected = before + cameras.size();
    const Clock::time_point deadline = Clock::now() + kOutcomeTimeout;
    for (;;) {
      const size_t seen = seenSoFar();
      if (seen >= expected) {
        outcomes += seen - before;
        return seen == expected;
      }
      if (Clock::now() >= deadline) {
        unanswered += expected - seen;
        outcomes += seen - before;
        return true;
      }
      log.waitForLines(log.lines().size() + 1, milliseconds(50));
    }
  }

  // As above, every snap answered.
  static bool snapRound(const std::vector<Camera*>& cameras, const LogCapture& log, size_t& outcomes) {
    size_t unanswered = 0;
    return snapRound(cameras, log, outcomes, unanswered) && unanswered == 0;
  }

  // Learns the test pattern from a fake camera without loss: its first frame teaches it and the
  // next frames must match it, each one step further along the ramp.
  void learnPattern(int host) {
    Camera& reference = startCamera(host);
    reference.sink.check(&m_pattern, true, kSide, kSide);
    LogCapture log;
    size_t outcomes = 0;
    for (int snap = 0; snap < 4; ++snap) {
      ASSERT_TRUE(snapRound({&reference}, log, outcomes)) << "snap " << snap;
    }
    const PatternSink::Tally tally = reference.sink.tally();
    ASSERT_TRUE(m_pattern.learned()) << "the first frame is no diagonal ramp";
    EXPECT_EQ(log.lines(QtWarningMsg).size(), 0u) << ::testing::PrintToString(log.lines(QtWarningMsg));
    EXPECT_EQ(tally.phases, (std::vector<int>{0, 1, 2, 3})) << "each frame one step further along the ramp";
    deleteCamera(reference);
    reference.fake.reset();
  }

  TestPattern m_pattern;
  std::optional<LogCapture> m_log;
  std::vector<std::unique_ptr<Camera>> m_cameras;
};

TEST_F(AravisLoad, UnderPacketLossEveryDeliveredFrameIsWholeAndEveryDamagedOneAFailedGrab) {
  learnPattern(2);
  if (HasFatalFailure()) {
    return;
  }
  Camera& first = startCamera(3, {"-r", "10"}, kLossyPacketSize);
  Camera& second = startCamera(4, {"-r", "10"}, kLossyPacketSize);
  const std::vector<Camera*> cameras{&first, &second};
  for (Camera* camera : cameras) {
    camera->sink.check(&m_pattern, false, kSide, kSide);
  }
  LogCapture& log = captureLog();
  size_t outcomes = 0;
  size_t unanswered = 0;
  int rounds = 0;
  // Until each camera has delivered a frame, three in all, and some failed; within a bound.
  for (int round = 0;
       round < 400 && (first.sink.count() < 1 || second.sink.count() < 1 ||
                       first.sink.count() + second.sink.count() < 3 || log.lines(QtWarningMsg).empty());
       ++round) {
    ASSERT_TRUE(snapRound(cameras, log, outcomes, unanswered))
        << "round " << round << ": more outcomes than snaps";
    ++rounds;
  }
  for (Camera* camera : cameras) {
    camera->object->IStopCamera();
  }
  const std::vector<LogLine> warnings = log.lines(QtWarningMsg);
  ASSERT_FALSE(warnings.empty()) << "no frame was damaged at 1 % loss";
  // Aravis gives up on a frame with lost packets when its trailer has come (missing packets) or
  // when the frame's retention time has passed (timeout).
  const QString missing = grabErrorLine(ARV_BUFFER_STATUS_MISSING_PACKETS, kMissingPackets);
  const QString timedOut = grabErrorLine(ARV_BUFFER_STATUS_TIMEOUT, kTimedOut);
  for (const LogLine& line : warnings) {
    EXPECT_TRUE(line.text == missing || line.text == timedOut) << line;
  }
  for (Camera* camera : cameras) {
    const PatternSink::Tally tally = camera->sink.tally();
    EXPECT_GE(tally.frames, 1u);
    EXPECT_EQ(tally.mismatched, 0u) << "a delivered frame differs from the pattern: "
                                    << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.notAdvancing, 0u) << ::testing::PrintToString(tally.phases);
    EXPECT_EQ(tally.wrongSize, 0u);
  }
  EXPECT_EQ(first.sink.count() + second.sink.count() + warnings.size(), outcomes);
  EXPECT_LE(unanswered * 10, static_cast<size_t>(rounds) * cameras.size()) << "triggers without any outcome";
}

// A camera killed while its frame is on the wire. Loopback is capped to a rate at which a 4 MiB
// frame takes some 1.7 s to pass, and the camera is killed as soon as the frame's first bytes have
// passed, so the frame is cut off for certain. The bytes loopback carried in all tell whether it
// was: a frame that came whole first (or never began) is the case not reached, and the camera is
// tried again.
TEST_F(AravisLoad, CameraVanishingMidFrameGivesNoGoodFrameAndTheNextOpenWorks) {
  learnPattern(3);
  if (HasFatalFailure()) {
    return;
  }
  LogCapture& log = captureLog();
  std::string serial;
  std::string address;
  bool cut = false;
  for (int attempt = 0; attempt < kVanishAttempts && !cut; ++attempt) {
    Camera& camera = startCamera(2);
    ASSERT_NE(camera.object, nullptr);
    camera.sink.check(&m_pattern, false, kSide, kSide);
    LoopbackThrottle throttle(kThrottledMegabits);
    ASSERT_TRUE(throttle.active()) << "tc could not cap the rate of this namespace's loopback";
    const std::optional<uint64_t> before = LoopbackThrottle::transmittedBytes();
    ASSERT_TRUE(before.has_value()) << "no byte counter for lo in /proc/self/net/dev";
    log.clear();
    ASSERT_EQ(camera.object->ISnapCamera(0), 1);
    // The camera goes as soon as its frame has begun to pass (or when no frame begins within the
    // bound: a trigger let pass, tried again).
    const Clock::time_point snapped = Clock::now();
    while (LoopbackThrottle::transmittedBytes().value_or(0) - *before < kFrameBegun &&
           Clock::now() - snapped < kOutcomeTimeout) {
      std::this_thread::sleep_for(milliseconds(2));  // a counter of the kernel's, no event to wait on
    }
    serial = camera.fake->serialNumber();
    address = camera.fake->listenAddress();
    camera.fake->kill();
    // Whatever became of the frame, the loss is noticed within a bound.
    const Clock::time_point killed = Clock::now();
    while (camera.object->ISnapCamera(0) == 1 && Clock::now() - killed < kTeardownBound) {
      log.waitForLines(log.lines().size() + 1, milliseconds(200));
    }
    EXPECT_LT(Clock::now() - killed, kTeardownBound) << "the loss was never noticed";
    const Clock::time_point closing = Clock::now();
    camera.object->ICloseCamera();
    EXPECT_LT(Clock::now() - closing, kTeardownBound);
    const uint64_t passed = LoopbackThrottle::transmittedBytes().value_or(0) - *before;
    cut = passed >= kFrameBegun && passed < static_cast<uint64_t>(kSide) * kSide;
    RecordProperty("attempt" + std::to_string(attempt) + "Bytes", std::to_string(passed));
    const PatternSink::Tally tally = camera.sink.tally();
    EXPECT_EQ(tally.mismatched + tally.wrongSize, 0u)
        << "a delivered frame differs from the pattern: " << ::testing::PrintToString(tally.phases);
    if (cut) {
      EXPECT_EQ(tally.frames, 0u) << "a frame cut off mid-transfer (" << passed
                                  << " bytes) was delivered as good";
    } else {
      EXPECT_LE(tally.frames, 1u) << "one snap, more frames";
    }
    for (const LogLine& line : log.lines(QtWarningMsg)) {
      EXPECT_TRUE(line.text.startsWith("Basler Camera image grab error:  ")) << line;
    }
    deleteCamera(camera);
    camera.fake.reset();
  }
  ASSERT_TRUE(cut) << "in " << kVanishAttempts << " attempts no frame was on the wire when its camera went";

  // The same camera back at the same address: it opens and its frames are whole.
  Camera& back = *m_cameras.back();
  back.fake = std::make_unique<FakeCamera>(serial);
  back.fake->setAddress(address);
  back.fake->setSize(kSide, kSide);
  ASSERT_TRUE(back.fake->start());
  back.object = LoadedModule::instance().create(&back.config, &back.sink);
  ASSERT_EQ(back.object->IOpenCamera(), 1);
  back.object->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(back.object->IStartCamera(), 1);
  back.sink.check(&m_pattern, false, kSide, kSide);
  log.clear();
  size_t outcomes = 0;
  for (int snap = 0; snap < 2; ++snap) {
    ASSERT_TRUE(snapRound({&back}, log, outcomes)) << "snap " << snap;
  }
  const PatternSink::Tally tally = back.sink.tally();
  EXPECT_EQ(log.lines(QtWarningMsg).size(), 0u) << ::testing::PrintToString(log.lines(QtWarningMsg));
  EXPECT_EQ(tally.frames, 2u);
  EXPECT_EQ(tally.mismatched, 0u) << ::testing::PrintToString(tally.phases);
  EXPECT_EQ(tally.notAdvancing, 0u) << ::testing::PrintToString(tally.phases);
}

// The largest receive buffer of this process's UDP sockets (the stream's is the largest by far).
int largestUdpReceiveBuffer() {
  int largest = 0;
  DIR* descriptors = opendir("/proc/self/fd");
  while (dirent* entry = descriptors != nullptr ? readdir(descriptors) : nullptr) {
    const int fd = std::atoi(entry->d_name);
    int type = 0;
    int size = 0;
    socklen_t length = sizeof type;
    if (fd > 2 && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM) {
      length = sizeof size;
      if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 && size > largest) {
        largest = size;
      }
    }
  }
  if (descriptors != nullptr) {
    closedir(descriptors);
  }
  return largest;
}

// The packet sockets this process holds.
int packetSockets() {
  int count = 0;
  DIR* descriptors = opendir("/proc/self/fd");
  while (dirent* entry = descriptors != nullptr ? readdir(descriptors) : nullptr) {
    const int fd = std::atoi(entry->d_name);
    int domain = 0;
    socklen_t size = sizeof domain;
    if (entry->d_name[0] != '.' && getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 &&
        domain == AF_PACKET) {
      ++count;
    }
  }
  if (descriptors != nullptr) {
    closedir(descriptors);
  }
  return count;
}

// The way each run of these tests expects its streams to take (ZAZOD_TEST_STREAM_WAY, set per
// run by CTest): the packet socket as root, the UDP socket by the setting, and the UDP socket
// because the process may not open a packet socket (CAP_NET_RAW dropped).
struct ExpectedWay {
  const char* name;
  const char* described;
  int packetSockets;
};

const ExpectedWay kExpectedWays[] = {
    {"packet-socket", "the packet socket", 1},
    {"off", "a UDP socket (ZAZOD_SDK_ARAVIS_PACKET_SOCKET=off)", 0},
    {"not-permitted", "a UDP socket (the process may not open a packet socket: no CAP_NET_RAW)", 0},
};

// The stream takes the expected way and the SDK layer's diagnostics say so, at listing and at the
// start. Through the packet socket Aravis holds one while frames arrive; through the UDP socket it
// holds none, and the socket keeps the buffer the SDK layer gave it before the start (two frames):
// Aravis, left to size it itself at the first frame, would cap it at the system's default limit
// and let the kernel drop packets of 4 MiB frames.
TEST_F(AravisLoad, TheStreamTakesTheExpectedWayAndTheDiagnosticsSaySo) {
  const char* name = std::getenv("ZAZOD_TEST_STREAM_WAY");
  ASSERT_NE(name, nullptr) << "set ZAZOD_TEST_STREAM_WAY to packet-socket, off or not-permitted";
  const ExpectedWay* expected = nullptr;
  for (const ExpectedWay& way : kExpectedWays) {
    if (std::string(way.name) == name) {
      expected = &way;
    }
  }
  ASSERT_NE(expected, nullptr) << "unknown ZAZOD_TEST_STREAM_WAY " << name;
  setenv("ZAZOD_SDK_DIAGNOSTICS", "1", 1);
  ::testing::internal::CaptureStderr();
  Camera& camera = startCamera(2);
  const std::string diagnostics = ::testing::internal::GetCapturedStderr();
  unsetenv("ZAZOD_SDK_DIAGNOSTICS");
  const std::string serial = camera.fake->serialNumber();
  EXPECT_NE(
      diagnostics.find("zazod_sdk: " + serial + " at 127.0.0.2: a GigE Vision stream would receive through " +
                       expected->described + "\n"),
      std::string::npos)
      << diagnostics;
  EXPECT_NE(diagnostics.find("zazod_sdk: " + serial + ": the GigE Vision stream receives through " +
                             expected->described + "\n"),
            std::string::npos)
      << diagnostics;
  LogCapture& log = captureLog();
  size_t outcomes = 0;
  for (int snap = 0; snap < 2; ++snap) {
    ASSERT_TRUE(snapRound({&camera}, log, outcomes)) << "snap " << snap;
  }
  EXPECT_EQ(camera.sink.count(), 2u) << ::testing::PrintToString(log.lines());
  EXPECT_EQ(packetSockets(), expected->packetSockets);
  if (expected->packetSockets == 0) {
    EXPECT_GE(largestUdpReceiveBuffer(), 2 * static_cast<int>(kSide * kSide) + 65536);
  }
}

}  // namespace

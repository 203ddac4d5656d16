// Stress, bounded in count: many create/open/start/snap/stop/close/delete cycles over several
// emulated cameras with the heap measured between the early and the late cycles; a host thread
// snapping and reading the frame fields while frames arrive; deleting objects while free-running
// frames arrive; a slow sink. Every frame the device produced must reach the sink exactly once.
//
// ZAZOD_STRESS_CYCLES overrides the cycle count (10000); the sanitizer runs of scripts/test set it
// lower, since each cycle costs several times as much there.
#include <CameraInterface.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "PluginTestSupport.h"

extern "C" ICameraObject* Camera_Create(CameraConfig* config, ICameraFrameSink* sink);
extern "C" void Camera_Delete(ICameraObject* camera);

namespace {

using std::chrono::seconds;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

int cycleCount() {
  const char* text = std::getenv("ZAZOD_STRESS_CYCLES");
  const int count = text != nullptr ? std::atoi(text) : 10000;
  return std::max(count, 2000);
}

emu::CameraDescription quietCamera(const std::string& serial, double freeRunHz = 100.0) {
  emu::CameraDescription description;
  description.serialNumber = serial;
  description.journal = false;
  description.freeRunHz = freeRunHz;
  return description;
}

// Frames a sink saw, checked for numbers 1, 2, 3, ... with no repeat and no gap.
void expectEachFrameOnce(const std::vector<RecordedFrame>& frames, uint32_t firstNumber = 1) {
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(frames[i].imageNumber, firstNumber + i) << "frame " << i;
    ASSERT_EQ(frames[i].width, 640U);
    ASSERT_EQ(frames[i].height, 480U);
  }
}

size_t heapInUse() { return mallinfo2().uordblks; }

class StressTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }
  LogCapture log;  // keeps the many lines off the output; cleared as the tests go
};

TEST_F(StressTest, ManyCyclesOverSeveralCamerasDeliverEverySnapOnceWithAFlatHeap) {
  std::vector<emu::EmulatedCamera> devices;
  std::vector<CameraConfig> configs(4);
  for (size_t i = 0; i < configs.size(); ++i) {
    const std::string serial = "STRESS" + std::to_string(i);
    devices.push_back(emu::AddCamera(quietCamera(serial)));
    configs[i].cameraKey = QString::fromStdString("basler " + serial);
  }
  const int cycles = cycleCount();
  const int snapsPerCycle = 3;
  size_t heapEarly = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    if (cycle == 1000) {
      heapEarly = heapInUse();
    }
    const size_t which = static_cast<size_t>(cycle) % configs.size();
    RecordingSink sink;
    ICameraObject* camera = Camera_Create(&configs[which], &sink);
    ASSERT_EQ(camera->IOpenCamera(), 1) << "cycle " << cycle;
    camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    ASSERT_EQ(camera->IStartCamera(), 1);
    for (int s = 0; s < snapsPerCycle; ++s) {
      ASSERT_EQ(camera->ISnapCamera(0), 1);
    }
    ASSERT_TRUE(sink.waitForFrames(snapsPerCycle, seconds(5))) << "cycle " << cycle;
    camera->IStopCamera();
    camera->ICloseCamera();
    Camera_Delete(camera);
    ASSERT_EQ(sink.count(), static_cast<size_t>(snapsPerCycle)) << "cycle " << cycle;
    expectEachFrameOnce(sink.frames());
    log.clear();
    emu::ClearGlobalJournal();  // the emulation journals every enumeration and initialisation
  }
  EXPECT_EQ(CCameraBasler::s_pylonUsers, 0);
  // The allocator under the sanitizers keeps freed memory in quarantine; there LeakSanitizer checks
  // the leaks instead.
  if (!kSanitized) {
    const size_t heapLate = heapInUse();
    EXPECT_LT(heapLate, heapEarly + 1024 * 1024) << "heap grew from " << heapEarly << " to " << heapLate;
  }
}

TEST_F(StressTest, HostThreadSnapsAndReadsFieldsWhileFramesArrive) {
  emu::EmulatedCamera device = emu::AddCamera(quietCamera("STRESS0"));
  CameraConfig config;
  config.cameraKey = "basler STRESS0";
  RecordingSink sink;
  ICameraObject* camera = Camera_Create(&config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);

  const int snaps = kSanitized ? 500 : 3000;
  std::atomic<int> accepted{0};
  std::atomic<bool> fieldsConsistent{true};
  std::thread host([&] {
    uint32_t lastSeen = 0;
    for (int i = 0; i < snaps; ++i) {
      accepted += camera->ISnapCamera(0);
      const uint32_t number = camera->m_imageNumber;
      if (number < lastSeen || (number != 0 && (camera->m_width != 640U || camera->m_height != 480U))) {
        fieldsConsistent = false;
      }
      lastSeen = number;
    }
  });
  // A second host thread reads the fields as a display would. They are stored one by one, buffer
  // first: a width already stored means the buffer is there too, and no value is ever torn.
  std::atomic<bool> reading{true};
  std::thread reader([&] {
    while (reading.load()) {
      const uint32_t width = camera->m_width;
      const void* buffer = camera->m_frameBuffer;
      const uint32_t height = camera->m_height;
      if ((width != 0U && width != 640U) || (height != 0U && height != 480U) ||
          (width != 0U && buffer == nullptr)) {
        fieldsConsistent = false;
      }
    }
  });
  host.join();
  reading = false;
  reader.join();
  // Every trigger has produced its frame or been dropped by now; the produced ones all arrive.
  EXPECT_TRUE(sink.waitForFrames(device.FramesProduced(), seconds(10)));
  camera->IStopCamera();
  EXPECT_TRUE(fieldsConsistent.load());
  EXPECT_EQ(accepted.load(), snaps);
  // Every trigger produced a frame or was dropped for lack of a buffer; each produced frame came once.
  EXPECT_EQ(device.FramesProduced() + device.FramesDropped(), static_cast<uint64_t>(snaps));
  EXPECT_EQ(sink.count(), device.FramesProduced());
  expectEachFrameOnce(sink.frames());
  Camera_Delete(camera);
}

TEST_F(StressTest, DeletingWhileFreeRunningFramesArrive) {
  emu::EmulatedCamera device = emu::AddCamera(quietCamera("STRESS0", 2000.0));
  CameraConfig config;
  config.cameraKey = "basler STRESS0";
  const int rounds = kSanitized ? 20 : 100;
  for (int round = 0; round < rounds; ++round) {
    RecordingSink sink;
    ICameraObject* camera = Camera_Create(&config, &sink);
    ASSERT_EQ(camera->IOpenCamera(), 1);
    camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
    ASSERT_EQ(camera->IStartCamera(), 1);
    device.SetNodeValue("TriggerMode", "Off");  // free run
    ASSERT_TRUE(sink.waitForFrames(3, seconds(5))) << "round " << round;
    Camera_Delete(camera);  // the sink goes right after: a late frame would reach freed memory
    expectEachFrameOnce(sink.frames());
    log.clear();
  }
}

TEST_F(StressTest, ASlowSinkSeesEachFrameOnceAndStopStillReturns) {
  emu::CameraDescription description = quietCamera("STRESS0", 1000.0);
  description.bufferCount = 4;
  emu::EmulatedCamera device = emu::AddCamera(description);
  CameraConfig config;
  config.cameraKey = "basler STRESS0";
  RecordingSink sink;
  // A host that takes its time over every frame.
  sink.setAction([](ICameraObject*) { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
  ICameraObject* camera = Camera_Create(&config, &sink);
  ASSERT_EQ(camera->IOpenCamera(), 1);
  camera->m_requestedGrabMode = GrabMode_SoftwareTrigger;
  ASSERT_EQ(camera->IStartCamera(), 1);
  device.SetNodeValue("TriggerMode", "Off");
  ASSERT_TRUE(sink.waitForFrames(40, seconds(10)));
  camera->IStopCamera();
  EXPECT_FALSE(camera->m_isGrabbing);
  const std::vector<RecordedFrame> frames = sink.frames();
  // The stop discards frames still queued (at most the pool); none is delivered twice.
  EXPECT_LE(frames.size(), device.FramesProduced());
  EXPECT_LE(device.FramesProduced() - frames.size(), description.bufferCount);
  EXPECT_GT(device.FramesDropped(), 0U);  // the pool ran dry while the sink dawdled
  // Frames dropped by the device take no image number; what was grabbed arrives once, in order.
  expectEachFrameOnce(frames);
  Camera_Delete(camera);
}

}  // namespace

// No heap allocation per frame: operator new is counted over the whole process while 1000
// software-triggered frames go through the grab loop of a camera with journaling off.
#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>
#include <zazod/emulation/Emulation.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <new>

#include "SdkTestSupport.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

// The replacement pair allocates with malloc and frees with free, which GCC cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Counts the frames the loop delivered and lets the test wait for the last one; allocation-free.
class CountingHandler : public Pylon::CImageEventHandler {
 public:
  void OnImageGrabbed(Pylon::CInstantCamera&, const Pylon::CGrabResultPtr& result) override {
    if (result->GrabSucceeded() && result->GetBuffer() != nullptr) {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_count;
      m_changed.notify_all();
    }
  }
  bool waitFor(long count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_count >= count; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  long m_count = 0;
};

TEST(Allocation, NoHeapAllocationPerFrameThroughTheGrabLoop) {
  emu::Reset();
  emu::CameraDescription description;
  description.journal = false;
  emu::EmulatedCamera device = emu::AddCamera(description);
  device.SetNodeValue("TriggerMode", "On", "FrameStart");
  device.SetNodeValue("TriggerSource", "Software", "FrameStart");
  Pylon::DeviceInfoList_t devices;
  Pylon::CTlFactory::GetInstance().EnumerateDevices(devices);
  Pylon::CInstantCamera camera(Pylon::CTlFactory::GetInstance().CreateDevice(devices.at(0)));
  auto* handler = new CountingHandler();
  camera.RegisterImageEventHandler(handler, Pylon::RegistrationMode_Append, Pylon::Cleanup_Delete);
  camera.Open();
  camera.StartGrabbing(Pylon::GrabStrategy_OneByOne, Pylon::GrabLoop_ProvidedByInstantCamera);
  camera.ExecuteSoftwareTrigger();  // warm up: the first frame may set up lazily
  ASSERT_TRUE(handler->waitFor(1));

  constexpr long kFrames = 1000;
  g_counting.store(true);
  for (long i = 2; i <= kFrames + 1; ++i) {
    camera.ExecuteSoftwareTrigger();
    ASSERT_TRUE(handler->waitFor(i));  // one at a time: no trigger is dropped for want of a buffer
  }
  g_counting.store(false);
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_EQ(device.FramesDropped(), 0U);
  camera.StopGrabbing();
  emu::Reset();
}

}  // namespace

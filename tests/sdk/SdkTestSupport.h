// Helpers of the SDK tests: handlers that count their deletion and record what they saw, and a
// frame collector that a test waits on (with a timeout, never a sleep).
#pragma once

#include <gtest/gtest.h>
#include <pylon/PylonIncludes.h>
#include <zazod/emulation/Emulation.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace emu = Zazod::Emulation;

// A configuration handler that records its notifications into a shared log and counts its deletion.
class RecordingConfiguration : public Pylon::CConfigurationEventHandler {
 public:
  RecordingConfiguration(std::string name, std::vector<std::string>* log, int* deletions)
      : m_name(std::move(name)), m_log(log), m_deletions(deletions) {}
  ~RecordingConfiguration() override {
    if (m_deletions != nullptr) {
      ++*m_deletions;
    }
  }
  void OnOpen(Pylon::CInstantCamera&) override { record("OnOpen"); }
  void OnOpened(Pylon::CInstantCamera& camera) override {
    record("OnOpened");
    if (onOpened) {
      onOpened(camera);
    }
  }
  void OnClosed(Pylon::CInstantCamera&) override { record("OnClosed"); }
  void OnCameraDeviceRemoved(Pylon::CInstantCamera&) override { record("OnCameraDeviceRemoved"); }

  std::function<void(Pylon::CInstantCamera&)> onOpened;

 private:
  void record(const char* what) {
    if (m_log != nullptr) {
      m_log->push_back(m_name + "." + what);
    }
  }
  std::string m_name;
  std::vector<std::string>* m_log;
  int* m_deletions;
};

// What a handler saw of one result.
struct SeenResult {
  bool succeeded;
  int64_t imageNumber;
  uint64_t blockId;
  uint8_t firstPixel;
  uint32_t errorCode;
  std::string errorDescription;
};

// An image handler that records results and skipped reports, runs an optional action per result,
// counts its deletion and lets a test wait for a number of results.
class CollectingHandler : public Pylon::CImageEventHandler {
 public:
  explicit CollectingHandler(int* deletions = nullptr, std::vector<std::string>* order = nullptr,
                             std::string name = "")
      : m_deletions(deletions), m_order(order), m_name(std::move(name)) {}
  ~CollectingHandler() override {
    if (m_deletions != nullptr) {
      ++*m_deletions;
    }
  }

  void OnImagesSkipped(Pylon::CInstantCamera&, size_t count) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_order != nullptr) {
      m_order->push_back(m_name + ".skipped" + std::to_string(count));
    }
    m_skipped.push_back(count);
  }

  void OnImageGrabbed(Pylon::CInstantCamera& camera, const Pylon::CGrabResultPtr& result) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      SeenResult seen{result->GrabSucceeded(), result->GetImageNumber(),           result->GetBlockID(), 0,
                      result->GetErrorCode(),  result->GetErrorDescription().str()};
      if (seen.succeeded) {
        seen.firstPixel = *static_cast<const uint8_t*>(result->GetBuffer());
      }
      m_results.push_back(seen);
      if (m_order != nullptr) {
        m_order->push_back(m_name + ".grabbed" + std::to_string(seen.imageNumber));
      }
      m_threads.push_back(std::this_thread::get_id());
    }
    m_changed.notify_all();
    if (onGrabbed) {
      onGrabbed(camera, result);
    }
  }

  bool waitForResults(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_results.size() >= count; });
  }
  std::vector<SeenResult> results() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_results;
  }
  std::vector<size_t> skipped() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_skipped;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_threads;
  }

  std::function<void(Pylon::CInstantCamera&, const Pylon::CGrabResultPtr&)> onGrabbed;

 private:
  int* m_deletions;
  std::vector<std::string>* m_order;
  std::string m_name;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<SeenResult> m_results;
  std::vector<size_t> m_skipped;
  std::vector<std::thread::id> m_threads;
};

// A one-shot event a test waits for with a timeout.
class Event {
 public:
  // Notifies with the lock held: the waiter may destroy the event as soon as it wakes.
  void set() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    m_changed.notify_all();
  }
  bool wait(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_set; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_set = false;
};

// A fresh emulation for every test.
class SdkTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }

  // The device of the first listed camera with this serial number.
  static Pylon::IPylonDevice* createDevice(const std::string& serial = "EMU0001") {
    Pylon::DeviceInfoList_t devices;
    Pylon::CTlFactory::GetInstance().EnumerateDevices(devices);
    for (const Pylon::CDeviceInfo& info : devices) {
      if (info.GetSerialNumber() == serial.c_str()) {
        return Pylon::CTlFactory::GetInstance().CreateDevice(info);
      }
    }
    return nullptr;
  }

  // Software triggering on the frame-start trigger.
  static void useSoftwareTrigger(emu::EmulatedCamera& device) {
    device.SetNodeValue("TriggerMode", "On", "FrameStart");
    device.SetNodeValue("TriggerSource", "Software", "FrameStart");
  }
};

// Journal entries among the given names, in order.
inline std::vector<std::string> only(const std::vector<std::string>& journal,
                                     const std::vector<std::string>& names) {
  std::vector<std::string> kept;
  for (const std::string& entry : journal) {
    for (const std::string& name : names) {
      if (entry == name) {
        kept.push_back(entry);
      }
    }
  }
  return kept;
}

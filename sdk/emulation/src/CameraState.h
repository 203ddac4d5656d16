// Zazod::Emulation::EmulatedCamera::State: everything one emulated camera is, shared by the control
// handle, the transport's descriptors and every device created for it: the description, the node
// map with its values, armed faults, the call journal, result faults, presence and counters, and the
// devices that currently exist for it (so that a trigger, a pulse or an unplug reaches them).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "EmulatedNodeMap.h"
#include "FaultTable.h"
#include "zazod/emulation/Emulation.h"

namespace Pylon::Internal {
class ResultSlot;
}

namespace Zazod::Emulation {

class EmulatedDevice;

class EmulatedCamera::State {
 public:
  enum class Trigger { FreeRun, Software, Line1, None };

  explicit State(CameraDescription description);
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  const CameraDescription& description() const { return m_description; }
  std::recursive_mutex& mutex() const { return m_mutex; }
  FaultTable& faults() { return m_faults; }
  EmulatedNodeMap& nodeMap() { return m_nodeMap; }

  // An SDK operation reached this camera: journaled (when journaling is on), then the armed fault
  // of that name, if any, is raised.
  void operation(const char* name);
  void journalEntry(const std::string& entry);
  std::vector<std::string> journal() const;
  void clearJournal();

  // Raises RuntimeException when the camera is unplugged.
  void checkPresent(const char* what) const;
  bool unplugged() const { return m_unplugged.load(); }
  void unplug();
  void replug();

  // The value of "TriggerSelector" now ("" without one). Mutex held by the caller.
  const std::string& selectedTrigger() const;
  // How the chosen trigger (FrameStart, or AcquisitionStart without it) makes frames now.
  Trigger triggerConfiguration() const;

  // Decides the outcome of the next result (injected failure, skipped-image report, image number)
  // and fills the slot's result fields accordingly; true for a good frame, whose pixels the device
  // then fills.
  bool fillOutcome(Pylon::Internal::ResultSlot& slot, uint64_t blockId, uint64_t timeStamp);
  void failNextResults(int count, uint32_t errorCode, const std::string& description);
  void injectSkippedImages(uint64_t count);
  void setNextImageNumber(int64_t number);
  bool canWaitForFrameTriggerReady() const { return m_canWait.load(); }
  void setCanWaitForFrameTriggerReady(bool can) { m_canWait.store(can); }

  // Devices of this camera, registered for their lifetime.
  void addDevice(EmulatedDevice* device);
  void removeDevice(EmulatedDevice* device);
  void softwareTrigger();
  void pulseLine1();
  // A node value changed: grabbing devices re-evaluate how they produce frames.
  void nodeChanged();

  std::atomic<uint64_t> framesProduced{0};
  std::atomic<uint64_t> framesDropped{0};

 private:
  const CameraDescription m_description;
  mutable std::recursive_mutex m_mutex;
  FaultTable m_faults;
  EmulatedNodeMap m_nodeMap;
  std::vector<std::string> m_journal;
  std::atomic<bool> m_unplugged{false};
  std::atomic<bool> m_canWait{true};
  int m_failResults = 0;
  uint32_t m_failCode = 0;
  std::string m_failDescription;
  uint64_t m_pendingSkipped = 0;
  bool m_hasNextImageNumber = false;
  int64_t m_nextImageNumber = 0;
  std::vector<EmulatedDevice*> m_devices;
};

}  // namespace Zazod::Emulation

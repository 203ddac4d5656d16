// Zazod::Emulation::EmulationRegistry: the process-wide set of emulated cameras in the order they
// were added, the faults and journal of the SDK's process-wide operations, and the settings read
// once from the environment when the emulation is first used: ZAZOD_SDK_EMULATED_CAMERAS=N (N
// cameras EMU0001, EMU0002, ... with journaling off) and ZAZOD_SDK_EMULATED_LINE1_HZ=R.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CameraState.h"
#include "FaultTable.h"

namespace Zazod::Emulation {

class EmulationRegistry {
 public:
  static EmulationRegistry& instance();

  std::shared_ptr<EmulatedCamera::State> add(const CameraDescription& description);
  void remove(const std::string& serialNumber);
  void removeAll();
  std::vector<std::shared_ptr<EmulatedCamera::State>> cameras() const;

  // A process-wide operation: journaled, then its armed fault raised.
  void globalOperation(const char* operation);
  FaultTable& globalFaults() { return m_globalFaults; }
  std::vector<std::string> globalJournal() const;
  void clearGlobalJournal();

  double line1Hz() const { return m_line1Hz; }

 private:
  EmulationRegistry();

  mutable std::mutex m_mutex;
  std::vector<std::shared_ptr<EmulatedCamera::State>> m_cameras;
  FaultTable m_globalFaults;
  std::vector<std::string> m_globalJournal;
  double m_line1Hz = 0;
};

}  // namespace Zazod::Emulation

// Zazod::Emulation::FaultTable: the faults armed per operation name ("Open", "FromString:TriggerMode",
// ...), each for a number of calls or until cleared. Checking an operation with nothing armed
// anywhere costs one atomic load and never allocates.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "zazod/emulation/Emulation.h"

namespace Zazod::Emulation {

class FaultTable {
 public:
  void arm(const std::string& operation, const Fault& fault, int count);
  void clear();
  // Throws the fault armed for this operation (using up one call of it), if any.
  void check(std::string_view operation);
  // Same, for an operation named by a prefix and a node name ("FromString:" + "TriggerMode").
  void check(std::string_view prefix, std::string_view name);

  // Throws the exception a fault describes.
  [[noreturn]] static void raise(const Fault& fault);

 private:
  struct Armed {
    Fault fault;
    int remaining;  // < 0: until cleared
  };

  std::mutex m_mutex;
  std::map<std::string, Armed, std::less<>> m_armed;
  std::atomic<size_t> m_count{0};
};

}  // namespace Zazod::Emulation

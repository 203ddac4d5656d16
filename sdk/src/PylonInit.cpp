// SDK initialisation and termination: a process-wide count, with every enabled transport told of
// both operations (and able to make the initialisation fail, in which case nothing is counted).
#include "pylon/PylonInit.h"

#include <mutex>

#include "TransportRegistry.h"

namespace Pylon {

namespace {
std::mutex g_initMutex;
long g_initCount = 0;
}  // namespace

void PylonInitialize() {
  std::lock_guard<std::mutex> lock(g_initMutex);
  for (Internal::Transport* transport : Internal::TransportRegistry::instance().enabled()) {
    transport->beforeGlobalOperation("PylonInitialize");
  }
  ++g_initCount;
}

void PylonTerminate(bool /*shutDownLogging*/) {
  std::lock_guard<std::mutex> lock(g_initMutex);
  for (Internal::Transport* transport : Internal::TransportRegistry::instance().enabled()) {
    transport->beforeGlobalOperation("PylonTerminate");
  }
  if (g_initCount > 0) {
    --g_initCount;
  }
}

}  // namespace Pylon

// SDK initialisation and termination. Both are counted: the SDK is usable between the first
// PylonInitialize and the matching last PylonTerminate.
#pragma once

#include "gcbase/Export.h"

namespace Pylon {

ZAZOD_SDK_API void PylonInitialize();
ZAZOD_SDK_API void PylonTerminate(bool shutDownLogging = true);

// Initialises the SDK for the lifetime of a scope.
class ZAZOD_SDK_API PylonAutoInitTerm {
 public:
  PylonAutoInitTerm() { PylonInitialize(); }
  ~PylonAutoInitTerm() { PylonTerminate(); }
  PylonAutoInitTerm(const PylonAutoInitTerm&) = delete;
  PylonAutoInitTerm& operator=(const PylonAutoInitTerm&) = delete;
};

}  // namespace Pylon

// Pylon::Internal::ResultFaults: the hook through which a backend makes the readers of its grab
// results throw (fault injection). Called only for results whose slot carries a hook.
#pragma once

#include "pylon/GrabResultData.h"

namespace Pylon::Internal {

class ResultFaults {
 public:
  virtual ~ResultFaults() = default;
  // Throws the fault armed for this reader, if any.
  virtual void check(CGrabResultData::Reader reader) const = 0;
};

}  // namespace Pylon::Internal

// GenApi::IBase: the root of every node interface; reports the node's access mode.
#pragma once

#include "gcbase/Export.h"
#include "genapi/Types.h"

namespace GenApi {

class ZAZOD_SDK_API IBase {
 public:
  virtual ~IBase();
  virtual EAccessMode GetAccessMode() const = 0;
};

}  // namespace GenApi

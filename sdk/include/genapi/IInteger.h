// GenApi::IInteger: an integer node.
#pragma once

#include <cstdint>

#include "genapi/INode.h"

namespace GenApi {

class ZAZOD_SDK_API IInteger : public virtual INode {
 public:
  ~IInteger() override;
  virtual int64_t GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual void SetValue(int64_t value, bool verify = true) = 0;
};

}  // namespace GenApi

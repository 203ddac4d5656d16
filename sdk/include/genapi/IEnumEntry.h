// GenApi::IEnumEntry: one entry of an enumeration node, with its symbolic name and integer value.
#pragma once

#include <cstdint>

#include "genapi/INode.h"

namespace GenApi {

class ZAZOD_SDK_API IEnumEntry : public virtual INode {
 public:
  ~IEnumEntry() override;
  virtual GenICam::gcstring GetSymbolic() const = 0;
  virtual int64_t GetValue() const = 0;
};

}  // namespace GenApi

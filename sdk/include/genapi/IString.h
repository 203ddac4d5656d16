// GenApi::IString: a string node.
#pragma once

#include "genapi/INode.h"

namespace GenApi {

class ZAZOD_SDK_API IString : public virtual INode {
 public:
  ~IString() override;
  virtual void SetValue(const GenICam::gcstring& value, bool verify = true) = 0;
  virtual GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) = 0;
};

}  // namespace GenApi

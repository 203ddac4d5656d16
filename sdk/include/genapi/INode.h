// GenApi::INode: a named node of a node map.
#pragma once

#include "gcbase/GCString.h"
#include "genapi/IBase.h"

namespace GenApi {

class ZAZOD_SDK_API INode : public virtual IBase {
 public:
  ~INode() override;
  virtual GenICam::gcstring GetName() const = 0;
  virtual EInterfaceType GetPrincipalInterfaceType() const = 0;
};

}  // namespace GenApi

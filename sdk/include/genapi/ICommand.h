// GenApi::ICommand: a command node.
#pragma once

#include "genapi/INode.h"

namespace GenApi {

class ZAZOD_SDK_API ICommand : public virtual INode {
 public:
  ~ICommand() override;
  virtual void Execute(bool verify = true) = 0;
  virtual bool IsDone(bool verify = true) = 0;
};

}  // namespace GenApi

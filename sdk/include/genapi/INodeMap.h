// GenApi::INodeMap: the nodes of one device, looked up by name.
#pragma once

#include "genapi/INode.h"

namespace GenApi {

class ZAZOD_SDK_API INodeMap {
 public:
  virtual ~INodeMap();
  // The node of that name, or null.
  virtual INode* GetNode(const GenICam::gcstring& name) const = 0;
  virtual void GetNodes(NodeList_t& nodes) const = 0;
};

}  // namespace GenApi

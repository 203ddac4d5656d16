// Zazod::Aravis::AravisNodeMap: the GenApi node map of an open Aravis device, over its GenICam
// tree. Adapters are made on the first lookup of a name and live as long as the map (so node
// pointers stay valid while the device is open); a name that is no feature gives null.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "AravisLink.h"
#include "genapi/INodeMap.h"

typedef struct _ArvGc ArvGc;

namespace Zazod::Aravis {

class AravisNode;

class AravisNodeMap : public GenApi::INodeMap {
 public:
  AravisNodeMap(std::shared_ptr<AravisLink> link, ArvGc* genicam);
  ~AravisNodeMap() override;

  GenApi::INode* GetNode(const GenICam::gcstring& name) const override;
  void GetNodes(GenApi::NodeList_t& nodes) const override;

 private:
  GenApi::INode* adapter(const std::string& name) const;

  std::shared_ptr<AravisLink> m_link;
  ArvGc* m_genicam;                                                    // owned by the device
  mutable std::map<std::string, std::unique_ptr<AravisNode>> m_nodes;  // guarded by the link's lock
};

}  // namespace Zazod::Aravis

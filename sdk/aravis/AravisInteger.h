// Zazod::Aravis::AravisInteger: an Aravis integer node (any node with Aravis's integer interface)
// as a GenApi IInteger; Aravis's range check refuses a value outside the node's bounds.
#pragma once

#include "AravisNode.h"
#include "genapi/IInteger.h"

namespace Zazod::Aravis {

class AravisInteger : public GenApi::IInteger, public AravisNode {
 public:
  explicit AravisInteger(AravisFeature feature) : AravisNode(std::move(feature), GenApi::intfIInteger) {}

  int64_t GetValue(bool verify = false, bool ignoreCache = false) override;
  void SetValue(int64_t value, bool verify = true) override;
};

}  // namespace Zazod::Aravis

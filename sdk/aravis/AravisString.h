// Zazod::Aravis::AravisString: an Aravis string node (any node with Aravis's string interface) as
// a GenApi IString.
#pragma once

#include "AravisNode.h"
#include "genapi/IString.h"

namespace Zazod::Aravis {

class AravisString : public GenApi::IString, public AravisNode {
 public:
  explicit AravisString(AravisFeature feature) : AravisNode(std::move(feature), GenApi::intfIString) {}

  void SetValue(const GenICam::gcstring& value, bool verify = true) override;
  GenICam::gcstring GetValue(bool verify = false, bool ignoreCache = false) override;
};

}  // namespace Zazod::Aravis

// Zazod::Aravis::AravisCommand: an Aravis command node as a GenApi ICommand. Aravis writes the
// command value and does not report completion, so IsDone is true once Execute has returned.
#pragma once

#include "AravisNode.h"
#include "genapi/ICommand.h"

namespace Zazod::Aravis {

class AravisCommand : public GenApi::ICommand, public AravisNode {
 public:
  explicit AravisCommand(AravisFeature feature) : AravisNode(std::move(feature), GenApi::intfICommand) {}

  void Execute(bool verify = true) override;
  bool IsDone(bool verify = true) override;
};

}  // namespace Zazod::Aravis

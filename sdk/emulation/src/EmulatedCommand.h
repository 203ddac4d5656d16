// Zazod::Emulation::EmulatedCommand: a command node of an emulated camera. "TriggerSoftware" fires a
// software trigger on the camera's grabbing devices. Executions are journaled as "Execute:<node>"
// and can fail through the fault "Execute:<node>".
#pragma once

#include "EmulatedNode.h"
#include "genapi/ICommand.h"

namespace Zazod::Emulation {

class EmulatedCommand : public GenApi::ICommand, public EmulatedNode {
 public:
  EmulatedCommand(EmulatedCamera::State& state, NodeDescription description);

  GenApi::EInterfaceType GetPrincipalInterfaceType() const override { return GenApi::intfICommand; }
  void Execute(bool verify = true) override;
  bool IsDone(bool /*verify*/ = true) override { return true; }
};

}  // namespace Zazod::Emulation

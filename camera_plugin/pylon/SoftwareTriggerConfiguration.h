// Pylon::CSoftwareTriggerConfiguration: the configuration handler that prepares a camera, as soon
// as it has been opened, to capture only on software triggers: the frame-start trigger (or, lacking
// it, the acquisition-start trigger) on with source "Software", every other available trigger off,
// the selector left on the chosen trigger, acquisition mode continuous. Every failure leaves
// OnOpened as one RuntimeException that says what was caught.
#pragma once

#include <pylon/PylonIncludes.h>

namespace Pylon {

class CSoftwareTriggerConfiguration : public CConfigurationEventHandler {
 public:
  // Writes the trigger configuration into a node map. Raises RuntimeException when neither trigger
  // can be selected and LogicalErrorException for a missing node; SDK failures pass unchanged.
  static void ConfigureSoftwareTrigger(GenApi::INodeMap& nodeMap);

  void OnOpened(CInstantCamera& camera) override;
  ~CSoftwareTriggerConfiguration() override;
};

}  // namespace Pylon

// The software-trigger configuration and the wrapping of its failures.
#include "pylon/SoftwareTriggerConfiguration.h"

#include <exception>

namespace Pylon {

namespace {

// The exceptions of this handler name this header as their source.
constexpr const char* kSource = "pylon/softwaretriggerconfiguration";

GenICam::ExceptionReporter<GenICam::RuntimeException> reporterAt(unsigned int line) {
  return GenICam::ExceptionReporter<GenICam::RuntimeException>(kSource, line, "RuntimeException");
}

// An entry can be used when it exists and its access mode is above "not available"; unknown
// higher codes count as accessible.
bool isAvailable(GenApi::IEnumEntry* entry) {
  return entry != nullptr && static_cast<unsigned int>(entry->GetAccessMode()) > 1U;
}

// A list node that is null or of another type than an entry is no entry.
bool isAvailable(const GenApi::CEnumEntryPtr& entry) { return entry.IsValid() && isAvailable(&*entry); }

}  // namespace

void CSoftwareTriggerConfiguration::ConfigureSoftwareTrigger(GenApi::INodeMap& nodeMap) {
  GenApi::CEnumerationPtr selector(nodeMap.GetNode("TriggerSelector"));
  GenApi::CEnumerationPtr triggerMode(nodeMap.GetNode("TriggerMode"));

  GenICam::gcstring triggerName("FrameStart");
  if (!isAvailable(selector->GetEntryByName(triggerName))) {
    triggerName = "AcquisitionStart";
    if (!isAvailable(selector->GetEntryByName(triggerName))) {
      throw reporterAt(66).Report(
          "Could not select trigger. Neither FrameStart nor AcquisitionStart is available.");
    }
  }

  {
    GenApi::NodeList_t entries;
    selector->GetEntries(entries);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      GenApi::CEnumEntryPtr entry(*it);
      if (!isAvailable(entry)) {
        continue;  // neither selected nor switched off
      }
      const GenICam::gcstring symbolic = entry->GetSymbolic();
      selector->FromString(symbolic, true);
      if (symbolic == triggerName) {
        triggerMode->FromString("On", true);
        GenApi::CEnumerationPtr(nodeMap.GetNode("TriggerSource"))->FromString("Software", true);
      } else {
        triggerMode->FromString("Off", true);
      }
    }
    // The selector ends on the chosen trigger, whatever entry was walked last.
    selector->FromString(triggerName, true);
  }

  GenApi::CEnumerationPtr(nodeMap.GetNode("AcquisitionMode"))->FromString("Continuous", true);
}

void CSoftwareTriggerConfiguration::OnOpened(CInstantCamera& camera) {
  try {
    ConfigureSoftwareTrigger(camera.GetNodeMap());
  } catch (const GenICam::GenericException& e) {
    throw reporterAt(130).Report(
        "Could not apply configuration. Pylon::GenericException caught in OnOpened method msg=%hs", e.what());
  } catch (const std::exception& e) {
    throw reporterAt(134).Report(
        "Could not apply configuration. std::exception caught in OnOpened method msg=%hs", e.what());
  } catch (...) {
    throw reporterAt(138).Report(
        "Could not apply configuration. Unknown exception caught in OnOpened method.");
  }
}

CSoftwareTriggerConfiguration::~CSoftwareTriggerConfiguration() = default;

}  // namespace Pylon
